#pragma once

// Peers for the tests that load a seat library the way the plugin does: a plugin directory laid out as on
// Windows, a second look into a library the plugin loaded, and a game instance that runs the manager.

#include "Engine/GameInstance.h"
#include "Platform/LoadedLibraries.h"
#include "SeatDeviceManager.h"
#include "StandIn/StandInControl.h"
#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

inline constexpr const char* BinariesDll = "Binaries/ThirdParty/Win64/Karvel.dll";
inline constexpr const char* SourceDll = "Source/Karvel/Win64/Karvel.dll";

// Plugins mounted for the scope of a test; the project directory is put back as well.
class FMountedPlugins
{
public:
	FMountedPlugins() { UE::StandIn::UnmountAllPlugins(); }
	~FMountedPlugins()
	{
		UE::StandIn::UnmountAllPlugins();
		UE::StandIn::SetProjectDir(TEXT("./"));
	}
	void Mount(const TCHAR* Name, const std::string& BaseDir) const
	{
		UE::StandIn::MountPlugin(Name, FString(UE::StandIn::Utf8ToUtf16(BaseDir)));
	}
};

// Whether the library file at Path is mapped into the process.
inline bool IsLoaded(const std::string& Path)
{
	void* Handle = UE::StandIn::Test::OpenLoadedLibrary(Path);
	if (Handle)
	{
		UE::StandIn::Test::CloseLibrary(Handle);
	}
	return Handle != nullptr;
}

// The fake library (Fixtures/FakeKarvel.cpp) as the plugin loaded it. Holding this keeps it mapped.
class FFakeLibrary
{
public:
	explicit FFakeLibrary(const std::string& Path) : Handle(UE::StandIn::Test::OpenLoadedLibrary(Path)) {}
	~FFakeLibrary()
	{
		if (Handle)
		{
			UE::StandIn::Test::CloseLibrary(Handle);
		}
	}
	FFakeLibrary(const FFakeLibrary&) = delete;
	FFakeLibrary& operator=(const FFakeLibrary&) = delete;

	bool IsValid() const { return Handle != nullptr; }

	// Every call the library received since the last ClearCalls, in order.
	std::vector<std::string> Calls() const
	{
		std::vector<std::string> Result;
		const auto Copy = Function<int (*)(char*, int)>("Fake_CopyCalls");
		std::string Text(static_cast<size_t>(Copy(nullptr, 0)) + 1, '\0');
		Text.resize(static_cast<size_t>(std::min(Copy(Text.data(), static_cast<int>(Text.size())), static_cast<int>(Text.size()) - 1)));
		for (std::size_t End; (End = Text.find(';')) != std::string::npos; Text.erase(0, End + 1))
		{
			Result.push_back(Text.substr(0, End));
		}
		return Result;
	}
	void ClearCalls() const { Function<void (*)()>("Fake_ClearCalls")(); }
	// Waits, at most TimeoutMs, until Count calls beginning with Prefix ("Posture", "ResetPosition") have come since
	// the last clear; whether they have.
	bool WaitForCalls(const char* Prefix, int Count, int TimeoutMs = 10000) const
	{
		return Function<int (*)(const char*, int, int)>("Fake_WaitForCalls")(Prefix, Count, TimeoutMs) != 0;
	}
	void SetResult(bool bResult) const { Function<void (*)(int)>("Fake_SetResult")(bResult ? 1 : 0); }
	// Each configuration takes this long from now on.
	void SetConfigureMilliseconds(int Milliseconds) const { Function<void (*)(int)>("Fake_SetConfigureMilliseconds")(Milliseconds); }
	void SetVersion(const char* Version) const { Function<void (*)(const char*)>("Fake_SetVersion")(Version); }
	void Log(int Level, const char* Message) const { Function<void (*)(int, const char*)>("Fake_Log")(Level, Message); }

	// The file name the loader recorded for it (compare with UE::StandIn::Test::NameAsRecorded).
	std::string LoadedName() const { return Handle ? UE::StandIn::Test::LoadedLibraryName(Handle) : ""; }

private:
	template <typename FunctionType>
	FunctionType Function(const char* Name) const
	{
		void* Address = Handle ? UE::StandIn::Test::FindLibrarySymbol(Handle, Name) : nullptr;
		if (!Address)
		{
			ADD_FAILURE() << Name << " not found";
			std::abort();
		}
		return reinterpret_cast<FunctionType>(Address);
	}

	void* Handle;
};

// A game instance with its seat device manager, shut down at the end of the scope unless done before.
class FTestGameInstance
{
public:
	FTestGameInstance() : GameInstance(NewObject<UGameInstance>())
	{
		GameInstance->AddToRoot();
		GameInstance->Init();
	}
	~FTestGameInstance()
	{
		Shutdown();
		GameInstance->RemoveFromRoot();
	}
	FTestGameInstance(const FTestGameInstance&) = delete;
	FTestGameInstance& operator=(const FTestGameInstance&) = delete;

	USeatDeviceManager& Manager() const { return *GameInstance->GetSubsystem<USeatDeviceManager>(); }
	UGameInstance* Get() const { return GameInstance; }
	void Shutdown()
	{
		if (!bShutDown)
		{
			bShutDown = true;
			GameInstance->Shutdown();
		}
	}

private:
	UGameInstance* GameInstance;
	bool bShutDown = false;
};

// An Orvida on loopback: its motion controller at MotionPort and, when their ports are given, its relay board and
// fan speed controller with effects enabled.
inline FSeatConnectParams LoopbackOrvida(int32 MotionPort, int32 RelayPort = 0, int32 SpeedPort = 0)
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Orvida;
	Params.UdpIp = TEXT("127.0.0.1");
	Params.UdpPort = MotionPort;
	Params.bEnableEffects = RelayPort != 0 && SpeedPort != 0;
	Params.RelayIp = TEXT("127.0.0.1");
	Params.RelayPort = RelayPort;
	Params.SpeedIp = TEXT("127.0.0.1");
	Params.SpeedPort = SpeedPort;
	return Params;
}

// LogTemp lets Verbose lines through for the scope.
class FVerboseLogTemp
{
public:
	FVerboseLogTemp() : Previous(LogTemp.GetVerbosity()) { LogTemp.SetVerbosity(ELogVerbosity::Verbose); }
	~FVerboseLogTemp() { LogTemp.SetVerbosity(Previous); }

private:
	ELogVerbosity::Type Previous;
};

// The guard link's lines ("[Karvel] Guard: ..."): its own thread writes them, at no fixed place among the others.
inline constexpr const char* GuardLinePrefix = "[Karvel] Guard: ";

// The captured lines that begin with Prefix, in order; the guard link's lines only when Prefix asks for them.
inline std::vector<FLogCapture::FLine> LinesStartingWith(const FLogCapture& Capture, const std::string& Prefix)
{
	const bool bGuardLines = Prefix.rfind(GuardLinePrefix, 0) == 0;
	std::vector<FLogCapture::FLine> Lines;
	for (const FLogCapture::FLine& Line : Capture.GetLines())
	{
		if (Line.Text.rfind(Prefix, 0) == 0 && (bGuardLines || Line.Text.rfind(GuardLinePrefix, 0) != 0))
		{
			Lines.push_back(Line);
		}
	}
	return Lines;
}

// The texts of the captured lines that begin with Prefix.
inline std::vector<std::string> TextsStartingWith(const FLogCapture& Capture, const std::string& Prefix)
{
	std::vector<std::string> Texts;
	for (const FLogCapture::FLine& Line : LinesStartingWith(Capture, Prefix))
	{
		Texts.push_back(Line.Text);
	}
	return Texts;
}
