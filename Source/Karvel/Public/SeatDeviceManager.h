#pragma once

#include "CoreMinimal.h"
#include "Containers/Ticker.h"
#include "MotionCueing/CueingProfile.h"
#include "Subsystems/GameInstanceSubsystem.h"
#include "SeatDeviceConfig.h"
#include "SeatModels/SeatModel.h"
#include "Templates/UniquePtr.h"
#include "UObject/WeakObjectPtr.h"

#include <memory>
#include <type_traits>

#include "SeatDeviceManager.generated.h"

// USeatDeviceManager is the one object through which game code and Blueprints drive the seat. Calls come from
// the game thread and never wait for the seat: every library call runs on the manager's motion runtime
// (KarvelSeat::SeatRuntime), a thread of its own that sends the seat's frames at a steady rate and runs the game's
// commands in the order given. The blocking registration and endpoint switches wait for theirs; their Start...
// versions (the Blueprint async node USeatDeviceAsyncAction) do not. A comment directly above a reflected
// declaration would become its tooltip: the Chinese ones in the markers are the only tooltips the editor shows.
//
// The manager works on its own transient copy of the registered configuration: GetActiveConfig returns that
// copy, and the endpoint switches write into it, never into the project's asset. The seat itself is driven by
// the host rules of the KarvelSeatCore module (KarvelSeat::SeatHost), which karvel follows too.
class FSeatMotionStream;
class ISeatDeviceBackend;
class ISeatMotionSource;
namespace KarvelSeat
{
class PendingResult;
class SeatRuntime;
}

// A registration or an endpoint switch started without waiting (USeatDeviceManager::Start...). It runs on the seat's
// runtime; once it IsDone, USeatDeviceManager::FinishSeatCall does on the game thread what the blocking function
// does after its library call, and tells the result. The manager finishes it itself at its next tick if nobody
// else does.
class KARVEL_API FSeatDeviceCall
{
public:
	bool IsDone() const;
	// The result once finished.
	bool Succeeded() const { return bSucceeded; }

private:
	friend class USeatDeviceManager;
	enum class EKind : uint8
	{
		Registration,
		UdpEndpoint,
		EffectsEndpoints
	};

	EKind Kind = EKind::Registration;
	// Null: it failed before reaching the runtime (logged then).
	std::shared_ptr<const KarvelSeat::PendingResult> Result;
	// The configuration it registers, or the one in force when a switch started (a switch writes into it only if
	// it is still in force).
	TWeakObjectPtr<USeatDeviceConfig> Config;
	FString Ip;
	int32 Port = 0;
	FString SpeedIp;
	int32 SpeedPort = 0;
	bool bFinished = false;
	bool bSucceeded = false;
};

UCLASS()
class KARVEL_API USeatDeviceManager : public UGameInstanceSubsystem
{
	GENERATED_BODY()

public:
	// All constructors and the destructor are defined in the module's source, where ISeatDeviceBackend is
	// complete: the generated source could not destroy Backend.
	USeatDeviceManager();
	USeatDeviceManager(FVTableHelper& Helper);
	virtual ~USeatDeviceManager() override;

	// No seat is driven from a dedicated server or from a platform the seat library does not exist for.
	virtual bool ShouldCreateSubsystem(UObject* Outer) const override;
	virtual void Initialize(FSubsystemCollectionBase& Collection) override;
	virtual void Deinitialize() override;

	// Native callers only: an asset pointer cannot come from a Blueprint pin safely enough to be reflected.
	// Registers a transient copy of InConfig; the asset itself is never written.
	bool RegisterSeatConfig(USeatDeviceConfig* InConfig);

	// Native callers: the registration and the endpoint switches without waiting. Each returns the call under way,
	// or null when it failed at once (logged as the blocking function logs it).
	TSharedPtr<FSeatDeviceCall> StartRegisterSeatConfig(USeatDeviceConfig* InConfig);
	TSharedPtr<FSeatDeviceCall> StartRegisterSeatWithParameters(const FSeatConnectParams& ConnectParams);
	TSharedPtr<FSeatDeviceCall> StartSetUdpEndpoint(const FString& UdpIp, int32 UdpPort);
	TSharedPtr<FSeatDeviceCall> StartSetEffectsEndpoints(const FString& RelayIp, int32 RelayPort, const FString& SpeedIp, int32 SpeedPort);
	// Once Call.IsDone(): the bookkeeping and log lines of the blocking function, once; its result.
	bool FinishSeatCall(FSeatDeviceCall& Call);

