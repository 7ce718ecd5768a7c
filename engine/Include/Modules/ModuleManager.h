#pragma once

#include "Containers/UnrealString.h"
#include "Modules/ModuleInterface.h"
#include "Templates/UniquePtr.h"

#include <functional>

class FModuleManager
{
public:
	using FModuleFactory = std::function<TUniquePtr<IModuleInterface>()>;

	static FModuleManager& Get();

	// Creates the module and calls its start-up hook on the first load; null for an unknown name.
	IModuleInterface* LoadModule(const FString& ModuleName);
	bool IsModuleLoaded(const FString& ModuleName) const;
	// Calls the shut-down hook and destroys the module.
	void UnloadModule(const FString& ModuleName);

	static void RegisterStaticallyLinkedModule(const FString& ModuleName, FModuleFactory Factory);
};

// A module whose start-up and shut-down do nothing.
class FDefaultModuleImpl : public IModuleInterface
{
};

template <typename ModuleClass>
class FStaticallyLinkedModuleRegistrant
{
public:
	explicit FStaticallyLinkedModuleRegistrant(const TCHAR* ModuleName)
	{
		FModuleManager::RegisterStaticallyLinkedModule(ModuleName, [] { return TUniquePtr<IModuleInterface>(MakeUnique<ModuleClass>()); });
	}
};

#define IMPLEMENT_MODULE(ModuleImplClass, ModuleName) \
	static FStaticallyLinkedModuleRegistrant<ModuleImplClass> ModuleRegistrant##ModuleName(TEXT(#ModuleName));
