#pragma once

// A world with vehicle actors carrying a seat motion component, driven by a script in the test: each step sets the
// vehicles' poses and velocities, then runs one engine frame (the world's tick and the engine's core ticker) and
// waits out the rest of the frame in real time. The game thus runs at its own frame rate while the seat's motion
// runtime sends at its own, as in a real game.

#include "Components/PrimitiveComponent.h"
#include "Containers/Ticker.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "GameFramework/Pawn.h"
#include "GameFramework/PlayerController.h"
#include "Kismet/GameplayStatics.h"
#include "SeatMotionComponent.h"

#include <chrono>
#include <cmath>
#include <thread>

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

// One vehicle: an actor (a pawn, for the multiplayer tests) whose root is a body, with a seat motion component.
struct FTestVehicle
{
	// bPhysics: the root is a simulating body that reports its velocities; otherwise the actor is moved by hand and
	// reports no velocity at all, so the component must read its path.
	FTestVehicle(UWorld* World, bool bPhysics, bool bPawn = false)
	{
		Vehicle = bPawn ? World->SpawnActor<APawn>() : World->SpawnActor<AActor>();
		Body = NewObject<UPrimitiveComponent>(Vehicle);
		Vehicle->SetRootComponent(Body);
		Body->RegisterComponent();
		Body->SetSimulatePhysics(bPhysics);
		Motion = NewObject<USeatMotionComponent>(Vehicle);
		Motion->RegisterComponent();
	}

	// Moves the vehicle by Seconds of its script.
	void Move(FVehicleState& State, double Seconds) const
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
	}

	AActor* Vehicle = nullptr;
	UPrimitiveComponent* Body = nullptr;
	USeatMotionComponent* Motion = nullptr;
};

class FTestVehicleWorld
{
public:
	FTestVehicleWorld(UGameInstance* GameInstance, bool bPhysics, bool bPawn = false)
		: World(MakeWorld(GameInstance)), Main(World, bPhysics, bPawn), Vehicle(Main.Vehicle), Body(Main.Body), Motion(Main.Motion)
	{
	}
	~FTestVehicleWorld() { World->RemoveFromRoot(); }
	FTestVehicleWorld(const FTestVehicleWorld&) = delete;
	FTestVehicleWorld& operator=(const FTestVehicleWorld&) = delete;

	void BeginPlay() { World->BeginPlay(); }
	void SetPaused(bool bPaused) const { UGameplayStatics::SetGamePaused(World, bPaused); }

	// Moves the vehicle by Seconds of its script, then runs a frame of as long.
	void Step(FVehicleState& State, double Seconds)
	{
		Main.Move(State, Seconds);
		Frame(Seconds);
	}

	// Time passes for the world, not for the vehicle: a paused game, or a vehicle at rest.
	void Wait(double Seconds) { Frame(Seconds); }

	// The frame after a hitch: Seconds of the script have passed since the last frame (the game thread was held
	// up), and the engine's frame says so.
	void StepAfterHitch(FVehicleState& State, double Seconds)
	{
		Main.Move(State, Seconds);
		Tick(Seconds);
		NextFrame = std::chrono::steady_clock::now();
	}

	// One engine frame: the world ticks, then the core ticker (the seat device manager's heartbeat and the async
	// nodes); the game then keeps to its frame rate in real time.
	void Frame(double Seconds)
	{
		Tick(Seconds);
		const std::chrono::steady_clock::time_point Now = std::chrono::steady_clock::now();
		const auto Length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(Seconds));
		NextFrame = Now - NextFrame > Length ? Now + Length : NextFrame + Length;
		std::this_thread::sleep_until(NextFrame);
	}

	UWorld* World;
	FTestVehicle Main;
	AActor* Vehicle;
	UPrimitiveComponent* Body;
	USeatMotionComponent* Motion;

private:
	void Tick(double Seconds) const
	{
		World->Tick(LEVELTICK_All, static_cast<float>(Seconds));
		FTSTicker::GetCoreTicker().Tick(static_cast<float>(Seconds));
	}

	static UWorld* MakeWorld(UGameInstance* GameInstance)
	{
		UWorld* NewWorld = NewObject<UWorld>();
		NewWorld->AddToRoot();
		NewWorld->SetGameInstance(GameInstance);
		return NewWorld;
	}

	std::chrono::steady_clock::time_point NextFrame = std::chrono::steady_clock::now();
};
