#pragma once

#include "CoreMinimal.h"
#include "Components/ActorComponent.h"
#include "MotionCueing/MotionCueing.h"
#include "SeatMotionSource.h"
#include "SeatMotionStream.h"
#include "Templates/UniquePtr.h"
#include "UObject/WeakObjectPtr.h"

#include <memory>
#include "SeatMotionComponent.generated.h"

class USeatDeviceManager;
class USeatMotionProfile;

UENUM(BlueprintType, meta = (ToolTip = "哪一辆载具驱动座椅：仅本地玩家的载具、始终或从不。"))
enum class ESeatDrivePolicy : uint8
{
	LocalPlayerOnly = 0 UMETA(DisplayName = "仅本地玩家的载具"),
	Always = 1 UMETA(DisplayName = "始终"),
	Never = 2 UMETA(DisplayName = "从不")
};

// The component reads its vehicle's motion on the game thread and posts it, once a tick, to the seat device
// manager's motion runtime, which cues it and sends the seat's frames on its own thread at its own rate. One
// component drives the seat at a time: by default the local player's vehicle only; the others stay idle and say
// why once. Without a manager, or while no seat is registered, the component does not tick.
UCLASS(ClassGroup = (SeatDevice), meta = (BlueprintSpawnableComponent, ToolTip = "座椅体感组件：添加到载具 Actor 上，每帧读取载具的加速度与角速度，交给座椅运动线程经体感算法（洗出与倾斜协调）和安全包络后以稳定帧率发送姿态。默认只有本地玩家的载具驱动座椅。暂停时座椅平稳回位，恢复时平稳启动；Actor 结束或游戏实例结束时平稳回位。"))
class KARVEL_API USeatMotionComponent : public UActorComponent, public ISeatMotionSource
{
	GENERATED_BODY()

public:
	USeatMotionComponent();
	virtual ~USeatMotionComponent() override;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "体感配置资产（SeatMotionProfile）；为空时使用公路车辆预设。运行中请用 SetProfile 更换。"))
	TObjectPtr<USeatMotionProfile> MotionProfile;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "是否启用体感；关闭时座椅平稳回位并停止发送。运行中请用 SetMotionEnabled 切换。"))
	bool bMotionEnabled = true;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "为 true 时根据拥有者 Actor 的运动计算体感；为 false 时只把游戏通过本组件 SendPosture 发来的姿态经安全包络转发。"))
	bool bCueOwnerMotion = true;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "为 true 时：游戏暂停期间关闭全部特效（风、水、气味、加热），恢复时重新打开暂停前的档位（暂停期间游戏另行设置过特效时除外）；Actor 结束时关闭全部特效。"))
	bool bEffectsOffWhilePaused = true;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "调参录制：非空时，开始运行即把每一步的输入（比力即含重力的加速度、角速度、不含重力的加速度）与输出姿态写入该 CSV 文件（已存在则覆盖），可用 karvel tune 生成体感报告。"))
	FString RecordingPath;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "哪一辆载具驱动座椅。仅本地玩家的载具（默认）：多人游戏中只有本机玩家控制的载具驱动座椅，其他玩家的载具保持静止并在日志中说明一次原因；始终：无论由谁控制都驱动（例如无人控制的过山车车厢）；从不：此组件不驱动座椅。同一时间只有一个组件驱动座椅。"))
	ESeatDrivePolicy DriveSeat = ESeatDrivePolicy::LocalPlayerOnly;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "启用或关闭体感。关闭：座椅在回位时间内平稳回到原位，之后停止发送；启用：从当前位置平稳启动。"))
	void SetMotionEnabled(bool bEnabled);

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Motion", meta = (ToolTip = "体感是否启用。"))
	bool IsMotionEnabled() const;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "重新居中：忘记此前的运动，座椅平稳回到中性姿态（转台平稳回中，不会跳动）；适用于传送、重生或切换视角之后。"))
	void Recentre();

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "更换体感配置；为空时使用公路车辆预设。配置数值无效时拒绝并在日志中给出原因，保留原配置，返回 false。"))
	bool SetProfile(USeatMotionProfile* NewProfile);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "立即平稳回位（例如过场动画前），并保持在原位，直到调用 ResumeMotion。"))
	void ParkNow();

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "结束 ParkNow 的回位保持，从原位平稳启动体感。"))
	void ResumeMotion();

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Motion", meta = (ToolTip = "座椅是否已回位并静止在原位。"))
	bool IsParked() const;

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "发送游戏自行计算的姿态，同样经过安全包络（限位、限速、限加速度，偏航走最短路径）；在下一帧代替体感计算。Pitch、Roll、Yaw 单位为度，Height 归一化 0 到 1，通常为 0.5。"))
	void SendPosture(float Pitch, float Roll, float Yaw, float Height = 0.5f);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "开始调参录制：把每一步的输入与输出写入 CSV 文件（已存在则覆盖）。无法创建文件时返回 false 并在日志中给出原因。"))
	bool StartRecording(const FString& Path);

	UFUNCTION(BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "结束调参录制并关闭文件。"))
	void StopRecording();

	virtual void BeginPlay() override;
	virtual void EndPlay(const EEndPlayReason::Type EndPlayReason) override;
	virtual void TickComponent(float DeltaTime, ELevelTick TickType, FActorComponentTickFunction* ThisTickFunction) override;

	// The longest a park of the profile in force may take.
	float GetParkSeconds() const { return static_cast<float>(Profile.ParkSeconds); }

	virtual void OnSeatReady() override;

private:
	// Why the component does not drive the seat.
	enum class EIdleReason : uint8
	{
		None,
		NoManager,
		NotLocalPlayer,
		DriveSeatNever,
		AnotherDrives
	};

	USeatDeviceManager* FindManager();
	EIdleReason WhyIdle() const;
	bool IsTheLocalPlayersVehicle() const;
	void SayIdle(EIdleReason Reason, const USeatDeviceManager* Seat);
	bool TakeStream(USeatDeviceManager& Seat);
	void LetGo();
	KarvelSeat::MotionSample NextSample(float DeltaSeconds, bool bPaused);
	bool ReadOwnerMotion(float DeltaSeconds, KarvelCueing::VehicleMotion& OutMotion);

	// The profile in force, checked; the runtime cues with it while this component drives.
	KarvelCueing::CueingProfile Profile = KarvelCueing::RoadVehicleProfile();
	// A recording started while the component does not drive; it goes to the stream when it does.
	std::unique_ptr<KarvelCueing::CueRecorder> Recorder;
	TWeakObjectPtr<USeatDeviceManager> Manager;
	bool bRegisteredWithManager = false;
	// Held while this component drives the seat.
	TUniquePtr<FSeatMotionStream> Stream;
	EIdleReason SaidIdle = EIdleReason::None;

	bool bParkRequested = false;
	bool bHasRequestedPosture = false;
	KarvelCueing::SeatPose RequestedPosture;

	// This component turned the effects off for a pause; the manager gives them back when it ends.
	bool bEffectsHeldForPause = false;

	// The owner's last state, for velocity and rotation differences.
	bool bHasHistory = false;
	// The owner's acceleration without gravity at the last reading (m/s^2, its own frame), for the recording.
	KarvelCueing::Vec3 OwnerAcceleration;
	FVector LastVelocity;
	FVector LastLocation;
	FQuat LastRotation;
};
