#include "SeatDeviceManager.h"

#include "Engine/GameInstance.h"
#include "HAL/PlatformTime.h"
#include "Misc/CoreMisc.h"
#include "SeatDeviceBackend.h"
#include "SeatHost/PostureRules.h"
#include "SeatMotionSource.h"
#include "SeatMotionStream.h"
#include "SeatRuntime/SeatRuntime.h"
#include "UObject/UObjectGlobals.h"

#include <chrono>
#include <cmath>

namespace
{
bool IsValidPort(int32 Port)
{
	return Port >= 1 && Port <= 65535;
}

// The library's seat model code: every model but a Tamsel is taken as an Orvida.
const KarvelSeat::SeatModel& SeatModelOf(ESeatModelType Type)
{
	return Type != ESeatModelType::Tamsel ? KarvelSeat::OrvidaSeat : KarvelSeat::TamselSeat;
}

std::string Utf8(const FString& Text)
{
	return std::string(TCHAR_TO_UTF8(*Text));
}
}

bool FSeatDeviceCall::IsDone() const
{
	return !Result || Result->IsDone();
}

USeatDeviceManager::USeatDeviceManager() = default;

// Only builds an object to read its vtable from: nothing is loaded, so there is nothing to release either.
USeatDeviceManager::USeatDeviceManager(FVTableHelper& Helper) : Super(Helper) {}

USeatDeviceManager::~USeatDeviceManager()
{
	FTSTicker::RemoveTicker(TickHandle);
	DetachMotionStream();
	// The runtime goes first: its thread calls into the library the backend holds.
	Runtime = nullptr;
}

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
	ResetState();

	// Binding may fail here (the binding logs why); every registration tries again.
	Backend = CreateSeatDeviceBackend();
	if (!Backend)
	{
		return;
	}
	Backend->Initialize();
	// The runtime's lines come from its thread; the engine's log takes lines from any thread.
	Runtime = MakeUnique<KarvelSeat::SeatRuntime>(Backend->GetSeat(), [](KarvelSeat::RuntimeLogLevel Level, const std::string& Line) {
		const FString Text(UTF8_TO_TCHAR(Line.c_str()));
		if (Level == KarvelSeat::RuntimeLogLevel::Warning)
		{
			UE_LOG(LogTemp, Warning, TEXT("%s"), *Text);
		}
		else
		{
			UE_LOG(LogTemp, Log, TEXT("%s"), *Text);
		}
	});
	TickHandle = FTSTicker::GetCoreTicker().AddTicker(TEXT("SeatDeviceManager"), 0.0f, [this](float) {
		OnEngineFrame();
		return true;
	});
}

void USeatDeviceManager::Deinitialize()
{
	FTSTicker::RemoveTicker(TickHandle);
	EndWarningRun();
	UnregisterSeat();
	if (Runtime)
	{
		// Effects off and home once more, for whatever the library is still configured with: it stays configured
		// after UnregisterSeat. Destroying the runtime waits for these and for the park under way, if any.
		Runtime->StopSeat();
		Runtime = nullptr;
	}
	if (Backend)
	{
		Backend->Shutdown();
		Backend = nullptr;
	}
	Unfinished.Empty();
	PendingRegistration = nullptr;
}

void USeatDeviceManager::OnEngineFrame()
{
	if (!Runtime)
	{
		return;
	}
	Runtime->Heartbeat();
	// A copy: finishing a call takes it out of the list.
	const TArray<TSharedPtr<FSeatDeviceCall>> Calls = Unfinished;
	for (const TSharedPtr<FSeatDeviceCall>& Call : Calls)
	{
		if (Call->IsDone())
		{
			FinishSeatCall(*Call);
		}
	}
}

bool USeatDeviceManager::RegisterSeatConfig(USeatDeviceConfig* InConfig)
{
	return WaitAndFinish(StartRegisterSeatConfig(InConfig));
}

TSharedPtr<FSeatDeviceCall> USeatDeviceManager::StartRegisterSeatConfig(USeatDeviceConfig* InConfig)
{
	if (!InConfig)
	{
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Register failed: InConfig is null."));
		return nullptr;
	}
	// The project's asset stays as it is: endpoint switches write into the manager's copy.
	return StartRegistration(DuplicateObject<USeatDeviceConfig>(InConfig, this));
}

