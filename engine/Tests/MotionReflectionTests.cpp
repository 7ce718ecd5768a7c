// The motion component and its profile asset as the editor and Blueprints see them, and what the asset turns
// into for the cueing core.
#include "EditCondition.h"
#include "SeatMotionComponent.h"
#include "SeatMotionProfile.h"
#include "TestSupport.h"

namespace
{
using KarvelCueing::CueingProfile;
using UE::StandIn::GetPropertyEditorState;

struct FExpectedFunction
{
	const char* Name;
	bool bPure;
	std::vector<std::pair<const char*, const char*>> Parameters; // name, C++ type
	const char* Result = nullptr;
	const char* HeightDefault = nullptr;
};

// Registration order is sorted by name.
const std::vector<FExpectedFunction> ComponentFunctions = {
	{"IsMotionEnabled", true, {}, "bool"},
	{"IsParked", true, {}, "bool"},
	{"ParkNow", false, {}},
	{"Recentre", false, {}},
	{"ResumeMotion", false, {}},
	{"SendPosture", false, {{"Pitch", "float"}, {"Roll", "float"}, {"Yaw", "float"}, {"Height", "float"}}, nullptr, "0.500000"},
	{"SetMotionEnabled", false, {{"bEnabled", "bool"}}},
	{"SetProfile", false, {{"NewProfile", "USeatMotionProfile*"}}, "bool"},
	{"StartRecording", false, {{"Path", "FString"}}, "bool"},
	{"StopRecording", false, {}},
};

std::vector<double> FieldValues(const CueingProfile& Profile)
{
	std::vector<double> Values;
	for (const KarvelCueing::ProfileField& Field : KarvelCueing::ProfileFields())
	{
		Values.push_back(Profile.*Field.Member);
	}
	return Values;
}

double& AssetField(USeatMotionProfile& Asset, const char* Name)
{
	const FProperty* Property = USeatMotionProfile::StaticClass()->FindPropertyByName(Name);
	if (!Property || Property->GetKind() != EPropertyKind::Double)
	{
		ADD_FAILURE() << "the asset has no custom value " << Name;
		std::abort();
	}
	return *Property->ContainerPtrToValuePtr<double>(&Asset);
}
}

TEST(SeatMotionReflection, TheComponentIsASpawnableActorComponent)
{
	const UClass& Type = *USeatMotionComponent::StaticClass();
	EXPECT_EQ(Type.GetSuperClass(), UActorComponent::StaticClass());
	EXPECT_EQ(Type.GetMetaData("ClassGroupNames"), "SeatDevice");
	EXPECT_TRUE(Type.HasMetaData("BlueprintSpawnableComponent"));
	EXPECT_FALSE(Type.GetMetaData("ToolTip").empty());
	EXPECT_TRUE(Type.CanCreateInstance());
}

TEST(SeatMotionReflection, ComponentPropertiesAreEditableAndReadableInBlueprints)
{
	const UClass& Type = *USeatMotionComponent::StaticClass();
	EXPECT_EQ(NamesOf(Type.GetProperties()),
		(std::vector<std::string>{"MotionProfile", "bMotionEnabled", "bCueOwnerMotion", "bEffectsOffWhilePaused", "RecordingPath", "DriveSeat"}));
	for (const FProperty* Property : Type.GetProperties())
	{
		SCOPED_TRACE(Property->GetName());
		EXPECT_EQ(Property->GetMetaData("Category"), "SeatDevice|Motion");
		EXPECT_FALSE(Property->GetMetaData("ToolTip").empty());
		EXPECT_TRUE(Property->HasAllPropertyFlags(CPF_Edit | CPF_BlueprintVisible | CPF_BlueprintReadOnly));
	}
	EXPECT_EQ(Type.FindPropertyByName("MotionProfile")->GetTypeName(), "USeatMotionProfile");
	EXPECT_EQ(Type.FindPropertyByName("DriveSeat")->GetTypeName(), "ESeatDrivePolicy");
	EXPECT_EQ(Type.FindPropertyByName("DriveSeat")->ExportText(NewObject<USeatMotionComponent>()), "LocalPlayerOnly")
		<< "the local player's vehicle only, unless the game says otherwise";

	const UEnum& Policies = *StaticEnum<ESeatDrivePolicy>();
	EXPECT_FALSE(Policies.GetMetaData("ToolTip").empty());
	ASSERT_EQ(Policies.NumEnums(), 3);
	EXPECT_EQ(Policies.GetDisplayNameTextByIndex(0), "仅本地玩家的载具");
	EXPECT_EQ(Policies.GetDisplayNameTextByIndex(1), "始终");
	EXPECT_EQ(Policies.GetDisplayNameTextByIndex(2), "从不");
}

