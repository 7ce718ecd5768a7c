#pragma once

#include "CoreMinimal.h"
#include "Engine/DataAsset.h"
#include "SeatDeviceConfig.generated.h"

// The enum values are the library's codes; they are passed on unchanged (widened to int32).

UENUM(BlueprintType)
enum class ESeatModelType : uint8
{
	Tamsel = 0 UMETA(DisplayName = "Tamsel"),
	Orvida = 1 UMETA(DisplayName = "Orvida")
};

UENUM(BlueprintType)
enum class ESeatWindLevel : uint8
{
	Off = 0 UMETA(DisplayName = "关"),
	Low = 1 UMETA(DisplayName = "1档 - 低"),
	Medium = 2 UMETA(DisplayName = "2档 - 中"),
	High = 3 UMETA(DisplayName = "3档 - 高")
};

UENUM(BlueprintType)
enum class ESeatWaterMistLevel : uint8
{
	Off = 0 UMETA(DisplayName = "关"),
	Mist = 1 UMETA(DisplayName = "雾"),
	SmallWater = 2 UMETA(DisplayName = "小水"),
	BigWater = 3 UMETA(DisplayName = "大水")
};

UENUM(BlueprintType)
enum class ESeatScentLevel : uint8
{
	Off = 0 UMETA(DisplayName = "关"),
	Scent1 = 1 UMETA(DisplayName = "香薰通道 1"),
	Scent2 = 2 UMETA(DisplayName = "香薰通道 2")
};

// What the manager last commanded, not what the hardware reached.
USTRUCT(BlueprintType, meta = (ToolTip = "运行时硬件最新状态快照"))
struct FSeatCurrentState
{
	GENERATED_BODY()

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	float CurrentPitch = 0.0f;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	float CurrentRoll = 0.0f;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	float CurrentYaw = 0.0f;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	float CurrentHeight = 0.5f;

	// The three levels are plain integers holding ESeatWindLevel, ESeatWaterMistLevel and ESeatScentLevel values.
	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	int32 WindLevel = 0;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	int32 WaterMistType = 0;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	int32 ScentType = 0;

	UPROPERTY(VisibleAnywhere, BlueprintReadOnly, Category = "SeatDevice|State")
	bool bHeaterOn = false;
};

// Effects fields are greyed out, not hidden, for Tamsel so that split pins keep their layout.
USTRUCT(BlueprintType, meta = (ToolTip = "注册参数结构体，支持蓝图 Split Pin 拆分成员，并与 EditCondition 联动"))
struct FSeatConnectParams
{
	GENERATED_BODY()

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig", meta = (ToolTip = "座椅型号：Tamsel / Orvida"))
	ESeatModelType SeatType = ESeatModelType::Tamsel;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig", meta = (ToolTip = "UDP 姿态通信 IP"))
	FString UdpIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig", meta = (ToolTip = "UDP 姿态通信端口"))
	int32 UdpPort = 7408;

	// True by default, but only an Orvida registration passes it on.
	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig|Effects", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", ToolTip = "是否启用 Modbus 特效回路（仅 Orvida）"))
	bool bEnableEffects = true;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig|Effects", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", ToolTip = "继电器 IP（水雾、香薰、加热）"))
	FString RelayIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig|Effects", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", ToolTip = "继电器端口"))
	int32 RelayPort = 8234;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig|Effects", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", ToolTip = "变频器 / 风速 IP"))
	FString SpeedIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "SeatConfig|Effects", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", ToolTip = "变频器 / 风速端口"))
	int32 SpeedPort = 8234;
};

// Saved with the project's assets: property names and defaults must stay as they are.
UCLASS(BlueprintType, meta = (IsBlueprintBase = "true", ToolTip = "座椅硬件配置数据资产：选择 Tamsel 时折叠全部特效设置，选择 Orvida 并勾选特效开关后显示完整参数"))
class KARVEL_API USeatDeviceConfig : public UDataAsset
{
	GENERATED_BODY()

public:
	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "1. 设备型号", meta = (ToolTip = "1. 设备型号"))
	ESeatModelType SeatType = ESeatModelType::Tamsel;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "2. 姿态控制网络 (UDP)", meta = (ToolTip = "2. 姿态网络（Tamsel 与 Orvida 共用）"))
	FString UdpIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "2. 姿态控制网络 (UDP)")
	int32 UdpPort = 7408;

	// Off by default here (unlike FSeatConnectParams): choosing Orvida alone registers without effects.
	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备 (Modbus TCP)", meta = (EditCondition = "SeatType == ESeatModelType::Orvida", EditConditionHides, ToolTip = "3. 特效总开关（仅当型号为 Orvida 时生效）"))
	bool bEnableEffects = false;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|继电器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides, ToolTip = "4. 继电器配置（水雾、香薰、加热）"))
	FString RelayIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|继电器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides))
	int32 RelayPort = 8234;

	// The slave and register numbers are kept with the asset only: the library uses its own fixed unit 1 and register 3.
	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|继电器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides))
	int32 RelaySlaveAddress = 1;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|风速控制器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides, ToolTip = "5. 风速控制器"))
	FString SpeedIp = TEXT("192.168.15.211");

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|风速控制器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides))
	int32 SpeedPort = 8234;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|风速控制器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides))
	int32 SpeedSlaveAddress = 1;

	UPROPERTY(EditAnywhere, BlueprintReadWrite, Category = "3. 特效设备|风速控制器", meta = (EditCondition = "SeatType == ESeatModelType::Orvida && bEnableEffects", EditConditionHides))
	int32 SpeedRegisterAddress = 3;
};
