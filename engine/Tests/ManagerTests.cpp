// The seat device manager in a game instance, against the fake seat library: registration bookkeeping,
// what reaches the library, the state snapshot, the log lines and the shutdown sequence.
#include "FakeSeatSupport.h"

#include "UObject/WeakObjectPtr.h"

#include <limits>

namespace
{
using Strings = std::vector<std::string>;

class SeatDeviceManager : public FFakeSeatLibraryTest
{
protected:
	bool RegisterTamsel()
	{
		const bool bRegistered = Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408);
		TakeCalls();
		return bRegistered;
	}

	Strings KarvelLines() const { return TextsStartingWith(Log, "[Karvel] "); }

	static void ExpectState(const FSeatCurrentState& State, float Pitch, float Roll, float Yaw, float Height)
	{
		EXPECT_EQ(State.CurrentPitch, Pitch);
		EXPECT_EQ(State.CurrentRoll, Roll);
		EXPECT_EQ(State.CurrentYaw, Yaw);
		EXPECT_EQ(State.CurrentHeight, Height);
	}

	static void ExpectEffects(const FSeatCurrentState& State, int32 Wind, int32 Mist, int32 Scent, bool bHeater)
	{
		EXPECT_EQ(State.WindLevel, Wind);
		EXPECT_EQ(State.WaterMistType, Mist);
		EXPECT_EQ(State.ScentType, Scent);
		EXPECT_EQ(State.bHeaterOn, bHeater);
	}

};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();
}

TEST_F(SeatDeviceManager, RegistrationPathsHandTheLibraryTheirEndpoints)
{
	EXPECT_TRUE(Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408));
	EXPECT_EQ(TakeCalls(), Strings{"Configure(0,127.0.0.1,7408,0,,8234,,8234)"});
	EXPECT_TRUE(Manager().IsSeatReady());
	ASSERT_NE(Manager().GetActiveConfig(), nullptr);
	EXPECT_EQ(Manager().GetActiveConfig()->GetOuter(), &Manager());

	FSeatConnectParams Tamsel = OrvidaParams();
	Tamsel.SeatType = ESeatModelType::Tamsel;
	EXPECT_TRUE(Manager().RegisterSeatWithParameters(Tamsel));
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition", "Configure(0,127.0.0.1,7000,0,,8234,,8234)"}))
		<< "the previous seat goes off and home first; a Tamsel gets no effects";
	const USeatDeviceConfig* Active = Manager().GetActiveConfig();
	ASSERT_NE(Active, nullptr);
	EXPECT_FALSE(Active->bEnableEffects);
	EXPECT_TRUE(Active->RelayIp.IsEmpty());
	EXPECT_TRUE(Active->SpeedIp.IsEmpty());

	EXPECT_TRUE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition", "Configure(1,127.0.0.1,7000,1,127.0.0.7,502,127.0.0.8,503)"}));
	Active = Manager().GetActiveConfig();
	EXPECT_EQ(Active->SeatType, ESeatModelType::Orvida);
	EXPECT_EQ(ToUtf8(Active->RelayIp), "127.0.0.7");
	EXPECT_EQ(Active->SpeedPort, 503);
	EXPECT_EQ(Active->SpeedRegisterAddress, 3);

	// An asset's own Orvida without the effects switch ticked passes no effects endpoints. The manager holds a
	// copy of its own, with the asset's values.
	USeatDeviceConfig* Asset = NewObject<USeatDeviceConfig>();
	Asset->SeatType = ESeatModelType::Orvida;
	Asset->UdpIp = TEXT("127.0.0.9");
	Asset->SpeedSlaveAddress = 4;
	EXPECT_TRUE(Manager().RegisterSeatConfig(Asset));
	EXPECT_EQ(TakeCalls().back(), "Configure(1,127.0.0.9,7408,0,,8234,,8234)");
	USeatDeviceConfig* Copy = Manager().GetActiveConfig();
	ASSERT_NE(Copy, nullptr);
	EXPECT_NE(Copy, Asset);
	EXPECT_EQ(Copy->GetOuter(), &Manager());
	EXPECT_EQ(Copy->SeatType, ESeatModelType::Orvida);
	EXPECT_EQ(ToUtf8(Copy->UdpIp), "127.0.0.9");
	EXPECT_EQ(ToUtf8(Copy->RelayIp), "192.168.15.211");
	EXPECT_EQ(Copy->SpeedSlaveAddress, 4);

	EXPECT_FALSE(Manager().RegisterSeatConfig(nullptr));
	EXPECT_TRUE(TakeCalls().empty());
	EXPECT_TRUE(Manager().IsSeatReady()) << "a null asset leaves the registration in force";
	EXPECT_EQ(Manager().GetActiveConfig(), Copy);

	EXPECT_EQ(KarvelLines(), (Strings{"[Karvel] Seat Registered successfully with IP: 127.0.0.1",
		"[Karvel] Seat Registered successfully with IP: 127.0.0.1", "[Karvel] Seat Registered successfully with IP: 127.0.0.1",
		"[Karvel] Seat Registered successfully with IP: 127.0.0.9", "[Karvel] Register failed: InConfig is null."}));
}

