// The library binding against the fake seat library: where it looks, what it binds, what it passes on and
// how it lets go.
#include "LibrarySupport.h"
#include "SeatDeviceBackend.h"

namespace
{
using FLine = FLogCapture::FLine;
using Strings = std::vector<std::string>;

class LibraryBinding : public ::testing::Test
{
protected:
	// The temporary plugin directory as a path relative to the working directory, as editor builds see it.
	std::string RelativeBaseDir() const { return std::filesystem::relative(Dir.Get(), std::filesystem::current_path()).string(); }

	std::string PlaceFake(const char* Relative = BinariesDll) const { return Dir.Place(KARVEL_FAKE_LIBRARY_PATH, Relative); }

	std::vector<FLine> KarvelLines() const { return LinesStartingWith(Log, "[Karvel] "); }

	FTempDir Dir;
	FMountedPlugins Plugins;
	FLogCapture Log;
	TUniquePtr<ISeatDeviceBackend> Backend = CreateSeatDeviceBackend();
};

FSeatBackendConfig MakeConfig(int32 Model, bool bEffects)
{
	FSeatBackendConfig Config;
	Config.SeatModel = Model;
	Config.UdpIp = TEXT("127.0.0.1");
	Config.UdpPort = 7408;
	Config.bEnableEffects = bEffects;
	Config.RelayIp = TEXT("127.0.0.7");
	Config.RelayPort = 8234;
	Config.SpeedIp = TEXT("127.0.0.8");
	Config.SpeedPort = 8235;
	return Config;
}
}

TEST_F(LibraryBinding, BinariesCopyIsPreferredAndLoadedByItsFullPath)
{
	const std::string Binaries = PlaceFake(BinariesDll);
	Dir.Place(KARVEL_FAKE_LIBRARY_NO_TURN_OFF_PATH, SourceDll);
	Plugins.Mount(TEXT("Karvel"), RelativeBaseDir());

	ASSERT_TRUE(Backend->Initialize());
	const FFakeLibrary Fake(Binaries);
	ASSERT_TRUE(Fake.IsValid());
	EXPECT_EQ(Fake.LoadedName(), UE::StandIn::Test::NameAsRecorded(Binaries));
	EXPECT_EQ(Fake.Calls(), Strings{"SetLogCallback(set)"});
	EXPECT_TRUE(Backend->Initialize()) << "already bound";
	EXPECT_EQ(Fake.Calls(), Strings{"SetLogCallback(set)"});
	EXPECT_TRUE(KarvelLines().empty());
}

TEST_F(LibraryBinding, SourceCopyIsLoadedByTheCombinedPath)
{
	const std::string Source = PlaceFake(SourceDll);
	Plugins.Mount(TEXT("Karvel"), RelativeBaseDir());

	ASSERT_TRUE(Backend->Initialize());
	const FFakeLibrary Fake(Source);
	ASSERT_TRUE(Fake.IsValid());
	EXPECT_EQ(Fake.LoadedName(), UE::StandIn::Test::NameAsRecorded(RelativeBaseDir() + "/" + SourceDll));
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "Fake seat library 1.0");
}

// Projects often sit in folders named in the user's language; the path must reach the loader unchanged.
TEST_F(LibraryBinding, APluginDirectoryWithChineseCharactersIsFoundAndLoaded)
{
	const std::string Loaded = Dir.Place(KARVEL_FAKE_LIBRARY_PATH, std::string("座椅项目/Plugins/Karvel/") + BinariesDll);
	Plugins.Mount(TEXT("Karvel"), Dir.Get().generic_u8string() + "/座椅项目/Plugins/Karvel");

	ASSERT_TRUE(Backend->Initialize()) << "no line expected, got: " << (KarvelLines().empty() ? "" : KarvelLines()[0].Text);
	const FFakeLibrary Fake(Loaded);
	ASSERT_TRUE(Fake.IsValid());
	EXPECT_EQ(Fake.LoadedName(), UE::StandIn::Test::NameAsRecorded(Loaded));
}

