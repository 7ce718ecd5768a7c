#include "HAL/PlatformProcess.h"
#include "Interfaces/IPluginManager.h"
#include "Misc/Paths.h"
#include "Modules/ModuleManager.h"
#include "StandIn/StandInControl.h"
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <thread>

TEST(EnginePaths, CombineFullPathsAndExistence)
{
	FTempDir Scratch;
	const FString Dll = FPaths::Combine(Scratch.GetF(), TEXT("Binaries/ThirdParty/Win64"), TEXT("Karvel.dll"));
	EXPECT_FALSE(FPaths::FileExists(Dll));
	std::filesystem::create_directories(TCHAR_TO_UTF8(*FPaths::Combine(Scratch.GetF(), TEXT("Binaries/ThirdParty/Win64"))));
	std::ofstream(TCHAR_TO_UTF8(*Dll)) << "x";
	EXPECT_TRUE(FPaths::FileExists(Dll));
	EXPECT_FALSE(FPaths::FileExists(Scratch.GetF())) << "a directory is not a file";

	const FString Relative = FPaths::Combine(TEXT("Plugins/Karvel/../Karvel"), TEXT("./Karvel.dll"));
	EXPECT_EQ(ToUtf8(FPaths::ConvertRelativePathToFull(Relative)), ToUtf8(FPaths::BaseDir()) + "Plugins/Karvel/Karvel.dll");
	EXPECT_EQ(ToUtf8(FPaths::ConvertRelativePathToFull(Dll)), ToUtf8(Dll));
}

TEST(EnginePaths, ProjectPluginsDirFollowsTheProjectDir)
{
	UE::StandIn::SetProjectDir(TEXT("/games/Demo"));
	EXPECT_EQ(ToUtf8(FPaths::ProjectPluginsDir()), "/games/Demo/Plugins/");
	UE::StandIn::SetProjectDir(TEXT("./"));
	EXPECT_EQ(ToUtf8(FPaths::ProjectPluginsDir()), "./Plugins/");
}

TEST(EnginePlugins, FindsMountedPluginsByName)
{
	UE::StandIn::MountPlugin(TEXT("Karvel"), TEXT("../../../Demo/Plugins/Karvel"));
	const TSharedPtr<IPlugin> Plugin = IPluginManager::Get().FindPlugin(TEXT("Karvel"));
	ASSERT_TRUE(Plugin.IsValid());
	EXPECT_EQ(ToUtf8(Plugin->GetBaseDir()), "../../../Demo/Plugins/Karvel");
	EXPECT_FALSE(IPluginManager::Get().FindPlugin(TEXT("Ostrana")).IsValid());
	UE::StandIn::UnmountAllPlugins();
	EXPECT_FALSE(IPluginManager::Get().FindPlugin(TEXT("Karvel")).IsValid());
}

TEST(EnginePlatformProcess, LoadsLooksUpAndFreesALibraryByPath)
{
	using FunctionType = int (*)();
	void* Handle = FPlatformProcess::GetDllHandle(UTF8_TO_TCHAR(KARVEL_EXPORT_FIXTURE_PATH));
	ASSERT_NE(Handle, nullptr);
	const auto Answer = reinterpret_cast<FunctionType>(FPlatformProcess::GetDllExport(Handle, TEXT("Fixture_Answer")));
	ASSERT_NE(Answer, nullptr);
	EXPECT_EQ(Answer(), 42);
	EXPECT_EQ(FPlatformProcess::GetDllExport(Handle, TEXT("Ridova_SendPostureCommand")), nullptr);
	FPlatformProcess::FreeDllHandle(Handle);

	EXPECT_EQ(FPlatformProcess::GetDllHandle(TEXT("/nonexistent/Karvel.dll")), nullptr);
	EXPECT_EQ(FPlatformProcess::GetDllExport(nullptr, TEXT("Fixture_Answer")), nullptr);
	FPlatformProcess::FreeDllHandle(nullptr);
}

TEST(EnginePlatformProcess, SleepRequestsAreRecorded)
{
	UE::StandIn::ClearSleepRequests();
	FPlatformProcess::Sleep(0.0f);
	FPlatformProcess::Sleep(0.001f);
	EXPECT_EQ(UE::StandIn::GetSleepRequests(), (std::vector<float>{0.0f, 0.001f}));
}

TEST(EngineLog, WritesLinesTheCategoryAllowsFromAnyThread)
{
	FLogCapture Capture;
	const FString Ip(TEXT("192.168.15.211"));
	UE_LOG(LogTemp, Error, TEXT("[Karvel] DLL not found: %s"), *Ip);
	UE_LOG(LogTemp, Verbose, TEXT("[Ridova DLL] hidden"));
	LogTemp.SetVerbosity(ELogVerbosity::Verbose);
	UE_LOG(LogTemp, Verbose, TEXT("[Ridova DLL] shown"));
	LogTemp.SetVerbosity(ELogVerbosity::Log);

	std::vector<std::thread> Threads;
	for (int Thread = 0; Thread < 4; ++Thread)
	{
		Threads.emplace_back([] {
			for (int Line = 0; Line < 50; ++Line)
			{
				UE_LOG(LogTemp, Warning, TEXT("[Ridova DLL] line %d"), Line);
			}
		});
	}
	for (std::thread& Thread : Threads)
	{
		Thread.join();
	}

	const std::vector<FLogCapture::FLine> Lines = Capture.GetLines();
	ASSERT_EQ(Lines.size(), 2u + 200u);
	EXPECT_EQ(Lines[0].Text, "[Karvel] DLL not found: 192.168.15.211");
	EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Error);
	EXPECT_EQ(Lines[0].Category, "LogTemp");
	EXPECT_EQ(Lines[1].Text, "[Ridova DLL] shown");
	EXPECT_EQ(Lines[1].Verbosity, ELogVerbosity::Verbose);
	EXPECT_EQ(Lines.back().Text.rfind("[Ridova DLL] line ", 0), 0u);
}

TEST(EngineModules, KarvelModuleLoadsAndUnloads)
{
	EXPECT_EQ(FModuleManager::Get().LoadModule(TEXT("Unknown")), nullptr);
	IModuleInterface* Module = FModuleManager::Get().LoadModule(TEXT("Karvel"));
	ASSERT_NE(Module, nullptr);
	EXPECT_EQ(FModuleManager::Get().LoadModule(TEXT("Karvel")), Module);
	EXPECT_TRUE(FModuleManager::Get().IsModuleLoaded(TEXT("Karvel")));
	FModuleManager::Get().UnloadModule(TEXT("Karvel"));
	EXPECT_FALSE(FModuleManager::Get().IsModuleLoaded(TEXT("Karvel")));
}
