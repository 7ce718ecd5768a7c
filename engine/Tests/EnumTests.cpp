#include "SeatDeviceConfig.h"
#include "TestSupport.h"

#include <algorithm>
#include <type_traits>

namespace
{
struct FExpectedEnumerator
{
	const char* Name;
	int64 Value;
	const char* DisplayName;
};

void ExpectEnum(const UEnum* Enum, const std::vector<FExpectedEnumerator>& Expected)
{
	ASSERT_NE(Enum, nullptr);
	EXPECT_EQ(Enum->GetMetaData("BlueprintType"), "true");
	ASSERT_EQ(Enum->NumEnums(), static_cast<int32>(Expected.size())) << Enum->GetName();
	for (int32 Index = 0; Index < Enum->NumEnums(); ++Index)
	{
		EXPECT_EQ(Enum->GetNameStringByIndex(Index), Expected[Index].Name) << Enum->GetName();
		EXPECT_EQ(Enum->GetValueByIndex(Index), Expected[Index].Value) << Expected[Index].Name;
		EXPECT_EQ(Enum->GetDisplayNameTextByIndex(Index), Expected[Index].DisplayName) << Expected[Index].Name;
	}
}

template <typename E>
constexpr bool IsScopedByteEnum = std::is_enum_v<E> && !std::is_convertible_v<E, int> && std::is_same_v<std::underlying_type_t<E>, uint8>;
}

static_assert(IsScopedByteEnum<ESeatModelType> && IsScopedByteEnum<ESeatWindLevel> && IsScopedByteEnum<ESeatWaterMistLevel> && IsScopedByteEnum<ESeatScentLevel>,
	"the enums are scoped one-byte enums");

// Within a header in declaration order; the headers themselves register in an order the linker chooses.
TEST(ReflectedEnums, PackageHoldsTheEnumsInDeclarationOrder)
{
	std::vector<std::string> Names = NamesOf(KarvelPackage().GetEnums());
	for (const char* Motion : {"ESeatMotionPreset", "ESeatDrivePolicy"})
	{
		const auto Found = std::find(Names.begin(), Names.end(), Motion);
		ASSERT_NE(Found, Names.end()) << Motion;
		Names.erase(Found);
	}
	EXPECT_EQ(Names, (std::vector<std::string>{"ESeatModelType", "ESeatWindLevel", "ESeatWaterMistLevel", "ESeatScentLevel"}));
}

// The numbers are the library's codes and the display names what Blueprint drop-downs show.
TEST(ReflectedEnums, ValuesAndDisplayNamesMatchTheLibraryCodes)
{
	ExpectEnum(StaticEnum<ESeatModelType>(), {{"Tamsel", 0, "Tamsel"}, {"Orvida", 1, "Orvida"}});
	ExpectEnum(StaticEnum<ESeatWindLevel>(), {{"Off", 0, "关"}, {"Low", 1, "1档 - 低"}, {"Medium", 2, "2档 - 中"}, {"High", 3, "3档 - 高"}});
	ExpectEnum(StaticEnum<ESeatWaterMistLevel>(), {{"Off", 0, "关"}, {"Mist", 1, "雾"}, {"SmallWater", 2, "小水"}, {"BigWater", 3, "大水"}});
	ExpectEnum(StaticEnum<ESeatScentLevel>(), {{"Off", 0, "关"}, {"Scent1", 1, "香薰通道 1"}, {"Scent2", 2, "香薰通道 2"}});
}

TEST(ReflectedEnums, NativeValuesAgreeWithTheRegistry)
{
	const UEnum* Wind = StaticEnum<ESeatWindLevel>();
	EXPECT_EQ(Wind->GetValueByNameString("ESeatWindLevel::High"), static_cast<int64>(ESeatWindLevel::High));
	EXPECT_EQ(StaticEnum<ESeatModelType>()->GetValueByNameString("Orvida"), static_cast<int64>(ESeatModelType::Orvida));
	EXPECT_EQ(StaticEnum<ESeatScentLevel>()->GetValueByNameString("Scent2"), static_cast<int64>(ESeatScentLevel::Scent2));
	EXPECT_EQ(Wind->GetValueByNameString("Turbo"), std::nullopt);
}
