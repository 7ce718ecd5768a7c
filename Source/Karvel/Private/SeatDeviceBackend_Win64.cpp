#include "SeatDeviceBackend.h"

#include "HAL/PlatformProcess.h"
#include "Interfaces/IPluginManager.h"
#include "Misc/Paths.h"

namespace
{
using FLogCallback = void (*)(int32 Level, const char* Message);

// The exports as the plugin calls them; booleans come back as one byte.
using FSetConfigurationFn = uint8 (*)(int32, const char*, int32, int32, const char*, int32, const char*, int32);
using FSetUdpEndpointFn = uint8 (*)(const char*, int32);
using FSetEffectsEndpointsFn = uint8 (*)(const char*, int32, const char*, int32);
using FVoidFn = void (*)();
using FSendSeatPostureFn = void (*)(float, float, float, float);
using FLevelFn = void (*)(int32);
using FGetVersionFn = const char* (*)();
using FSetLogCallbackFn = void (*)(FLogCallback);

// The library keeps one controller and one log callback for the whole process, but every game instance has
// a backend of its own. These keep one instance's shutdown from releasing a configuration another instance
// made, or from silencing the log while another instance still has the library bound. Game thread only.
int32 GBoundBackendCount = 0;
const void* GConfigurationOwner = nullptr;

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

		bool bAllBound = true;
		bAllBound &= Bind(Exports.SetConfiguration, TEXT("Ridova_SetConfiguration"));
		bAllBound &= Bind(Exports.SetUdpEndpoint, TEXT("Ridova_SetUdpEndpoint"));
		bAllBound &= Bind(Exports.SetEffectsEndpoints, TEXT("Ridova_SetEffectsEndpoints"));
		bAllBound &= Bind(Exports.Release, TEXT("Ridova_Release"));
		bAllBound &= Bind(Exports.ResetPosition, TEXT("Ridova_ResetPosition"));
		bAllBound &= Bind(Exports.TurnOffAllEffects, TEXT("Ridova_TurnOffAllEffects"));
		bAllBound &= Bind(Exports.SendSeatPosture, TEXT("Ridova_SendSeatPosture"));
		bAllBound &= Bind(Exports.SetWindSpeed, TEXT("Ridova_SetWindSpeed"));
		bAllBound &= Bind(Exports.SetWaterMist, TEXT("Ridova_SetWaterMist"));
		bAllBound &= Bind(Exports.SetScent, TEXT("Ridova_SetScent"));
		bAllBound &= Bind(Exports.SetHeater, TEXT("Ridova_SetHeater"));
		bAllBound &= Bind(Exports.GetVersion, TEXT("Ridova_GetVersion"));
		bAllBound &= Bind(Exports.SetLogCallback, TEXT("Ridova_SetLogCallback"));

		if (bAllBound)
		{
			SetLogForwarding(true);
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
			if (Exports.Release && GConfigurationOwner == this)
			{
				Exports.Release();
				GConfigurationOwner = nullptr;
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
		if (!Initialize() || !Exports.SetConfiguration)
		{
			return false;
		}
		const bool bEffects = Config.SeatModel == 1 && Config.bEnableEffects;
		const FTCHARToUTF8 UdpIp(*Config.UdpIp);
		const FTCHARToUTF8 RelayIp(bEffects ? *Config.RelayIp : TEXT(""));
		const FTCHARToUTF8 SpeedIp(bEffects ? *Config.SpeedIp : TEXT(""));

		GConfigurationOwner = this;
		bConfigured = Exports.SetConfiguration(Config.SeatModel, UdpIp.Get(), Config.UdpPort, bEffects ? 1 : 0,
							  RelayIp.Get(), Config.RelayPort, SpeedIp.Get(), Config.SpeedPort) != 0;
		return bConfigured;
	}

	virtual bool SetUdpEndpoint(const FString& Ip, int32 Port) override
	{
		if (!bConfigured || !Exports.SetUdpEndpoint)
		{
			return false;
		}
		return Exports.SetUdpEndpoint(TCHAR_TO_UTF8(*Ip), Port) != 0;
	}

	virtual bool SetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort) override
	{
		if (!bConfigured || !Exports.SetEffectsEndpoints)
		{
			return false;
		}
		const FTCHARToUTF8 Relay(*RelayIp);
		const FTCHARToUTF8 Speed(*SpeedIp);
		return Exports.SetEffectsEndpoints(Relay.Get(), RelayPort, Speed.Get(), SpeedPort) != 0;
	}

	virtual void SendSeatPosture(float Pitch, float Roll, float Yaw, float Height) override
	{
		CallIfConfigured(Exports.SendSeatPosture, Pitch, Roll, Yaw, Height);
	}

	virtual void ResetPosition() override { CallIfConfigured(Exports.ResetPosition); }
	virtual void SetWindSpeed(int32 Level) override { CallIfConfigured(Exports.SetWindSpeed, Level); }
	virtual void SetWaterMist(int32 Level) override { CallIfConfigured(Exports.SetWaterMist, Level); }
	virtual void SetScent(int32 Level) override { CallIfConfigured(Exports.SetScent, Level); }
	virtual void SetHeater(bool bOn) override { CallIfConfigured(Exports.SetHeater, bOn ? 1 : 0); }
	virtual void TurnOffAllEffects() override { CallIfConfigured(Exports.TurnOffAllEffects); }

	virtual FString GetVersion() override
	{
		if (!Initialize() || !Exports.GetVersion)
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

private:
	struct FExports
	{
		FSetConfigurationFn SetConfiguration = nullptr;
		FSetUdpEndpointFn SetUdpEndpoint = nullptr;
		FSetEffectsEndpointsFn SetEffectsEndpoints = nullptr;
		FVoidFn Release = nullptr;
		FVoidFn ResetPosition = nullptr;
		FVoidFn TurnOffAllEffects = nullptr;
		FSendSeatPostureFn SendSeatPosture = nullptr;
		FLevelFn SetWindSpeed = nullptr;
		FLevelFn SetWaterMist = nullptr;
		FLevelFn SetScent = nullptr;
		FLevelFn SetHeater = nullptr;
		FGetVersionFn GetVersion = nullptr;
		FSetLogCallbackFn SetLogCallback = nullptr;
	};

	template <typename FunctionType>
	bool Bind(FunctionType& Function, const TCHAR* ExportName)
	{
		Function = reinterpret_cast<FunctionType>(FPlatformProcess::GetDllExport(DllHandle, ExportName));
		return Function != nullptr;
	}

	template <typename FunctionType, typename... ArgTypes>
	void CallIfConfigured(FunctionType Function, ArgTypes... Args)
	{
		if (bConfigured && Function)
		{
			Function(Args...);
		}
	}

	void ClearTable()
	{
		Exports = FExports();
		bConfigured = false;
	}

	void* DllHandle = nullptr;
	FExports Exports;
	bool bConfigured = false;
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
