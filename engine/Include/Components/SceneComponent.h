#pragma once

#include "Components/ActorComponent.h"
#include "Math/Rotator.h"
#include "Math/Transform.h"
#include "Math/Vector.h"

// A component with a place in the world; an actor's root component carries the actor's transform.
class USceneComponent : public UActorComponent
{
	UE_STANDIN_ENGINE_CLASS(USceneComponent, UActorComponent)

	// The velocity the component reports when nothing simulates it (set by movement code).
	FVector ComponentVelocity;

	virtual FVector GetComponentVelocity() const { return ComponentVelocity; }
	FVector GetComponentLocation() const { return Location; }
	FRotator GetComponentRotation() const { return Rotation; }
	FQuat GetComponentQuat() const { return Rotation.Quaternion(); }
	FTransform GetComponentTransform() const { return FTransform(GetComponentQuat(), Location); }

	void SetWorldLocationAndRotation(const FVector& NewLocation, const FRotator& NewRotation)
	{
		Location = NewLocation;
		Rotation = NewRotation;
	}

private:
	FVector Location;
	FRotator Rotation;
};