	// Native callers only: sources of the motion stream (USeatMotionComponent) register here to be told when a
	// seat becomes ready. A source is an object that implements ISeatMotionSource; the manager holds it weakly, so
	// one the garbage collector reclaimed without removing itself is skipped, never called.
	template <typename TSource>
	void AddMotionSource(TSource* Source)
	{
		static_assert(std::is_base_of_v<UObject, TSource> && std::is_base_of_v<ISeatMotionSource, TSource>,
			"a motion source is an object that implements ISeatMotionSource");
		AddMotionSourceObject(Source, Source);
	}
	void RemoveMotionSource(const ISeatMotionSource* Source);

	// Native callers only: Holder takes the seat's motion stream, with Profile (valid), from where the seat stands.
	// Null while no seat is registered or while another holder has it (GetMotionStreamHolder).
	TUniquePtr<FSeatMotionStream> BeginMotionStream(const UObject& Holder, const KarvelCueing::CueingProfile& Profile);
	const UObject* GetMotionStreamHolder() const;

	// Native callers only: a pause turns the effects off and its end gives back the levels that were in force,
	// unless the game commanded effects meanwhile (KarvelSeat::SeatHost); nothing while unregistered.
	void HoldEffectsForPause();
	void RestoreEffectsAfterPause();
	// The registered seat's model (Tamsel when none is registered): its home, its crank, whether it has effects.
	const KarvelSeat::SeatModel& GetSeatModel() const;

	// Native tools and tests, never the game thread: waits at most TimeoutSeconds until everything asked of the
	// seat so far has run; whether it has.
	bool WaitForSeatCommands(float TimeoutSeconds) const;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Registration", meta = (ToolTip = "初始化或重新配置座椅：建立姿态 UDP 链路及可选的特效 TCP 链路；调用前请停止连续发送，并与其他动态库调用串行执行。ConnectParams：型号、姿态 UDP 地址与端口、特效开关及特效端点。返回 true：本地配置流程成功，不代表 UDP 设备在线或已收到数据；返回 false：本地初始化失败，部分资源可能已创建，请清理后重新配置。"))
	bool RegisterSeatWithParameters(FSeatConnectParams ConnectParams);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Registration", meta = (ToolTip = "最简一键直连 Tamsel 座椅。"))
	bool RegisterTamselSeat(const FString& UdpIp = TEXT("192.168.15.211"), int32 UdpPort = 7408);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Registration", meta = (ToolTip = "注销当前座椅：关闭特效、座椅回中并清除注册；动态库保持已配置状态，直到下次注册或游戏实例结束时才释放；需重新注册才能恢复控制；调用前请先停止姿态定时器，并确保没有其他线程正在调用动态库。无参数、无返回值。"))
	void UnregisterSeat();

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Registration", meta = (ToolTip = "硬件连接是否就绪；为 true 仅表示本地 UDP 通信已建立且特效配置流程已完成，不代表设备在线或已收到指令。"))
	bool IsSeatReady() const;

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Registration", meta = (ToolTip = "返回当前生效的配置对象；无论是从资产注册还是由参数动态注册，都可从中读取 IP 地址与端口。它是注册时生成的临时副本，运行时的端点切换只写入该副本，不会改动项目中的配置资产。"))
	USeatDeviceConfig* GetActiveConfig() const;

