#pragma once

#include "CoreMinimal.h"
#include "Engine/DataAsset.h"
#include "MotionCueing/MotionCueing.h"
#include "SeatMotionProfile.generated.h"

UENUM(BlueprintType, meta = (ToolTip = "座椅体感预设：公路车辆、飞行、柔和或赛车。"))
enum class ESeatMotionPreset : uint8
{
	RoadVehicle = 0 UMETA(DisplayName = "公路车辆"),
	Flight = 1 UMETA(DisplayName = "飞行"),
	Gentle = 2 UMETA(DisplayName = "柔和"),
	Race = 3 UMETA(DisplayName = "赛车")
};

UCLASS(BlueprintType, meta = (ToolTip = "座椅体感配置资产：选择预设（公路车辆、飞行、柔和、赛车），或勾选自定义数值后逐项调整增益、滤波频率、倾斜限制、安全包络与回位时间。可用 karvel tune 对录制文件生成体感报告来调参。"))
class KARVEL_API USeatMotionProfile : public UDataAsset
{
	GENERATED_BODY()

public:
	USeatMotionProfile();

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "体感预设。公路车辆：刹车、加速与转弯时座椅立即轻倾，转台随每个弯转动后缓缓回中，颠簸有起伏；赛车：倾斜更快更强，转台转动范围更大，路肩与颠簸更有力；飞行：持续的推力与拉升倾斜更多，协调转弯不侧倾，转台回中很慢；柔和：幅度小、动作慢，适合初次体验。未勾选自定义数值时使用该预设。"))
	ESeatMotionPreset Preset = ESeatMotionPreset::RoadVehicle;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion", meta = (ToolTip = "勾选后使用下方的自定义数值，不再使用预设；可先点击“载入预设数值”以预设为起点调整。"))
	bool bCustomValues = false;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Tilt", meta = (EditCondition = "bCustomValues", ToolTip = "倾斜协调增益：纵向与横向比力（含重力的加速度）按 增益 × asin(f/g) 换算为俯仰与横滚倾角，立即生效（无单位）。"))
	double TiltGain = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Tilt", meta = (EditCondition = "bCustomValues", ToolTip = "倾斜协调低通滤波的截止频率（Hz）：滤去比力中高于该频率的抖动后再换算为倾斜；越高倾斜越及时。"))
	double TiltFrequency = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Tilt", meta = (EditCondition = "bCustomValues", ToolTip = "倾斜协调的最大倾角（度）：超过其一半后平滑趋近该值。"))
	double TiltLimit = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Tilt", meta = (EditCondition = "bCustomValues", ToolTip = "倾斜协调的最大倾斜角速度（度/秒）。"))
	double TiltRate = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "横滚角速度起始提示的增益（无单位）。"))
	double RollRateGain = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "俯仰角速度起始提示的增益（无单位）。"))
	double PitchRateGain = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "偏航角速度起始提示的增益（无单位）：转台随转弯转动后回中。"))
	double YawRateGain = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "横滚起始提示的洗出（高通）截止频率（Hz）：越大回中越快。"))
	double RollWashout = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "俯仰起始提示的洗出（高通）截止频率（Hz）：越大回中越快。"))
	double PitchWashout = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Onset", meta = (EditCondition = "bCustomValues", ToolTip = "偏航洗出频率（Hz）：转台随偏航角速度转动，并以该频率（一阶）回中；越大回中越快。"))
	double YawWashout = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Heave", meta = (EditCondition = "bCustomValues", ToolTip = "升降提示增益：每米提示位移对应的高度单位；Orvida 行程 100 毫米，增益 10 即与车辆位移一比一。"))
	double HeaveGain = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Heave", meta = (EditCondition = "bCustomValues", ToolTip = "垂直比力（超出重力部分）高通截止频率（Hz）。"))
	double HeaveWashout = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Heave", meta = (EditCondition = "bCustomValues", ToolTip = "升降回到中性高度的截止频率（Hz）。"))
	double HeaveReturn = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Heave", meta = (EditCondition = "bCustomValues", ToolTip = "提示围绕的中性高度，归一化 0 到 1。"))
	double NeutralHeight = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：俯仰角上限（度，正负对称）。"))
	double PitchLimit = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：俯仰角速度上限（度/秒）。"))
	double PitchVelocity = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：俯仰角加速度上限（度/秒²）。"))
	double PitchAcceleration = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：横滚角上限（度，正负对称）。"))
	double RollLimit = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：横滚角速度上限（度/秒）。"))
	double RollVelocity = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：横滚角加速度上限（度/秒²）。"))
	double RollAcceleration = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：转台偏航角上限（度，正负对称）。"))
	double YawLimit = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：转台角速度上限（度/秒）。"))
	double YawVelocity = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：转台角加速度上限（度/秒²）。"))
	double YawAcceleration = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：最低高度，归一化 0 到 1。"))
	double HeightMin = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：最高高度，归一化 0 到 1。"))
	double HeightMax = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：高度变化速度上限（每秒归一化单位）。"))
	double HeightVelocity = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Envelope", meta = (EditCondition = "bCustomValues", ToolTip = "安全包络：高度变化加速度上限（每秒²归一化单位）。"))
	double HeightAcceleration = 0.0;

	UPROPERTY(EditAnywhere, BlueprintReadOnly, Category = "SeatDevice|Motion|Park", meta = (EditCondition = "bCustomValues", ToolTip = "回位时间（秒）：暂停、注销座椅或结束游戏时，座椅在此时间内平稳回到原位。"))
	double ParkSeconds = 0.0;

	UFUNCTION(CallInEditor, BlueprintCallable, Category = "SeatDevice|Motion", meta = (ToolTip = "把所选预设的数值复制到自定义数值中，作为调整的起点。"))
	void LoadPresetValues();

	UFUNCTION(BlueprintPure, Category = "SeatDevice|Motion", meta = (ToolTip = "检查配置：有效时返回空字符串，否则返回说明哪一项数值超出允许范围的提示。"))
	FString Validate() const;

	// Native callers: the profile the cueing core runs with (the preset, or the custom values as they stand).
	KarvelCueing::CueingProfile ToCueingProfile() const;

private:
	void CopyPresetValues();
};
