#include "UObject/Package.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace
{
struct FPackageEntry
{
	std::vector<UE::StandIn::FPackageBuilder> Builders;
	std::unique_ptr<UPackage> Package;
};

struct FPackageRegistry
{
	// Recursive: building one package looks up the engine classes of another.
	std::recursive_mutex Mutex;
	// Registration order, so that packages and their types keep a stable order.
	std::vector<std::pair<std::string, FPackageEntry>> Entries;

	FPackageEntry* Find(std::string_view Name)
	{
		for (auto& Entry : Entries)
		{
			if (Entry.first == Name)
			{
				return &Entry.second;
			}
		}
		return nullptr;
	}
};

FPackageRegistry& GetRegistry()
{
	static FPackageRegistry Registry;
	return Registry;
}

const UPackage* BuildPackage(std::string_view Name, FPackageEntry& Entry)
{
	if (!Entry.Package)
	{
		Entry.Package = std::make_unique<UPackage>(std::string(Name));
		for (UE::StandIn::FPackageBuilder Builder : Entry.Builders)
		{
			Builder(*Entry.Package);
		}
	}
	return Entry.Package.get();
}

[[noreturn]] void FailMissingType(const char* PackageName, const char* TypeName)
{
	std::fprintf(stderr, "Reflected type %s is missing from %s\n", TypeName, PackageName);
	std::abort();
}

template <typename T>
T& Checked(T* Found, const char* PackageName, const char* TypeName)
{
	if (!Found)
	{
		FailMissingType(PackageName, TypeName);
	}
	return *Found;
}

const UPackage& FindPackageChecked(const char* PackageName)
{
	const UPackage* Package = FindScriptPackage(PackageName);
	if (!Package)
	{
		FailMissingType(PackageName, "(package)");
	}
	return *Package;
}
}

const UPackage* FindScriptPackage(std::string_view PackageName)
{
	FPackageRegistry& Registry = GetRegistry();
	std::lock_guard<std::recursive_mutex> Lock(Registry.Mutex);
	FPackageEntry* Entry = Registry.Find(PackageName);
	return Entry ? BuildPackage(PackageName, *Entry) : nullptr;
}

std::vector<const UPackage*> GetAllScriptPackages()
{
	FPackageRegistry& Registry = GetRegistry();
	std::lock_guard<std::recursive_mutex> Lock(Registry.Mutex);
	std::vector<const UPackage*> Packages;
	for (size_t Index = 0; Index < Registry.Entries.size(); ++Index)
	{
		auto& Entry = Registry.Entries[Index];
		Packages.push_back(BuildPackage(Entry.first, Entry.second));
	}
	return Packages;
}

namespace UE::StandIn
{
void RegisterCompiledInTypes(const char* PackageName, FPackageBuilder Builder)
{
	FPackageRegistry& Registry = GetRegistry();
	std::lock_guard<std::recursive_mutex> Lock(Registry.Mutex);
	FPackageEntry* Entry = Registry.Find(PackageName);
	if (!Entry)
	{
		Registry.Entries.emplace_back(PackageName, FPackageEntry{});
		Entry = &Registry.Entries.back().second;
	}
	Entry->Builders.push_back(Builder);
}

UEnum& FindEnumChecked(const char* PackageName, const char* EnumName)
{
	return Checked(FindPackageChecked(PackageName).FindEnum(EnumName), PackageName, EnumName);
}

UScriptStruct& FindStructChecked(const char* PackageName, const char* StructName)
{
	return Checked(FindPackageChecked(PackageName).FindStruct(StructName), PackageName, StructName);
}

UClass& FindClassChecked(const char* PackageName, const char* ClassName)
{
	return Checked(FindPackageChecked(PackageName).FindClass(ClassName), PackageName, ClassName);
}
}
