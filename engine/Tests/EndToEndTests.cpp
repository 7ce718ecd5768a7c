// The manager in a game instance with the real seat library, copied into a plugin directory as Karvel.dll,
// driving a loopback motion receiver and two loopback Modbus devices. Configuration binds UDP port 8410.
#include "LibrarySupport.h"

#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

#include <algorithm>

namespace
{
using karvel::test::expectedFrame;
using karvel::test::ModbusTestServer;
using karvel::test::UdpReceiver;
using Framing = ModbusTestServer::Framing;
using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// The next motion datagram, which must come from the library's fixed source port.
Bytes NextFrame(UdpReceiver& Receiver)
{
	const std::optional<karvel::test::Datagram> Datagram = Receiver.receive(10000);
	if (!Datagram)
	{
		ADD_FAILURE() << "no datagram";
		return {};
	}
	EXPECT_EQ(Datagram->from.port, 8410);
	return Datagram->bytes;
}

constexpr const char* PortHint = "if UDP port 8410 was taken by another checkout's tests, run again";

// Lines whose moment depends on the library's worker threads are left out of exact checks.
bool IsTimingLine(const std::string& Text)
{
	return Text.find("worker thread") != std::string::npos || Text.find("socket-send-ok") != std::string::npos;
}

class SeatEndToEnd : public ::testing::Test
{
protected:
	SeatEndToEnd() { Plugins.Mount(TEXT("Karvel"), Dir.Get().string()); }

	FSeatConnectParams Orvida() const { return LoopbackOrvida(Motion.port(), Relay.port(), Speed.port()); }

	FTempDir Dir;
	const std::string LibraryPath = Dir.Place(KARVEL_REAL_LIBRARY_PATH, BinariesDll);
	FMountedPlugins Plugins;
	UdpReceiver Motion;
	ModbusTestServer Relay{Framing::Mbap};
	ModbusTestServer Speed{Framing::Rtu};
	FLogCapture Log;
};
}

