#include "SeatDeviceManager.h"

#include "Engine/GameInstance.h"
#include "HAL/PlatformProcess.h"
#include "HAL/PlatformTime.h"
#include "Misc/CoreMisc.h"
#include "SeatDeviceBackend.h"
#include "SeatMotionSource.h"

#include <cmath>

namespace
{
constexpr float MaxTilt = 15.0f;
constexpr float MaxYaw = 180.0f;
// Park ramps are streamed at 100 Hz, a rate the seat's controller follows smoothly.
constexpr float ParkStepSeconds = 0.01f;

// Upper bound first with a less-than test, then the lower bound.
float Clamp(float Value, float Low, float High)
{
	if (!(Value < High))
	{
		Value = High;
	}
	if (Value < Low)
	{
		Value = Low;
	}
	return Value;
}

bool AllFinite(std::initializer_list<double> Values)
{
	for (const double Value : Values)
	{
		if (!std::isfinite(Value))
		{
			return false;
		}
	}
	return true;
}

void ClearEffects(FSeatCurrentState& State)
{
	State.WindLevel = 0;
	State.WaterMistType = 0;
	State.ScentType = 0;
	State.bHeaterOn = false;
}

bool IsValidPort(int32 Port)
{
	return Port >= 1 && Port <= 65535;
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
		Backend->TurnOffAllEffects();
		Backend->ResetPosition();
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

	FSeatBackendConfig Config;
	Config.SeatModel = InConfig->SeatType != ESeatModelType::Tamsel ? 1 : 0;
	Config.UdpIp = InConfig->UdpIp;
	Config.UdpPort = InConfig->UdpPort;
	if (Config.SeatModel == 1)
	{
		Config.bEnableEffects = InConfig->bEnableEffects;
		Config.RelayIp = InConfig->RelayIp;
		Config.RelayPort = InConfig->RelayPort;
		Config.SpeedIp = InConfig->SpeedIp;
		Config.SpeedPort = InConfig->SpeedPort;
	}
	else
	{
		Config.RelayPort = 8234;
		Config.SpeedPort = 8234;
	}

	bSeatReady = Backend->Configure(Config);
	if (!bSeatReady)
	{
		ActiveConfig = nullptr;
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Failed to configure hardware backend."));
		return false;
	}

	ActiveConfig = InConfig;
	CurrentState = FSeatCurrentState();
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat Registered successfully with IP: %s"), *InConfig->UdpIp);
	return true;
}

bool USeatDeviceManager::RegisterSeatWithParameters(FSeatConnectParams ConnectParams)
{
	USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>(this);
	Config->SeatType = ConnectParams.SeatType;
	Config->UdpIp = ConnectParams.UdpIp;
	Config->UdpPort = ConnectParams.UdpPort;
	if (ConnectParams.SeatType != ESeatModelType::Tamsel)
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
		Config->bEnableEffects = false;
		Config->RelayIp = FString();
		Config->SpeedIp = FString();
	}
	return RegisterSeatConfig(Config);
}

bool USeatDeviceManager::RegisterTamselSeat(FString UdpIp, int32 UdpPort)
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Tamsel;
	Params.UdpIp = UdpIp;
	Params.UdpPort = UdpPort;
	return RegisterSeatWithParameters(Params);
}

void USeatDeviceManager::AddMotionSource(ISeatMotionSource* Source)
{
	if (Source)
	{
		MotionSources.AddUnique(Source);
	}
}

