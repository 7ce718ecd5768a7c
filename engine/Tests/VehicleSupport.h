#pragma once

// A world with one vehicle actor carrying a seat motion component, driven by a script in the test: each step
// sets the vehicle's pose and velocity, then ticks the world once.

#include "Components/PrimitiveComponent.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "Kismet/GameplayStatics.h"
#include "SeatMotionComponent.h"

#include <cmath>

inline constexpr double RadiansPerDegree = 3.141592653589793 / 180.0;

// The vehicle's kinematic state in the world: centimetres, degrees, seconds, engine axes.
struct FVehicleState
{
	FVector Location;
	double Heading = 0.0;    // yaw, degrees, unbounded
	double Speed = 0.0;      // cm/s along the heading
	double YawRate = 0.0;    // deg/s
	double Acceleration = 0.0; // cm/s^2 along the heading
	// The body's attitude, degrees (the path stays level): pitch + nose up, roll + right side down.
	double Pitch = 0.0;
	double Roll = 0.0;

	FVector Velocity() const
	{
		return FVector(std::cos(Heading * RadiansPerDegree), std::sin(Heading * RadiansPerDegree), 0.0) * Speed;
	}
	void Advance(double Seconds)
	{
		Speed += Acceleration * Seconds;
		Heading += YawRate * Seconds;
		Location += Velocity() * Seconds;
	}
};

class FTestVehicleWorld
{
public:
	// bPhysics: the root is a simulating body that reports its velocities; otherwise the actor is moved by
	// hand and reports no velocity at all, so the component must read its path.
	FTestVehicleWorld(UGameInstance* GameInstance, bool bPhysics) : World(NewObject<UWorld>())
	{
		World->AddToRoot();
		World->SetGameInstance(GameInstance);
		Vehicle = World->SpawnActor<AActor>();
		Body = NewObject<UPrimitiveComponent>(Vehicle);
		Vehicle->SetRootComponent(Body);
		Body->RegisterComponent();
		Body->SetSimulatePhysics(bPhysics);
		Motion = NewObject<USeatMotionComponent>(Vehicle);
		Motion->RegisterComponent();
	}
	~FTestVehicleWorld() { World->RemoveFromRoot(); }
	FTestVehicleWorld(const FTestVehicleWorld&) = delete;
	FTestVehicleWorld& operator=(const FTestVehicleWorld&) = delete;

	void BeginPlay() { World->BeginPlay(); }
	void SetPaused(bool bPaused) const { UGameplayStatics::SetGamePaused(World, bPaused); }

	// Moves the vehicle by Seconds of its script, then ticks the world by as much.
	void Step(FVehicleState& State, double Seconds)
	{
		State.Advance(Seconds);
		Vehicle->SetActorLocationAndRotation(State.Location, FRotator(State.Pitch, State.Heading, State.Roll));
		if (Body->IsSimulatingPhysics())
		{
			Body->SetPhysicsLinearVelocity(State.Velocity());
			// Spin about world Z: positive turns the heading toward +Y. (Scripts that change the attitude
			// keep this for the steady part; the rotation between ticks tells the rest.)
			Body->SetPhysicsAngularVelocityInDegrees(FVector(0.0, 0.0, State.YawRate));
		}
		World->Tick(LEVELTICK_All, static_cast<float>(Seconds));
	}

	// Time passes for the world, not for the vehicle: a paused game.
	void Wait(double Seconds) const { World->Tick(LEVELTICK_All, static_cast<float>(Seconds)); }

	UWorld* World;
	AActor* Vehicle = nullptr;
	UPrimitiveComponent* Body = nullptr;
	USeatMotionComponent* Motion = nullptr;
};
