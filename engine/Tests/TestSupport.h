#pragma once

#include "CoreMinimal.h"
#include "Misc/OutputDevice.h"
#include "Platform/LoadedLibraries.h"
#include "StandIn/StandInControl.h"
#include "UObject/Package.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
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

// A fresh temporary directory, removed with everything in it at the end of the scope.
class FTempDir
{
public:
	FTempDir()
	{
		static std::atomic<int> Counter{0};
		Path = ScratchRoot()
			/ ("karvel-plugin-" + std::to_string(UE::StandIn::Test::CurrentProcessId()) + "-" + std::to_string(Counter++));
		std::filesystem::create_directories(Path);
	}
	~FTempDir()
	{
		std::error_code Error;
		std::filesystem::remove_all(Path, Error);
	}
	FTempDir(const FTempDir&) = delete;
	FTempDir& operator=(const FTempDir&) = delete;

	const std::filesystem::path& Get() const { return Path; }
	// As the engine writes paths: with forward slashes.
	FString GetF() const { return FString(UE::StandIn::Utf8ToUtf16(Path.generic_string())); }

	// Copies a library to Relative (UTF-8) under this directory; returns the copy's path, in UTF-8.
	std::string Place(const char* Library, const std::string& Relative) const
	{
		const std::filesystem::path Target = Path / std::filesystem::u8path(Relative);
		std::filesystem::create_directories(Target.parent_path());
		std::filesystem::copy_file(Library, Target, std::filesystem::copy_options::overwrite_existing);
		return Target.u8string();
	}

private:
	// Tests reach plugin directories relative to the working directory, as editor builds do; on Windows
	// that needs both on one drive, so a temporary directory on another drive is not used.
	static std::filesystem::path ScratchRoot()
	{
		const std::filesystem::path Temp = std::filesystem::temp_directory_path();
		const std::filesystem::path Here = std::filesystem::current_path();
		return Temp.root_name() == Here.root_name() ? Temp : Here;
	}

	std::filesystem::path Path;
};
