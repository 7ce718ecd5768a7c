#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <fstream>

#include "ProcessStats.h"

namespace karvel::test {
namespace {

int entriesIn(const char* directory) {
    DIR* listing = ::opendir(directory);
    if (listing == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(listing))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(listing);
    return count;
}

} // namespace

int threadCount() { return entriesIn("/proc/self/task"); }
int openHandleCount() { return entriesIn("/proc/self/fd"); }

bool libraryLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    ::dlclose(handle);
    return true;
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0;
    long residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) return -1;
    return residentPages * ::sysconf(_SC_PAGESIZE);
}

} // namespace karvel::test
