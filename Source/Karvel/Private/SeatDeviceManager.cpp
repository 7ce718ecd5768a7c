#include "SeatDeviceManager.h"

#include "Engine/GameInstance.h"
#include "HAL/PlatformProcess.h"
#include "HAL/PlatformTime.h"
#include "Misc/CoreMisc.h"
#include "SeatDeviceBackend.h"
#include "SeatHost/SeatHost.h"
#include "SeatMotionSource.h"
#include "UObject/UObjectGlobals.h"

#include <cmath>

namespace
{
// Park ramps are streamed at 100 Hz, a rate the seat's controller follows smoothly.
constexpr float ParkStepSeconds = 0.01f;

bool IsValidPort(int32 Port)
{
	return Port >= 1 && Port <= 65535;
}

// The library's seat model code: every model but a Tamsel is taken as an Orvida.
const KarvelSeat::SeatModel& SeatModelOf(ESeatModelType Type)
{
	return Type != ESeatModelType::Tamsel ? KarvelSeat::OrvidaSeat : KarvelSeat::TamselSeat;
}
}

USeatDeviceManager::USeatDeviceManager() = default;

// Only builds an object to read its vtable from: nothing is loaded, so there is nothing to release either.
USeatDeviceManager::USeatDeviceManager(FVTableHelper& Helper) : Super(Helper) {}

USeatDeviceManager::~USeatDeviceManager() = default;

bool USeatDeviceManager::ShouldCreateSubsystem(UObject* Outer) const
{
#if PLATFORM_WINDOWS
	const UGameInstance* GameInstance = Cast<UGameInstance>(Outer);
	if (IsRunningDedicatedServer() || (GameInstance && GameInstance->IsDedicatedServerInstance()))
	{
		return false;
	}
	return Super::ShouldCreateSubsystem(Outer);
#else
	return false;
#endif
}

void USeatDeviceManager::Warn(const FString& Line)
{
	const double Now = FPlatformTime::Seconds();
	if (Line.Equals(LastWarning))
	{
		++HeldWarnings;
		if (Now - LastWarningSeconds >= 1.0)
		{
			WriteHeldWarnings();
			LastWarningSeconds = Now;
		}
		return;
	}
	EndWarningRun();
	UE_LOG(LogTemp, Warning, TEXT("%s"), *Line);
	LastWarning = Line;
	LastWarningSeconds = Now;
}

void USeatDeviceManager::WriteHeldWarnings()
{
	if (HeldWarnings == 1)
	{
		UE_LOG(LogTemp, Warning, TEXT("%s"), *LastWarning);
	}
	else if (HeldWarnings > 1)
	{
		UE_LOG(LogTemp, Warning, TEXT("%s (repeated %d times)"), *LastWarning, HeldWarnings);
	}
	HeldWarnings = 0;
}

void USeatDeviceManager::EndWarningRun()
{
	WriteHeldWarnings();
	LastWarning = FString();
}

bool USeatDeviceManager::StartsNonFiniteRun()
{
	return IgnoredNonFinitePostures++ == 0;
}

void USeatDeviceManager::EndNonFiniteRun()
{
	if (IgnoredNonFinitePostures > 0)
	{
		EndWarningRun();
		UE_LOG(LogTemp, Log, TEXT("[Karvel] Postures resumed after %d non-finite inputs were ignored."), IgnoredNonFinitePostures);
		IgnoredNonFinitePostures = 0;
	}
}

void USeatDeviceManager::Initialize(FSubsystemCollectionBase& Collection)
{
	bSeatReady = false;
	ActiveConfig = nullptr;
	CurrentState = FSeatCurrentState();

	// Binding may fail here (the binding logs why); every registration tries again.
	Backend = CreateSeatDeviceBackend();
	if (Backend)
	{
		Backend->Initialize();
	}
}

void USeatDeviceManager::Deinitialize()
{
	EndWarningRun();
	UnregisterSeat();
	if (Backend)
	{
		// Effects off and home once more, for whatever the library is still configured with: it stays configured
		// after UnregisterSeat.
		Seat().Stop();
		// The library's workers send the queued commands in the background.
		FPlatformProcess::Sleep(0.1f);
		Backend->Shutdown();
		Backend = nullptr;
	}
}

