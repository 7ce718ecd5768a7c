#pragma once

// How the details panel treats a property: shown or hidden, editable or greyed out.

#include "UObject/Class.h"

#include <optional>
#include <string_view>

namespace UE::StandIn
{
// Evaluates an EditCondition over the sibling properties in Container: booleans, == and != against
// enum values written EEnum::Value, &&, ||, ! and parentheses. Nothing when the expression cannot be used.
std::optional<bool> EvaluateEditCondition(const UStruct& Owner, std::string_view Expression, const void* Container);

struct FPropertyEditorState
{
	bool bVisible = false;
	bool bEditable = false;

	bool operator==(const FPropertyEditorState& Other) const { return bVisible == Other.bVisible && bEditable == Other.bEditable; }
};

// Nothing when the property carries an EditCondition that cannot be evaluated.
std::optional<FPropertyEditorState> GetPropertyEditorState(const UStruct& Owner, const FProperty& Property, const void* Container);
}
