#include "SeatMotionComponent.h"

#include "Components/PrimitiveComponent.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "SeatDeviceManager.h"
#include "SeatMotionProfile.h"

#include <cmath>
#include <string>

namespace
{
using KarvelCueing::SeatPose;
using KarvelCueing::VehicleMotion;

constexpr double CentimetresToMetres = 0.01;
constexpr double DegreesPerRadian = 57.29577951308232;

// The body-frame angular velocity (deg/s about the actor's own axes) that turns Previous into Current in Seconds,
// the short way round, so a heading that crosses +-180 degrees is a small turn like any other.
FVector SpinBetween(const FQuat& Previous, const FQuat& Current, double Seconds)
{
	FQuat Delta = Previous.Inverse() * Current;
	if (Delta.W < 0.0)
	{
		Delta = FQuat(-Delta.X, -Delta.Y, -Delta.Z, -Delta.W);
	}
	return Delta.GetRotationAxis() * (Delta.GetAngle() * DegreesPerRadian / Seconds);
}

// A spin vector about the engine's axes gives the rotator's rates with the signs of roll and pitch reversed:
// positive roll lowers the right side and positive pitch raises the nose, i.e. negative spin about X and Y.
KarvelCueing::Vec3 RotatorRates(const FVector& Spin)
{
	return KarvelCueing::Vec3{-Spin.X, -Spin.Y, Spin.Z};
}

KarvelCueing::Vec3 ToVec3(const FVector& Vector)
{
	return KarvelCueing::Vec3{Vector.X, Vector.Y, Vector.Z};
}
}

USeatMotionComponent::USeatMotionComponent()
{
	PrimaryComponentTick.bCanEverTick = true;
	// Parking on pause needs the ticks of a paused game.
	PrimaryComponentTick.bTickEvenWhenPaused = true;
}

USeatMotionComponent::~USeatMotionComponent()
{
	// EndPlay normally did this; a component destroyed without it must not stay in the manager's list.
	if (bRegisteredWithManager)
	{
		if (USeatDeviceManager* Seat = Manager.Get())
		{
			Seat->RemoveMotionSource(this);
		}
	}
}

void USeatMotionComponent::BeginPlay()
{
	Super::BeginPlay();
	if (MotionProfile)
	{
		SetProfile(MotionProfile);
	}
	if (!RecordingPath.IsEmpty())
	{
		StartRecording(RecordingPath);
	}
	FindManager();
}

void USeatMotionComponent::EndPlay(const EEndPlayReason::Type EndPlayReason)
{
	if (USeatDeviceManager* Seat = Manager.Get())
	{
		Seat->ParkMotionSource(*this);
		Seat->RemoveMotionSource(this);
		// A vehicle that leaves play (a level change, its destruction) leaves no fan or water running.
		if (bEffectsOffWhilePaused && Seat->IsSeatReady())
		{
			Seat->TurnOffAllEffects();
		}
	}
	bEffectsHeldForPause = false;
	bRegisteredWithManager = false;
	Manager = nullptr;
	bStreaming = false;
	StopRecording();
	Super::EndPlay(EndPlayReason);
}

USeatDeviceManager* USeatMotionComponent::FindManager()
{
	if (USeatDeviceManager* Seat = Manager.Get())
	{
		return Seat;
	}
	// The manager went with its game instance: whatever a later one holds starts afresh.
	bRegisteredWithManager = false;
	bStreaming = false;
	const AActor* Owner = GetOwner();
	UGameInstance* GameInstance = Owner ? Owner->GetGameInstance() : nullptr;
	USeatDeviceManager* Seat = GameInstance ? GameInstance->GetSubsystem<USeatDeviceManager>() : nullptr;
	if (Seat)
	{
		Manager = Seat;
		Seat->AddMotionSource(this);
		bRegisteredWithManager = true;
	}
	return Seat;
}

