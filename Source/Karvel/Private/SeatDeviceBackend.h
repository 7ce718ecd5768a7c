#pragma once

#include "CoreMinimal.h"
#include "SeatHost/SeatHost.h"
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

// The binding to the seat library: finds, loads and binds it all or nothing, routes its log lines into the
// engine log, and releases and frees it. The seat is driven through GetSeat(), by the rules every host of the
// library follows; its commands do nothing until Configure has succeeded. Binding, unbinding and the version
// belong to the game thread; the seat (Configure, GetSeat) to whoever drives it, one thread at a time: the
// manager's motion runtime, between a binding and the shutdown.
class ISeatDeviceBackend
{
public:
	virtual ~ISeatDeviceBackend() = default;
	virtual bool Initialize() = 0;
	virtual void Shutdown() = 0;
	// Binds the library first if it is not bound yet, so a library missing at start is found at a registration.
	virtual bool Configure(const FSeatBackendConfig& Config) = 0;
	// The library's own version text, "Unknown" if it gives none, "DLL Not Loaded" while none is bound. It never
	// loads the library itself: loading is for Initialize and Configure.
	virtual FString GetVersion() const = 0;
	virtual void SetLogForwarding(bool bEnable) = 0;
	virtual KarvelSeat::SeatHost& GetSeat() = 0;
};

// A new, unbound backend; nothing is loaded until its Initialize.
TUniquePtr<ISeatDeviceBackend> CreateSeatDeviceBackend();

// The library's log callback: writes one line into LogTemp from whatever thread the library logs on.
void ForwardLibraryLog(int32 Level, const char* Message);