TEST_F(SeatEndToEnd, AnOrvidaSeatFromRegistrationToShutdown)
{
	{
		FTestGameInstance Game;
		USeatDeviceManager& Manager = Game.Manager();
		ASSERT_TRUE(IsLoaded(LibraryPath));
		EXPECT_EQ(ToUtf8(Manager.GetSDKVersion()), "Karvel-PC v0.6.0");
		ASSERT_TRUE(Manager.RegisterSeatWithParameters(Orvida())) << PortHint;

		Manager.SendRotation(FRotator(367.5, -270.0, -7.5));
		EXPECT_EQ(NextFrame(Motion), expectedFrame(65177, 120000, 44994, 420000));
		Manager.SendPosture(0.0f, 0.0f, -1.0f, 0.0f);
		EXPECT_EQ(NextFrame(Motion), expectedFrame(0, 0, 0, -4666));
		Manager.ResetPosition();
		EXPECT_EQ(NextFrame(Motion), expectedFrame(65177, 65177, 65177, 0));

		Manager.SetWindSpeed(ESeatWindLevel(3));
		Manager.SetWaterMist(ESeatWaterMistLevel(2));
		Manager.SetScent(ESeatScentLevel(1));
		Manager.SetHeater(true);
		ASSERT_TRUE(Relay.waitForRequests(3));
		ASSERT_TRUE(Speed.waitForRequests(1));
		EXPECT_EQ(Speed.holdingRegister(3), 100);
		EXPECT_EQ(Relay.coils(4, 7), (std::vector<bool>{true, false, true, false, true, false, true}));
		EXPECT_TRUE(Relay.coil(15));

		Manager.TurnOffAllEffects();
		ASSERT_TRUE(Relay.waitForRequests(6));
		ASSERT_TRUE(Speed.waitForRequests(2));
		EXPECT_EQ(Speed.holdingRegister(3), 0);
		EXPECT_EQ(Relay.coils(4, 7), std::vector<bool>(7, false));
		EXPECT_FALSE(Relay.coil(15));

		UE::StandIn::ClearSleepRequests();
		Game.Shutdown();
		EXPECT_TRUE(UE::StandIn::GetSleepRequests().empty()) << "the game thread never sleeps";
	}

	// Unregistering and deinitialising each turned the effects off and sent the seat home; the release
	// delivered what was queued before it stopped the workers. A second effects-off still waiting in the
	// library's queue replaces the first, so the devices see one or two of them, and end off either way.
	EXPECT_GE(Relay.requestCount(), 9u);
	EXPECT_LE(Relay.requestCount(), 12u);
	EXPECT_GE(Speed.requestCount(), 3u);
	EXPECT_LE(Speed.requestCount(), 4u);
	EXPECT_EQ(Speed.holdingRegister(3), 0);
	EXPECT_EQ(Relay.coils(4, 7), std::vector<bool>(7, false));
	EXPECT_FALSE(Relay.coil(15));
	EXPECT_EQ(NextFrame(Motion), expectedFrame(65177, 65177, 65177, 0));
	EXPECT_EQ(NextFrame(Motion), expectedFrame(65177, 65177, 65177, 0));
	EXPECT_FALSE(IsLoaded(LibraryPath)) << "the library file is unloaded";

	Strings Lines;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		if (!IsTimingLine(Line.Text))
		{
			EXPECT_NE(Line.Verbosity, ELogVerbosity::Error) << Line.Text;
			Lines.push_back(Line.Text);
		}
	}
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] "), Strings{"[Karvel] Seat Registered successfully with IP: 127.0.0.1"});
	const Strings Expected = {
		"[Ridova DLL] [Ridova][INFO] setConfiguration called: seatType=1, udpIp=127.0.0.1, udpPort="
			+ std::to_string(Motion.port()) + ", enableEffects=1",
		"[Ridova DLL] [Ridova][INFO] UDP initialized successfully for IP: 127.0.0.1:" + std::to_string(Motion.port()),
		"[Ridova DLL] [Ridova][INFO] Effects initialized successfully.",
		"[Karvel] Seat Registered successfully with IP: 127.0.0.1",
		"[Ridova DLL] [Ridova][INFO] SeatController::release called",
		"[Ridova DLL] [Ridova][INFO] EffectsController released",
		"[Ridova DLL] [Ridova][INFO] UDPTransportLayer released",
	};
	auto Next = Lines.begin();
	for (const std::string& Text : Expected)
	{
		Next = std::find(Next, Lines.end(), Text);
		ASSERT_NE(Next, Lines.end()) << "missing or out of order: " << Text;
	}
	EXPECT_EQ(Lines.back(), "[Ridova DLL] [Ridova][INFO] UDPTransportLayer released") << "nothing after the release";
}

TEST_F(SeatEndToEnd, ATamselSeatStreamsAndSwitchesTarget)
{
	UdpReceiver Second;
	FTestGameInstance Game;
	USeatDeviceManager& Manager = Game.Manager();
	ASSERT_TRUE(Manager.RegisterTamselSeat(TEXT("127.0.0.1"), Motion.port()))
		<< PortHint;
	Manager.SendPosture(7.5f, -7.5f, 90.0f, 0.5f);
	EXPECT_EQ(NextFrame(Motion), expectedFrame(103002, 180000, 73604, 420000));
	ASSERT_TRUE(Manager.SetUdpEndpoint(TEXT("127.0.0.1"), Second.port()));
	Manager.ResetPosition();
	EXPECT_EQ(NextFrame(Second), expectedFrame(0, 0, 0, 0));
	EXPECT_EQ(Manager.GetActiveConfig()->UdpPort, Second.port());

	EXPECT_FALSE(Manager.SetUdpEndpoint(TEXT("not an address"), 7408));
	const int Unused = karvel::test::unusedTcpPort();
	EXPECT_FALSE(Manager.SetEffectsEndpoints(TEXT("127.0.0.1"), Relay.port(), TEXT("127.0.0.1"), Unused))
		<< "a Tamsel registration has no effects to switch";
	EXPECT_EQ(Relay.requestCount(), 0u);
	const Strings Lines = TextsStartingWith(Log, "[Karvel] ");
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[2], "[Karvel] Failed to switch UDP Endpoint to not an address:7408");
	EXPECT_EQ(Lines[3], "[Karvel] Failed to switch Effects Endpoints (Relay: 127.0.0.1:" + std::to_string(Relay.port())
		+ ", Speed: 127.0.0.1:" + std::to_string(Unused) + "). Old connections retained.");
}
