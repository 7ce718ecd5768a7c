#include <dlfcn.h>

#include "KarvelLibrary.h"

namespace karvel::host {

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
