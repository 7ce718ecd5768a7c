#pragma once

#include "Containers/UnrealString.h"

#include <initializer_list>

class FPaths
{
public:
	// The directory that relative paths are resolved against (the process's working directory here).
	static FString BaseDir();
	static FString ProjectDir();
	static FString ProjectPluginsDir();

	static bool FileExists(const FString& Filename);
	static bool IsRelative(const FString& Path);
	static FString ConvertRelativePathToFull(const FString& Path);
	// The path up to its last separator, without it: the folder of a file.
	static FString GetPath(const FString& InPath);

	template <typename... PathTypes>
	static FString Combine(const PathTypes&... Paths)
	{
		return CombineInternal({FString(Paths)...});
	}

	static FString CombineInternal(std::initializer_list<FString> Paths);
};
