#include "SeatDeviceBackend.h"

#include "HAL/PlatformProcess.h"
#include "Interfaces/IPluginManager.h"
#include "Misc/Paths.h"
#include "SeatDeviceGuard.h"
#include "SeatGuard/GuardLink.h"

#include <atomic>

namespace
{
// The library keeps one controller and one log callback for the whole process, but every game instance has
// a backend of its own. These keep one instance's shutdown from releasing a configuration another instance
// made, or from silencing the log while another instance still has the library bound. The count is the game
// thread's; the owner is written by the motion runtimes, which configure the seat on their own threads.
int32 GBoundBackendCount = 0;
std::atomic<const void*> GConfigurationOwner{nullptr};

FString FindPluginBaseDir()
{
	for (const TCHAR* PluginName : {TEXT("Karvel"), TEXT("Ostrana")})
	{
		if (const TSharedPtr<IPlugin> Plugin = IPluginManager::Get().FindPlugin(PluginName))
		{
			return Plugin->GetBaseDir();
		}
	}
	FString BaseDir = FPaths::ProjectPluginsDir();
	BaseDir /= TEXT("Karvel");
	return BaseDir;
}

FString FindLibraryFile()
{
	const FString BaseDir = FindPluginBaseDir();
	FString Path = FPaths::ConvertRelativePathToFull(FPaths::Combine(BaseDir, TEXT("Binaries/ThirdParty/Win64/Karvel.dll")));
	if (!FPaths::FileExists(Path))
	{
		Path = FPaths::Combine(BaseDir, TEXT("Source/Karvel/Win64/Karvel.dll"));
	}
	return Path;
}

class FSeatDeviceBackendWin64 final : public ISeatDeviceBackend
{
public:
	FSeatDeviceBackendWin64() = default;
	FSeatDeviceBackendWin64(const FSeatDeviceBackendWin64&) = delete;
	FSeatDeviceBackendWin64& operator=(const FSeatDeviceBackendWin64&) = delete;

	virtual ~FSeatDeviceBackendWin64() override { FSeatDeviceBackendWin64::Shutdown(); }

	virtual bool Initialize() override
	{
		if (DllHandle)
		{
			return true;
		}

		const FString Path = FindLibraryFile();
		if (!FPaths::FileExists(Path))
		{
			UE_LOG(LogTemp, Error, TEXT("[Karvel] DLL not found: %s"), *Path);
			return false;
		}

		DllHandle = FPlatformProcess::GetDllHandle(*Path);
		if (!DllHandle)
		{
			UE_LOG(LogTemp, Error, TEXT("[Karvel] Failed to load Karvel.dll (Check VC++ 2015-2022 x64 Redistributable)"));
			return false;
		}
		++GBoundBackendCount;

		const char* Missing = KarvelSeat::BindLibraryFunctions(Exports,
			[this](const char* ExportName) { return FPlatformProcess::GetDllExport(DllHandle, UTF8_TO_TCHAR(ExportName)); });
		if (!Missing)
		{
			SetLogForwarding(true);
			Guard = AcquireSeatGuard(Path);
			Seat.SetGuard(Guard.Get());
			return true;
		}

		UE_LOG(LogTemp, Error, TEXT("[Karvel] Missing symbol in Karvel.dll (expected v0.6.0+)"));
		Shutdown();
		return false;
	}

	virtual void Shutdown() override
	{
		if (DllHandle)
		{
			// Release while the log still reaches the engine; no library thread runs once it returns. Only
			// Configure makes this backend the owner, whether or not the library accepted the configuration,
			// so a failed one is released too. A configuration made since by another game instance is that
			// instance's to release.
			const void* Owner = this;
			if (GConfigurationOwner.compare_exchange_strong(Owner, nullptr))
			{
				Seat.Release();
			}
			if (--GBoundBackendCount == 0)
			{
				SetLogForwarding(false);
			}
			FPlatformProcess::FreeDllHandle(DllHandle);
			DllHandle = nullptr;
		}
		ClearTable();
	}

	virtual bool Configure(const FSeatBackendConfig& Config) override
	{
		if (!Initialize())
		{
			return false;
		}
		const FTCHARToUTF8 UdpIp(*Config.UdpIp);
		const FTCHARToUTF8 RelayIp(*Config.RelayIp);
		const FTCHARToUTF8 SpeedIp(*Config.SpeedIp);
		KarvelSeat::SeatSetup Setup;
		Setup.Model = Config.SeatModel;
		Setup.UdpIp = UdpIp.Get();
		Setup.UdpPort = Config.UdpPort;
		Setup.EnableEffects = Config.bEnableEffects;
		Setup.RelayIp = RelayIp.Get();
		Setup.RelayPort = Config.RelayPort;
		Setup.SpeedIp = SpeedIp.Get();
		Setup.SpeedPort = Config.SpeedPort;

		GConfigurationOwner = this;
		return Seat.Configure(Setup);
	}

	virtual FString GetVersion() const override
	{
		if (!DllHandle || !Exports.GetVersion)
		{
			return TEXT("DLL Not Loaded");
		}
		const char* Version = Exports.GetVersion();
		return Version ? FString(UTF8_TO_TCHAR(Version)) : FString(TEXT("Unknown"));
	}

	virtual void SetLogForwarding(bool bEnable) override
	{
		if (Exports.SetLogCallback)
		{
			Exports.SetLogCallback(bEnable ? &ForwardLibraryLog : nullptr);
		}
	}

	virtual KarvelSeat::SeatHost& GetSeat() override { return Seat; }

private:
	// Nothing stays configured through a library that is gone (the owner released it above); the table goes
	// with the file, and this backend's share of the guard with it.
	void ClearTable()
	{
		Seat.Abandon();
		Seat.SetGuard(nullptr);
		Guard.Reset();
		Exports = KarvelSeat::LibraryFunctions();
	}

	TSharedPtr<KarvelSeat::GuardLink> Guard;
	void* DllHandle = nullptr;
	KarvelSeat::LibraryFunctions Exports;
	KarvelSeat::SeatHost Seat{Exports};
};
}

TUniquePtr<ISeatDeviceBackend> CreateSeatDeviceBackend()
{
	return MakeUnique<FSeatDeviceBackendWin64>();
}

void ForwardLibraryLog(int32 Level, const char* Message)
{
	if (!Message)
	{
		return;
	}
	const FString Line(UTF8_TO_TCHAR(Message));
	switch (Level)
	{
	case 2:
		UE_LOG(LogTemp, Error, TEXT("[Ridova DLL] %s"), *Line);
		break;
	case 1:
		UE_LOG(LogTemp, Warning, TEXT("[Ridova DLL] %s"), *Line);
		break;
	default:
		UE_LOG(LogTemp, Verbose, TEXT("[Ridova DLL] %s"), *Line);
		break;
	}
}
