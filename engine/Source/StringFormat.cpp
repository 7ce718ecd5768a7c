#include "Misc/StringFormat.h"

#include "Containers/StringConv.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace UE::StandIn
{
namespace
{
bool IsConversion(TCHAR Char)
{
	return std::u16string_view(u"diuxXocsfFeEgGp").find(Char) != std::u16string_view::npos;
}

// Formats one number with the C library, from the ASCII spelling of the flags, width and precision.
template <typename ValueType>
std::u16string FormatNumber(const std::string& PrintfFormat, ValueType Value)
{
	char Buffer[128];
	const int Written = std::snprintf(Buffer, sizeof(Buffer), PrintfFormat.c_str(), Value);
	return Utf8ToUtf16(std::string_view(Buffer, Written > 0 ? static_cast<size_t>(Written) : 0));
}

std::u16string FormatOne(TCHAR Conversion, const std::string& FlagsWidthPrecision, const FFormatArg& Arg)
{
	using EKind = FFormatArg::EKind;
	switch (Conversion)
	{
	case u's':
	{
		std::u16string Text = Arg.Kind == EKind::Text ? std::u16string(Arg.Text) : std::u16string(u"(bad %s argument)");
		const bool bLeft = FlagsWidthPrecision.find('-') != std::string::npos;
		const size_t Width = static_cast<size_t>(std::atoi(FlagsWidthPrecision.c_str() + (bLeft ? 1 : 0)));
		if (Text.size() < Width)
		{
			Text.insert(bLeft ? Text.size() : 0, Width - Text.size(), u' ');
		}
		return Text;
	}
	case u'c':
		return std::u16string(1, static_cast<TCHAR>(Arg.Kind == EKind::Signed ? Arg.Signed : Arg.Unsigned));
	case u'p':
		return FormatNumber("%p", Arg.Kind == EKind::Pointer ? Arg.Pointer : nullptr);
	case u'f': case u'F': case u'e': case u'E': case u'g': case u'G':
	{
		const double Value = Arg.Kind == EKind::Floating ? Arg.Floating
			: Arg.Kind == EKind::Signed ? static_cast<double>(Arg.Signed) : static_cast<double>(Arg.Unsigned);
		return FormatNumber("%" + FlagsWidthPrecision + static_cast<char>(Conversion), Value);
	}
	default:
	{
		const bool bSigned = Conversion == u'd' || Conversion == u'i';
		const std::string PrintfFormat = "%" + FlagsWidthPrecision + "ll" + static_cast<char>(Conversion);
		if (Arg.Kind == EKind::Floating)
		{
			return FormatNumber(PrintfFormat, static_cast<long long>(Arg.Floating));
		}
		return bSigned ? FormatNumber(PrintfFormat, Arg.Signed) : FormatNumber(PrintfFormat, Arg.Unsigned);
	}
	}
}
}

std::u16string FormatPrintf(const TCHAR* Format, std::initializer_list<FFormatArg> Args)
{
	std::u16string Result;
	auto NextArg = Args.begin();
	for (const TCHAR* Cursor = Format ? Format : u""; *Cursor; ++Cursor)
	{
		if (*Cursor != u'%')
		{
			Result += *Cursor;
			continue;
		}
		if (Cursor[1] == u'%')
		{
			Result += u'%';
			++Cursor;
			continue;
		}
		// Collect flags, width and precision; length modifiers are dropped since arguments carry their own size.
		std::string FlagsWidthPrecision;
		const TCHAR* PrintfFormat = Cursor + 1;
		while (*PrintfFormat && !IsConversion(*PrintfFormat))
		{
			if (std::u16string_view(u"hlLzjt").find(*PrintfFormat) == std::u16string_view::npos)
			{
				FlagsWidthPrecision += static_cast<char>(*PrintfFormat);
			}
			++PrintfFormat;
		}
		if (!*PrintfFormat || NextArg == Args.end())
		{
			// Nothing to format with: keep the directive as written.
			const TCHAR* End = *PrintfFormat ? PrintfFormat + 1 : PrintfFormat;
			Result.append(Cursor, End);
			Cursor = End - 1;
			continue;
		}
		Result += FormatOne(*PrintfFormat, FlagsWidthPrecision, *NextArg++);
		Cursor = PrintfFormat;
	}
	return Result;
}
}