void USeatDeviceManager::RemoveMotionSource(ISeatMotionSource* Source)
{
	MotionSources.Remove(Source);
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

void USeatDeviceManager::UnregisterSeat()
{
	if (CanCommand())
	{
		for (ISeatMotionSource* Source : MotionSources)
		{
			ParkMotionSource(*Source);
		}
		Backend->TurnOffAllEffects();
		Backend->ResetPosition();
	}
	ActiveConfig = nullptr;
	CurrentState = FSeatCurrentState();
	bSeatReady = false;
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

FString USeatDeviceManager::GetSDKVersion()
{
	return Backend ? Backend->GetVersion() : FString(TEXT("No Backend"));
}

bool USeatDeviceManager::CanCommand() const
{
	return bSeatReady && Backend;
}

void USeatDeviceManager::SendPosture(float Pitch, float Roll, float Yaw, float Height)
{
	if (!CanCommand())
	{
		return;
	}
	// A NaN from game maths would otherwise be clamped to full deflection. A stream of them is reported once.
	if (!AllFinite({Pitch, Roll, Yaw, Height}))
	{
		if (StartsNonFiniteRun())
		{
			Warn(FString::Printf(TEXT("[Karvel] SendPosture ignored: non-finite input (Pitch %f, Roll %f, Yaw %f, Height %f)."),
				Pitch, Roll, Yaw, Height));
		}
		return;
	}
	EndNonFiniteRun();
	Pitch = Clamp(Pitch, -MaxTilt, MaxTilt);
	Roll = Clamp(Roll, -MaxTilt, MaxTilt);
	Yaw = Clamp(Yaw, -MaxYaw, MaxYaw);
	Height = Clamp(Height, 0.0f, 1.0f);

	Backend->SendSeatPosture(Pitch, Roll, Yaw, Height);
	CurrentState.CurrentPitch = Pitch;
	CurrentState.CurrentRoll = Roll;
	CurrentState.CurrentYaw = Yaw;
	CurrentState.CurrentHeight = Height;
}

void USeatDeviceManager::SendRotation(FRotator Rotation, float Height, float PitchSign, float RollSign, float YawSign)
{
	if (!CanCommand())
	{
		return;
	}
	if (!AllFinite({Rotation.Pitch, Rotation.Yaw, Rotation.Roll, Height, PitchSign, RollSign, YawSign}))
	{
		if (StartsNonFiniteRun())
		{
			Warn(FString::Printf(TEXT("[Karvel] SendRotation ignored: non-finite input (Pitch %f, Yaw %f, Roll %f, Height %f, Signs %f %f %f)."),
				Rotation.Pitch, Rotation.Yaw, Rotation.Roll, Height, PitchSign, RollSign, YawSign));
		}
		return;
	}
	const float Pitch = static_cast<float>(FRotator::NormalizeAxis(Rotation.Pitch)) * PitchSign;
	const float Roll = static_cast<float>(FRotator::NormalizeAxis(Rotation.Roll)) * RollSign;
	const float Yaw = static_cast<float>(FRotator::NormalizeAxis(Rotation.Yaw)) * YawSign;
	SendPosture(Pitch, Roll, Yaw, Height);
}

void USeatDeviceManager::ResetPosition()
{
	if (!CanCommand())
	{
		return;
	}
	Backend->ResetPosition();
	CurrentState.CurrentPitch = 0.0f;
	CurrentState.CurrentRoll = 0.0f;
	CurrentState.CurrentYaw = 0.0f;
	CurrentState.CurrentHeight = 0.5f;
}

bool USeatDeviceManager::SetUdpEndpoint(FString UdpIp, int32 UdpPort)
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
	if (!Backend->SetUdpEndpoint(UdpIp, UdpPort))
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

bool USeatDeviceManager::SetEffectsEndpoints(FString RelayIp, int32 RelayPort, FString SpeedIp, int32 SpeedPort)
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
	if (!Backend->SetEffectsEndpoints(RelayIp, RelayPort, SpeedIp, SpeedPort))
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
	ClearEffects(CurrentState);
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Effects Endpoints atomically switched successfully (Relay: %s:%d, Speed: %s:%d)"),
		*RelayIp, RelayPort, *SpeedIp, SpeedPort);
	return true;
}

void USeatDeviceManager::SetWindSpeed(ESeatWindLevel Level)
{
	if (CanCommand())
	{
		Backend->SetWindSpeed(static_cast<int32>(Level));
		CurrentState.WindLevel = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetWaterMist(ESeatWaterMistLevel Level)
{
	if (CanCommand())
	{
		Backend->SetWaterMist(static_cast<int32>(Level));
		CurrentState.WaterMistType = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetScent(ESeatScentLevel Level)
{
	if (CanCommand())
	{
		Backend->SetScent(static_cast<int32>(Level));
		CurrentState.ScentType = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetHeater(bool bOn)
{
	if (CanCommand())
	{
		Backend->SetHeater(bOn);
		CurrentState.bHeaterOn = bOn;
	}
}

void USeatDeviceManager::TurnOffAllEffects()
{
	if (CanCommand())
	{
		Backend->TurnOffAllEffects();
		ClearEffects(CurrentState);
	}
}
