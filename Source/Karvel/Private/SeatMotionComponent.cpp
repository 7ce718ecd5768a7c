#include "SeatMotionComponent.h"

#include "Components/PrimitiveComponent.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "GameFramework/Pawn.h"
#include "SeatDeviceManager.h"
#include "SeatMotionProfile.h"

#include <cmath>
#include <string>

namespace
{
using KarvelCueing::SeatPose;
using KarvelCueing::VehicleMotion;
using KarvelSeat::MotionSample;

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
	// A paused game parks the seat through the component's ticks, which also tell the seat's watchdog that the
	// game lives.
	PrimaryComponentTick.bTickEvenWhenPaused = true;
}

USeatMotionComponent::~USeatMotionComponent()
{
	// EndPlay normally did this; a component destroyed without it must not hold the stream or stay in the
	// manager's list.
	Stream.Reset();
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
	// No component ticks without a seat: the manager wakes it when one is registered.
	const USeatDeviceManager* Seat = FindManager();
	if (!Seat)
	{
		SayIdle(EIdleReason::NoManager, nullptr);
	}
	if (!Seat || !Seat->IsSeatReady())
	{
		SetComponentTickEnabled(false);
	}
}

void USeatMotionComponent::EndPlay(const EEndPlayReason::Type EndPlayReason)
{
	const bool bDrove = Stream && Stream->IsLive();
	// The seat parks softly on the runtime; this returns at once.
	LetGo();
	if (USeatDeviceManager* Seat = Manager.Get())
	{
		Seat->RemoveMotionSource(this);
		// The vehicle that drove the seat leaves play (a level change, its destruction): nothing is left running.
		if (bDrove && bEffectsOffWhilePaused)
		{
			Seat->TurnOffAllEffects();
		}
	}
	bRegisteredWithManager = false;
	Manager = nullptr;
	StopRecording();
	Super::EndPlay(EndPlayReason);
}

void USeatMotionComponent::OnSeatReady()
{
	if (HasBegunPlay())
	{
		SetComponentTickEnabled(true);
	}
}

USeatDeviceManager* USeatMotionComponent::FindManager()
{
	if (USeatDeviceManager* Seat = Manager.Get())
	{
		return Seat;
	}
	// The manager went with its game instance: whatever a later one holds starts afresh.
	bRegisteredWithManager = false;
	Stream.Reset();
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
		// Unregistering homed the seat and turned its effects off. The component rests until a seat is
		// registered again (OnSeatReady).
		LetGo();
		bEffectsHeldForPause = false;
		if (!Seat)
		{
			SayIdle(EIdleReason::NoManager, nullptr);
		}
		SetComponentTickEnabled(false);
		return;
	}
	const EIdleReason Reason = WhyIdle();
	if (Reason != EIdleReason::None)
	{
		LetGo();
		SayIdle(Reason, Seat);
		return;
	}
	if (!(Stream && Stream->IsLive()) && !TakeStream(*Seat))
	{
		SayIdle(EIdleReason::AnotherDrives, Seat);
		return;
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
	Stream->Post(NextSample(DeltaTime, bPaused));
}

USeatMotionComponent::EIdleReason USeatMotionComponent::WhyIdle() const
{
	switch (DriveSeat)
	{
	case ESeatDrivePolicy::Never: return EIdleReason::DriveSeatNever;
	case ESeatDrivePolicy::Always: return EIdleReason::None;
	case ESeatDrivePolicy::LocalPlayerOnly: break;
	}
	return IsTheLocalPlayersVehicle() ? EIdleReason::None : EIdleReason::NotLocalPlayer;
}

bool USeatMotionComponent::IsTheLocalPlayersVehicle() const
{
	// The vehicle is a pawn, or an actor a pawn owns (a trailer, a seat of a larger rig).
	for (const AActor* Actor = GetOwner(); Actor; Actor = Actor->GetOwner())
	{
		if (const APawn* Pawn = Cast<APawn>(Actor))
		{
			// Not an AI's vehicle, and not another machine's player's.
			return Pawn->IsLocallyControlled() && Pawn->IsPlayerControlled();
		}
	}
	// No pawn owns it: in a game without networking the one player is local.
	const AActor* Owner = GetOwner();
	return Owner && Owner->GetNetMode() == NM_Standalone;
}