TEST_F(SeatDeviceManager, AFailedRegistrationLeavesNothingBehind)
{
	ASSERT_TRUE(RegisterTamsel());
	Manager().SendPosture(5.0f, 5.0f, 5.0f, 0.75f);
	Manager().SetHeater(true);
	Fake->SetResult(false);
	EXPECT_FALSE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	EXPECT_FALSE(Manager().IsSeatReady());
	EXPECT_EQ(Manager().GetActiveConfig(), nullptr);
	ExpectState(Manager().GetCurrentState(), 0.0f, 0.0f, 0.0f, 0.5f);
	ExpectEffects(Manager().GetCurrentState(), 0, 0, 0, false);
	EXPECT_EQ(KarvelLines().back(), "[Karvel] Failed to configure hardware backend.");

	TakeCalls();
	Manager().SendPosture(1.0f, 1.0f, 1.0f, 0.5f);
	Manager().SetWindSpeed(ESeatWindLevel(3));
	Manager().ResetPosition();
	EXPECT_TRUE(TakeCalls().empty()) << "commands are refused while unregistered";
	ExpectState(Manager().GetCurrentState(), 0.0f, 0.0f, 0.0f, 0.5f);
}

TEST_F(SeatDeviceManager, PosturesAreClampedAndRotatorsNormalised)
{
	Manager().SendPosture(1.0f, 1.0f, 1.0f, 0.5f);
	EXPECT_TRUE(TakeCalls().empty()) << "nothing before a registration";
	ASSERT_TRUE(RegisterTamsel());

	Manager().SendPosture(20.0f, -20.0f, 200.0f, 2.0f);
	ExpectState(Manager().GetCurrentState(), 15.0f, -15.0f, 180.0f, 1.0f);
	Manager().SendPosture(-15.0f, 15.0f, -180.0f, 0.0f);
	Manager().SendRotation(FRotator(370.0, -190.0, 0.0));
	Manager().SendRotation(FRotator(0.0, -180.0, 0.0));
	Manager().SendRotation(FRotator(10.0, 0.0, 0.0), 0.5f, -1.0f);
	Manager().SendRotation(FRotator(30.0, 0.0, -725.0), 0.25f, 1.0f, 2.0f, 0.0f);
	Manager().SendRotation(FRotator(-367.5, 90.0, 5.0), 0.5f, 1.0f, -1.0f, -1.0f);
	EXPECT_EQ(TakeCalls(), (Strings{"Posture(15,-15,180,1)", "Posture(-15,15,-180,0)", "Posture(10,0,170,0.5)",
		"Posture(0,0,180,0.5)", "Posture(-10,0,0,0.5)", "Posture(15,-10,0,0.25)", "Posture(-7.5,-5,-90,0.5)"}));
	ExpectState(Manager().GetCurrentState(), -7.5f, -5.0f, -90.0f, 0.5f);

	// The snapshot holds the model's own home: a Tamsel rests at the bottom of the stroke, an Orvida mid-stroke.
	Manager().ResetPosition();
	EXPECT_EQ(TakeCalls(), Strings{"ResetPosition"});
	ExpectState(Manager().GetCurrentState(), 0.0f, 0.0f, 0.0f, 0.0f);
	ASSERT_TRUE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	ExpectState(Manager().GetCurrentState(), 0.0f, 0.0f, 0.0f, 0.5f);
	Manager().SendPosture(1.0f, 1.0f, 1.0f, 1.0f);
	Manager().ResetPosition();
	ExpectState(Manager().GetCurrentState(), 0.0f, 0.0f, 0.0f, 0.5f);
}

