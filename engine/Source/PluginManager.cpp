#include "Interfaces/IPluginManager.h"

#include "StandIn/StandInControl.h"

#include <map>
#include <mutex>

namespace
{
class FMountedPlugin : public IPlugin
{
public:
	FMountedPlugin(FString InName, FString InBaseDir) : Name(std::move(InName)), BaseDir(std::move(InBaseDir)) {}
	const FString& GetName() const override { return Name; }
	const FString& GetBaseDir() const override { return BaseDir; }

private:
	FString Name;
	FString BaseDir;
};

class FPluginManager : public IPluginManager
{
public:
	TSharedPtr<IPlugin> FindPlugin(const FString& Name) override
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		const auto Found = Plugins.find(Name.GetCharArray());
		return Found == Plugins.end() ? nullptr : Found->second;
	}

	void Mount(const FString& Name, const FString& BaseDir)
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		Plugins[Name.GetCharArray()] = MakeShared<FMountedPlugin>(Name, BaseDir);
	}

	void UnmountAll()
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		Plugins.clear();
	}

private:
	std::mutex Mutex;
	std::map<std::u16string, TSharedPtr<IPlugin>> Plugins;
};

FPluginManager& GetPluginManager()
{
	static FPluginManager Manager;
	return Manager;
}
}

IPluginManager& IPluginManager::Get()
{
	return GetPluginManager();
}

namespace UE::StandIn
{
void MountPlugin(const FString& Name, const FString& BaseDir)
{
	GetPluginManager().Mount(Name, BaseDir);
}

void UnmountAllPlugins()
{
	GetPluginManager().UnmountAll();
}
}