TEST_F(LibraryBinding, PluginNamesThenTheProjectPluginsDirectory)
{
	FTempDir Other;
	Other.Place(KARVEL_FAKE_LIBRARY_NO_TURN_OFF_PATH, BinariesDll);
	PlaceFake();

	Plugins.Mount(TEXT("Ostrana"), Other.Get().string());
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	EXPECT_TRUE(Backend->Initialize()) << "Karvel before Ostrana";
	Backend->Shutdown();

	UE::StandIn::UnmountAllPlugins();
	Plugins.Mount(TEXT("Ostrana"), Dir.Get().string());
	EXPECT_TRUE(Backend->Initialize()) << "Ostrana when there is no Karvel";
	Backend->Shutdown();

	UE::StandIn::UnmountAllPlugins();
	UE::StandIn::SetProjectDir(Other.GetF());
	Other.Place(KARVEL_FAKE_LIBRARY_PATH, std::string("Plugins/Karvel/") + SourceDll);
	EXPECT_TRUE(Backend->Initialize()) << "the project's Plugins/Karvel without any plugin";
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "Fake seat library 1.0");
}

TEST_F(LibraryBinding, EveryAttemptWithoutTheFileFailsAndSaysWhere)
{
	Plugins.Mount(TEXT("Karvel"), RelativeBaseDir());
	EXPECT_FALSE(Backend->Initialize());
	EXPECT_FALSE(Backend->Configure(MakeConfig(1, true)));
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "DLL Not Loaded");
	EXPECT_FALSE(Backend->GetSeat().SetUdpEndpoint("127.0.0.1", 7408));

	const std::string Expected = "[Karvel] DLL not found: " + RelativeBaseDir() + "/" + SourceDll;
	const std::vector<FLine> Lines = KarvelLines();
	ASSERT_EQ(Lines.size(), 2u) << "the version is no attempt to load";
	for (const FLine& Line : Lines)
	{
		EXPECT_EQ(Line.Text, Expected);
		EXPECT_EQ(Line.Verbosity, ELogVerbosity::Error);
	}
}

// The version is a question, not a load: asking it (a Blueprint may every frame) neither loads the library nor logs.
TEST_F(LibraryBinding, TheVersionNeverLoadsTheLibrary)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "DLL Not Loaded");
	EXPECT_FALSE(IsLoaded(Path));
	EXPECT_TRUE(KarvelLines().empty());
	ASSERT_TRUE(Backend->Initialize());
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "Fake seat library 1.0");
	Backend->Shutdown();
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "DLL Not Loaded");
	EXPECT_FALSE(IsLoaded(Path));
}

TEST_F(LibraryBinding, AFileThatIsNoLibraryFailsToLoad)
{
	const std::filesystem::path Garbage = Dir.Get() / BinariesDll;
	std::filesystem::create_directories(Garbage.parent_path());
	std::ofstream(Garbage) << "not a library";
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());

	EXPECT_FALSE(Backend->Initialize());
	const std::vector<FLine> Lines = KarvelLines();
	ASSERT_EQ(Lines.size(), 1u);
	EXPECT_EQ(Lines[0].Text, "[Karvel] Failed to load Karvel.dll (Check VC++ 2015-2022 x64 Redistributable)");
	EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Error);
}

TEST_F(LibraryBinding, ALibraryMissingAnExportIsUnloadedAtOnce)
{
	const std::string Path = Dir.Place(KARVEL_FAKE_LIBRARY_NO_TURN_OFF_PATH, BinariesDll);
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());

	EXPECT_FALSE(Backend->Initialize());
	EXPECT_FALSE(IsLoaded(Path));
	EXPECT_FALSE(Backend->Configure(MakeConfig(0, false))) << "tries again and fails again";
	EXPECT_FALSE(IsLoaded(Path));
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "DLL Not Loaded");
	const std::vector<FLine> Lines = KarvelLines();
	ASSERT_EQ(Lines.size(), 2u);
	EXPECT_EQ(Lines[0].Text, "[Karvel] Missing symbol in Karvel.dll (expected v0.6.0+)");
	EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Error);
	EXPECT_EQ(Lines[1].Text, Lines[0].Text);
}

