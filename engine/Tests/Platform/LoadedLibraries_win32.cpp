#include "Platform/LoadedLibraries.h"

#include <windows.h>

#include <filesystem>

namespace UE::StandIn::Test
{
namespace
{
std::filesystem::path FullPath(const std::string& Path)
{
	return std::filesystem::absolute(std::filesystem::u8path(Path)).lexically_normal().make_preferred();
}
}

// Given a path, the loader matches the full path of a loaded module.
void* OpenLoadedLibrary(const std::string& Path)
{
	HMODULE Module = nullptr;
	return GetModuleHandleExW(0, FullPath(Path).wstring().c_str(), &Module) ? Module : nullptr;
}

void CloseLibrary(void* Handle)
{
	FreeLibrary(static_cast<HMODULE>(Handle));
}

void* FindLibrarySymbol(void* Handle, const char* Name)
{
	return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Handle), Name));
}

std::string LoadedLibraryName(void* Handle)
{
	wchar_t Name[MAX_PATH * 4] = {};
	const DWORD Length = GetModuleFileNameW(static_cast<HMODULE>(Handle), Name, MAX_PATH * 4);
	return std::filesystem::path(std::wstring(Name, Length)).u8string();
}

std::string NameAsRecorded(const std::string& Path)
{
	return FullPath(Path).u8string();
}

int CurrentProcessId()
{
	return static_cast<int>(GetCurrentProcessId());
}
}
