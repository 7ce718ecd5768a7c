#include "Platform/DynamicLibrary.h"

#include <windows.h>

#include <algorithm>

namespace UE::StandIn::Platform
{
// Engine paths use forward slashes; the loader is handed the separator Windows documents for it.
void* LoadLibraryFile(const std::u16string& Path)
{
	std::wstring WidePath(Path.begin(), Path.end());
	std::replace(WidePath.begin(), WidePath.end(), L'/', L'\\');
	return LoadLibraryW(WidePath.c_str());
}

void* FindLibraryExport(void* Handle, const char* Name)
{
	return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Handle), Name));
}

void FreeLibraryFile(void* Handle)
{
	FreeLibrary(static_cast<HMODULE>(Handle));
}
}
