#include "TestSupport.h"

#include <cstring>

TEST(EngineText, Utf8ConversionKeepsEveryCharacter)
{
	// ASCII, Chinese (3-byte UTF-8) and a character outside the BMP (a UTF-16 surrogate pair).
	const char* Utf8 = "192.168.15.211 香薰通道 1 \xF0\x9F\x8C\x80";
	const FString Text(UTF8_TO_TCHAR(Utf8));
	EXPECT_EQ(Text.Len(), 24);
	EXPECT_STREQ(TCHAR_TO_UTF8(*Text), Utf8);

	const FTCHARToUTF8 Converted(*Text);
	EXPECT_EQ(Converted.Length(), static_cast<int32>(std::strlen(Utf8)));
}

TEST(EngineText, EmptyAndNullStayEmpty)
{
	EXPECT_STREQ(TCHAR_TO_UTF8(*FString()), "");
	EXPECT_TRUE(FString(UTF8_TO_TCHAR(nullptr)).IsEmpty());
	EXPECT_TRUE(FString(static_cast<const TCHAR*>(nullptr)).IsEmpty());
}

TEST(EngineText, MalformedInputBecomesReplacementCharacters)
{
	EXPECT_EQ(FString(UTF8_TO_TCHAR("a\xC3")).GetCharArray(), u"a\uFFFD");
	EXPECT_EQ(FString(UTF8_TO_TCHAR("\xE9\x99")).GetCharArray(), u"\uFFFD\uFFFD");
	const TCHAR LoneSurrogate[] = {u'x', 0xD800, 0};
	EXPECT_STREQ(TCHAR_TO_UTF8(LoneSurrogate), "x\xEF\xBF\xBD");
}

TEST(EngineText, PrintfFollowsTheEngineConventions)
{
	const FString Ip(TEXT("192.168.15.7"));
	EXPECT_EQ(FString::Printf(TEXT("[Karvel] Relay: %s:%d"), *Ip, 8234).GetCharArray(), u"[Karvel] Relay: 192.168.15.7:8234");
	EXPECT_EQ(FString::Printf(TEXT("%f|%.2f|%5d|%-4s|%%|%u"), 0.5f, 1.005, 42, TEXT("ab"), 7u).GetCharArray(), u"0.500000|1.00|   42|ab  |%|7");
	EXPECT_EQ(FString::Printf(TEXT("%s missing")).GetCharArray(), u"%s missing");
}

TEST(EngineText, PathAppendAndCaseInsensitiveEquality)
{
	EXPECT_EQ((FString(TEXT("Plugins/")) / FString(TEXT("Karvel"))).GetCharArray(), u"Plugins/Karvel");
	EXPECT_EQ((FString(TEXT("Plugins")) / FString(TEXT("Karvel"))).GetCharArray(), u"Plugins/Karvel");
	EXPECT_TRUE(FString(TEXT("Karvel.DLL")) == FString(TEXT("karvel.dll")));
	EXPECT_FALSE(FString(TEXT("Karvel.DLL")).Equals(FString(TEXT("karvel.dll"))));
}

TEST(EngineRotator, NormalizeAxisMapsIntoTheHalfOpenRange)
{
	EXPECT_DOUBLE_EQ(FRotator::NormalizeAxis(370.0), 10.0);
	EXPECT_DOUBLE_EQ(FRotator::NormalizeAxis(-190.0), 170.0);
	EXPECT_DOUBLE_EQ(FRotator::NormalizeAxis(-180.0), 180.0);
	EXPECT_DOUBLE_EQ(FRotator::NormalizeAxis(180.0), 180.0);
	EXPECT_DOUBLE_EQ(FRotator::NormalizeAxis(-720.5), -0.5);
	const FRotator Rotation(1.0, 2.0, 3.0);
	EXPECT_EQ(std::vector<double>({Rotation.Pitch, Rotation.Yaw, Rotation.Roll}), std::vector<double>({1.0, 2.0, 3.0}));
}
