#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "KarvelLibrary.h"

namespace karvel::host {

const char* libraryFileName() { return "libKarvel.so"; }

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "" : program.substr(0, slash == 0 ? 1 : slash);
}

DynamicLibrary::DynamicLibrary(const std::string& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        error_ = reason != nullptr ? reason : "cannot load " + path;
    }
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const { return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr; }

} // namespace karvel::host
