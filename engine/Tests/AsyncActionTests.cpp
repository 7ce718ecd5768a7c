// The Blueprint async nodes of the seat's registration and endpoint switches, against the fake seat library: the
// node's call returns at once, the work runs on the seat's runtime, and Succeeded or Failed fires on the game thread
// at an engine tick after, with the bookkeeping and log lines of the blocking function.
#include "FakeSeatSupport.h"

#include "Containers/Ticker.h"
#include "SeatDeviceAsyncAction.h"
#include "TestObjects.h"

#include <chrono>

namespace
{
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

class SeatAsyncNodes : public FFakeSeatLibraryTest
{
protected:
	SeatAsyncNodes() : Listener(NewObject<UTestAsyncListener>()) { Listener->AddToRoot(); }
	~SeatAsyncNodes() override { Listener->RemoveFromRoot(); }

	// Binds the listener to the node's pins, as a Blueprint does, and activates it.
	void Activate(USeatDeviceAsyncAction* Action) const
	{
		Action->Succeeded.AddDynamic(Listener, &UTestAsyncListener::OnSucceeded);
		Action->Failed.AddDynamic(Listener, &UTestAsyncListener::OnFailed);
		Action->Activate();
	}

	// Engine frames (the core ticker alone) until the node reported, at most ten seconds.
	bool TickUntilReported() const
	{
		const Clock::time_point Deadline = Clock::now() + std::chrono::seconds(10);
		while (Listener->Succeeded + Listener->Failed == 0 && Clock::now() < Deadline)
		{
			FTSTicker::GetCoreTicker().Tick(1.0f / 60.0f);
			Manager().WaitForSeatCommands(0.02f);
		}
		return Listener->Succeeded + Listener->Failed == 1;
	}

	Strings KarvelLines() const { return TextsStartingWith(Log, "[Karvel] "); }

	UTestAsyncListener* Listener;
};
}

TEST_F(SeatAsyncNodes, ARegistrationReportsOnALaterTickAndTheGameNeverWaitsForIt)
{
	Fake->SetConfigureMilliseconds(300);
	USeatDeviceAsyncAction* Action = USeatDeviceAsyncAction::RegisterSeatWithParametersAsync(&Manager(), OrvidaParams());
	const TWeakObjectPtr<UObject> Weak = Action;
	const Clock::time_point Before = Clock::now();
	Activate(Action);
	const double Took = std::chrono::duration<double>(Clock::now() - Before).count();
	EXPECT_LT(Took, 0.15) << "the connection takes 0.3 s on the runtime, not on the game thread";
	EXPECT_EQ(Listener->Succeeded + Listener->Failed, 0) << "never within the node's own call";
	EXPECT_FALSE(Manager().IsSeatReady()) << "not before it is done";
	CollectGarbage();
	ASSERT_TRUE(Weak.IsValid()) << "the game instance keeps the node alive while it runs";

	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Succeeded, 1);
	EXPECT_TRUE(Manager().IsSeatReady());
	ASSERT_NE(Manager().GetActiveConfig(), nullptr);
	EXPECT_EQ(Manager().GetActiveConfig()->RelayPort, 502);
	EXPECT_EQ(TakeCalls(), Strings{"Configure(1,127.0.0.1,7000,1,127.0.0.7,502,127.0.0.8,503)"});
	EXPECT_EQ(KarvelLines(), Strings{"[Karvel] Seat Registered successfully with IP: 127.0.0.1"});
	CollectGarbage();
	EXPECT_FALSE(Weak.IsValid()) << "once it reported, nothing holds it";

	// The blocking function keeps its behaviour: it waits for its connection.
	const Clock::time_point Blocking = Clock::now();
	EXPECT_TRUE(Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408));
	EXPECT_GE(std::chrono::duration<double>(Clock::now() - Blocking).count(), 0.3);
}

TEST_F(SeatAsyncNodes, AFailedRegistrationReportsFailedAndLeavesNothingRegistered)
{
	Fake->SetResult(false);
	Activate(USeatDeviceAsyncAction::RegisterTamselSeatAsync(&Manager(), TEXT("127.0.0.1"), 7408));
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Failed, 1);
	EXPECT_FALSE(Manager().IsSeatReady());
	EXPECT_EQ(Manager().GetActiveConfig(), nullptr);
	EXPECT_EQ(KarvelLines(), Strings{"[Karvel] Failed to configure hardware backend."});
}

