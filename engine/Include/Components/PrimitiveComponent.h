#pragma once

#include "Components/SceneComponent.h"
#include "UObject/NameTypes.h"

// A component with a physics body. While it simulates, the physics velocities are what it reports.
class UPrimitiveComponent : public USceneComponent
{
	UE_STANDIN_ENGINE_CLASS(UPrimitiveComponent, USceneComponent)

	virtual void SetSimulatePhysics(bool bSimulate) { bSimulatingPhysics = bSimulate; }
	virtual bool IsSimulatingPhysics(FName /*BoneName*/ = NAME_None) const { return bSimulatingPhysics; }

	// World space, centimetres per second.
	FVector GetPhysicsLinearVelocity(FName /*BoneName*/ = NAME_None) { return LinearVelocity; }
	void SetPhysicsLinearVelocity(FVector NewVel, bool bAddToCurrent = false, FName /*BoneName*/ = NAME_None)
	{
		LinearVelocity = bAddToCurrent ? LinearVelocity + NewVel : NewVel;
	}
	// World space, degrees per second about each axis.
	FVector GetPhysicsAngularVelocityInDegrees(FName /*BoneName*/ = NAME_None) const { return AngularVelocity; }
	void SetPhysicsAngularVelocityInDegrees(FVector NewAngVel, bool bAddToCurrent = false, FName /*BoneName*/ = NAME_None)
	{
		AngularVelocity = bAddToCurrent ? AngularVelocity + NewAngVel : NewAngVel;
	}

	FVector GetComponentVelocity() const override { return bSimulatingPhysics ? LinearVelocity : ComponentVelocity; }

private:
	bool bSimulatingPhysics = false;
	FVector LinearVelocity;
	FVector AngularVelocity;
};