TSharedPtr<FSeatDeviceCall> USeatDeviceManager::StartRegistration(USeatDeviceConfig* Config)
{
	if (!Backend || !Runtime)
	{
		EndWarningRun();
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Register failed: Backend not initialized."));
		return nullptr;
	}
	// The previous seat, if there is one or one is being registered, goes off and home first.
	Runtime->Unregister();
	DetachMotionStream();
	bSeatReady = false;
	ActiveConfig = nullptr;
	ResetState();

	TSharedPtr<FSeatDeviceCall> Call = MakeShared<FSeatDeviceCall>();
	Call->Kind = FSeatDeviceCall::EKind::Registration;
	Call->Config = Config;
	PendingRegistration = Call;
	PendingConfig = Config;
	Unfinished.Add(Call);
	// Binding needs the engine's paths and loader, so it happens here; a library that cannot be bound fails the
	// registration at once (the binding logs why).
	if (!Backend->Initialize())
	{
		return Call;
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
	ISeatDeviceBackend* Binding = Backend.Get();
	Call->Result = Runtime->Register([Binding, BackendConfig] { return Binding->Configure(BackendConfig); });
	return Call;
}

USeatDeviceConfig* USeatDeviceManager::MakeConfig(const FSeatConnectParams& ConnectParams)
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
	return Config;
}

bool USeatDeviceManager::RegisterSeatWithParameters(FSeatConnectParams ConnectParams)
{
	return WaitAndFinish(StartRegisterSeatWithParameters(ConnectParams));
}

TSharedPtr<FSeatDeviceCall> USeatDeviceManager::StartRegisterSeatWithParameters(const FSeatConnectParams& ConnectParams)
{
	return StartRegistration(MakeConfig(ConnectParams));
}

bool USeatDeviceManager::RegisterTamselSeat(const FString& UdpIp, int32 UdpPort)
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Tamsel;
	Params.UdpIp = UdpIp;
	Params.UdpPort = UdpPort;
	return RegisterSeatWithParameters(Params);
}

bool USeatDeviceManager::WaitAndFinish(const TSharedPtr<FSeatDeviceCall>& Call)
{
	if (!Call)
	{
		return false;
	}
	if (Call->Result)
	{
		Call->Result->Wait();
	}
	return FinishSeatCall(*Call);
}

bool USeatDeviceManager::FinishSeatCall(FSeatDeviceCall& Call)
{
	if (Call.bFinished || !Call.IsDone())
	{
		return Call.bSucceeded;
	}
	Unfinished.RemoveAll([&Call](const TSharedPtr<FSeatDeviceCall>& Entry) { return Entry.Get() == &Call; });
	const bool bRan = Call.Result && Call.Result->Succeeded();
	switch (Call.Kind)
	{
	case FSeatDeviceCall::EKind::Registration: Call.bSucceeded = FinishRegistration(Call, bRan); break;
	case FSeatDeviceCall::EKind::UdpEndpoint: Call.bSucceeded = FinishUdpEndpoint(Call, bRan); break;
	case FSeatDeviceCall::EKind::EffectsEndpoints: Call.bSucceeded = FinishEffectsEndpoints(Call, bRan); break;
	}
	Call.bFinished = true;
	return Call.bSucceeded;
}