bool USeatDeviceManager::RegisterSeatConfig(USeatDeviceConfig* InConfig)
{
	if (!InConfig)
	{
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Register failed: InConfig is null."));
		return false;
	}
	// The project's asset stays as it is: endpoint switches write into the manager's copy.
	return RegisterActiveConfig(DuplicateObject<USeatDeviceConfig>(InConfig, this));
}

bool USeatDeviceManager::RegisterActiveConfig(USeatDeviceConfig* Config)
{
	if (!Backend)
	{
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Register failed: Backend not initialized."));
		return false;
	}
	if (bSeatReady)
	{
		UnregisterSeat();
	}

	// The registration as it stands; the seat decides what of the effects reaches the library.
	FSeatBackendConfig BackendConfig;
	BackendConfig.SeatModel = SeatModelOf(Config->SeatType).Code;
	BackendConfig.UdpIp = Config->UdpIp;
	BackendConfig.UdpPort = Config->UdpPort;
	BackendConfig.bEnableEffects = Config->bEnableEffects;
	BackendConfig.RelayIp = Config->RelayIp;
	BackendConfig.RelayPort = Config->RelayPort;
	BackendConfig.SpeedIp = Config->SpeedIp;
	BackendConfig.SpeedPort = Config->SpeedPort;

	bSeatReady = Backend->Configure(BackendConfig);
	if (!bSeatReady)
	{
		ActiveConfig = nullptr;
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Failed to configure hardware backend."));
		return false;
	}

	ActiveConfig = Config;
	UpdateState();
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat Registered successfully with IP: %s"), *Config->UdpIp);
	return true;
}

bool USeatDeviceManager::RegisterSeatWithParameters(FSeatConnectParams ConnectParams)
{
	USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>(this);
	Config->SeatType = ConnectParams.SeatType;
	Config->UdpIp = ConnectParams.UdpIp;
	Config->UdpPort = ConnectParams.UdpPort;
	if (SeatModelOf(ConnectParams.SeatType).HasEffects)
	{
		Config->bEnableEffects = ConnectParams.bEnableEffects;
		Config->RelayIp = ConnectParams.RelayIp;
		Config->RelayPort = ConnectParams.RelayPort;
		Config->SpeedIp = ConnectParams.SpeedIp;
		Config->SpeedPort = ConnectParams.SpeedPort;
		Config->RelaySlaveAddress = 1;
		Config->SpeedSlaveAddress = 1;
		Config->SpeedRegisterAddress = 3;
	}
	else
	{
		// What the registration holds, as GetActiveConfig shows it: a seat without effects has no effects endpoints.
		Config->bEnableEffects = false;
		Config->RelayIp = FString();
		Config->SpeedIp = FString();
	}
	return RegisterActiveConfig(Config);
}

bool USeatDeviceManager::RegisterTamselSeat(const FString& UdpIp, int32 UdpPort)
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Tamsel;
	Params.UdpIp = UdpIp;
	Params.UdpPort = UdpPort;
	return RegisterSeatWithParameters(Params);
}

void USeatDeviceManager::AddMotionSourceObject(UObject* Object, ISeatMotionSource* Source)
{
	if (Source && !MotionSources.ContainsByPredicate([Source](const FMotionSourceEntry& Entry) { return Entry.Source == Source; }))
	{
		MotionSources.Add(FMotionSourceEntry{Object, Source});
	}
}

void USeatDeviceManager::RemoveMotionSource(const ISeatMotionSource* Source)
{
	MotionSources.RemoveAll([Source](const FMotionSourceEntry& Entry) { return Entry.Source == Source; });
}

void USeatDeviceManager::ParkMotionSource(ISeatMotionSource& Source)
{
	if (!CanCommand())
	{
		return;
	}
	Source.BeginPark();
	// One step more than the park time allows, so a ramp that needs all of it still ends at home.
	const int32 MaxSteps = static_cast<int32>(std::ceil(Source.GetParkSeconds() / ParkStepSeconds)) + 1;
	for (int32 Step = 0; Step < MaxSteps && Source.StepPark(ParkStepSeconds); ++Step)
	{
		FPlatformProcess::Sleep(ParkStepSeconds);
	}
}

