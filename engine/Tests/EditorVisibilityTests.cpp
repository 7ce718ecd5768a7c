#include "EditCondition.h"
#include "SeatDeviceConfig.h"
#include "TestSupport.h"

using UE::StandIn::EvaluateEditCondition;
using UE::StandIn::FPropertyEditorState;
using UE::StandIn::GetPropertyEditorState;

namespace
{
constexpr FPropertyEditorState Editable{true, true};
constexpr FPropertyEditorState GreyedOut{true, false};
constexpr FPropertyEditorState Hidden{false, false};

std::vector<std::string> VisibleProperties(const UStruct& Type, const void* Instance)
{
	std::vector<std::string> Visible;
	for (const FProperty* Property : Type.GetProperties())
	{
		const std::optional<FPropertyEditorState> State = GetPropertyEditorState(Type, *Property, Instance);
		EXPECT_TRUE(State.has_value()) << "unusable EditCondition on " << Property->GetName();
		if (State && State->bVisible)
		{
			EXPECT_TRUE(State->bEditable) << Property->GetName();
			Visible.push_back(Property->GetName());
		}
	}
	return Visible;
}

const std::vector<std::string> EffectsProperties = {"RelayIp", "RelayPort", "RelaySlaveAddress", "SpeedIp", "SpeedPort", "SpeedSlaveAddress", "SpeedRegisterAddress"};
}

// The asset folds its effects settings away step by step: model first, then the effects switch.
TEST(EditorVisibility, DataAssetShowsEffectsOnlyForOrvidaWithTheSwitchTicked)
{
	USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>();
	const UClass& Type = *USeatDeviceConfig::StaticClass();
	const std::vector<std::string> Motion = {"SeatType", "UdpIp", "UdpPort"};

	EXPECT_EQ(VisibleProperties(Type, Config), Motion);

	Config->bEnableEffects = true;
	EXPECT_EQ(VisibleProperties(Type, Config), Motion) << "the switch alone shows nothing for Tamsel";

	Config->bEnableEffects = false;
	Config->SeatType = ESeatModelType::Orvida;
	std::vector<std::string> Expected = Motion;
	Expected.push_back("bEnableEffects");
	EXPECT_EQ(VisibleProperties(Type, Config), Expected);

	Config->bEnableEffects = true;
	Expected.insert(Expected.end(), EffectsProperties.begin(), EffectsProperties.end());
	EXPECT_EQ(VisibleProperties(Type, Config), Expected);
}

TEST(EditorVisibility, ConnectParamsGreyOutTheEffectsFieldsWhileTamsel)
{
	FSeatConnectParams Params;
	const UScriptStruct& Type = *FSeatConnectParams::StaticStruct();
	for (const char* Name : {"SeatType", "UdpIp", "UdpPort"})
	{
		EXPECT_EQ(GetPropertyEditorState(Type, *Type.FindPropertyByName(Name), &Params), Editable) << Name;
	}
	for (const char* Name : {"bEnableEffects", "RelayIp", "RelayPort", "SpeedIp", "SpeedPort"})
	{
		EXPECT_EQ(GetPropertyEditorState(Type, *Type.FindPropertyByName(Name), &Params), GreyedOut) << Name;
		Params.SeatType = ESeatModelType::Orvida;
		EXPECT_EQ(GetPropertyEditorState(Type, *Type.FindPropertyByName(Name), &Params), Editable) << Name;
		Params.SeatType = ESeatModelType::Tamsel;
	}
}

TEST(EditorVisibility, StateSnapshotIsShownReadOnlyAndTheActiveConfigNotAtAll)
{
	const FSeatCurrentState State;
	const UScriptStruct& StateType = *FSeatCurrentState::StaticStruct();
	for (const FProperty* Property : StateType.GetProperties())
	{
		EXPECT_EQ(GetPropertyEditorState(StateType, *Property, &State), GreyedOut) << Property->GetName();
	}
	const UClass& Manager = *KarvelPackage().FindClass("USeatDeviceManager");
	const FProperty* ActiveConfig = Manager.FindPropertyByName("ActiveConfig");
	ASSERT_NE(ActiveConfig, nullptr);
	EXPECT_EQ(GetPropertyEditorState(Manager, *ActiveConfig, nullptr), Hidden);
}

TEST(EditConditionEvaluator, CombinesComparisonsAndBooleans)
{
	USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>();
	Config->SeatType = ESeatModelType::Orvida;
	const UClass& Type = *USeatDeviceConfig::StaticClass();
	const auto Evaluate = [&](const char* Expression) { return EvaluateEditCondition(Type, Expression, Config); };

	EXPECT_EQ(Evaluate("SeatType == ESeatModelType::Orvida"), true);
	EXPECT_EQ(Evaluate("SeatType != ESeatModelType::Orvida"), false);
	EXPECT_EQ(Evaluate("bEnableEffects"), false);
	EXPECT_EQ(Evaluate("!bEnableEffects"), true);
	EXPECT_EQ(Evaluate("SeatType == ESeatModelType::Tamsel || !bEnableEffects"), true);
	EXPECT_EQ(Evaluate("!(SeatType == ESeatModelType::Orvida && !bEnableEffects)"), false);
	EXPECT_EQ(Evaluate("bEnableEffects == false"), true);
}

// A misspelt condition would leave a property always editable in the real editor: here it is refused.
TEST(EditConditionEvaluator, RefusesExpressionsItCannotEvaluate)
{
	const USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>();
	const UClass& Type = *USeatDeviceConfig::StaticClass();
	for (const char* Expression : {"SeatType == ESeatModelType::Orvdia", "SeatKind == ESeatModelType::Orvida", "SeatType == ESeatWindLevel::Off",
			 "SeatType", "UdpPort", "bEnableEffects &&", "(bEnableEffects", "bEnableEffects > 1", "bEnableEffects == ESeatModelType::Orvida", ""})
	{
		EXPECT_EQ(EvaluateEditCondition(Type, Expression, Config), std::nullopt) << Expression;
	}
}
