#pragma once

#include "CoreTypes.h"

#include <initializer_list>
#include <string>
#include <type_traits>

namespace UE::StandIn
{
// One printf argument; the engine's formatter takes %s as TCHAR text, so the argument kinds are kept apart.
struct FFormatArg
{
	enum class EKind { Signed, Unsigned, Floating, Text, Pointer };

	template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
	FFormatArg(T Value) : Kind(EKind::Signed), Signed(Value) {}
	template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_signed_v<T>, int> = 0>
	FFormatArg(T Value) : Kind(EKind::Unsigned), Unsigned(Value) {}
	template <typename T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
	FFormatArg(T Value) : Kind(EKind::Floating), Floating(Value) {}
	FFormatArg(const TCHAR* Value) : Kind(EKind::Text), Text(Value ? Value : u"") {}
	FFormatArg(TCHAR* Value) : FFormatArg(static_cast<const TCHAR*>(Value)) {}
	FFormatArg(const void* Value) : Kind(EKind::Pointer), Pointer(Value) {}

	EKind Kind;
	union
	{
		long long Signed;
		unsigned long long Unsigned;
		double Floating;
		const TCHAR* Text;
		const void* Pointer;
	};
};

std::u16string FormatPrintf(const TCHAR* Format, std::initializer_list<FFormatArg> Args);
}
