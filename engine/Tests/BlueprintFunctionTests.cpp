#include "SeatDeviceManager.h"
#include "TestSupport.h"

#include <algorithm>

namespace
{
struct FExpectedParameter
{
	const char* Name;
	const char* CppType;
	const char* Default = nullptr; // CPP_Default_ text, if any
};

enum class EKind
{
	Callable,
	Pure,
	PureConst
};

struct FExpectedFunction
{
	const char* Name;
	const char* Category;
	EKind Kind;
	std::vector<FExpectedParameter> Parameters;
	const char* Result = nullptr; // C++ type of ReturnValue
};

// In registration order, which is sorted by name.
const std::vector<FExpectedFunction> FunctionTable = {
	{"ConfigureMotionRuntime", "Motion", EKind::Callable, {{"FrameRate", "float", "100.000000"}, {"WatchdogSeconds", "float", "0.250000"}}, "bool"},
	{"GetActiveConfig", "Registration", EKind::PureConst, {}, "USeatDeviceConfig*"},
	{"GetCurrentState", "State", EKind::PureConst, {}, "const FSeatCurrentState&"},
	{"GetSDKVersion", "Info", EKind::PureConst, {}, "FString"},
	{"IsSeatReady", "Registration", EKind::PureConst, {}, "bool"},
	{"RegisterSeatWithParameters", "Registration", EKind::Callable, {{"ConnectParams", "FSeatConnectParams"}}, "bool"},
	{"RegisterTamselSeat", "Registration", EKind::Callable, {{"UdpIp", "FString", "192.168.15.211"}, {"UdpPort", "int32", "7408"}}, "bool"},
	{"ResetPosition", "Action", EKind::Callable, {}},
	{"SendPosture", "Action", EKind::Callable, {{"Pitch", "float"}, {"Roll", "float"}, {"Yaw", "float"}, {"Height", "float", "0.500000"}}},
	{"SendRotation", "Action", EKind::Callable,
		{{"Rotation", "FRotator"}, {"Height", "float", "0.500000"}, {"PitchSign", "float", "1.000000"}, {"RollSign", "float", "1.000000"}, {"YawSign", "float", "1.000000"}}},
	{"SetEffectsEndpoints", "Effects", EKind::Callable,
		{{"RelayIp", "FString", "192.168.15.7"}, {"RelayPort", "int32", "8234"}, {"SpeedIp", "FString", "192.168.15.8"}, {"SpeedPort", "int32", "8234"}}, "bool"},
	{"SetHeater", "Effects", EKind::Callable, {{"bOn", "bool"}}},
	{"SetScent", "Effects", EKind::Callable, {{"Level", "ESeatScentLevel"}}},
	{"SetUdpEndpoint", "Endpoint", EKind::Callable, {{"UdpIp", "FString", "192.168.15.251"}, {"UdpPort", "int32", "7408"}}, "bool"},
	{"SetWaterMist", "Effects", EKind::Callable, {{"Level", "ESeatWaterMistLevel"}}},
	{"SetWindSpeed", "Effects", EKind::Callable, {{"Level", "ESeatWindLevel"}}},
	{"TurnOffAllEffects", "Effects", EKind::Callable, {}},
	{"UnregisterSeat", "Registration", EKind::Callable, {}},
};

const UClass& ManagerClass()
{
	return *USeatDeviceManager::StaticClass();
}
}

TEST(BlueprintFunctionTable, ManagerIsAGameInstanceSubsystemInTheKarvelPackage)
{
	EXPECT_EQ(ManagerClass().GetSuperClass(), UGameInstanceSubsystem::StaticClass());
	// Each header registers its classes as its generated code is initialised, in an order the linker chooses.
	std::vector<std::string> Classes = NamesOf(KarvelPackage().GetClasses());
	std::sort(Classes.begin(), Classes.end());
	EXPECT_EQ(Classes, (std::vector<std::string>{"USeatDeviceAsyncAction", "USeatDeviceConfig", "USeatDeviceManager",
		"USeatMotionComponent", "USeatMotionProfile"}));
}

// Only the configurations are reflected, with no specifiers: the garbage collector sees the one in force and the one
// a registration under way registers; editor and Blueprints see neither.
TEST(BlueprintFunctionTable, OnlyTheConfigurationsAreReflectedProperties)
{
	const std::vector<const FProperty*> Properties = ManagerClass().GetProperties();
	EXPECT_EQ(NamesOf(Properties), (std::vector<std::string>{"ActiveConfig", "PendingConfig"}));
	for (const FProperty* Property : Properties)
	{
		EXPECT_EQ(Property->GetKind(), EPropertyKind::Object);
		EXPECT_EQ(Property->GetTypeName(), "USeatDeviceConfig");
		EXPECT_EQ(Property->GetPropertyFlags(), CPF_None);
	}
}

TEST(BlueprintFunctionTable, FunctionsInRegistrationOrder)
{
	std::vector<std::string> Expected;
	for (const FExpectedFunction& Function : FunctionTable)
	{
		Expected.push_back(Function.Name);
	}
	EXPECT_EQ(NamesOf(ManagerClass().GetFunctions()), Expected);
	EXPECT_EQ(ManagerClass().FindFunctionByName("RegisterSeatConfig"), nullptr) << "native callers only";
}

TEST(BlueprintFunctionTable, CategoriesKindsParametersAndDefaults)
{
	for (const FExpectedFunction& Row : FunctionTable)
	{
		SCOPED_TRACE(Row.Name);
		const UFunction* Function = ManagerClass().FindFunctionByName(Row.Name);
		ASSERT_NE(Function, nullptr);
		EXPECT_EQ(Function->GetMetaData("Category"), std::string("SeatDevice|") + Row.Category);
		EXPECT_FALSE(Function->GetMetaData("ToolTip").empty());
		EXPECT_TRUE(Function->HasAllFunctionFlags(FUNC_Public | FUNC_Native | FUNC_Final | FUNC_BlueprintCallable));
		EXPECT_EQ(Function->HasAnyFunctionFlags(FUNC_BlueprintPure), Row.Kind != EKind::Callable);
		EXPECT_EQ(Function->HasAnyFunctionFlags(FUNC_Const), Row.Kind == EKind::PureConst);

		const std::vector<const FProperty*> Properties = Function->GetProperties();
		const size_t ResultCount = Row.Result ? 1 : 0;
		ASSERT_EQ(Properties.size(), Row.Parameters.size() + ResultCount);
		for (size_t Index = 0; Index < Row.Parameters.size(); ++Index)
		{
			const FExpectedParameter& Expected = Row.Parameters[Index];
			EXPECT_EQ(Properties[Index]->GetName(), Expected.Name);
			EXPECT_EQ(Properties[Index]->GetCPPType(), Expected.CppType) << Expected.Name;
			// Strings are taken by const reference in C++, which to Blueprints is passing them by value.
			EXPECT_EQ(Properties[Index]->GetPropertyFlags(), CPF_Parm) << Expected.Name << " is passed by value";
			const std::string DefaultKey = std::string("CPP_Default_") + Expected.Name;
			EXPECT_EQ(Function->FindMetaData(DefaultKey) ? Function->GetMetaData(DefaultKey) : "<none>", Expected.Default ? Expected.Default : "<none>");
		}
		const FProperty* Result = Function->GetReturnProperty();
		ASSERT_EQ(Result != nullptr, Row.Result != nullptr);
		if (Result)
		{
			EXPECT_EQ(Result, Properties.back());
			EXPECT_EQ(Result->GetName(), "ReturnValue");
			EXPECT_EQ(Result->GetCPPType(), Row.Result);
		}
	}
}