bool USeatDeviceManager::FinishRegistration(FSeatDeviceCall& Call, bool bConfigured)
{
	if (PendingRegistration.Get() != &Call)
	{
		// A later registration or an unregistration came while it ran: that one is in force.
		return false;
	}
	PendingRegistration = nullptr;
	PendingConfig = nullptr;
	bSeatReady = bConfigured;
	EndWarningRun();
	if (!bConfigured)
	{
		ActiveConfig = nullptr;
		UE_LOG(LogTemp, Error, TEXT("[Karvel] Failed to configure hardware backend."));
		return false;
	}
	ActiveConfig = Call.Config.Get();
	ResetState();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Seat Registered successfully with IP: %s"), ActiveConfig ? *ActiveConfig->UdpIp : TEXT(""));
	WakeMotionSources();
	return true;
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

void USeatDeviceManager::WakeMotionSources()
{
	// Sources that are gone are dropped first; a copy, so that a source may remove itself while it wakes.
	MotionSources.RemoveAll([](const FMotionSourceEntry& Entry) { return !Entry.Object.IsValid(); });
	const TArray<FMotionSourceEntry> Sources = MotionSources;
	for (const FMotionSourceEntry& Entry : Sources)
	{
		if (Entry.Object.IsValid())
		{
			Entry.Source->OnSeatReady();
		}
	}
}

TUniquePtr<FSeatMotionStream> USeatDeviceManager::BeginMotionStream(const UObject& Holder, const KarvelCueing::CueingProfile& Profile)
{
	if (!CanCommand() || (LiveStream && StreamHolder.IsValid() && StreamHolder.Get() != &Holder))
	{
		return nullptr;
	}
	DetachMotionStream();
	TUniquePtr<FSeatMotionStream> Stream = MakeUnique<FSeatMotionStream>(FSeatMotionStream::FGrant(), *this);
	LiveStream = Stream.Get();
	StreamHolder = &Holder;
	Runtime->BeginStream(Profile);
	return Stream;
}

const UObject* USeatDeviceManager::GetMotionStreamHolder() const
{
	return LiveStream ? StreamHolder.Get() : nullptr;
}

void USeatDeviceManager::EndMotionStream(FSeatMotionStream& Stream)
{
	if (LiveStream == &Stream)
	{
		Runtime->EndStream();
		LiveStream = nullptr;
		StreamHolder = nullptr;
	}
}

void USeatDeviceManager::DetachMotionStream()
{
	if (LiveStream)
	{
		LiveStream->Manager = nullptr;
		LiveStream = nullptr;
		StreamHolder = nullptr;
	}
}

void USeatDeviceManager::UnregisterSeat()
{
	// The runtime parks a stream under way, then turns the effects off and sends the seat home, if a seat is
	// registered or being registered; this returns at once.
	if (Runtime && (bSeatReady || PendingRegistration))
	{
		Runtime->Unregister();
	}
	DetachMotionStream();
	PendingRegistration = nullptr;
	PendingConfig = nullptr;
	bSeatReady = false;
	ActiveConfig = nullptr;
	ResetState();
}

void USeatDeviceManager::HoldEffectsForPause()
{
	if (CanCommand())
	{
		Runtime->HoldEffectsForPause();
		CurrentState.WindLevel = 0;
		CurrentState.WaterMistType = 0;
		CurrentState.ScentType = 0;
		CurrentState.bHeaterOn = false;
	}
}

void USeatDeviceManager::RestoreEffectsAfterPause()
{
	if (CanCommand())
	{
		Runtime->RestoreEffectsAfterPause();
	}
}

const KarvelSeat::SeatModel& USeatDeviceManager::GetSeatModel() const
{
	return CanCommand() && ActiveConfig ? SeatModelOf(ActiveConfig->SeatType) : KarvelSeat::TamselSeat;
}

bool USeatDeviceManager::WaitForSeatCommands(float TimeoutSeconds) const
{
	return !Runtime || Runtime->WaitForCommands(std::chrono::milliseconds(static_cast<int64>(TimeoutSeconds * 1000.0f)));
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
	RefreshState();
	return CurrentState;
}

FString USeatDeviceManager::GetSDKVersion() const
{
	return Backend ? Backend->GetVersion() : FString(TEXT("No Backend"));
}

bool USeatDeviceManager::CanCommand() const
{
	return bSeatReady && Backend && Runtime;
}

void USeatDeviceManager::ResetState()
{
	// Unregistered, the state holds its defaults; registered, the seat rests at its model's own home.
	CurrentState = FSeatCurrentState();
	const KarvelSeat::Posture& Home = GetSeatModel().Home;
	if (CanCommand())
	{
		CurrentState.CurrentPitch = Home.Pitch;
		CurrentState.CurrentRoll = Home.Roll;
		CurrentState.CurrentYaw = Home.Yaw;
		CurrentState.CurrentHeight = Home.Height;
	}
}

void USeatDeviceManager::RefreshState() const
{
	if (!CanCommand())
	{
		return;
	}
	const KarvelSeat::RuntimeState& State = Runtime->State();
	// Until the runtime has run everything the game asked, the state holds what was asked.
	if (State.CommandsDone != Runtime->CommandsPosted())
	{
		return;
	}
	CurrentState.CurrentPitch = State.PostureInForce.Pitch;
	CurrentState.CurrentRoll = State.PostureInForce.Roll;
	CurrentState.CurrentYaw = State.PostureInForce.Yaw;
	CurrentState.CurrentHeight = State.PostureInForce.Height;
	CurrentState.WindLevel = State.EffectsInForce.Wind;
	CurrentState.WaterMistType = State.EffectsInForce.WaterMist;
	CurrentState.ScentType = State.EffectsInForce.Scent;
	CurrentState.bHeaterOn = State.EffectsInForce.Heater;
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
	Runtime->SendPosture(Requested);
	const KarvelSeat::Posture Sent = KarvelSeat::ClampPosture(Requested);
	CurrentState.CurrentPitch = Sent.Pitch;
	CurrentState.CurrentRoll = Sent.Roll;
	CurrentState.CurrentYaw = Sent.Yaw;
	CurrentState.CurrentHeight = Sent.Height;
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
		Runtime->ResetPosition();
		const KarvelSeat::Posture& Home = GetSeatModel().Home;
		CurrentState.CurrentPitch = Home.Pitch;
		CurrentState.CurrentRoll = Home.Roll;
		CurrentState.CurrentYaw = Home.Yaw;
		CurrentState.CurrentHeight = Home.Height;
	}
}

