#pragma once

#include "CoreMinimal.h"
#include "Misc/OutputDevice.h"
#include "UObject/Package.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

// Lets gtest print engine strings in failure messages.
inline void PrintTo(const FString& Value, std::ostream* Stream)
{
	*Stream << '"' << TCHAR_TO_UTF8(*Value) << '"';
}

inline std::string ToUtf8(const FString& Value)
{
	return TCHAR_TO_UTF8(*Value);
}

// Collects the log lines written while it exists.
class FLogCapture : public FOutputDevice
{
public:
	struct FLine
	{
		std::string Text;
		ELogVerbosity::Type Verbosity;
		std::string Category;
	};

	FLogCapture() { FOutputDeviceRedirector::Get().AddOutputDevice(this); }
	~FLogCapture() override { FOutputDeviceRedirector::Get().RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Line, ELogVerbosity::Type Verbosity, const FString& Category) override
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		Lines.push_back({TCHAR_TO_UTF8(Line), Verbosity, ToUtf8(Category)});
	}

	std::vector<FLine> GetLines() const
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		return Lines;
	}

private:
	mutable std::mutex Mutex;
	std::vector<FLine> Lines;
};

inline const UPackage& KarvelPackage()
{
	const UPackage* Package = FindScriptPackage("/Script/Karvel");
	if (!Package)
	{
		ADD_FAILURE() << "/Script/Karvel is not registered";
		std::abort();
	}
	return *Package;
}

template <typename T>
std::vector<std::string> NamesOf(const std::vector<T>& Items)
{
	std::vector<std::string> Names;
	for (const auto* Item : Items)
	{
		Names.push_back(Item->GetName());
	}
	return Names;
}
