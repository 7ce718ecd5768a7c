#include "SeatDeviceConfig.h"
#include "TestSupport.h"

namespace
{
constexpr uint64 EditAnywhereReadWrite = CPF_Edit | CPF_BlueprintVisible;
constexpr uint64 VisibleAnywhereReadOnly = CPF_Edit | CPF_EditConst | CPF_BlueprintVisible | CPF_BlueprintReadOnly;

struct FExpectedProperty
{
	const char* Name;
	const char* CppType;
	uint64 Flags;
	const char* Category;
	const char* Default; // as the editor exports it
	const char* EditCondition = nullptr;
	bool bHides = false;
	bool bToolTip = false;
};

void ExpectProperties(const UStruct& Type, const void* Instance, const std::vector<FExpectedProperty>& Expected)
{
	const std::vector<const FProperty*> Properties = Type.GetProperties();
	ASSERT_EQ(Properties.size(), Expected.size()) << Type.GetName();
	for (size_t Index = 0; Index < Expected.size(); ++Index)
	{
		const FProperty& Property = *Properties[Index];
		const FExpectedProperty& Row = Expected[Index];
		SCOPED_TRACE(Type.GetName() + "::" + Row.Name);
		EXPECT_EQ(Property.GetName(), Row.Name);
		EXPECT_EQ(Property.GetCPPType(), Row.CppType);
		EXPECT_EQ(Property.GetPropertyFlags(), Row.Flags);
		EXPECT_EQ(Property.GetMetaData("Category"), Row.Category);
		EXPECT_EQ(Property.ExportText(Instance), Row.Default);
		EXPECT_EQ(Property.FindMetaData("EditCondition") ? Property.GetMetaData("EditCondition") : "<none>",
			Row.EditCondition ? Row.EditCondition : "<none>");
		EXPECT_EQ(Property.HasMetaData("EditConditionHides"), Row.bHides);
		EXPECT_EQ(!Property.GetMetaData("ToolTip").empty(), Row.bToolTip);
	}
}

constexpr const char* Orvida = "SeatType == ESeatModelType::Orvida";
constexpr const char* OrvidaWithEffects = "SeatType == ESeatModelType::Orvida && bEnableEffects";
}

TEST(ReflectedStructs, PackageHoldsBothStructs)
{
	EXPECT_EQ(NamesOf(KarvelPackage().GetStructs()), (std::vector<std::string>{"FSeatCurrentState", "FSeatConnectParams"}));
}

TEST(ReflectedStructs, CurrentStateIsAReadOnlySnapshotWithResetDefaults)
{
	const UScriptStruct* Type = FSeatCurrentState::StaticStruct();
	EXPECT_EQ(Type->GetMetaData("BlueprintType"), "true");
	EXPECT_EQ(Type->GetMetaData("ToolTip"), "运行时硬件最新状态快照");
	const FSeatCurrentState State;
	const char* Category = "SeatDevice|State";
	ExpectProperties(*Type, &State,
		{
			{"CurrentPitch", "float", VisibleAnywhereReadOnly, Category, "0.000000"},
			{"CurrentRoll", "float", VisibleAnywhereReadOnly, Category, "0.000000"},
			{"CurrentYaw", "float", VisibleAnywhereReadOnly, Category, "0.000000"},
			{"CurrentHeight", "float", VisibleAnywhereReadOnly, Category, "0.500000"},
			{"WindLevel", "int32", VisibleAnywhereReadOnly, Category, "0"},
			{"WaterMistType", "int32", VisibleAnywhereReadOnly, Category, "0"},
			{"ScentType", "int32", VisibleAnywhereReadOnly, Category, "0"},
			{"bHeaterOn", "bool", VisibleAnywhereReadOnly, Category, "false"},
		});
}

// bEnableEffects is true here but false in the asset, and the effects addresses are the motion controller's.
TEST(ReflectedStructs, ConnectParamsGreyOutTheEffectsFieldsUnlessOrvida)
{
	const UScriptStruct* Type = FSeatConnectParams::StaticStruct();
	EXPECT_EQ(Type->GetMetaData("BlueprintType"), "true");
	EXPECT_FALSE(Type->GetMetaData("ToolTip").empty());
	const FSeatConnectParams Params;
	ExpectProperties(*Type, &Params,
		{
			{"SeatType", "ESeatModelType", EditAnywhereReadWrite, "SeatConfig", "Tamsel", nullptr, false, true},
			{"UdpIp", "FString", EditAnywhereReadWrite, "SeatConfig", "192.168.15.211", nullptr, false, true},
			{"UdpPort", "int32", EditAnywhereReadWrite, "SeatConfig", "7408", nullptr, false, true},
			{"bEnableEffects", "bool", EditAnywhereReadWrite, "SeatConfig|Effects", "true", Orvida, false, true},
			{"RelayIp", "FString", EditAnywhereReadWrite, "SeatConfig|Effects", "192.168.15.211", Orvida, false, true},
			{"RelayPort", "int32", EditAnywhereReadWrite, "SeatConfig|Effects", "8234", Orvida, false, true},
			{"SpeedIp", "FString", EditAnywhereReadWrite, "SeatConfig|Effects", "192.168.15.211", Orvida, false, true},
			{"SpeedPort", "int32", EditAnywhereReadWrite, "SeatConfig|Effects", "8234", Orvida, false, true},
		});
	EXPECT_EQ(Type->FindPropertyByName("SeatType")->GetEnum(), StaticEnum<ESeatModelType>());
}

