#pragma once

#include "CoreTypes.h"

#include <string>
#include <string_view>

namespace UE::StandIn
{
std::string Utf16ToUtf8(std::u16string_view Text);
std::u16string Utf8ToUtf16(std::string_view Text);
}

// Converted copies that live as long as the converter, as in the engine.
class FTCHARToUTF8
{
public:
	explicit FTCHARToUTF8(const TCHAR* Source) : Converted(UE::StandIn::Utf16ToUtf8(Source ? Source : u"")) {}
	const ANSICHAR* Get() const { return Converted.c_str(); }
	int32 Length() const { return static_cast<int32>(Converted.size()); }

private:
	std::string Converted;
};

class FUTF8ToTCHAR
{
public:
	explicit FUTF8ToTCHAR(const ANSICHAR* Source) : Converted(UE::StandIn::Utf8ToUtf16(Source ? Source : "")) {}
	const TCHAR* Get() const { return Converted.c_str(); }
	int32 Length() const { return static_cast<int32>(Converted.size()); }

private:
	std::u16string Converted;
};

// The pointers live until the end of the full expression.
#define TCHAR_TO_UTF8(Str) (FTCHARToUTF8(static_cast<const TCHAR*>(Str)).Get())
#define UTF8_TO_TCHAR(Str) (FUTF8ToTCHAR(static_cast<const ANSICHAR*>(Str)).Get())
