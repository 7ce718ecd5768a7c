// The module's export macro. The engine's build defines KARVELSEATCORE_API as DLLEXPORT while it compiles this
// module and as DLLIMPORT for the modules that use it; outside the engine the core is compiled into its users
// and the macro is empty.
#pragma once

// DLLEXPORT and DLLIMPORT come from the engine's platform header, which the module's engine-free sources do not
// include: where no engine header came first they are defined here, token for token as the engine defines them
// on Windows, Linux and Mac, so that a later engine header redefines them identically.
#if defined(KARVELSEATCORE_API) && !defined(DLLEXPORT)
#if defined(_WIN32)
#define DLLEXPORT __declspec(dllexport)
#define DLLIMPORT __declspec(dllimport)
#else
#define DLLEXPORT __attribute__((visibility("default")))
#define DLLIMPORT __attribute__((visibility("default")))
#endif
#endif

#ifndef KARVELSEATCORE_API
#define KARVELSEATCORE_API
#endif