	UFUNCTION(BlueprintPure, Category = "SeatDevice|State", meta = (ToolTip = "返回运行时动作状态快照（只读）：最近一次下发给硬件的姿态角、高度与特效档位，用于界面显示或状态监控。"))
	const FSeatCurrentState& GetCurrentState() const;

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Info", meta = (ToolTip = "返回动态库自身的版本字符串；动态库加载后即可调用，设备无需在线；例如 Karvel-PC v0.6.0。本函数不会加载动态库：未加载时返回 DLL Not Loaded（注册座椅时会再次尝试加载）。"))
	FString GetSDKVersion() const;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Action", meta = (ToolTip = "输入俯仰、横滚、偏航与基础高度，由动态库解算各轴并提交 UDP 发送；需先完成配置；无返回值，不确认发送或到达；参数顺序固定为 Pitch、Roll、Yaw、Height。Pitch：俯仰角（度），有效输入 -15 到 15，0 表示无俯仰分量。Roll：横滚角（度），有效输入 -15 到 15，0 表示无横滚分量。Yaw：转台左右转角（度），0 为旋转轴零点目标，建议范围 -180 到 180。Height：三个支撑轴混合前的基础高度，归一化 0 到 1，通常为 0.5。"))
	void SendPosture(float Pitch, float Roll, float Yaw, float Height = 0.5f);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Action", meta = (ToolTip = "便捷旋转发送：输入引擎的 Rotator，完成映射与符号校准；Rotator 先归一化到 [-180, 180]，各轴再乘以各自的符号校准系数，然后调用 SendPosture。"))
	void SendRotation(FRotator Rotation, float Height = 0.5f, float PitchSign = 1.0f, float RollSign = 1.0f, float YawSign = 1.0f);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Action", meta = (ToolTip = "按当前座椅型号的回中参数提交回中指令；无参数、无返回值；调用前请暂停连续姿态发送，以免下一帧覆盖回中目标。"))
	void ResetPosition();

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Endpoint", meta = (ToolTip = "轻量级运行时切换当前座椅的姿态 UDP 目标：只更新目标地址与端口，不重建风、水、香、热连接，固定本地源端口 8410 保持不变；适用于启动设置页或运行中在座椅之间切换。UdpIp：新的 IPv4 地址，例如 192.168.15.251。UdpPort：控制器监听端口，通常为 7408，有效范围 1 到 65535。返回 true 表示成功；地址或端口无效或动态库尚未配置时返回 false，旧目标保持不变。"))
	bool SetUdpEndpoint(const FString& UdpIp = TEXT("192.168.15.251"), int32 UdpPort = 7408);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "原子切换两个特效控制器的地址与端口：只重建特效连接，姿态 UDP 目标、固定本地源端口 8410 与座椅型号保持不变。两个新连接都成功后才替换旧连接；任一失败则保留旧连接，绝不出现半切换。切换前尽量关闭旧设备的特效，新设备以关闭状态开始。RelayIp：继电器 IPv4 地址，控制水雾、香薰与加热，例如 192.168.15.7。RelayPort：通常为 8234，有效范围 1 到 65535。SpeedIp：风速控制器 IPv4 地址，例如 192.168.15.8。SpeedPort：通常为 8234，有效范围 1 到 65535。返回 true：两者均已连接且切换完成；否则返回 false，旧连接仍可使用。"))
	bool SetEffectsEndpoints(const FString& RelayIp = TEXT("192.168.15.7"), int32 RelayPort = 8234, const FString& SpeedIp = TEXT("192.168.15.8"), int32 SpeedPort = 8234);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "设置风速档位；需启用特效且风速控制器可用；无返回值。Level：0 关，1 低，2 中，3 高。"))
	void SetWindSpeed(ESeatWindLevel Level);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "设置水雾模式；需启用特效且继电器控制器可用；无返回值。Level：0 关闭水雾，1 雾，2 小水，3 大水。"))
	void SetWaterMist(ESeatWaterMistLevel Level);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "选择香薰通道；需启用特效且继电器控制器可用；无返回值。Level：0 关闭，1 香薰通道 1，2 香薰通道 2。"))
	void SetScent(ESeatScentLevel Level);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "开关加热输出；需启用特效且继电器控制器可用；无返回值。bOn：false 为关，true 为开。"))
	void SetHeater(bool bOn);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Effects", meta = (ToolTip = "提交风速 0、水雾 0、香薰 0 与加热关闭，不等待执行完成。"))
	void TurnOffAllEffects();

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "设置座椅运动线程：FrameRate 为发送给座椅的帧率（赫兹，10 到 1000，默认 100），体感算法始终以约 1000 赫兹的内部步长计算；WatchdogSeconds 为看门狗时间（秒，0.05 到 5，默认 0.25）：游戏卡住、断点或长时间卡顿超过该时间未发送任何数据时，座椅平稳回位并关闭全部特效，游戏恢复后平稳继续并恢复特效。数值超出范围时返回 false 并在日志中说明，设置保持不变。"))
	bool ConfigureMotionRuntime(float FrameRate = 100.0f, float WatchdogSeconds = 0.25f);