TEST_F(LibraryBinding, NothingIsForwardedBeforeASuccessfulConfigure)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	ASSERT_TRUE(Backend->Initialize());
	const FFakeLibrary Fake(Path);
	Fake.ClearCalls();

	auto CallEverything = [this] {
		KarvelSeat::SeatHost& Seat = Backend->GetSeat();
		const bool bUdp = Seat.SetUdpEndpoint("127.0.0.2", 1);
		const bool bEffects = Seat.SetEffectsEndpoints("127.0.0.7", 8234, "127.0.0.8", 65535);
		Seat.SendPosture(KarvelSeat::Posture{1.5f, -2.5f, 90.0f, 0.25f});
		Seat.ResetPosition();
		Seat.SetWindSpeed(3);
		Seat.SetWaterMist(2);
		Seat.SetScent(1);
		Seat.SetHeater(true);
		Seat.SetHeater(false);
		Seat.TurnOffAllEffects();
		return bUdp || bEffects;
	};
	EXPECT_FALSE(CallEverything());
	EXPECT_TRUE(Fake.Calls().empty());

	Fake.SetResult(false);
	EXPECT_FALSE(Backend->Configure(MakeConfig(0, false)));
	EXPECT_FALSE(CallEverything());
	EXPECT_EQ(Fake.Calls().size(), 1u) << "only the failed Configure";

	Fake.SetResult(true);
	EXPECT_TRUE(Backend->Configure(MakeConfig(0, false)));
	Fake.ClearCalls();
	EXPECT_TRUE(CallEverything());
	EXPECT_EQ(Fake.Calls(), (Strings{"SetUdpEndpoint(127.0.0.2,1)", "SetEffectsEndpoints(127.0.0.7,8234,127.0.0.8,65535)",
		"Posture(1.5,-2.5,90,0.25)", "ResetPosition", "Wind(3)", "Mist(2)", "Scent(1)", "Heater(1)", "Heater(0)",
		"TurnOffAllEffects"}));

	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "Fake seat library 1.0");
	Fake.SetVersion(nullptr);
	EXPECT_EQ(ToUtf8(Backend->GetVersion()), "Unknown");
	Fake.SetVersion("Karvel-PC v0.6.0 \xE5\xBA\xA7\xE6\xA4\x85");
	EXPECT_EQ(Backend->GetVersion(), FString(u"Karvel-PC v0.6.0 座椅"));
}

TEST_F(LibraryBinding, EffectsEndpointsReachTheLibraryOnlyForAnOrvidaWithEffects)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	ASSERT_TRUE(Backend->Initialize());
	const FFakeLibrary Fake(Path);
	Fake.ClearCalls();

	Backend->Configure(MakeConfig(0, true));
	Backend->Configure(MakeConfig(1, false));
	Backend->Configure(MakeConfig(1, true));
	FSeatBackendConfig Empty = MakeConfig(1, true);
	Empty.UdpIp = FString();
	Backend->Configure(Empty);
	EXPECT_EQ(Fake.Calls(), (Strings{"Configure(0,127.0.0.1,7408,0,,8234,,8235)", "Configure(1,127.0.0.1,7408,0,,8234,,8235)",
		"Configure(1,127.0.0.1,7408,1,127.0.0.7,8234,127.0.0.8,8235)", "Configure(1,,7408,1,127.0.0.7,8234,127.0.0.8,8235)"}));
}

TEST_F(LibraryBinding, ShutdownReleasesOnlyAfterAConfigureThenUnhooksTheLogAndUnloads)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	{
		ASSERT_TRUE(Backend->Initialize());
		const FFakeLibrary Fake(Path);
		Backend->Shutdown();
		EXPECT_EQ(Fake.Calls(), (Strings{"SetLogCallback(set)", "SetLogCallback(null)"}));
	}
	EXPECT_FALSE(IsLoaded(Path));
	{
		ASSERT_TRUE(Backend->Initialize());
		const FFakeLibrary Fake(Path);
		Fake.SetResult(false);
		EXPECT_FALSE(Backend->Configure(MakeConfig(1, true)));
		Fake.ClearCalls();
		Backend->Shutdown();
		EXPECT_EQ(Fake.Calls(), (Strings{"Release", "SetLogCallback(null)"}));
		Backend->Shutdown();
		EXPECT_EQ(Fake.Calls().size(), 2u) << "a second Shutdown has nothing to do";
	}
	EXPECT_FALSE(IsLoaded(Path));
	{
		ASSERT_TRUE(Backend->Initialize());
		EXPECT_TRUE(Backend->Configure(MakeConfig(0, false)));
		const FFakeLibrary Fake(Path);
		Fake.ClearCalls();
		Backend = nullptr;
		EXPECT_EQ(Fake.Calls(), (Strings{"Release", "SetLogCallback(null)"})) << "the destructor shuts down too";
	}
	EXPECT_FALSE(IsLoaded(Path));
}