TEST(SeatMotionReflection, ComponentBlueprintFunctions)
{
	const UClass& Type = *USeatMotionComponent::StaticClass();
	std::vector<std::string> Names;
	for (const FExpectedFunction& Row : ComponentFunctions)
	{
		Names.push_back(Row.Name);
	}
	EXPECT_EQ(NamesOf(Type.GetFunctions()), Names);
	for (const FExpectedFunction& Row : ComponentFunctions)
	{
		SCOPED_TRACE(Row.Name);
		const UFunction* Function = Type.FindFunctionByName(Row.Name);
		ASSERT_NE(Function, nullptr);
		EXPECT_EQ(Function->GetMetaData("Category"), "SeatDevice|Motion");
		EXPECT_FALSE(Function->GetMetaData("ToolTip").empty());
		EXPECT_TRUE(Function->HasAllFunctionFlags(FUNC_Public | FUNC_Native | FUNC_Final | FUNC_BlueprintCallable));
		EXPECT_EQ(Function->HasAnyFunctionFlags(FUNC_BlueprintPure), Row.bPure);
		EXPECT_EQ(Function->HasAnyFunctionFlags(FUNC_Const), Row.bPure) << "the queries are const";
		const std::vector<const FProperty*> Properties = Function->GetProperties();
		ASSERT_EQ(Properties.size(), Row.Parameters.size() + (Row.Result ? 1 : 0));
		for (size_t Index = 0; Index < Row.Parameters.size(); ++Index)
		{
			EXPECT_EQ(Properties[Index]->GetName(), Row.Parameters[Index].first);
			EXPECT_EQ(Properties[Index]->GetCPPType(), Row.Parameters[Index].second);
		}
		if (Row.Result)
		{
			EXPECT_EQ(Properties.back()->GetCPPType(), Row.Result);
		}
		EXPECT_EQ(Function->GetMetaData("CPP_Default_Height"), Row.HeightDefault ? Row.HeightDefault : "");
	}
}

// The asset holds one custom value per field of the core's profile, named alike, greyed out until custom
// values are ticked, with the road preset's values as defaults.
TEST(SeatMotionReflection, ProfileAssetHasEveryCoreFieldAsACustomValue)
{
	const UClass& Type = *USeatMotionProfile::StaticClass();
	EXPECT_EQ(Type.GetSuperClass(), UDataAsset::StaticClass());
	USeatMotionProfile* Asset = NewObject<USeatMotionProfile>();
	std::vector<std::string> Expected = {"Preset", "bCustomValues"};
	for (const KarvelCueing::ProfileField& Field : KarvelCueing::ProfileFields())
	{
		Expected.push_back(Field.Name);
		EXPECT_EQ(AssetField(*Asset, Field.Name), KarvelCueing::RoadVehicleProfile().*Field.Member) << Field.Name;
	}
	EXPECT_EQ(NamesOf(Type.GetProperties()), Expected);

	for (const FProperty* Property : Type.GetProperties())
	{
		SCOPED_TRACE(Property->GetName());
		EXPECT_FALSE(Property->GetMetaData("ToolTip").empty());
		EXPECT_EQ(Property->GetMetaData("Category").rfind("SeatDevice|Motion", 0), 0u);
		const bool bCustom = Property->GetKind() == EPropertyKind::Double;
		EXPECT_EQ(Property->GetMetaData("EditCondition"), bCustom ? "bCustomValues" : "");
		Asset->bCustomValues = false;
		EXPECT_EQ(GetPropertyEditorState(Type, *Property, Asset)->bEditable, !bCustom);
		Asset->bCustomValues = true;
		EXPECT_TRUE(GetPropertyEditorState(Type, *Property, Asset)->bEditable);
	}

	const UEnum& Presets = *StaticEnum<ESeatMotionPreset>();
	EXPECT_FALSE(Presets.GetMetaData("ToolTip").empty());
	EXPECT_FALSE(Type.GetMetaData("ToolTip").empty());
	// Saved assets keep their presets: the first three as they were, racing added at the end.
	ASSERT_EQ(Presets.NumEnums(), 4);
	const char* const Names[] = {"公路车辆", "飞行", "柔和", "赛车"};
	for (int32 Index = 0; Index < 4; ++Index)
	{
		EXPECT_EQ(Presets.GetDisplayNameTextByIndex(Index), Names[Index]) << Index;
		EXPECT_EQ(Presets.GetValueByIndex(Index), Index);
	}
	const UFunction* Load = Type.FindFunctionByName("LoadPresetValues");
	ASSERT_NE(Load, nullptr);
	EXPECT_EQ(Load->GetMetaData("CallInEditor"), "true") << "a button in the details panel";
}