TEST_F(SeatDeviceManager, NonFiniteInputSendsNothingAndKeepsTheSnapshot)
{
	ASSERT_TRUE(RegisterTamsel());
	Manager().SendPosture(3.0f, 4.0f, 5.0f, 0.6f);
	TakeCalls();

	Manager().SendPosture(NaN, 0.0f, 0.0f, 0.5f);
	Manager().SendPosture(0.0f, 0.0f, 0.0f, Infinity);
	Manager().SendRotation(FRotator(std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0));
	Manager().SendRotation(FRotator(0.0, 0.0, 0.0), 0.5f, 1.0f, 1.0f, -Infinity);
	Manager().SendRotation(FRotator(10.0, 0.0, 0.0), 0.5f, 1e38f);
	EXPECT_TRUE(TakeCalls().empty());
	ExpectState(Manager().GetCurrentState(), 3.0f, 4.0f, 5.0f, 0.6f);

	// One warning for the whole run of refused calls (a NaN every tick must not flood the log), one line when
	// postures resume, and a warning again for the next run.
	Manager().SendPosture(1.0f, 2.0f, 3.0f, 0.5f);
	Manager().SendRotation(FRotator(0.0, 0.0, 0.0), 0.5f, 1.0f, 1.0f, -Infinity);
	EXPECT_EQ(TakeCalls(), Strings{"Posture(1,2,3,0.5)"});
	const Strings Lines = KarvelLines();
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[1], "[Karvel] SendPosture ignored: non-finite input (Pitch nan, Roll 0.000000, Yaw 0.000000, Height 0.500000).");
	EXPECT_EQ(Lines[2], "[Karvel] Postures resumed after 5 non-finite inputs were ignored.");
	EXPECT_EQ(Lines[3].rfind("[Karvel] SendRotation ignored: non-finite input (Pitch 0.000000, ", 0), 0u) << Lines[3];
}

TEST_F(SeatDeviceManager, EffectsReachTheLibraryAndTheSnapshot)
{
	Manager().SetHeater(true);
	Manager().TurnOffAllEffects();
	EXPECT_TRUE(TakeCalls().empty());
	ASSERT_TRUE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	TakeCalls();

	Manager().SetWindSpeed(ESeatWindLevel(3));
	Manager().SetWaterMist(ESeatWaterMistLevel(2));
	Manager().SetScent(ESeatScentLevel(1));
	Manager().SetHeater(true);
	ExpectEffects(Manager().GetCurrentState(), 3, 2, 1, true);
	Manager().TurnOffAllEffects();
	ExpectEffects(Manager().GetCurrentState(), 0, 0, 0, false);
	EXPECT_EQ(TakeCalls(), (Strings{"Wind(3)", "Mist(2)", "Scent(1)", "Heater(1)", "TurnOffAllEffects"}));

	Manager().SetScent(ESeatScentLevel(2));
	Manager().UnregisterSeat();
	EXPECT_EQ(TakeCalls(), (Strings{"Scent(2)", "TurnOffAllEffects", "ResetPosition"}));
	ExpectEffects(Manager().GetCurrentState(), 0, 0, 0, false);
	Manager().SetWindSpeed(ESeatWindLevel(1));
	EXPECT_TRUE(TakeCalls().empty()) << "refused after UnregisterSeat";
	EXPECT_FALSE(Manager().IsSeatReady());
	EXPECT_EQ(Manager().GetActiveConfig(), nullptr);
}