bool USeatDeviceManager::SetUdpEndpoint(const FString& UdpIp, int32 UdpPort)
{
	return WaitAndFinish(StartSetUdpEndpoint(UdpIp, UdpPort));
}

TSharedPtr<FSeatDeviceCall> USeatDeviceManager::StartSetUdpEndpoint(const FString& UdpIp, int32 UdpPort)
{
	if (!CanCommand())
	{
		Warn(TEXT("[Karvel] SetUdpEndpoint failed: SDK is not configured yet."));
		return nullptr;
	}
	if (UdpIp.IsEmpty() || !IsValidPort(UdpPort))
	{
		Warn(FString::Printf(TEXT("[Karvel] SetUdpEndpoint failed: Invalid IP or Port (%s:%d)."), *UdpIp, UdpPort));
		return nullptr;
	}
	TSharedPtr<FSeatDeviceCall> Call = MakeShared<FSeatDeviceCall>();
	Call->Kind = FSeatDeviceCall::EKind::UdpEndpoint;
	Call->Config = ActiveConfig.Get();
	Call->Ip = UdpIp;
	Call->Port = UdpPort;
	Call->Result = Runtime->SetUdpEndpoint(Utf8(UdpIp), UdpPort);
	Unfinished.Add(Call);
	return Call;
}

bool USeatDeviceManager::FinishUdpEndpoint(FSeatDeviceCall& Call, bool bSwitched)
{
	if (!bSwitched)
	{
		Warn(FString::Printf(TEXT("[Karvel] Failed to switch UDP Endpoint to %s:%d"), *Call.Ip, Call.Port));
		return false;
	}
	// The registration in force when the switch began holds the new target; a later one has its own.
	if (USeatDeviceConfig* Config = Call.Config.Get(); Config && Config == ActiveConfig)
	{
		Config->UdpIp = Call.Ip;
		Config->UdpPort = Call.Port;
	}
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] UDP Endpoint switched successfully to %s:%d"), *Call.Ip, Call.Port);
	return true;
}

bool USeatDeviceManager::SetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort)
{
	return WaitAndFinish(StartSetEffectsEndpoints(RelayIp, RelayPort, SpeedIp, SpeedPort));
}

TSharedPtr<FSeatDeviceCall> USeatDeviceManager::StartSetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort)
{
	if (!CanCommand())
	{
		Warn(TEXT("[Karvel] SetEffectsEndpoints failed: SDK is not configured yet."));
		return nullptr;
	}
	if (RelayIp.IsEmpty() || SpeedIp.IsEmpty() || !IsValidPort(RelayPort) || !IsValidPort(SpeedPort))
	{
		Warn(TEXT("[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters."));
		return nullptr;
	}
	TSharedPtr<FSeatDeviceCall> Call = MakeShared<FSeatDeviceCall>();
	Call->Kind = FSeatDeviceCall::EKind::EffectsEndpoints;
	Call->Config = ActiveConfig.Get();
	Call->Ip = RelayIp;
	Call->Port = RelayPort;
	Call->SpeedIp = SpeedIp;
	Call->SpeedPort = SpeedPort;
	Call->Result = Runtime->SetEffectsEndpoints(Utf8(RelayIp), RelayPort, Utf8(SpeedIp), SpeedPort);
	Unfinished.Add(Call);
	return Call;
}