// The button changes the asset as an edit: undoable and marked for saving. Creating an asset is no edit.
TEST(SeatMotionProfileAsset, LoadingThePresetValuesIsAnEditOfTheAsset)
{
	USeatMotionProfile* Asset = NewObject<USeatMotionProfile>();
	EXPECT_EQ(UE::StandIn::GetModifyCount(*Asset), 0);
	Asset->Preset = ESeatMotionPreset::Flight;
	Asset->LoadPresetValues();
	EXPECT_EQ(UE::StandIn::GetModifyCount(*Asset), 1);
	EXPECT_EQ(AssetField(*Asset, "TiltLimit"), KarvelCueing::FlightProfile().TiltLimit);
}

TEST(SeatMotionProfileAsset, PresetsAndCustomValuesBecomeTheCoresProfile)
{
	USeatMotionProfile* Asset = NewObject<USeatMotionProfile>();
	EXPECT_EQ(FieldValues(Asset->ToCueingProfile()), FieldValues(KarvelCueing::RoadVehicleProfile()));
	Asset->Preset = ESeatMotionPreset::Flight;
	EXPECT_EQ(FieldValues(Asset->ToCueingProfile()), FieldValues(KarvelCueing::FlightProfile()));
	Asset->Preset = ESeatMotionPreset::Race;
	EXPECT_EQ(FieldValues(Asset->ToCueingProfile()), FieldValues(KarvelCueing::RaceProfile()));
	EXPECT_EQ(Asset->Validate(), FString());
	Asset->Preset = ESeatMotionPreset::Gentle;
	EXPECT_EQ(FieldValues(Asset->ToCueingProfile()), FieldValues(KarvelCueing::GentleProfile()));
	EXPECT_EQ(Asset->Validate(), FString());

	// Custom values start from the chosen preset and then stand on their own.
	Asset->LoadPresetValues();
	Asset->bCustomValues = true;
	Asset->Preset = ESeatMotionPreset::RoadVehicle;
	EXPECT_EQ(FieldValues(Asset->ToCueingProfile()), FieldValues(KarvelCueing::GentleProfile()));
	AssetField(*Asset, "ParkSeconds") = 2.5;
	AssetField(*Asset, "TiltRate") = 2.5;
	const CueingProfile Custom = Asset->ToCueingProfile();
	EXPECT_EQ(Custom.ParkSeconds, 2.5);
	EXPECT_EQ(Custom.TiltRate, 2.5);
	EXPECT_EQ(Custom.TiltLimit, KarvelCueing::GentleProfile().TiltLimit);
}

TEST(SeatMotionProfileAsset, InvalidValuesAreRefusedWithTheCoresMessageAndTheOldProfileStays)
{
	FLogCapture Log;
	USeatMotionComponent* Component = NewObject<USeatMotionComponent>();
	USeatMotionProfile* Slow = NewObject<USeatMotionProfile>();
	Slow->bCustomValues = true;
	AssetField(*Slow, "ParkSeconds") = 2.0;
	ASSERT_TRUE(Component->SetProfile(Slow));
	EXPECT_EQ(Component->GetParkSeconds(), 2.0f);

	USeatMotionProfile* Broken = NewObject<USeatMotionProfile>();
	Broken->bCustomValues = true;
	AssetField(*Broken, "ParkSeconds") = 1.0;
	AssetField(*Broken, "TiltLimit") = -5.0;
	const std::string Message = ToUtf8(Broken->Validate());
	EXPECT_NE(Message.find("TiltLimit"), std::string::npos) << Message;
	EXPECT_FALSE(Component->SetProfile(Broken));
	EXPECT_EQ(Component->MotionProfile.Get(), Slow);
	EXPECT_EQ(Component->GetParkSeconds(), 2.0f) << "the old profile still runs";
	const std::vector<FLogCapture::FLine> Lines = Log.GetLines();
	ASSERT_EQ(Lines.size(), 1u);
	EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Warning);
	EXPECT_EQ(Lines[0].Text, "[Karvel] Motion profile refused, the current one stays: " + Message);

	EXPECT_TRUE(Component->SetProfile(nullptr)) << "no asset: the road preset";
	EXPECT_EQ(Component->GetParkSeconds(), static_cast<float>(KarvelCueing::RoadVehicleProfile().ParkSeconds));
}