TEST_F(SeatDeviceManager, UdpEndpointSwitchIsValidatedAndRecorded)
{
	EXPECT_FALSE(Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408));
	ASSERT_TRUE(RegisterTamsel());
	EXPECT_FALSE(Manager().SetUdpEndpoint(TEXT(""), 7408));
	EXPECT_FALSE(Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 0));
	EXPECT_FALSE(Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 65536));
	EXPECT_TRUE(TakeCalls().empty());
	EXPECT_TRUE(Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 1));
	EXPECT_TRUE(Manager().SetUdpEndpoint(TEXT("127.0.0.3"), 65535));
	EXPECT_EQ(TakeCalls(), (Strings{"SetUdpEndpoint(127.0.0.2,1)", "SetUdpEndpoint(127.0.0.3,65535)"}));
	EXPECT_EQ(ToUtf8(Manager().GetActiveConfig()->UdpIp), "127.0.0.3");
	EXPECT_EQ(Manager().GetActiveConfig()->UdpPort, 65535);

	Fake->SetResult(false);
	EXPECT_FALSE(Manager().SetUdpEndpoint(TEXT("127.0.0.4"), 7408));
	EXPECT_EQ(ToUtf8(Manager().GetActiveConfig()->UdpIp), "127.0.0.3");
	EXPECT_TRUE(Manager().IsSeatReady());

	const Strings Lines = KarvelLines();
	EXPECT_EQ(Strings(Lines.begin() + 2, Lines.end()), (Strings{"[Karvel] SetUdpEndpoint failed: Invalid IP or Port (:7408).",
		"[Karvel] SetUdpEndpoint failed: Invalid IP or Port (127.0.0.2:0).",
		"[Karvel] SetUdpEndpoint failed: Invalid IP or Port (127.0.0.2:65536).",
		"[Karvel] UDP Endpoint switched successfully to 127.0.0.2:1", "[Karvel] UDP Endpoint switched successfully to 127.0.0.3:65535",
		"[Karvel] Failed to switch UDP Endpoint to 127.0.0.4:7408"}));
	EXPECT_EQ(Lines[0], "[Karvel] SetUdpEndpoint failed: SDK is not configured yet.");
}

TEST_F(SeatDeviceManager, EffectsEndpointSwitchOnATamselTurnsTheEffectsSwitchOn)
{
	EXPECT_FALSE(Manager().SetEffectsEndpoints());
	ASSERT_TRUE(RegisterTamsel());
	EXPECT_FALSE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 8234, TEXT(""), 8234));
	EXPECT_FALSE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 65536, TEXT("127.0.0.8"), 8234));
	EXPECT_FALSE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 8234, TEXT("127.0.0.8"), 0));
	EXPECT_TRUE(TakeCalls().empty());

	Manager().SetHeater(true);
	EXPECT_TRUE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 1, TEXT("127.0.0.8"), 65535));
	EXPECT_EQ(TakeCalls(), (Strings{"Heater(1)", "SetEffectsEndpoints(127.0.0.7,1,127.0.0.8,65535)"}));
	const USeatDeviceConfig* Active = Manager().GetActiveConfig();
	EXPECT_EQ(Active->SeatType, ESeatModelType::Tamsel);
	EXPECT_TRUE(Active->bEnableEffects);
	EXPECT_EQ(ToUtf8(Active->SpeedIp), "127.0.0.8");
	EXPECT_EQ(Active->RelayPort, 1);
	ExpectEffects(Manager().GetCurrentState(), 0, 0, 0, false);

	Fake->SetResult(false);
	EXPECT_FALSE(Manager().SetEffectsEndpoints(TEXT("127.0.0.9"), 2, TEXT("127.0.0.10"), 3));
	EXPECT_EQ(ToUtf8(Active->RelayIp), "127.0.0.7");

	const Strings Lines = KarvelLines();
	EXPECT_EQ(Lines, (Strings{"[Karvel] SetEffectsEndpoints failed: SDK is not configured yet.",
		"[Karvel] Seat Registered successfully with IP: 127.0.0.1",
		"[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters.",
		"[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters. (repeated 2 times)",
		"[Karvel] Effects Endpoints atomically switched successfully (Relay: 127.0.0.7:1, Speed: 127.0.0.8:65535)",
		"[Karvel] Failed to switch Effects Endpoints (Relay: 127.0.0.9:2, Speed: 127.0.0.10:3). Old connections retained."}));
}