bool USeatDeviceManager::FinishEffectsEndpoints(FSeatDeviceCall& Call, bool bSwitched)
{
	if (!bSwitched)
	{
		Warn(FString::Printf(TEXT("[Karvel] Failed to switch Effects Endpoints (Relay: %s:%d, Speed: %s:%d). Old connections retained."),
			*Call.Ip, Call.Port, *Call.SpeedIp, Call.SpeedPort));
		return false;
	}
	if (USeatDeviceConfig* Config = Call.Config.Get(); Config && Config == ActiveConfig)
	{
		Config->bEnableEffects = true;
		Config->RelayIp = Call.Ip;
		Config->RelayPort = Call.Port;
		Config->SpeedIp = Call.SpeedIp;
		Config->SpeedPort = Call.SpeedPort;
	}
	// The new devices start with every effect off.
	CurrentState.WindLevel = 0;
	CurrentState.WaterMistType = 0;
	CurrentState.ScentType = 0;
	CurrentState.bHeaterOn = false;
	EndWarningRun();
	UE_LOG(LogTemp, Log, TEXT("[Karvel] Effects Endpoints atomically switched successfully (Relay: %s:%d, Speed: %s:%d)"),
		*Call.Ip, Call.Port, *Call.SpeedIp, Call.SpeedPort);
	return true;
}

void USeatDeviceManager::SetWindSpeed(ESeatWindLevel Level)
{
	if (CanCommand())
	{
		Runtime->SetWindSpeed(static_cast<int32>(Level));
		CurrentState.WindLevel = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetWaterMist(ESeatWaterMistLevel Level)
{
	if (CanCommand())
	{
		Runtime->SetWaterMist(static_cast<int32>(Level));
		CurrentState.WaterMistType = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetScent(ESeatScentLevel Level)
{
	if (CanCommand())
	{
		Runtime->SetScent(static_cast<int32>(Level));
		CurrentState.ScentType = static_cast<int32>(Level);
	}
}

void USeatDeviceManager::SetHeater(bool bOn)
{
	if (CanCommand())
	{
		Runtime->SetHeater(bOn);
		CurrentState.bHeaterOn = bOn;
	}
}

void USeatDeviceManager::TurnOffAllEffects()
{
	if (CanCommand())
	{
		Runtime->TurnOffAllEffects();
		CurrentState.WindLevel = 0;
		CurrentState.WaterMistType = 0;
		CurrentState.ScentType = 0;
		CurrentState.bHeaterOn = false;
	}
}

bool USeatDeviceManager::ConfigureMotionRuntime(float FrameRate, float WatchdogSeconds)
{
	KarvelSeat::RuntimeSettings Settings;
	Settings.FrameRate = FrameRate;
	Settings.WatchdogSeconds = WatchdogSeconds;
	const std::string Problem = Settings.Validate();
	if (!Problem.empty())
	{
		Warn(FString::Printf(TEXT("[Karvel] Motion runtime settings refused, the current ones stay: %s"), UTF8_TO_TCHAR(Problem.c_str())));
		return false;
	}
	if (Runtime)
	{
		Runtime->ApplySettings(Settings);
	}
	return true;
}

FSeatMotionStream::~FSeatMotionStream()
{
	if (Manager)
	{
		Manager->EndMotionStream(*this);
	}
}

void FSeatMotionStream::Post(const KarvelSeat::MotionSample& Sample)
{
	if (Manager)
	{
		Manager->Runtime->PostSample(Sample);
	}
}

void FSeatMotionStream::SetProfile(const KarvelCueing::CueingProfile& Profile)
{
	if (Manager)
	{
		Manager->Runtime->SetProfile(Profile);
	}
}

void FSeatMotionStream::Recentre()
{
	if (Manager)
	{
		Manager->Runtime->Recentre();
	}
}

void FSeatMotionStream::Record(std::unique_ptr<KarvelCueing::CueRecorder> Recorder)
{
	if (Manager)
	{
		Manager->Runtime->Record(std::move(Recorder));
	}
}

void FSeatMotionStream::StopRecording()
{
	if (Manager)
	{
		Manager->Runtime->StopRecording();
	}
}

bool FSeatMotionStream::IsParked() const
{
	return !Manager || Manager->Runtime->State().StreamParked;
}
