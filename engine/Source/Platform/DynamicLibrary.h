#pragma once

// The one place where the stand-in meets the system's dynamic loader. Kept free of engine headers, because
// the system headers of Windows define TEXT and TCHAR as the engine does.

#include <string>

namespace UE::StandIn::Platform
{
// Loads the library file at Path (UTF-16, as engine text is); null when it cannot be loaded.
void* LoadLibraryFile(const std::u16string& Path);
// The address of the export called Name, or null.
void* FindLibraryExport(void* Handle, const char* Name);
void FreeLibraryFile(void* Handle);
}
