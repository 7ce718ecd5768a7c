#pragma once

#include "CoreTypes.h"

// A started process, as the engine's own handle type: invalid when null.
struct FProcHandle
{
	FProcHandle() = default;
	explicit FProcHandle(void* Other) : Handle(Other) {}
	void* Get() const { return Handle; }
	void Reset() { Handle = nullptr; }
	bool IsValid() const { return Handle != nullptr; }

private:
	void* Handle = nullptr;
};

// The Windows process layer as the plugin calls it, carried out with the dynamic loader and the process functions
// of this platform. The declarations are the engine's; the pipe and process functions behave as the engine's do on
// Windows: pipes carry bytes, a detached process has no console, the child inherits what is inheritable.
struct FWindowsPlatformProcess
{
	static void* GetDllHandle(const TCHAR* Filename);
	static void* GetDllExport(void* DllHandle, const TCHAR* ProcName);
	static void FreeDllHandle(void* DllHandle);
	static void Sleep(float Seconds);

	static uint32 GetCurrentProcessId();
	static FProcHandle CreateProc(const TCHAR* URL, const TCHAR* Parms, bool bLaunchDetached, bool bLaunchHidden, bool bLaunchReallyHidden, uint32* OutProcessID, int32 PriorityModifier, const TCHAR* OptionalWorkingDirectory, void* PipeWriteChild, void* PipeReadChild = nullptr);
	static bool IsProcRunning(FProcHandle& ProcessHandle);
	static void WaitForProc(FProcHandle& ProcessHandle);
	static void CloseProc(FProcHandle& ProcessHandle);
	static void TerminateProc(FProcHandle& ProcessHandle, bool KillTree = false);
	static void ClosePipe(void* ReadPipe, void* WritePipe);
	static bool CreatePipe(void*& ReadPipe, void*& WritePipe, bool bWritePipeLocal = false);
	static bool WritePipe(void* WritePipe, const uint8* Data, const int32 DataLength, int32* OutDataLength = nullptr);
};