void USeatDeviceManager::ParkMotionSources()
{
	// Sources that are gone are dropped first; a copy, so that a source may remove itself while it parks.
	MotionSources.RemoveAll([](const FMotionSourceEntry& Entry) { return !Entry.Object.IsValid(); });
	const TArray<FMotionSourceEntry> Sources = MotionSources;
	for (const FMotionSourceEntry& Entry : Sources)
	{
		if (Entry.Object.IsValid())
		{
			ParkMotionSource(*Entry.Source);
		}
	}
}

void USeatDeviceManager::UnregisterSeat()
{
	if (CanCommand())
	{
		Seat().Stop([this] { ParkMotionSources(); });
	}
	ActiveConfig = nullptr;
	CurrentState = FSeatCurrentState();
	bSeatReady = false;
}

void USeatDeviceManager::HoldEffectsForPause()
{
	if (CanCommand())
	{
		Seat().HoldEffectsForPause();
		UpdateState();
	}
}

void USeatDeviceManager::RestoreEffectsAfterPause()
{
	if (CanCommand())
	{
		Seat().RestoreEffectsAfterPause();
		UpdateState();
	}
}

const KarvelSeat::SeatModel& USeatDeviceManager::GetSeatModel() const
{
	return CanCommand() ? Seat().Model() : KarvelSeat::TamselSeat;
}

bool USeatDeviceManager::IsSeatReady() const
{
	return bSeatReady;
}

USeatDeviceConfig* USeatDeviceManager::GetActiveConfig() const
{
	return ActiveConfig;
}

const FSeatCurrentState& USeatDeviceManager::GetCurrentState() const
{
	return CurrentState;
}

FString USeatDeviceManager::GetSDKVersion() const
{
	return Backend ? Backend->GetVersion() : FString(TEXT("No Backend"));
}

bool USeatDeviceManager::CanCommand() const
{
	return bSeatReady && Backend;
}

KarvelSeat::SeatHost& USeatDeviceManager::Seat() const
{
	return Backend->GetSeat();
}

void USeatDeviceManager::UpdateState()
{
	const KarvelSeat::Posture& Posture = Seat().PostureInForce();
	const KarvelSeat::EffectLevels& Effects = Seat().EffectsInForce();
	CurrentState.CurrentPitch = Posture.Pitch;
	CurrentState.CurrentRoll = Posture.Roll;
	CurrentState.CurrentYaw = Posture.Yaw;
	CurrentState.CurrentHeight = Posture.Height;
	CurrentState.WindLevel = Effects.Wind;
	CurrentState.WaterMistType = Effects.WaterMist;
	CurrentState.ScentType = Effects.Scent;
	CurrentState.bHeaterOn = Effects.Heater;
}

void USeatDeviceManager::SendPosture(float Pitch, float Roll, float Yaw, float Height)
{
	if (!CanCommand())
	{
		return;
	}
	const KarvelSeat::Posture Requested{Pitch, Roll, Yaw, Height};
	// A NaN from game maths would otherwise be clamped to full deflection. A stream of them is reported once.
	if (!KarvelSeat::IsFinite(Requested))
	{
		if (StartsNonFiniteRun())
		{
			Warn(FString::Printf(TEXT("[Karvel] SendPosture ignored: non-finite input (Pitch %f, Roll %f, Yaw %f, Height %f)."),
				Pitch, Roll, Yaw, Height));
		}
		return;
	}
	EndNonFiniteRun();
	Seat().SendPosture(Requested);
	UpdateState();
}

void USeatDeviceManager::SendRotation(FRotator Rotation, float Height, float PitchSign, float RollSign, float YawSign)
{
	if (!CanCommand())
	{
		return;
	}
	const bool bFinite = std::isfinite(Rotation.Pitch) && std::isfinite(Rotation.Yaw) && std::isfinite(Rotation.Roll)
		&& std::isfinite(Height) && std::isfinite(PitchSign) && std::isfinite(RollSign) && std::isfinite(YawSign);
	if (!bFinite)
	{
		if (StartsNonFiniteRun())
		{
			Warn(FString::Printf(TEXT("[Karvel] SendRotation ignored: non-finite input (Pitch %f, Yaw %f, Roll %f, Height %f, Signs %f %f %f)."),
				Rotation.Pitch, Rotation.Yaw, Rotation.Roll, Height, PitchSign, RollSign, YawSign));
		}
		return;
	}
	const KarvelSeat::Posture Posture =
		KarvelSeat::RotatorPosture(Rotation.Pitch, Rotation.Yaw, Rotation.Roll, Height, PitchSign, RollSign, YawSign);
	SendPosture(Posture.Pitch, Posture.Roll, Posture.Yaw, Posture.Height);
}