TEST_F(SeatAsyncNodes, EndpointSwitchesReportAndRecordAsTheBlockingOnesDo)
{
	ASSERT_TRUE(Manager().RegisterSeatWithParameters(OrvidaParams()));
	TakeCalls();
	Activate(USeatDeviceAsyncAction::SetUdpEndpointAsync(&Manager(), TEXT("127.0.0.5"), 7409));
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Succeeded, 1);
	EXPECT_EQ(ToUtf8(Manager().GetActiveConfig()->UdpIp), "127.0.0.5");

	Listener->Succeeded = 0;
	Activate(USeatDeviceAsyncAction::SetEffectsEndpointsAsync(&Manager(), TEXT("127.0.0.9"), 600, TEXT("127.0.0.10"), 601));
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Succeeded, 1);
	EXPECT_EQ(Manager().GetActiveConfig()->SpeedPort, 601);
	EXPECT_EQ(TakeCalls(), (Strings{"SetUdpEndpoint(127.0.0.5,7409)", "SetEffectsEndpoints(127.0.0.9,600,127.0.0.10,601)"}));

	// Refused before it reaches the library: reported at the next tick too, with the blocking function's warning.
	Listener->Succeeded = 0;
	Activate(USeatDeviceAsyncAction::SetUdpEndpointAsync(&Manager(), TEXT("127.0.0.5"), 0));
	EXPECT_EQ(Listener->Failed, 0);
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Failed, 1);
	EXPECT_EQ(KarvelLines().back(), "[Karvel] SetUdpEndpoint failed: Invalid IP or Port (127.0.0.5:0).");
	EXPECT_TRUE(TakeCalls().empty());
}

// Two registrations in a row: the later one is in force and the earlier node reports that it did not prevail.
TEST_F(SeatAsyncNodes, ALaterRegistrationSupersedesOneStillUnderWay)
{
	Fake->SetConfigureMilliseconds(200);
	Activate(USeatDeviceAsyncAction::RegisterSeatWithParametersAsync(&Manager(), OrvidaParams()));
	EXPECT_TRUE(Manager().RegisterTamselSeat(TEXT("127.0.0.1"), 7408));
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Failed, 1);
	EXPECT_TRUE(Manager().IsSeatReady());
	EXPECT_EQ(Manager().GetActiveConfig()->SeatType, ESeatModelType::Tamsel);
	EXPECT_EQ(TakeCalls(), (Strings{"Configure(1,127.0.0.1,7000,1,127.0.0.7,502,127.0.0.8,503)", "TurnOffAllEffects",
		"ResetPosition", "Configure(0,127.0.0.1,7408,0,,8234,,8234)"}))
		<< "the first seat goes off and home before the second is configured";
}

// A native caller that starts a registration and never looks again still gets the seat: the manager finishes what
// ran at its own tick.
TEST_F(SeatAsyncNodes, TheManagerFinishesACallNobodyPolls)
{
	EXPECT_TRUE(Manager().StartRegisterSeatWithParameters(OrvidaParams()).IsValid());
	const Clock::time_point Deadline = Clock::now() + std::chrono::seconds(10);
	while (!Manager().IsSeatReady() && Clock::now() < Deadline)
	{
		FTSTicker::GetCoreTicker().Tick(1.0f / 60.0f);
		Manager().WaitForSeatCommands(0.02f);
	}
	EXPECT_TRUE(Manager().IsSeatReady());
	EXPECT_EQ(KarvelLines(), Strings{"[Karvel] Seat Registered successfully with IP: 127.0.0.1"});
}

TEST_F(SeatAsyncNodes, WithoutAManagerANodeFails)
{
	Activate(USeatDeviceAsyncAction::RegisterSeatWithParametersAsync(nullptr, OrvidaParams()));
	ASSERT_TRUE(TickUntilReported());
	EXPECT_EQ(Listener->Failed, 1);
	EXPECT_EQ(KarvelLines(), Strings{"[Karvel] Seat async action failed: no SeatDeviceManager was given."});
}
