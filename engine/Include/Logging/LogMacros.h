#pragma once

#include "Containers/UnrealString.h"
#include "Logging/LogVerbosity.h"

#include <atomic>

// A log category: lines above its verbosity are dropped before they are formatted.
class FLogCategoryBase
{
public:
	FLogCategoryBase(const TCHAR* InName, ELogVerbosity::Type InDefaultVerbosity)
		: Name(InName), Verbosity(InDefaultVerbosity)
	{
	}

	const FString& GetCategoryName() const { return Name; }
	ELogVerbosity::Type GetVerbosity() const { return Verbosity.load(); }
	void SetVerbosity(ELogVerbosity::Type NewVerbosity) { Verbosity.store(NewVerbosity); }
	bool IsSuppressed(ELogVerbosity::Type LineVerbosity) const { return LineVerbosity > GetVerbosity(); }

private:
	FString Name;
	std::atomic<ELogVerbosity::Type> Verbosity;
};

template <ELogVerbosity::Type InDefaultVerbosity, ELogVerbosity::Type InCompileTimeVerbosity>
class FLogCategory : public FLogCategoryBase
{
public:
	explicit FLogCategory(const TCHAR* InName) : FLogCategoryBase(InName, InDefaultVerbosity) {}
};

namespace UE::StandIn
{
// Hands one formatted line to every output device; safe from any thread.
void WriteLogLine(const FLogCategoryBase& Category, ELogVerbosity::Type Verbosity, const FString& Line);
}

#define DECLARE_LOG_CATEGORY_EXTERN(CategoryName, DefaultVerbosity, CompileTimeVerbosity)                              \
	extern struct FLogCategory##CategoryName                                                                           \
		: public FLogCategory<ELogVerbosity::DefaultVerbosity, ELogVerbosity::CompileTimeVerbosity>                    \
	{                                                                                                                  \
		FLogCategory##CategoryName() : FLogCategory(TEXT(#CategoryName)) {}                                            \
	} CategoryName

#define DEFINE_LOG_CATEGORY(CategoryName) FLogCategory##CategoryName CategoryName

#define UE_LOG(CategoryName, Verbosity, Format, ...)                                                                   \
	do                                                                                                                 \
	{                                                                                                                  \
		if (!(CategoryName).IsSuppressed(ELogVerbosity::Verbosity))                                                    \
		{                                                                                                              \
			::UE::StandIn::WriteLogLine(CategoryName, ELogVerbosity::Verbosity, FString::Printf(Format, ##__VA_ARGS__)); \
		}                                                                                                              \
	} while (false)