TEST_F(LibraryBinding, LibraryLinesAreWrittenAtTheVerbosityOfTheirLevel)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	ASSERT_TRUE(Backend->Initialize());
	const FFakeLibrary Fake(Path);

	Fake.Log(0, "[Ridova][DEBUG] hidden at the default verbosity");
	{
		const FVerboseLogTemp Verbose;
		Fake.Log(2, "[Ridova][ERROR] e");
		Fake.Log(1, "[Ridova][INFO] \xE5\xBA\xA7\xE6\xA4\x85");
		Fake.Log(0, "[Ridova][DEBUG] d");
		Fake.Log(3, "three");
		Fake.Log(-1, "minus one");
		Fake.Log(1, nullptr);
		Fake.Log(1, "");
	}
	const std::vector<FLine> Lines = Log.GetLines();
	ASSERT_EQ(Lines.size(), 6u);
	const std::pair<std::string, ELogVerbosity::Type> Expected[] = {
		{"[Ridova DLL] [Ridova][ERROR] e", ELogVerbosity::Error},
		{"[Ridova DLL] [Ridova][INFO] \xE5\xBA\xA7\xE6\xA4\x85", ELogVerbosity::Warning},
		{"[Ridova DLL] [Ridova][DEBUG] d", ELogVerbosity::Verbose},
		{"[Ridova DLL] three", ELogVerbosity::Verbose},
		{"[Ridova DLL] minus one", ELogVerbosity::Verbose},
		{"[Ridova DLL] ", ELogVerbosity::Warning},
	};
	for (std::size_t Index = 0; Index < Lines.size(); ++Index)
	{
		EXPECT_EQ(Lines[Index].Text, Expected[Index].first);
		EXPECT_EQ(Lines[Index].Verbosity, Expected[Index].second);
		EXPECT_EQ(Lines[Index].Category, "LogTemp");
	}
}

TEST_F(LibraryBinding, ASecondBackendLeavesTheFirstOnesLogAndConfiguration)
{
	const std::string Path = PlaceFake();
	Plugins.Mount(TEXT("Karvel"), Dir.Get().string());
	TUniquePtr<ISeatDeviceBackend> Second = CreateSeatDeviceBackend();
	ASSERT_TRUE(Backend->Initialize());
	ASSERT_TRUE(Backend->Configure(MakeConfig(0, false)));
	ASSERT_TRUE(Second->Initialize());
	const FFakeLibrary Fake(Path);
	Fake.ClearCalls();

	Second->Shutdown();
	EXPECT_TRUE(Fake.Calls().empty()) << "neither the first one's seat released nor its log unhooked";
	Fake.Log(1, "still forwarded");
	EXPECT_EQ(TextsStartingWith(Log, "[Ridova DLL]"), Strings{"[Ridova DLL] still forwarded"});
	Backend->GetSeat().ResetPosition();
	EXPECT_EQ(Fake.Calls(), Strings{"ResetPosition"});

	// Whoever configured last owns the library's one configuration.
	ASSERT_TRUE(Second->Configure(MakeConfig(1, false)));
	Fake.ClearCalls();
	Backend->Shutdown();
	EXPECT_TRUE(Fake.Calls().empty());
	Second->Shutdown();
	EXPECT_EQ(Fake.Calls(), (Strings{"Release", "SetLogCallback(null)"}));
}

#if !defined(_WIN32)
// Game modules link against what the module exports: its classes and structs, not the binding, which only the
// manager and these tests (which compile it themselves) use. Built with hidden visibility, the module exports
// here only what carries KARVEL_API, as the engine's Windows build does.
TEST(PluginModule, ExportsItsTypesAndNotTheBinding)
{
	void* Module = UE::StandIn::Test::OpenLoadedLibrary(KARVEL_PLUGIN_MODULE_PATH);
	ASSERT_NE(Module, nullptr);
	for (const char* Exported : {"_ZN17FSeatCurrentState12StaticStructEv", "_ZN18FSeatConnectParams12StaticStructEv",
			 "_ZN17USeatDeviceConfig11StaticClassEv", "_ZN18USeatDeviceManager11StaticClassEv",
			 "_ZN18USeatDeviceManager11SendPostureEffff"})
	{
		EXPECT_NE(UE::StandIn::Test::FindLibrarySymbol(Module, Exported), nullptr) << Exported;
	}
	for (const char* Internal : {"_Z23CreateSeatDeviceBackendv", "_Z17ForwardLibraryLogiPKc"})
	{
		EXPECT_EQ(UE::StandIn::Test::FindLibrarySymbol(Module, Internal), nullptr) << Internal;
	}
	UE::StandIn::Test::CloseLibrary(Module);
}
#endif