private:
	friend class FSeatMotionStream;

	// Commands are silently ignored unless a seat is registered.
	bool CanCommand() const;
	// Starts registering Config, a transient object of the manager's own.
	TSharedPtr<FSeatDeviceCall> StartRegistration(USeatDeviceConfig* Config);
	USeatDeviceConfig* MakeConfig(const FSeatConnectParams& ConnectParams);
	// Waits for a call a blocking function started, then finishes it.
	bool WaitAndFinish(const TSharedPtr<FSeatDeviceCall>& Call);
	bool FinishRegistration(FSeatDeviceCall& Call, bool bConfigured);
	bool FinishUdpEndpoint(FSeatDeviceCall& Call, bool bSwitched);
	bool FinishEffectsEndpoints(FSeatDeviceCall& Call, bool bSwitched);
	// Once an engine frame on the game thread: the game lives, and calls that ran are finished.
	void OnEngineFrame();
	// CurrentState from what the runtime has in force, once it has run everything the game asked.
	void RefreshState() const;
	void ResetState();
	void AddMotionSourceObject(UObject* Object, ISeatMotionSource* Source);
	void WakeMotionSources();
	// The stream's holder no longer has it (unregistered, gone).
	void DetachMotionStream();
	void EndMotionStream(FSeatMotionStream& Stream);

	// Writes a warning; identical ones that follow are held back and written with their count at most once a
	// second, so a call failing every frame cannot flood the log. Any other line of the manager first writes
	// what is held back (EndWarningRun), so the log stays in order.
	void Warn(const FString& Line);
	void WriteHeldWarnings();
	void EndWarningRun();

	// Non-finite postures are refused and reported once for each unbroken run of them: StartsNonFiniteRun
	// counts one and says whether it is the first; EndNonFiniteRun, at the next good posture, says how many.
	bool StartsNonFiniteRun();
	void EndNonFiniteRun();

	// The library binding; created in Initialize, destroyed in Deinitialize or by the destructor. ActiveConfig
	// and PendingConfig below are reflected only so that the garbage collector keeps the configuration in force,
	// and the one a registration under way registers, alive.
	TUniquePtr<ISeatDeviceBackend> Backend;
	// Every library call runs on it; created after the backend, gone before it.
	TUniquePtr<KarvelSeat::SeatRuntime> Runtime;
	FTSTicker::FDelegateHandle TickHandle;

	UPROPERTY()
	TObjectPtr<USeatDeviceConfig> ActiveConfig;

	UPROPERTY()
	TObjectPtr<USeatDeviceConfig> PendingConfig;

	// What was last commanded; refreshed from the runtime once it has run all that was asked.
	mutable FSeatCurrentState CurrentState;

	bool bSeatReady = false;

	// The latest registration under way: an earlier one that is still running is superseded by it.
	TSharedPtr<FSeatDeviceCall> PendingRegistration;
	// Calls under way that nobody has finished yet.
	TArray<TSharedPtr<FSeatDeviceCall>> Unfinished;

	FSeatMotionStream* LiveStream = nullptr;
	TWeakObjectPtr<const UObject> StreamHolder;

	FString LastWarning;
	int32 HeldWarnings = 0;
	double LastWarningSeconds = 0.0;
	int32 IgnoredNonFinitePostures = 0;

	// Not owned: each source removes itself when it ends, and one that is gone is skipped.
	struct FMotionSourceEntry
	{
		TWeakObjectPtr<UObject> Object;
		ISeatMotionSource* Source = nullptr;
	};
	TArray<FMotionSourceEntry> MotionSources;
};
