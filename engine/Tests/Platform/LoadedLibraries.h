#pragma once

// What the tests ask the system's loader about libraries the plugin loaded, without loading anything
// themselves. Kept free of engine headers, as the system headers of Windows clash with them.

#include <string>

namespace UE::StandIn::Test
{
// A handle to the library file at Path if it is loaded, holding one more reference to it; else null.
void* OpenLoadedLibrary(const std::string& Path);
void CloseLibrary(void* Handle);
void* FindLibrarySymbol(void* Handle, const char* Name);
// The file name the loader recorded for a loaded library.
std::string LoadedLibraryName(void* Handle);
// How the loader records a library loaded by Path: as given here, as a full path with backslashes on Windows.
std::string NameAsRecorded(const std::string& Path);
int CurrentProcessId();
}
