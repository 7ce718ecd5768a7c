// Loads the Karvel shared library by path and binds its exports by name, as
// the engine plugin does. Used by the example host, the tools and the tests.
#pragma once

#include <string>

#include "Karvel.h"
#include "SeatHost/SeatLibrary.h"

namespace karvel::host {

// A loaded shared library file; freed on destruction.
class DynamicLibrary {
public:
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The library's file name on this platform (libKarvel.so, Karvel.dll).
const char* libraryFileName();
// The folder of the running program (UTF-8), or empty when the system does not say.
std::string executableDirectory();
// Where a host finds the library when it is not told: beside the running
// program when it is there, else its file name alone, which the system's
// loader looks for on its search path.
std::string defaultLibraryPath();

// The library's exports, bound all or nothing into the table every host fills (the engine plugin's binding
// too), Ridova_SendPostureCommand included.
class KarvelLibrary : public KarvelSeat::LibraryFunctions {
public:
    explicit KarvelLibrary(const std::string& path);

    bool bound() const { return bound_; }
    // Why loading or binding failed.
    const std::string& error() const { return error_; }

private:
    DynamicLibrary library_;
    bool bound_ = false;
    std::string error_;
};

} // namespace karvel::host
