#pragma once

// A game instance whose manager loads the fake seat library (Fixtures/FakeKarvel.cpp) from a plugin directory,
// and a look at the calls that library received.

#include "LibrarySupport.h"

#include <memory>
#include <string>
#include <vector>

// An Orvida seat on loopback addresses the fake library accepts.
inline FSeatConnectParams OrvidaParams()
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Orvida;
	Params.UdpIp = TEXT("127.0.0.1");
	Params.UdpPort = 7000;
	Params.RelayIp = TEXT("127.0.0.7");
	Params.RelayPort = 502;
	Params.SpeedIp = TEXT("127.0.0.8");
	Params.SpeedPort = 503;
	return Params;
}

class FFakeSeatLibraryTest : public ::testing::Test
{
protected:
	FFakeSeatLibraryTest()
	{
		Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
		Game = std::make_unique<FTestGameInstance>();
		Fake = std::make_unique<FFakeLibrary>(LibraryPath);
		Fake->ClearCalls();
	}

	USeatDeviceManager& Manager() const { return Game->Manager(); }

	// The calls the library received since the last look, once the seat has run all that it was asked.
	std::vector<std::string> TakeCalls() const
	{
		if (const USeatDeviceManager* Seat = Game ? Game->Get()->GetSubsystem<USeatDeviceManager>() : nullptr)
		{
			EXPECT_TRUE(Seat->WaitForSeatCommands(10.0f));
		}
		std::vector<std::string> Calls = Fake->Calls();
		Fake->ClearCalls();
		return Calls;
	}

	FTempDir Dir;
	const std::string LibraryPath = Dir.Place(KARVEL_FAKE_LIBRARY_PATH, BinariesDll);
	FMountedPlugins Plugins;
	FLogCapture Log;
	std::unique_ptr<FTestGameInstance> Game;
	std::unique_ptr<FFakeLibrary> Fake;
};
