#include "Windows/WindowsPlatformProcess.h"

#include "Containers/StringConv.h"
#include "Platform/ChildProcess.h"
#include "Platform/DynamicLibrary.h"
#include "StandIn/StandInControl.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace
{
struct FSleepLog
{
	std::mutex Mutex;
	std::vector<float> Requests;
};

FSleepLog& GetSleepLog()
{
	static FSleepLog Log;
	return Log;
}
}

void* FWindowsPlatformProcess::GetDllHandle(const TCHAR* Filename)
{
	return Filename ? UE::StandIn::Platform::LoadLibraryFile(Filename) : nullptr;
}

void* FWindowsPlatformProcess::GetDllExport(void* DllHandle, const TCHAR* ProcName)
{
	return DllHandle && ProcName ? UE::StandIn::Platform::FindLibraryExport(DllHandle, TCHAR_TO_UTF8(ProcName)) : nullptr;
}

void FWindowsPlatformProcess::FreeDllHandle(void* DllHandle)
{
	if (DllHandle)
	{
		UE::StandIn::Platform::FreeLibraryFile(DllHandle);
	}
}

void FWindowsPlatformProcess::Sleep(float Seconds)
{
	{
		FSleepLog& Log = GetSleepLog();
		std::lock_guard<std::mutex> Lock(Log.Mutex);
		Log.Requests.push_back(Seconds);
	}
	std::this_thread::sleep_for(std::chrono::duration<float>(Seconds));
}

uint32 FWindowsPlatformProcess::GetCurrentProcessId()
{
	return UE::StandIn::Platform::CurrentProcessId();
}

FProcHandle FWindowsPlatformProcess::CreateProc(const TCHAR* URL, const TCHAR* Parms, bool bLaunchDetached, bool, bool,
	uint32* OutProcessID, int32, const TCHAR*, void* PipeWriteChild, void* PipeReadChild)
{
	uint32 ProcessId = 0;
	void* Process = URL ? UE::StandIn::Platform::StartProcess(URL, Parms ? Parms : u"", bLaunchDetached, PipeReadChild,
		PipeWriteChild, ProcessId) : nullptr;
	if (OutProcessID)
	{
		*OutProcessID = ProcessId;
	}
	return FProcHandle(Process);
}

bool FWindowsPlatformProcess::IsProcRunning(FProcHandle& ProcessHandle)
{
	return ProcessHandle.IsValid() && UE::StandIn::Platform::IsRunning(ProcessHandle.Get());
}

void FWindowsPlatformProcess::WaitForProc(FProcHandle& ProcessHandle)
{
	if (ProcessHandle.IsValid())
	{
		UE::StandIn::Platform::WaitForEnd(ProcessHandle.Get());
	}
}

void FWindowsPlatformProcess::CloseProc(FProcHandle& ProcessHandle)
{
	if (ProcessHandle.IsValid())
	{
		UE::StandIn::Platform::ReleaseProcess(ProcessHandle.Get());
		ProcessHandle.Reset();
	}
}

void FWindowsPlatformProcess::TerminateProc(FProcHandle& ProcessHandle, bool)
{
	if (ProcessHandle.IsValid())
	{
		UE::StandIn::Platform::Terminate(ProcessHandle.Get());
	}
}

void FWindowsPlatformProcess::ClosePipe(void* ReadPipe, void* WritePipe)
{
	UE::StandIn::Platform::ClosePipeEnd(ReadPipe);
	UE::StandIn::Platform::ClosePipeEnd(WritePipe);
}

bool FWindowsPlatformProcess::CreatePipe(void*& ReadPipe, void*& WritePipe, bool bWritePipeLocal)
{
	return UE::StandIn::Platform::MakePipe(ReadPipe, WritePipe, bWritePipeLocal);
}

bool FWindowsPlatformProcess::WritePipe(void* WritePipe, const uint8* Data, const int32 DataLength, int32* OutDataLength)
{
	std::size_t Written = 0;
	const bool bWritten = DataLength > 0 && WritePipe &&
		UE::StandIn::Platform::WriteToPipe(WritePipe, Data, static_cast<std::size_t>(DataLength), Written);
	if (OutDataLength)
	{
		*OutDataLength = static_cast<int32>(Written);
	}
	return bWritten;
}

namespace UE::StandIn
{
std::vector<float> GetSleepRequests()
{
	FSleepLog& Log = GetSleepLog();
	std::lock_guard<std::mutex> Lock(Log.Mutex);
	return Log.Requests;
}

void ClearSleepRequests()
{
	FSleepLog& Log = GetSleepLog();
	std::lock_guard<std::mutex> Lock(Log.Mutex);
	Log.Requests.clear();
}
}
