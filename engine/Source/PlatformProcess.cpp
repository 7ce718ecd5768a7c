#include "Windows/WindowsPlatformProcess.h"

#include "Containers/StringConv.h"
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
