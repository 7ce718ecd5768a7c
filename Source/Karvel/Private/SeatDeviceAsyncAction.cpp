#include "SeatDeviceAsyncAction.h"

#include "SeatDeviceManager.h"
#include "UObject/UObjectGlobals.h"

USeatDeviceAsyncAction* USeatDeviceAsyncAction::Create(USeatDeviceManager* InManager, EOperation InOperation)
{
	USeatDeviceAsyncAction* Action = NewObject<USeatDeviceAsyncAction>();
	Action->Manager = InManager;
	Action->Operation = InOperation;
	// Kept alive with the game instance until it reports, whatever holds the node.
	if (InManager)
	{
		Action->RegisterWithGameInstance(InManager->GetGameInstance());
	}
	return Action;
}

USeatDeviceAsyncAction* USeatDeviceAsyncAction::RegisterSeatWithParametersAsync(USeatDeviceManager* InManager, FSeatConnectParams InConnectParams)
{
	USeatDeviceAsyncAction* Action = Create(InManager, EOperation::Registration);
	Action->ConnectParams = InConnectParams;
	return Action;
}

USeatDeviceAsyncAction* USeatDeviceAsyncAction::RegisterTamselSeatAsync(USeatDeviceManager* InManager, const FString& UdpIp, int32 UdpPort)
{
	FSeatConnectParams Params;
	Params.SeatType = ESeatModelType::Tamsel;
	Params.UdpIp = UdpIp;
	Params.UdpPort = UdpPort;
	return RegisterSeatWithParametersAsync(InManager, Params);
}

USeatDeviceAsyncAction* USeatDeviceAsyncAction::SetUdpEndpointAsync(USeatDeviceManager* InManager, const FString& UdpIp, int32 UdpPort)
{
	USeatDeviceAsyncAction* Action = Create(InManager, EOperation::UdpEndpoint);
	Action->Ip = UdpIp;
	Action->Port = UdpPort;
	return Action;
}

USeatDeviceAsyncAction* USeatDeviceAsyncAction::SetEffectsEndpointsAsync(USeatDeviceManager* InManager, const FString& RelayIp, int32 RelayPort,
	const FString& InSpeedIp, int32 InSpeedPort)
{
	USeatDeviceAsyncAction* Action = Create(InManager, EOperation::EffectsEndpoints);
	Action->Ip = RelayIp;
	Action->Port = RelayPort;
	Action->SpeedIp = InSpeedIp;
	Action->SpeedPort = InSpeedPort;
	return Action;
}

void USeatDeviceAsyncAction::Activate()
{
	USeatDeviceManager* Seat = Manager.Get();
	if (!Seat)
	{
		UE_LOG(LogTemp, Warning, TEXT("[Karvel] Seat async action failed: no SeatDeviceManager was given."));
	}
	else if (Operation == EOperation::Registration)
	{
		Call = Seat->StartRegisterSeatWithParameters(ConnectParams);
	}
	else if (Operation == EOperation::UdpEndpoint)
	{
		Call = Seat->StartSetUdpEndpoint(Ip, Port);
	}
	else
	{
		Call = Seat->StartSetEffectsEndpoints(Ip, Port, SpeedIp, SpeedPort);
	}
	const TWeakObjectPtr<USeatDeviceAsyncAction> WeakThis(this);
	FTSTicker::GetCoreTicker().AddTicker(TEXT("SeatDeviceAsyncAction"), 0.0f, [WeakThis](float) {
		USeatDeviceAsyncAction* Action = WeakThis.Get();
		return Action && !Action->Poll();
	});
}

bool USeatDeviceAsyncAction::Poll()
{
	if (Call && !Call->IsDone())
	{
		return false;
	}
	USeatDeviceManager* Seat = Manager.Get();
	const bool bSucceeded = Call && (Seat ? Seat->FinishSeatCall(*Call) : Call->Succeeded());
	SetReadyToDestroy();
	if (bSucceeded)
	{
		Succeeded.Broadcast();
	}
	else
	{
		Failed.Broadcast();
	}
	return true;
}
