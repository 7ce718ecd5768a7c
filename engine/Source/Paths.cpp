#include "Misc/Paths.h"

#include "Containers/StringConv.h"
#include "StandIn/StandInControl.h"

#include <filesystem>
#include <mutex>

namespace
{
struct FProjectDirState
{
	std::mutex Mutex;
	FString Dir = TEXT("./");
};

FProjectDirState& GetProjectDirState()
{
	static FProjectDirState State;
	return State;
}

std::filesystem::path ToPath(const FString& Path)
{
	// As UTF-8 explicitly: a plain narrow string would be read in the system code page on Windows.
	return std::filesystem::u8path(UE::StandIn::Utf16ToUtf8(Path.GetCharArray()));
}

FString FromPath(const std::filesystem::path& Path)
{
	return FString(UE::StandIn::Utf8ToUtf16(Path.generic_u8string()));
}
}

namespace UE::StandIn
{
void SetProjectDir(const FString& Dir)
{
	FProjectDirState& State = GetProjectDirState();
	std::lock_guard<std::mutex> Lock(State.Mutex);
	State.Dir = Dir;
	if (!State.Dir.IsEmpty() && (*State.Dir)[State.Dir.Len() - 1] != u'/')
	{
		State.Dir += TEXT("/");
	}
}
}

FString FPaths::BaseDir()
{
	return FromPath(std::filesystem::current_path()) + TEXT("/");
}

FString FPaths::ProjectDir()
{
	FProjectDirState& State = GetProjectDirState();
	std::lock_guard<std::mutex> Lock(State.Mutex);
	return State.Dir;
}

FString FPaths::ProjectPluginsDir()
{
	return ProjectDir() + TEXT("Plugins/");
}

bool FPaths::FileExists(const FString& Filename)
{
	std::error_code Error;
	return !Filename.IsEmpty() && std::filesystem::is_regular_file(ToPath(Filename), Error);
}

bool FPaths::IsRelative(const FString& Path)
{
	return ToPath(Path).is_relative();
}

FString FPaths::ConvertRelativePathToFull(const FString& Path)
{
	const std::filesystem::path Full = IsRelative(Path) ? ToPath(BaseDir()) / ToPath(Path) : ToPath(Path);
	return FromPath(Full.lexically_normal());
}

FString FPaths::GetPath(const FString& InPath)
{
	const std::u16string& Text = InPath.GetCharArray();
	const std::size_t Separator = Text.find_last_of(u"/\\");
	return Separator == std::u16string::npos ? FString() : FString(Text.substr(0, Separator));
}

FString FPaths::CombineInternal(std::initializer_list<FString> Paths)
{
	FString Result;
	for (const FString& Path : Paths)
	{
		Result /= Path;
	}
	return Result;
}
