#include "Containers/UnrealString.h"

#include <algorithm>

namespace
{
TCHAR ToLowerAscii(TCHAR Char)
{
	return Char >= u'A' && Char <= u'Z' ? static_cast<TCHAR>(Char - u'A' + u'a') : Char;
}
}

bool FString::operator==(const FString& Other) const
{
	return Chars.size() == Other.Chars.size()
		&& std::equal(Chars.begin(), Chars.end(), Other.Chars.begin(),
			[](TCHAR A, TCHAR B) { return ToLowerAscii(A) == ToLowerAscii(B); });
}

FString& FString::operator+=(const FString& Other)
{
	Chars += Other.Chars;
	return *this;
}

FString FString::operator+(const FString& Other) const
{
	FString Result(*this);
	Result += Other;
	return Result;
}

void FString::PathAppend(const TCHAR* Text, int32 TextLen)
{
	if (!Chars.empty() && Chars.back() != u'/' && Chars.back() != u'\\' && TextLen > 0)
	{
		Chars += u'/';
	}
	Chars.append(Text, static_cast<size_t>(TextLen));
}

FString& FString::operator/=(const FString& Other)
{
	PathAppend(*Other, Other.Len());
	return *this;
}

FString FString::operator/(const FString& Other) const
{
	FString Result(*this);
	Result /= Other;
	return Result;
}
