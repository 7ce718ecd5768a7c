#include "Modules/ModuleManager.h"

#include <map>
#include <mutex>

namespace
{
struct FModuleRegistry
{
	std::mutex Mutex;
	std::map<std::u16string, FModuleManager::FModuleFactory> Factories;
	std::map<std::u16string, TUniquePtr<IModuleInterface>> Loaded;
};

FModuleRegistry& GetRegistry()
{
	static FModuleRegistry Registry;
	return Registry;
}
}

FModuleManager& FModuleManager::Get()
{
	static FModuleManager Manager;
	return Manager;
}

void FModuleManager::RegisterStaticallyLinkedModule(const FString& ModuleName, FModuleFactory Factory)
{
	FModuleRegistry& Registry = GetRegistry();
	std::lock_guard<std::mutex> Lock(Registry.Mutex);
	Registry.Factories[ModuleName.GetCharArray()] = std::move(Factory);
}

IModuleInterface* FModuleManager::LoadModule(const FString& ModuleName)
{
	FModuleRegistry& Registry = GetRegistry();
	std::lock_guard<std::mutex> Lock(Registry.Mutex);
	if (const auto Loaded = Registry.Loaded.find(ModuleName.GetCharArray()); Loaded != Registry.Loaded.end())
	{
		return Loaded->second.Get();
	}
	const auto Factory = Registry.Factories.find(ModuleName.GetCharArray());
	if (Factory == Registry.Factories.end())
	{
		return nullptr;
	}
	TUniquePtr<IModuleInterface>& Module = Registry.Loaded[ModuleName.GetCharArray()];
	Module = Factory->second();
	Module->StartupModule();
	return Module.Get();
}

bool FModuleManager::IsModuleLoaded(const FString& ModuleName) const
{
	FModuleRegistry& Registry = GetRegistry();
	std::lock_guard<std::mutex> Lock(Registry.Mutex);
	return Registry.Loaded.count(ModuleName.GetCharArray()) != 0;
}

void FModuleManager::UnloadModule(const FString& ModuleName)
{
	FModuleRegistry& Registry = GetRegistry();
	std::lock_guard<std::mutex> Lock(Registry.Mutex);
	const auto Loaded = Registry.Loaded.find(ModuleName.GetCharArray());
	if (Loaded != Registry.Loaded.end())
	{
		Loaded->second->ShutdownModule();
		Registry.Loaded.erase(Loaded);
	}
}
