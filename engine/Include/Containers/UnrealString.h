#pragma once

#include "CoreTypes.h"
#include "Misc/StringFormat.h"

#include <string>
#include <string_view>

// Engine string: UTF-16 text that owns its characters.
class FString
{
public:
	FString() = default;
	FString(const TCHAR* Text) : Chars(Text ? Text : u"") {}
	explicit FString(std::u16string Text) : Chars(std::move(Text)) {}

	const TCHAR* operator*() const { return Chars.c_str(); }
	int32 Len() const { return static_cast<int32>(Chars.size()); }
	bool IsEmpty() const { return Chars.empty(); }
	const std::u16string& GetCharArray() const { return Chars; }

	// As in the engine, == ignores ASCII case; Equals compares exactly.
	bool Equals(const FString& Other) const { return Chars == Other.Chars; }
	bool operator==(const FString& Other) const;
	bool operator!=(const FString& Other) const { return !(*this == Other); }

	FString& operator+=(const FString& Other);
	FString operator+(const FString& Other) const;

	// Appends Text as a path element, adding a '/' unless one is already there.
	void PathAppend(const TCHAR* Text, int32 TextLen);
	FString& operator/=(const FString& Other);
	FString operator/(const FString& Other) const;

	template <typename... ArgTypes>
	static FString Printf(const TCHAR* Format, const ArgTypes&... Args)
	{
		return FString(UE::StandIn::FormatPrintf(Format, {UE::StandIn::FFormatArg(Args)...}));
	}

private:
	std::u16string Chars;
};
