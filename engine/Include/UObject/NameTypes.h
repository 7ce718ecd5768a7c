#pragma once

// Names are only passed as "none" here (the root body of a primitive), so a name carries no text.
enum EName
{
	NAME_None = 0
};

class FName
{
public:
	FName() = default;
	FName(EName) {}
	bool IsNone() const { return true; }
};
