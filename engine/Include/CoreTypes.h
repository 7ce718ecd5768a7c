#pragma once

#include <cstddef>
#include <cstdint>

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using uint64 = std::uint64_t;

using ANSICHAR = char;
using UTF8CHAR = char;
// Engine text is UTF-16 as on Windows, so conversions here exercise the same surrogate handling.
using TCHAR = char16_t;

// The stand-in plays the Win64 target the plugin is built for on every host: its process layer is
// FWindowsPlatformProcess.
#ifndef PLATFORM_WINDOWS
#define PLATFORM_WINDOWS 1
#endif

// The plugin module is built as the editor builds it (UnrealEditor-Karvel).
#ifndef WITH_EDITOR
#define WITH_EDITOR 1
#endif

#define UE_STANDIN_TEXT_PASTE(x) u##x
#define TEXT(x) UE_STANDIN_TEXT_PASTE(x)
