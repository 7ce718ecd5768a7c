#pragma once

#include "Containers/UnrealString.h"
#include "Templates/SharedPointer.h"

class IPlugin
{
public:
	virtual ~IPlugin() = default;
	virtual const FString& GetName() const = 0;
	virtual const FString& GetBaseDir() const = 0;
};

class IPluginManager
{
public:
	virtual ~IPluginManager() = default;
	static IPluginManager& Get();
	// Null when no plugin of that name is mounted.
	virtual TSharedPtr<IPlugin> FindPlugin(const FString& Name) = 0;
};
