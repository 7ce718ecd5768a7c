#include "SeatDeviceManager.h"

// Placeholder bodies: the manager has no library binding yet, so it behaves as a manager whose backend
// could not be created. Registration, commands and the shutdown sequence come with SeatDeviceBackend_Win64.

void USeatDeviceManager::Initialize(FSubsystemCollectionBase& Collection)
{
	bSeatReady = false;
	ActiveConfig = nullptr;
	CurrentState = FSeatCurrentState();
}

void USeatDeviceManager::Deinitialize()
{
	UnregisterSeat();
}

bool USeatDeviceManager::RegisterSeatConfig(USeatDeviceConfig* InConfig)
{
	return false;
}

bool USeatDeviceManager::RegisterSeatWithParameters(FSeatConnectParams ConnectParams)
{
	return false;
}

bool USeatDeviceManager::RegisterTamselSeat(FString UdpIp, int32 UdpPort)
{
	return false;
}

void USeatDeviceManager::UnregisterSeat()
{
	ActiveConfig = nullptr;
	CurrentState = FSeatCurrentState();
	bSeatReady = false;
}

bool USeatDeviceManager::IsSeatReady() const
{
	return bSeatReady;
}

USeatDeviceConfig* USeatDeviceManager::GetActiveConfig() const
{
	return ActiveConfig;
}

const FSeatCurrentState& USeatDeviceManager::GetCurrentState() const
{
	return CurrentState;
}

FString USeatDeviceManager::GetSDKVersion()
{
	return TEXT("No Backend");
}

void USeatDeviceManager::SendPosture(float Pitch, float Roll, float Yaw, float Height) {}
void USeatDeviceManager::SendRotation(FRotator Rotation, float Height, float PitchSign, float RollSign, float YawSign) {}
void USeatDeviceManager::ResetPosition() {}

bool USeatDeviceManager::SetUdpEndpoint(FString UdpIp, int32 UdpPort)
{
	return false;
}

bool USeatDeviceManager::SetEffectsEndpoints(FString RelayIp, int32 RelayPort, FString SpeedIp, int32 SpeedPort)
{
	return false;
}

void USeatDeviceManager::SetWindSpeed(ESeatWindLevel Level) {}
void USeatDeviceManager::SetWaterMist(ESeatWaterMistLevel Level) {}
void USeatDeviceManager::SetScent(ESeatScentLevel Level) {}
void USeatDeviceManager::SetHeater(bool bOn) {}
void USeatDeviceManager::TurnOffAllEffects() {}
