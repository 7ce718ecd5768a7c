#include "EditCondition.h"

#include "UObject/Package.h"

#include <cctype>
#include <string>
#include <vector>

namespace UE::StandIn
{
namespace
{
// A bool, or an enum value together with its enum so that comparisons across enums are refused.
struct FValue
{
	int64 Number = 0;
	const UEnum* Enum = nullptr;
	bool bIsBool = false;
};

class FConditionParser
{
public:
	FConditionParser(const UStruct& InOwner, std::string_view Expression, const void* InContainer)
		: Owner(InOwner), Container(InContainer)
	{
		Tokenize(Expression);
	}

	std::optional<bool> Parse()
	{
		const std::optional<FValue> Result = ParseOr();
		if (!bValid || !Result || Position != Tokens.size() || !Result->bIsBool)
		{
			return std::nullopt;
		}
		return Result->Number != 0;
	}

private:
	void Tokenize(std::string_view Text)
	{
		size_t Index = 0;
		while (Index < Text.size())
		{
			const char Char = Text[Index];
			if (std::isspace(static_cast<unsigned char>(Char)))
			{
				++Index;
			}
			else if (std::isalpha(static_cast<unsigned char>(Char)) || Char == '_')
			{
				// Identifiers keep their "::" so that EEnum::Value is one token.
				const size_t Start = Index;
				while (Index < Text.size() && (std::isalnum(static_cast<unsigned char>(Text[Index])) || Text[Index] == '_' || Text.substr(Index, 2) == "::"))
				{
					Index += Text.substr(Index, 2) == "::" ? 2 : 1;
				}
				Tokens.emplace_back(Text.substr(Start, Index - Start));
			}
			else if (Text.substr(Index, 2) == "&&" || Text.substr(Index, 2) == "||" || Text.substr(Index, 2) == "==" || Text.substr(Index, 2) == "!=")
			{
				Tokens.emplace_back(Text.substr(Index, 2));
				Index += 2;
			}
			else if (Char == '!' || Char == '(' || Char == ')')
			{
				Tokens.emplace_back(1, Char);
				++Index;
			}
			else
			{
				bValid = false;
				return;
			}
		}
	}

	bool Accept(std::string_view Token)
	{
		if (Position < Tokens.size() && Tokens[Position] == Token)
		{
			++Position;
			return true;
		}
		return false;
	}

	static std::optional<FValue> Logical(const std::optional<FValue>& Left, const std::optional<FValue>& Right, bool bAnd)
	{
		if (!Left || !Right || !Left->bIsBool || !Right->bIsBool)
		{
			return std::nullopt;
		}
		const bool Result = bAnd ? (Left->Number && Right->Number) : (Left->Number || Right->Number);
		return FValue{Result ? 1 : 0, nullptr, true};
	}

	std::optional<FValue> ParseOr()
	{
		std::optional<FValue> Left = ParseAnd();
		while (Accept("||"))
		{
			Left = Logical(Left, ParseAnd(), false);
		}
		return Left;
	}

	std::optional<FValue> ParseAnd()
	{
		std::optional<FValue> Left = ParseComparison();
		while (Accept("&&"))
		{
			Left = Logical(Left, ParseComparison(), true);
		}
		return Left;
	}

	std::optional<FValue> ParseComparison()
	{
		std::optional<FValue> Left = ParseUnary();
		const bool bEqual = Accept("==");
		if (!bEqual && !Accept("!="))
		{
			return Left;
		}
		const std::optional<FValue> Right = ParseUnary();
		if (!Left || !Right || Left->bIsBool != Right->bIsBool || Left->Enum != Right->Enum)
		{
			return std::nullopt;
		}
		return FValue{(Left->Number == Right->Number) == bEqual ? 1 : 0, nullptr, true};
	}

	std::optional<FValue> ParseUnary()
	{
		if (Accept("!"))
		{
			const std::optional<FValue> Operand = ParseUnary();
			if (!Operand || !Operand->bIsBool)
			{
				return std::nullopt;
			}
			return FValue{Operand->Number ? 0 : 1, nullptr, true};
		}
		if (Accept("("))
		{
			const std::optional<FValue> Inner = ParseOr();
			return Accept(")") ? Inner : std::nullopt;
		}
		if (Position >= Tokens.size())
		{
			return std::nullopt;
		}
		return ResolveOperand(Tokens[Position++]);
	}

	std::optional<FValue> ResolveOperand(const std::string& Token) const
	{
		if (Token == "true" || Token == "false")
		{
			return FValue{Token == "true" ? 1 : 0, nullptr, true};
		}
		if (const size_t Scope = Token.find("::"); Scope != std::string::npos)
		{
			const UEnum* Enum = Owner.GetPackage().FindEnum(Token.substr(0, Scope));
			const std::optional<int64> Value = Enum ? Enum->GetValueByNameString(Token) : std::nullopt;
			return Value ? std::optional<FValue>(FValue{*Value, Enum, false}) : std::nullopt;
		}
		const FProperty* Property = Owner.FindPropertyByName(Token);
		const std::optional<int64> Value = Property ? Property->GetIntegerValue(Container) : std::nullopt;
		if (!Value || (Property->GetKind() != EPropertyKind::Bool && Property->GetKind() != EPropertyKind::Enum))
		{
			return std::nullopt;
		}
		return FValue{*Value, Property->GetEnum(), Property->GetKind() == EPropertyKind::Bool};
	}

	const UStruct& Owner;
	const void* Container;
	std::vector<std::string> Tokens;
	size_t Position = 0;
	bool bValid = true;
};
}

std::optional<bool> EvaluateEditCondition(const UStruct& Owner, std::string_view Expression, const void* Container)
{
	return FConditionParser(Owner, Expression, Container).Parse();
}

std::optional<FPropertyEditorState> GetPropertyEditorState(const UStruct& Owner, const FProperty& Property, const void* Container)
{
	if (!Property.HasAnyPropertyFlags(CPF_Edit))
	{
		return FPropertyEditorState{false, false};
	}
	bool bConditionMet = true;
	if (const std::string* Condition = Property.FindMetaData("EditCondition"))
	{
		const std::optional<bool> Result = EvaluateEditCondition(Owner, *Condition, Container);
		if (!Result)
		{
			return std::nullopt;
		}
		bConditionMet = *Result;
	}
	const bool bVisible = bConditionMet || !Property.HasMetaData("EditConditionHides");
	return FPropertyEditorState{bVisible, bVisible && bConditionMet && !Property.HasAnyPropertyFlags(CPF_EditConst)};
}
}
