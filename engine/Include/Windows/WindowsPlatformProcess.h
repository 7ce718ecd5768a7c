#pragma once

#include "CoreTypes.h"

// The Windows process layer as the plugin calls it, carried out with the dynamic loader of this platform.
struct FWindowsPlatformProcess
{
	static void* GetDllHandle(const TCHAR* Filename);
	static void* GetDllExport(void* DllHandle, const TCHAR* ProcName);
	static void FreeDllHandle(void* DllHandle);
	static void Sleep(float Seconds);
};