TEST(ReflectedDataAsset, IsABlueprintableDataAssetWithoutFunctions)
{
	const UClass* Class = USeatDeviceConfig::StaticClass();
	EXPECT_EQ(Class->GetSuperClass(), UDataAsset::StaticClass());
	EXPECT_EQ(&Class->GetPackage(), &KarvelPackage());
	EXPECT_EQ(Class->GetMetaData("BlueprintType"), "true");
	EXPECT_EQ(Class->GetMetaData("IsBlueprintBase"), "true");
	EXPECT_FALSE(Class->GetMetaData("ToolTip").empty());
	EXPECT_TRUE(Class->GetFunctions().empty());
}

// A new asset: effects off, ports 8234, Modbus units 1 and 1, fan speed register 3.
TEST(ReflectedDataAsset, PropertiesSectionsConditionsAndConstructorDefaults)
{
	const USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>();
	const char* Model = "1. 设备型号";
	const char* Network = "2. 姿态控制网络 (UDP)";
	const char* Effects = "3. 特效设备 (Modbus TCP)";
	const char* Relay = "3. 特效设备|继电器";
	const char* Speed = "3. 特效设备|风速控制器";
	ExpectProperties(*USeatDeviceConfig::StaticClass(), Config,
		{
			{"SeatType", "ESeatModelType", EditAnywhereReadWrite, Model, "Tamsel", nullptr, false, true},
			{"UdpIp", "FString", EditAnywhereReadWrite, Network, "192.168.15.211", nullptr, false, true},
			{"UdpPort", "int32", EditAnywhereReadWrite, Network, "7408"},
			{"bEnableEffects", "bool", EditAnywhereReadWrite, Effects, "false", Orvida, true, true},
			{"RelayIp", "FString", EditAnywhereReadWrite, Relay, "192.168.15.211", OrvidaWithEffects, true, true},
			{"RelayPort", "int32", EditAnywhereReadWrite, Relay, "8234", OrvidaWithEffects, true},
			{"RelaySlaveAddress", "int32", EditAnywhereReadWrite, Relay, "1", OrvidaWithEffects, true},
			{"SpeedIp", "FString", EditAnywhereReadWrite, Speed, "192.168.15.211", OrvidaWithEffects, true, true},
			{"SpeedPort", "int32", EditAnywhereReadWrite, Speed, "8234", OrvidaWithEffects, true},
			{"SpeedSlaveAddress", "int32", EditAnywhereReadWrite, Speed, "1", OrvidaWithEffects, true},
			{"SpeedRegisterAddress", "int32", EditAnywhereReadWrite, Speed, "3", OrvidaWithEffects, true},
		});
}

TEST(ReflectedDataAsset, SectionHeadersAreTheTooltipsOfTheirFirstProperties)
{
	const UClass* Class = USeatDeviceConfig::StaticClass();
	const std::vector<std::pair<const char*, const char*>> Headers = {
		{"SeatType", "1. 设备型号"},
		{"UdpIp", "2. 姿态网络（Tamsel 与 Orvida 共用）"},
		{"bEnableEffects", "3. 特效总开关（仅当型号为 Orvida 时生效）"},
		{"RelayIp", "4. 继电器配置（水雾、香薰、加热）"},
		{"SpeedIp", "5. 风速控制器"},
	};
	for (const auto& [Name, ToolTip] : Headers)
	{
		EXPECT_EQ(Class->FindPropertyByName(Name)->GetMetaData("ToolTip"), ToolTip) << Name;
	}
}

// The editor clamps typed ports to 1..65535, the range the library accepts.
TEST(ReflectedPorts, EveryPortIsClampedToTheValidRange)
{
	const std::vector<std::pair<const UStruct*, const char*>> Ports = {
		{FSeatConnectParams::StaticStruct(), "UdpPort"},
		{FSeatConnectParams::StaticStruct(), "RelayPort"},
		{FSeatConnectParams::StaticStruct(), "SpeedPort"},
		{USeatDeviceConfig::StaticClass(), "UdpPort"},
		{USeatDeviceConfig::StaticClass(), "RelayPort"},
		{USeatDeviceConfig::StaticClass(), "SpeedPort"},
	};
	for (const auto& [Type, Name] : Ports)
	{
		const FProperty* Property = Type->FindPropertyByName(Name);
		ASSERT_NE(Property, nullptr) << Name;
		EXPECT_EQ(Property->GetMetaData("ClampMin"), "1") << Type->GetName() << "::" << Name;
		EXPECT_EQ(Property->GetMetaData("ClampMax"), "65535") << Type->GetName() << "::" << Name;
	}
}