TEST_F(SeatDeviceManager, DeinitializeTurnsOffHomesAndUnloadsWithoutSleeping)
{
	ASSERT_TRUE(RegisterTamsel());
	EXPECT_EQ(ToUtf8(Manager().GetSDKVersion()), "Fake seat library 1.0");
	UE::StandIn::ClearSleepRequests();
	USeatDeviceManager* Subsystem = &Manager();
	Game->Shutdown();
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition", "TurnOffAllEffects", "ResetPosition", "Release",
		"SetLogCallback(null)"}));
	EXPECT_TRUE(UE::StandIn::GetSleepRequests().empty()) << "the runtime sent them before the release; nothing sleeps";
	EXPECT_EQ(ToUtf8(Subsystem->GetSDKVersion()), "No Backend");
	EXPECT_FALSE(Subsystem->IsSeatReady());
	Fake.reset();
	EXPECT_FALSE(IsLoaded(LibraryPath));
}

TEST_F(SeatDeviceManager, DeinitializeAfterUnregisterStillSendsOffAndHome)
{
	ASSERT_TRUE(RegisterTamsel());
	Manager().UnregisterSeat();
	TakeCalls();
	Game->Shutdown();
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition", "Release", "SetLogCallback(null)"}));
}

TEST_F(SeatDeviceManager, WithoutALibraryRegistrationFailsAndTheVersionSaysSo)
{
	Game->Shutdown();
	Fake.reset();
	std::filesystem::remove(LibraryPath);
	FLogCapture Fresh;
	FTestGameInstance Other;
	EXPECT_FALSE(Other.Manager().RegisterTamselSeat());
	EXPECT_EQ(ToUtf8(Other.Manager().GetSDKVersion()), "DLL Not Loaded");
	const std::string NotFound = "[Karvel] DLL not found: " + Dir.Get().string() + "/" + SourceDll;
	EXPECT_EQ(TextsStartingWith(Fresh, "[Karvel] "), (Strings{NotFound, NotFound, "[Karvel] Failed to configure hardware backend."}))
		<< "the version is no attempt to load";
}

TEST_F(SeatDeviceManager, ASecondGameInstanceLeavesTheFirstOneWorking)
{
	ASSERT_TRUE(RegisterTamsel());
	{
		FTestGameInstance Second;
		EXPECT_EQ(ToUtf8(Second.Manager().GetSDKVersion()), "Fake seat library 1.0");
	}
	Manager().SendPosture(1.0f, 2.0f, 3.0f, 0.5f);
	EXPECT_EQ(TakeCalls(), (Strings{"SetLogCallback(set)", "Posture(1,2,3,0.5)"})) << "not released, log still hooked";
	Fake->Log(1, "[Ridova][INFO] still here");
	EXPECT_EQ(TextsStartingWith(Log, "[Ridova DLL]"), Strings{"[Ridova DLL] [Ridova][INFO] still here"});
}

TEST_F(SeatDeviceManager, EveryManagerLineHasItsVerbosity)
{
	Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408);
	Manager().SetEffectsEndpoints();
	Fake->SetResult(false);
	Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408);
	Fake->SetResult(true);
	Manager().RegisterSeatConfig(nullptr);
	ASSERT_TRUE(RegisterTamsel());
	Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 0);
	Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408);
	Manager().SetEffectsEndpoints(TEXT(""), 1, TEXT("127.0.0.8"), 1);
	Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 1, TEXT("127.0.0.8"), 1);
	Fake->SetResult(false);
	Manager().SetUdpEndpoint(TEXT("127.0.0.3"), 7408);
	Manager().SetEffectsEndpoints(TEXT("127.0.0.9"), 1, TEXT("127.0.0.8"), 1);
	USeatDeviceManager* Subsystem = &Manager();
	Game->Shutdown();
	Subsystem->RegisterSeatConfig(NewObject<USeatDeviceConfig>());

	constexpr ELogVerbosity::Type Error = ELogVerbosity::Error;
	constexpr ELogVerbosity::Type Warning = ELogVerbosity::Warning;
	constexpr ELogVerbosity::Type Info = ELogVerbosity::Log;
	const std::vector<std::pair<std::string, ELogVerbosity::Type>> Expected = {
		{"[Karvel] SetUdpEndpoint failed: SDK is not configured yet.", Warning},
		{"[Karvel] SetEffectsEndpoints failed: SDK is not configured yet.", Warning},
		{"[Karvel] Failed to configure hardware backend.", Error},
		{"[Karvel] Register failed: InConfig is null.", Error},
		{"[Karvel] Seat Registered successfully with IP: 127.0.0.1", Info},
		{"[Karvel] SetUdpEndpoint failed: Invalid IP or Port (127.0.0.2:0).", Warning},
		{"[Karvel] UDP Endpoint switched successfully to 127.0.0.2:7408", Info},
		{"[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters.", Warning},
		{"[Karvel] Effects Endpoints atomically switched successfully (Relay: 127.0.0.7:1, Speed: 127.0.0.8:1)", Info},
		{"[Karvel] Failed to switch UDP Endpoint to 127.0.0.3:7408", Warning},
		{"[Karvel] Failed to switch Effects Endpoints (Relay: 127.0.0.9:1, Speed: 127.0.0.8:1). Old connections retained.", Warning},
		{"[Karvel] Register failed: Backend not initialized.", Error},
	};
	std::vector<std::pair<std::string, ELogVerbosity::Type>> Seen;
	for (const FLogCapture::FLine& Line : LinesStartingWith(Log, "[Karvel] "))
	{
		EXPECT_EQ(Line.Category, "LogTemp");
		Seen.emplace_back(Line.Text, Line.Verbosity);
	}
	EXPECT_EQ(Seen, Expected);
}