void USeatMotionComponent::TickComponent(float DeltaTime, ELevelTick TickType, FActorComponentTickFunction* ThisTickFunction)
{
	Super::TickComponent(DeltaTime, TickType, ThisTickFunction);

	USeatDeviceManager* Seat = FindManager();
	if (!Seat || !Seat->IsSeatReady())
	{
		// Unregistering homed the seat and turned its effects off; the next registration starts afresh.
		bStreaming = false;
		bEffectsHeldForPause = false;
		return;
	}
	if (!bStreaming)
	{
		StartStream(*Seat);
	}
	if (std::isfinite(DeltaTime) && DeltaTime > 0.0f)
	{
		RecordSeconds += DeltaTime;
	}

	const UWorld* World = GetWorld();
	const bool bPaused = World && World->IsPaused();
	if (bPaused && !bEffectsHeldForPause && bEffectsOffWhilePaused)
	{
		Seat->HoldEffectsForPause();
		bEffectsHeldForPause = true;
	}
	else if (!bPaused && bEffectsHeldForPause)
	{
		bEffectsHeldForPause = false;
		Seat->RestoreEffectsAfterPause();
	}
	if (bPaused || !bMotionEnabled || bParkRequested)
	{
		// Motion across a pause is no motion: differences start afresh on resuming.
		bHasHistory = false;
		bHasRequestedPosture = false;
		if (!Cueing.IsParked())
		{
			SendParkStep(DeltaTime);
		}
		return;
	}
	if (Cueing.IsParking())
	{
		Cueing.Resume();
	}

	VehicleMotion Motion;
	ReadOwnerMotion(DeltaTime, Motion);
	if (bHasRequestedPosture || !bCueOwnerMotion)
	{
		bHasRequestedPosture = false;
		Send(Cueing.StepPosture(DeltaTime, RequestedPosture), nullptr);
		return;
	}
	Send(Cueing.Step(DeltaTime, Motion), &Motion);
}

void USeatMotionComponent::StartStream(const USeatDeviceManager& Seat)
{
	// The seat's crank geometry for the envelope, and its home as a posture, so that parking ends exactly where
	// the seat's own home command puts it: Orvida homes mid-stroke, Tamsel at the bottom of the stroke.
	Cueing.SetSeatModel(Seat.GetSeatModel());
	Cueing.Reset();
	if (!bHasRequestedPosture)
	{
		// Until the game sends its own, a pass-through stream holds the seat at home.
		RequestedPosture = Cueing.Home();
	}
	bHasHistory = false;
	bStreaming = true;
}

bool USeatMotionComponent::ReadOwnerMotion(float DeltaSeconds, VehicleMotion& OutMotion)
{
	const AActor* Owner = GetOwner();
	if (!Owner)
	{
		bHasHistory = false;
		return false;
	}
	const FTransform Transform = Owner->GetActorTransform();
	const FQuat Rotation = Transform.GetRotation();
	const FVector Location = Transform.GetLocation();
	const bool bDifferences = bHasHistory && std::isfinite(DeltaSeconds) && DeltaSeconds > 0.0f;

	FVector Velocity;
	FVector Spin;
	UPrimitiveComponent* Body = Cast<UPrimitiveComponent>(Owner->GetRootComponent());
	if (Body && Body->IsSimulatingPhysics())
	{
		Velocity = Body->GetPhysicsLinearVelocity();
		Spin = Transform.InverseTransformVectorNoScale(Body->GetPhysicsAngularVelocityInDegrees());
	}
	else
	{
		// Movement components report a velocity; an actor moved by hand reports none, so its path tells.
		Velocity = Owner->GetVelocity();
		if (Velocity.IsZero() && bDifferences)
		{
			Velocity = (Location - LastLocation) / DeltaSeconds;
		}
		Spin = bDifferences ? SpinBetween(LastRotation, Rotation, DeltaSeconds) : FVector::ZeroVector;
	}
	const FVector Acceleration = bDifferences ? (Velocity - LastVelocity) / DeltaSeconds : FVector::ZeroVector;
	// What a rider in the vehicle feels: its acceleration less gravity, in its own frame, so that a vehicle
	// banked into a turn, climbing or parked on a slope is cued as it is felt.
	const UWorld* World = GetWorld();
	const FVector Gravity(0.0, 0.0, World ? World->GetGravityZ() : -KarvelCueing::StandardGravity / CentimetresToMetres);

	OwnerAcceleration = ToVec3(Transform.InverseTransformVectorNoScale(Acceleration) * CentimetresToMetres);
	OutMotion.SpecificForce = ToVec3(Transform.InverseTransformVectorNoScale(Acceleration - Gravity) * CentimetresToMetres);
	OutMotion.AngularVelocity = RotatorRates(Spin);
	if (bDifferences || !bHasHistory)
	{
		LastVelocity = Velocity;
		LastLocation = Location;
		LastRotation = Rotation;
		bHasHistory = true;
	}
	return true;
}