void USeatDeviceManager::ResetPosition()
{
	if (CanCommand())
	{
		Seat().ResetPosition();
		UpdateState();
	}
}

bool USeatDeviceManager::SetUdpEndpoint(const FString& UdpIp, int32 UdpPort)
{
	if (!CanCommand())
	{
		Warn(TEXT("[Karvel] SetUdpEndpoint failed: SDK is not configured yet."));
		return false;
	}
	if (UdpIp.IsEmpty() || !IsValidPort(UdpPort))
	{
		Warn(FString::Printf(TEXT("[Karvel] SetUdpEndpoint failed: Invalid IP or Port (%s:%d)."), *UdpIp, UdpPort));
		return false;
	}
	if (!Seat().SetUdpEndpoint(TCHAR_TO_UTF8(*UdpIp), UdpPort))
	{
		Warn(FString::Printf(TEXT("[Karvel] Failed to switch UDP Endpoint to %s:%d"), *UdpIp, UdpPort));
		return false;
	}
	if (ActiveConfig)
	{
		ActiveConfig->UdpIp = UdpIp;
		ActiveConfig->UdpPort = UdpPort;
	}
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] UDP Endpoint switched successfully to %s:%d"), *UdpIp, UdpPort);
	return true;
}

bool USeatDeviceManager::SetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort)
{
	if (!CanCommand())
	{
		Warn(TEXT("[Karvel] SetEffectsEndpoints failed: SDK is not configured yet."));
		return false;
	}
	if (RelayIp.IsEmpty() || SpeedIp.IsEmpty() || !IsValidPort(RelayPort) || !IsValidPort(SpeedPort))
	{
		Warn(TEXT("[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters."));
		return false;
	}
	const FTCHARToUTF8 Relay(*RelayIp);
	const FTCHARToUTF8 Speed(*SpeedIp);
	if (!Seat().SetEffectsEndpoints(Relay.Get(), RelayPort, Speed.Get(), SpeedPort))
	{
		Warn(FString::Printf(TEXT("[Karvel] Failed to switch Effects Endpoints (Relay: %s:%d, Speed: %s:%d). Old connections retained."),
			*RelayIp, RelayPort, *SpeedIp, SpeedPort));
		return false;
	}
	if (ActiveConfig)
	{
		ActiveConfig->bEnableEffects = true;
		ActiveConfig->RelayIp = RelayIp;
		ActiveConfig->RelayPort = RelayPort;
		ActiveConfig->SpeedIp = SpeedIp;
		ActiveConfig->SpeedPort = SpeedPort;
	}
	UpdateState();
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Effects Endpoints atomically switched successfully (Relay: %s:%d, Speed: %s:%d)"),
		*RelayIp, RelayPort, *SpeedIp, SpeedPort);
	return true;
}

void USeatDeviceManager::SetWindSpeed(ESeatWindLevel Level)
{
	if (CanCommand())
	{
		Seat().SetWindSpeed(static_cast<int32>(Level));
		UpdateState();
	}
}

void USeatDeviceManager::SetWaterMist(ESeatWaterMistLevel Level)
{
	if (CanCommand())
	{
		Seat().SetWaterMist(static_cast<int32>(Level));
		UpdateState();
	}
}

void USeatDeviceManager::SetScent(ESeatScentLevel Level)
{
	if (CanCommand())
	{
		Seat().SetScent(static_cast<int32>(Level));
		UpdateState();
	}
}

void USeatDeviceManager::SetHeater(bool bOn)
{
	if (CanCommand())
	{
		Seat().SetHeater(bOn);
		UpdateState();
	}
}

void USeatDeviceManager::TurnOffAllEffects()
{
	if (CanCommand())
	{
		Seat().TurnOffAllEffects();
		UpdateState();
	}
}