// The library's calls (which the fake reports at DEBUG, from whatever thread calls it) with the number of
// platform sleeps made before each.
class FCallsBetweenSleeps : public FOutputDevice
{
public:
	FCallsBetweenSleeps() { FOutputDeviceRedirector::Get().AddOutputDevice(this); }
	~FCallsBetweenSleeps() override { FOutputDeviceRedirector::Get().RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Line, ELogVerbosity::Type, const FString&) override
	{
		const std::string Text = TCHAR_TO_UTF8(Line);
		const std::string Prefix = "[Ridova DLL] [Ridova][DEBUG] call ";
		if (Text.rfind(Prefix, 0) == 0)
		{
			std::lock_guard<std::mutex> Lock(Mutex);
			Events.push_back(Text.substr(Prefix.size()) + " after " + std::to_string(UE::StandIn::GetSleepRequests().size()));
		}
	}

	std::mutex Mutex;
	std::vector<std::string> Events;
};

TEST_F(SeatDeviceManager, TheShutdownSendsOffAndHomeBeforeTheReleaseAndNeverSleeps)
{
	ASSERT_TRUE(RegisterTamsel());
	const FVerboseLogTemp Verbose;
	UE::StandIn::ClearSleepRequests();
	FCallsBetweenSleeps Timeline;
	Game->Shutdown();
	EXPECT_EQ(Timeline.Events, (Strings{"TurnOffAllEffects after 0", "ResetPosition after 0", "TurnOffAllEffects after 0",
		"ResetPosition after 0", "Release after 0"}));
	EXPECT_TRUE(UE::StandIn::GetSleepRequests().empty());
}

TEST_F(SeatDeviceManager, ALibraryMissingAtStartIsLoadedAtTheNextRegistration)
{
	Game->Shutdown();
	Fake.reset();
	std::filesystem::remove(LibraryPath);
	FLogCapture Fresh;
	FTestGameInstance Late;
	ASSERT_FALSE(IsLoaded(LibraryPath));
	EXPECT_EQ(TextsStartingWith(Fresh, "[Karvel] "), Strings{"[Karvel] DLL not found: " + Dir.Get().string() + "/" + SourceDll});

	Dir.Place(KARVEL_FAKE_LIBRARY_PATH, BinariesDll);
	EXPECT_TRUE(Late.Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408));
	EXPECT_TRUE(Late.Manager().IsSeatReady());
	Fake = std::make_unique<FFakeLibrary>(LibraryPath);
	ASSERT_TRUE(Fake->IsValid());
	EXPECT_EQ(TakeCalls(), (Strings{"SetLogCallback(set)", "Configure(0,127.0.0.1,7408,0,,8234,,8234)"}));
	Late.Manager().SendPosture(1.0f, 0.0f, 0.0f, 0.5f);
	ASSERT_TRUE(Late.Manager().WaitForSeatCommands(10.0f));
	EXPECT_EQ(TakeCalls(), Strings{"Posture(1,0,0,0.5)"});
}