void USeatMotionComponent::Send(const SeatPose& Pose, const VehicleMotion* Motion)
{
	if (USeatDeviceManager* Seat = Manager.Get())
	{
		Seat->SendPosture(static_cast<float>(Pose.Pitch), static_cast<float>(Pose.Roll), static_cast<float>(Pose.Yaw),
			static_cast<float>(Pose.Height));
	}
	if (Recorder.IsOpen())
	{
		if (Motion)
		{
			Recorder.WriteCued(RecordSeconds, *Motion, OwnerAcceleration, Pose);
		}
		else
		{
			Recorder.WritePosture(RecordSeconds, Pose);
		}
	}
	if (Cueing.TakeNonFiniteReport())
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Seat motion holds its last posture: the vehicle's motion, a requested posture or the time step is not finite."));
	}
}

void USeatMotionComponent::SetMotionEnabled(bool bEnabled)
{
	bMotionEnabled = bEnabled;
}

bool USeatMotionComponent::IsMotionEnabled() const
{
	return bMotionEnabled;
}

void USeatMotionComponent::Recentre()
{
	Cueing.Recentre();
	bHasHistory = false;
}

bool USeatMotionComponent::SetProfile(USeatMotionProfile* NewProfile)
{
	const KarvelCueing::CueingProfile Values = NewProfile ? NewProfile->ToCueingProfile() : KarvelCueing::RoadVehicleProfile();
	std::string Error;
	if (!Cueing.SetProfile(Values, &Error))
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Motion profile refused, the current one stays: %s"), UTF8_TO_TCHAR(Error.c_str()));
		return false;
	}
	MotionProfile = NewProfile;
	return true;
}

void USeatMotionComponent::ParkNow()
{
	bParkRequested = true;
}

void USeatMotionComponent::ResumeMotion()
{
	bParkRequested = false;
}

bool USeatMotionComponent::IsParked() const
{
	return !bStreaming || Cueing.IsParked();
}

void USeatMotionComponent::SendPosture(float Pitch, float Roll, float Yaw, float Height)
{
	RequestedPosture = SeatPose{Pitch, Roll, Yaw, Height};
	bHasRequestedPosture = true;
}

bool USeatMotionComponent::StartRecording(const FString& Path)
{
	std::string Error;
	if (!Recorder.Open(TCHAR_TO_UTF8(*Path), Error))
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Motion recording not started: %s"), UTF8_TO_TCHAR(Error.c_str()));
		return false;
	}
	RecordSeconds = 0.0;
	return true;
}

void USeatMotionComponent::StopRecording()
{
	if (Recorder.IsOpen() && Recorder.HadWriteError())
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Motion recording is incomplete: a write to the file failed."));
	}
	Recorder.Close();
}

void USeatMotionComponent::BeginPark()
{
	if (bStreaming)
	{
		Cueing.Park();
	}
}

bool USeatMotionComponent::StepPark(float DeltaSeconds)
{
	if (!bStreaming)
	{
		return false;
	}
	SendParkStep(DeltaSeconds);
	return !Cueing.IsParked();
}

void USeatMotionComponent::SendParkStep(float DeltaSeconds)
{
	const SeatPose Pose = Cueing.StepPark(DeltaSeconds);
	// At rest the seat is home: send home exactly, the very posture the home command stands for.
	Send(Cueing.IsParked() ? Cueing.Home() : Pose, nullptr);
}

float USeatMotionComponent::GetParkSeconds() const
{
	return static_cast<float>(Cueing.Profile().ParkSeconds);
}
