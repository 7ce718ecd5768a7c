#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Key/value metadata in declaration order; a key written without a value has an empty value.
using FMetaData = std::vector<std::pair<std::string, std::string>>;

// Anything reflected: a name and its metadata.
class FReflectedField
{
public:
	FReflectedField(std::string InName, FMetaData InMetaData) : Name(std::move(InName)), MetaData(std::move(InMetaData)) {}

	const std::string& GetName() const { return Name; }
	const FMetaData& GetMetaDataMap() const { return MetaData; }
	bool HasMetaData(std::string_view Key) const { return FindMetaData(Key) != nullptr; }
	// Empty when the key is missing, as in the engine.
	const std::string& GetMetaData(std::string_view Key) const;
	const std::string* FindMetaData(std::string_view Key) const;

private:
	std::string Name;
	FMetaData MetaData;
};
