#pragma once

#include "CoreMinimal.h"
#include "Containers/Ticker.h"
#include "Kismet/BlueprintAsyncActionBase.h"
#include "SeatDeviceConfig.h"
#include "UObject/WeakObjectPtr.h"
#include "SeatDeviceAsyncAction.generated.h"

class FSeatDeviceCall;
class USeatDeviceManager;

DECLARE_DYNAMIC_MULTICAST_DELEGATE(FSeatDeviceAsyncResult);

// The Blueprint async nodes of the seat's registration and endpoint switches. The call runs on the manager's motion
// runtime while the game goes on (a registration with effects may take seconds to connect); Succeeded or Failed
// fires on the game thread at an engine tick after it ran, never within the node's own call. Each logs as the
// blocking function of the manager does. A comment directly above a reflected declaration would become its
// tooltip: the Chinese ones in the markers are the tooltips the editor shows.
UCLASS(meta = (ToolTip = "座椅的异步注册与端点切换：在座椅运动线程上执行，不阻塞游戏线程；完成后在游戏线程上触发 Succeeded 或 Failed。"))
class KARVEL_API USeatDeviceAsyncAction : public UBlueprintAsyncActionBase
{
	GENERATED_BODY()

public:
	UPROPERTY(BlueprintAssignable, meta = (ToolTip = "操作成功完成（与对应的同步函数返回 true 相同）。"))
	FSeatDeviceAsyncResult Succeeded;

	UPROPERTY(BlueprintAssignable, meta = (ToolTip = "操作失败（与对应的同步函数返回 false 相同），原因见日志。"))
	FSeatDeviceAsyncResult Failed;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Registration", meta = (BlueprintInternalUseOnly = "true", ToolTip = "异步注册座椅（RegisterSeatWithParameters 的异步版本）：连接在座椅运动线程上进行，游戏线程不等待；完成后触发 Succeeded 或 Failed。Manager：座椅设备管理器（Get Subsystem SeatDeviceManager）。ConnectParams：型号、姿态 UDP 地址与端口、特效开关及特效端点。"))
	static USeatDeviceAsyncAction* RegisterSeatWithParametersAsync(USeatDeviceManager* Manager, FSeatConnectParams ConnectParams);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Registration", meta = (BlueprintInternalUseOnly = "true", ToolTip = "异步一键直连 Tamsel 座椅（RegisterTamselSeat 的异步版本）；完成后触发 Succeeded 或 Failed。"))
	static USeatDeviceAsyncAction* RegisterTamselSeatAsync(USeatDeviceManager* Manager, const FString& UdpIp = TEXT("192.168.15.211"), int32 UdpPort = 7408);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Endpoint", meta = (BlueprintInternalUseOnly = "true", ToolTip = "异步切换姿态 UDP 目标（SetUdpEndpoint 的异步版本）；完成后触发 Succeeded 或 Failed，失败时旧目标保持不变。"))
	static USeatDeviceAsyncAction* SetUdpEndpointAsync(USeatDeviceManager* Manager, const FString& UdpIp = TEXT("192.168.15.251"), int32 UdpPort = 7408);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (BlueprintInternalUseOnly = "true", ToolTip = "异步原子切换两个特效控制器（SetEffectsEndpoints 的异步版本）：新连接在座椅运动线程上建立，游戏线程不等待；完成后触发 Succeeded 或 Failed，失败时旧连接仍可使用。"))
	static USeatDeviceAsyncAction* SetEffectsEndpointsAsync(USeatDeviceManager* Manager, const FString& RelayIp = TEXT("192.168.15.7"), int32 RelayPort = 8234, const FString& SpeedIp = TEXT("192.168.15.8"), int32 SpeedPort = 8234);

	virtual void Activate() override;

private:
	enum class EOperation : uint8
	{
		Registration,
		UdpEndpoint,
		EffectsEndpoints
	};

	static USeatDeviceAsyncAction* Create(USeatDeviceManager* Manager, EOperation Operation);
	// At each engine tick until the call ran; true once done.
	bool Poll();

	TWeakObjectPtr<USeatDeviceManager> Manager;
	EOperation Operation = EOperation::Registration;
	FSeatConnectParams ConnectParams;
	FString Ip;
	int32 Port = 0;
	FString SpeedIp;
	int32 SpeedPort = 0;
	TSharedPtr<FSeatDeviceCall> Call;
};
