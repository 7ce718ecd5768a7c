#pragma once

#include "CoreMinimal.h"
#include "Templates/UniquePtr.h"

// What the manager hands to Configure; the model code is the library's (0 = Tamsel, 1 = Orvida).
struct FSeatBackendConfig
{
	int32 SeatModel = 0;
	FString UdpIp;
	int32 UdpPort = 0;
	bool bEnableEffects = false;
	FString RelayIp;
	int32 RelayPort = 0;
	FString SpeedIp;
	int32 SpeedPort = 0;
};

// The binding to the seat library. Called from the game thread only; the per-call operations do nothing
// until Configure has succeeded.
class ISeatDeviceBackend
{
public:
	virtual ~ISeatDeviceBackend() = default;
	virtual bool Initialize() = 0;
	virtual void Shutdown() = 0;
	virtual bool Configure(const FSeatBackendConfig& Config) = 0;
	virtual bool SetUdpEndpoint(const FString& Ip, int32 Port) = 0;
	virtual bool SetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort) = 0;
	virtual void SendSeatPosture(float Pitch, float Roll, float Yaw, float Height) = 0;
	virtual void ResetPosition() = 0;
	virtual void SetWindSpeed(int32 Level) = 0;
	virtual void SetWaterMist(int32 Level) = 0;
	virtual void SetScent(int32 Level) = 0;
	virtual void SetHeater(bool bOn) = 0;
	virtual void TurnOffAllEffects() = 0;
	virtual FString GetVersion() = 0;
	virtual void SetLogForwarding(bool bEnable) = 0;
};

// A new, unbound backend; nothing is loaded until its Initialize.
TUniquePtr<ISeatDeviceBackend> CreateSeatDeviceBackend();

// The library's log callback: writes one line into LogTemp from whatever thread the library logs on.
void ForwardLibraryLog(int32 Level, const char* Message);
