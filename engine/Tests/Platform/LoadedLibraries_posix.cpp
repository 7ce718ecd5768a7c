#include "Platform/LoadedLibraries.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace UE::StandIn::Test
{
void* OpenLoadedLibrary(const std::string& Path)
{
	return dlopen(Path.c_str(), RTLD_NOW | RTLD_NOLOAD);
}

void CloseLibrary(void* Handle)
{
	dlclose(Handle);
}

void* FindLibrarySymbol(void* Handle, const char* Name)
{
	return dlsym(Handle, Name);
}

std::string LoadedLibraryName(void* Handle)
{
	link_map* Map = nullptr;
	return dlinfo(Handle, RTLD_DI_LINKMAP, &Map) == 0 && Map && Map->l_name ? Map->l_name : "";
}

std::string NameAsRecorded(const std::string& Path)
{
	return Path;
}

int CurrentProcessId()
{
	return static_cast<int>(getpid());
}
}
