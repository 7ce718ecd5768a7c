#include "Containers/StringConv.h"

namespace UE::StandIn
{
namespace
{
constexpr char32_t ReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t CodePoint)
{
	if (CodePoint < 0x80)
	{
		Out += static_cast<char>(CodePoint);
	}
	else if (CodePoint < 0x800)
	{
		Out += static_cast<char>(0xC0 | (CodePoint >> 6));
		Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
	}
	else if (CodePoint < 0x10000)
	{
		Out += static_cast<char>(0xE0 | (CodePoint >> 12));
		Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
		Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
	}
	else
	{
		Out += static_cast<char>(0xF0 | (CodePoint >> 18));
		Out += static_cast<char>(0x80 | ((CodePoint >> 12) & 0x3F));
		Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
		Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
	}
}

void AppendUtf16(std::u16string& Out, char32_t CodePoint)
{
	if (CodePoint < 0x10000)
	{
		Out += static_cast<char16_t>(CodePoint);
		return;
	}
	CodePoint -= 0x10000;
	Out += static_cast<char16_t>(0xD800 | (CodePoint >> 10));
	Out += static_cast<char16_t>(0xDC00 | (CodePoint & 0x3FF));
}

bool IsHighSurrogate(char32_t Unit) { return Unit >= 0xD800 && Unit < 0xDC00; }
bool IsLowSurrogate(char32_t Unit) { return Unit >= 0xDC00 && Unit < 0xE000; }
}

std::string Utf16ToUtf8(std::u16string_view Text)
{
	std::string Out;
	Out.reserve(Text.size());
	for (size_t Index = 0; Index < Text.size(); ++Index)
	{
		char32_t Unit = Text[Index];
		if (IsHighSurrogate(Unit) && Index + 1 < Text.size() && IsLowSurrogate(Text[Index + 1]))
		{
			Unit = 0x10000 + ((Unit - 0xD800) << 10) + (Text[++Index] - 0xDC00);
		}
		else if (IsHighSurrogate(Unit) || IsLowSurrogate(Unit))
		{
			Unit = ReplacementCharacter;
		}
		AppendUtf8(Out, Unit);
	}
	return Out;
}

std::u16string Utf8ToUtf16(std::string_view Text)
{
	std::u16string Out;
	Out.reserve(Text.size());
	size_t Index = 0;
	while (Index < Text.size())
	{
		const unsigned char Lead = static_cast<unsigned char>(Text[Index]);
		const int Trail = Lead < 0x80 ? 0 : (Lead >> 5) == 0x6 ? 1 : (Lead >> 4) == 0xE ? 2 : (Lead >> 3) == 0x1E ? 3 : -1;
		if (Trail < 0 || Index + Trail >= Text.size() + (Trail == 0)) // invalid lead byte or truncated sequence
		{
			AppendUtf16(Out, ReplacementCharacter);
			++Index;
			continue;
		}
		char32_t CodePoint = Trail == 0 ? Lead : Lead & (0x3F >> Trail);
		bool bValid = true;
		for (int Step = 1; Step <= Trail; ++Step)
		{
			const unsigned char Next = static_cast<unsigned char>(Text[Index + Step]);
			bValid = bValid && (Next & 0xC0) == 0x80;
			CodePoint = (CodePoint << 6) | (Next & 0x3F);
		}
		const char32_t Smallest[] = {0, 0x80, 0x800, 0x10000};
		if (!bValid || CodePoint < Smallest[Trail] || CodePoint > 0x10FFFF || IsHighSurrogate(CodePoint) || IsLowSurrogate(CodePoint))
		{
			AppendUtf16(Out, ReplacementCharacter);
			++Index;
			continue;
		}
		AppendUtf16(Out, CodePoint);
		Index += Trail + 1;
	}
	return Out;
}
}