void USeatMotionComponent::SayIdle(EIdleReason Reason, const USeatDeviceManager* Seat)
{
	if (Reason == SaidIdle)
	{
		return;
	}
	SaidIdle = Reason;
	const FString Vehicle = GetNameSafe(GetOwner());
	switch (Reason)
	{
	case EIdleReason::None:
		break;
	case EIdleReason::NoManager:
		UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat motion on %s stays idle: this game instance has no seat device manager (a dedicated server has none)."), *Vehicle);
		break;
	case EIdleReason::NotLocalPlayer:
		UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat motion on %s stays idle: it is not the local player's vehicle (DriveSeat is LocalPlayerOnly)."), *Vehicle);
		break;
	case EIdleReason::DriveSeatNever:
		UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat motion on %s stays idle: DriveSeat is Never."), *Vehicle);
		break;
	case EIdleReason::AnotherDrives:
	{
		const UObject* Holder = Seat ? Seat->GetMotionStreamHolder() : nullptr;
		const UActorComponent* Component = Cast<UActorComponent>(Holder);
		const FString Driver = Component ? GetNameSafe(Component->GetOwner()) : GetNameSafe(Holder);
		UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat motion on %s stays idle: the seat is driven from %s."), *Vehicle, *Driver);
		break;
	}
	}
}

bool USeatMotionComponent::TakeStream(USeatDeviceManager& Seat)
{
	Stream = Seat.BeginMotionStream(*this, Profile);
	if (!Stream)
	{
		return false;
	}
	if (!bHasRequestedPosture)
	{
		// Until the game sends its own, a pass-through stream holds the seat at its model's home.
		RequestedPosture = KarvelCueing::HomePose(Seat.GetSeatModel());
	}
	bHasHistory = false;
	if (Recorder)
	{
		Stream->Record(std::move(Recorder));
	}
	SaidIdle = EIdleReason::None;
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat motion on %s drives the seat."), *GetNameSafe(GetOwner()));
	return true;
}

void USeatMotionComponent::LetGo()
{
	// Ending the stream parks the seat softly, then the runtime leaves it alone.
	Stream.Reset();
}

MotionSample USeatMotionComponent::NextSample(float DeltaSeconds, bool bPaused)
{
	MotionSample Sample;
	if (bPaused || !bMotionEnabled || bParkRequested)
	{
		// Motion across a pause is no motion: differences start afresh on resuming.
		bHasHistory = false;
		bHasRequestedPosture = false;
		return Sample;
	}
	VehicleMotion Motion;
	ReadOwnerMotion(DeltaSeconds, Motion);
	if (bHasRequestedPosture || !bCueOwnerMotion)
	{
		bHasRequestedPosture = false;
		Sample.Kind = MotionSample::EKind::Posture;
		Sample.Posture = RequestedPosture;
		return Sample;
	}
	Sample.Kind = MotionSample::EKind::Motion;
	Sample.Motion = Motion;
	Sample.Acceleration = OwnerAcceleration;
	return Sample;
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
	bHasHistory = false;
	if (Stream)
	{
		Stream->Recentre();
	}
}

bool USeatMotionComponent::SetProfile(USeatMotionProfile* NewProfile)
{
	const KarvelCueing::CueingProfile Values = NewProfile ? NewProfile->ToCueingProfile() : KarvelCueing::RoadVehicleProfile();
	const std::string Error = KarvelCueing::ValidateProfile(Values);
	if (!Error.empty())
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Motion profile refused, the current one stays: %s"), UTF8_TO_TCHAR(Error.c_str()));
		return false;
	}
	Profile = Values;
	MotionProfile = NewProfile;
	if (Stream)
	{
		Stream->SetProfile(Profile);
	}
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
	return !Stream || Stream->IsParked();
}

void USeatMotionComponent::SendPosture(float Pitch, float Roll, float Yaw, float Height)
{
	RequestedPosture = SeatPose{Pitch, Roll, Yaw, Height};
	bHasRequestedPosture = true;
}

bool USeatMotionComponent::StartRecording(const FString& Path)
{
	auto Opened = std::make_unique<KarvelCueing::CueRecorder>();
	std::string Error;
	if (!Opened->Open(TCHAR_TO_UTF8(*Path), Error))
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Motion recording not started: %s"), UTF8_TO_TCHAR(Error.c_str()));
		return false;
	}
	StopRecording();
	// The runtime writes each frame it sends while this component drives.
	if (Stream && Stream->IsLive())
	{
		Stream->Record(std::move(Opened));
	}
	else
	{
		Recorder = std::move(Opened);
	}
	return true;
}

void USeatMotionComponent::StopRecording()
{
	if (Stream && Stream->IsLive())
	{
		Stream->StopRecording();
	}
	Recorder.reset();
}
