#include "Platform/DynamicLibrary.h"

#include "Containers/StringConv.h"

#include <dlfcn.h>

// Paths are loaded exactly as given: a "Karvel.dll" here is a shared object under the Windows name.
namespace UE::StandIn::Platform
{
void* LoadLibraryFile(const std::u16string& Path)
{
	return dlopen(Utf16ToUtf8(Path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindLibraryExport(void* Handle, const char* Name)
{
	return dlsym(Handle, Name);
}

void FreeLibraryFile(void* Handle)
{
	dlclose(Handle);
}
}