// In play-in-editor a registered asset is the project's loaded asset: endpoint switches must not change it, or
// the change could be saved with the project.
TEST_F(SeatDeviceManager, EndpointSwitchesNeverWriteIntoTheProjectsAsset)
{
	USeatDeviceConfig* Asset = NewObject<USeatDeviceConfig>();
	Asset->AddToRoot();
	Asset->SeatType = ESeatModelType::Orvida;
	Asset->UdpIp = TEXT("127.0.0.1");
	ASSERT_TRUE(Manager().RegisterSeatConfig(Asset));
	EXPECT_TRUE(Manager().SetUdpEndpoint(TEXT("127.0.0.5"), 7409));
	EXPECT_TRUE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 9, TEXT("127.0.0.8"), 10));

	EXPECT_EQ(ToUtf8(Asset->UdpIp), "127.0.0.1");
	EXPECT_EQ(Asset->UdpPort, 7408);
	EXPECT_FALSE(Asset->bEnableEffects);
	EXPECT_EQ(ToUtf8(Asset->RelayIp), "192.168.15.211");
	EXPECT_EQ(Asset->RelayPort, 8234);
	EXPECT_EQ(UE::StandIn::GetModifyCount(*Asset), 0);
	const USeatDeviceConfig* Active = Manager().GetActiveConfig();
	EXPECT_EQ(ToUtf8(Active->UdpIp), "127.0.0.5") << "the registration in force says where the seat is";
	EXPECT_EQ(Active->UdpPort, 7409);
	EXPECT_TRUE(Active->bEnableEffects);
	EXPECT_EQ(Active->RelayPort, 9);
	EXPECT_EQ(Active->SpeedPort, 10);
	Asset->RemoveFromRoot();
}

TEST_F(SeatDeviceManager, GarbageCollectionKeepsTheConfigurationInForce)
{
	// The copy of an asset nothing else holds, then a configuration made from parameters: each is kept by the
	// manager alone.
	USeatDeviceConfig* Asset = NewObject<USeatDeviceConfig>();
	Asset->UdpIp = TEXT("127.0.0.1");
	const TWeakObjectPtr<UObject> WeakAsset = Asset;
	ASSERT_TRUE(Manager().RegisterSeatConfig(Asset));
	const TWeakObjectPtr<UObject> WeakCopy = Manager().GetActiveConfig();
	CollectGarbage();
	EXPECT_FALSE(WeakAsset.IsValid()) << "the manager holds its copy, not the asset";
	ASSERT_TRUE(WeakCopy.IsValid());
	EXPECT_TRUE(Manager().SetUdpEndpoint(TEXT("127.0.0.5"), 7409));
	EXPECT_EQ(ToUtf8(Manager().GetActiveConfig()->UdpIp), "127.0.0.5");

	ASSERT_TRUE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	const TWeakObjectPtr<UObject> WeakMade = Manager().GetActiveConfig();
	CollectGarbage();
	EXPECT_FALSE(WeakCopy.IsValid()) << "the replaced configuration is no longer held";
	ASSERT_TRUE(WeakMade.IsValid());
	EXPECT_TRUE(Manager().SetEffectsEndpoints(TEXT("127.0.0.7"), 9, TEXT("127.0.0.8"), 10));
	EXPECT_EQ(Manager().GetActiveConfig()->RelayPort, 9);

	Manager().UnregisterSeat();
	CollectGarbage();
	EXPECT_FALSE(WeakMade.IsValid());
}

