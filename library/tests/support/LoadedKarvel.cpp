#include "LoadedKarvel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace karvel::test {

std::string libraryPath() {
    if (const char* overridden = std::getenv("KARVEL_LIBRARY")) return overridden;
    return KARVEL_LIBRARY_PATH;
}

host::KarvelLibrary& karvelLibrary() {
    static const std::unique_ptr<host::KarvelLibrary> library = [] {
        LogCapture::instance(); // outlives the library, which logs while it unloads
        auto loaded = std::make_unique<host::KarvelLibrary>(libraryPath());
        if (loaded->bound()) loaded->SetLogCallback(&LogCapture::callback);
        return loaded;
    }();
    if (!library->bound()) ADD_FAILURE() << "cannot use " << libraryPath() << ": " << library->error();
    return *library;
}

} // namespace karvel::test
