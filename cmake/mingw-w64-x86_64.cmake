# Cross-builds the Windows x64 library (Karvel.dll) and its tests with the
# Debian mingw-w64 toolchain. The posix threading variant gives std::thread
# and std::mutex; -static links the C++ runtime, libgcc and winpthread into
# every binary, so that Karvel.dll needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KARVEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KARVEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KARVEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KARVEL_MINGW_PREFIX}-windres)
# The "-posix" suffix hides the tool prefix from CMake's own guess.
set(CMAKE_AR /usr/bin/${KARVEL_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${KARVEL_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_NM /usr/bin/${KARVEL_MINGW_PREFIX}-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${KARVEL_MINGW_PREFIX}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${KARVEL_MINGW_PREFIX}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KARVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Libraries loaded by path (the tests' stand-ins for Karvel.dll) are copied alone into a plugin folder.
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