TEST_F(SeatDeviceManager, RepeatedWarningsAreHeldBackAndCounted)
{
	struct FClock
	{
		FClock() { UE::StandIn::SetFixedSeconds(100.0); }
		~FClock() { UE::StandIn::SetFixedSeconds(std::nullopt); }
	} Clock;
	const std::string Invalid = "[Karvel] SetUdpEndpoint failed: Invalid IP or Port (:7408).";
	const std::string NotConfigured = "[Karvel] SetUdpEndpoint failed: SDK is not configured yet.";

	for (int Call = 0; Call < 10000; ++Call)
	{
		Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408);
	}
	EXPECT_EQ(KarvelLines(), Strings{NotConfigured});
	UE::StandIn::SetFixedSeconds(100.5);
	Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408);
	EXPECT_EQ(KarvelLines().size(), 1u) << "not within the second";
	UE::StandIn::SetFixedSeconds(101.0);
	Manager().SetUdpEndpoint(TEXT("127.0.0.2"), 7408);
	EXPECT_EQ(KarvelLines().back(), NotConfigured + " (repeated 10001 times)");

	// A different line first writes what is held back; a repeat after a quiet second is written as it is.
	ASSERT_TRUE(RegisterTamsel());
	Manager().SetUdpEndpoint(TEXT(""), 7408);
	Manager().SetUdpEndpoint(TEXT(""), 7408);
	Manager().SetUdpEndpoint(TEXT(""), 7408);
	Manager().SetEffectsEndpoints(TEXT(""), 1, TEXT(""), 1);
	UE::StandIn::SetFixedSeconds(103.0);
	Manager().SetEffectsEndpoints(TEXT(""), 1, TEXT(""), 1);
	const Strings Lines = KarvelLines();
	EXPECT_EQ(Strings(Lines.begin() + 2, Lines.end()), (Strings{"[Karvel] Seat Registered successfully with IP: 127.0.0.1",
		Invalid, Invalid + " (repeated 2 times)", "[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters.",
		"[Karvel] SetEffectsEndpoints failed: Invalid IP or Port parameters."}));
}

TEST_F(SeatDeviceManager, NoSeatOnADedicatedServer)
{
	Game->Shutdown();
	Fake.reset();
	ASSERT_FALSE(IsLoaded(LibraryPath));
	const auto StartGameInstance = [](bool bProcessIsServer, bool bInstanceIsServer)
	{
		UE::StandIn::SetRunningDedicatedServer(bProcessIsServer);
		UGameInstance* GameInstance = NewObject<UGameInstance>();
		UE::StandIn::SetRunAsDedicated(*GameInstance, bInstanceIsServer);
		GameInstance->Init();
		UE::StandIn::SetRunningDedicatedServer(false);
		const bool bHasManager = GameInstance->GetSubsystem<USeatDeviceManager>() != nullptr;
		GameInstance->Shutdown();
		return bHasManager;
	};
	EXPECT_FALSE(StartGameInstance(true, false)) << "a dedicated server process";
	EXPECT_FALSE(StartGameInstance(false, true)) << "the server instance of an editor session";
	EXPECT_FALSE(IsLoaded(LibraryPath));
	EXPECT_TRUE(KarvelLines().empty());
	EXPECT_TRUE(StartGameInstance(false, false)) << "a client or standalone game";
}

TEST_F(SeatDeviceManager, TheVTableHelperInstanceTouchesNoLibrary)
{
	std::unique_ptr<UObject> Instance = USeatDeviceManager::StaticClass()->CreateVTableHelperInstance();
	ASSERT_NE(Instance, nullptr);
	EXPECT_EQ(ToUtf8(static_cast<USeatDeviceManager*>(Instance.get())->GetSDKVersion()), "No Backend");
	Instance.reset();
	EXPECT_TRUE(TakeCalls().empty());
	EXPECT_TRUE(Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408)) << "the game instance's manager still works";
}

TEST_F(SeatDeviceManager, MotionRuntimeSettingsOutsideTheirRangesAreRefused)
{
	EXPECT_TRUE(Manager().ConfigureMotionRuntime(1000.0f, 0.05f));
	EXPECT_TRUE(Manager().ConfigureMotionRuntime(10.0f, 5.0f));
	EXPECT_FALSE(Manager().ConfigureMotionRuntime(2000.0f, 0.25f));
	EXPECT_FALSE(Manager().ConfigureMotionRuntime(100.0f, 0.0f));
	EXPECT_EQ(KarvelLines(), (Strings{"[Karvel] Motion runtime settings refused, the current ones stay: FrameRate = 2000 is outside its range 10 to 1000 Hz",
		"[Karvel] Motion runtime settings refused, the current ones stay: WatchdogSeconds = 0 is outside its range 0.05 to 5 s"}));
}
