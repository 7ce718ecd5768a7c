#include "Platform/ChildProcess.h"

#include <windows.h>

// As the engine does it on Windows (WindowsPlatformProcess.cpp): both pipe ends made inheritable, the local one
// then not; the child started with its standard handles and every inheritable handle of the caller.
namespace UE::StandIn::Platform
{
std::uint32_t CurrentProcessId()
{
	return GetCurrentProcessId();
}

bool MakePipe(void*& ReadEnd, void*& WriteEnd, bool bWriteLocal)
{
	SECURITY_ATTRIBUTES Attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
	HANDLE Read = nullptr;
	HANDLE Write = nullptr;
	if (!::CreatePipe(&Read, &Write, &Attributes, 0))
	{
		return false;
	}
	ReadEnd = Read;
	WriteEnd = Write;
	return SetHandleInformation(bWriteLocal ? Write : Read, HANDLE_FLAG_INHERIT, 0) != 0;
}

void ClosePipeEnd(void* End)
{
	if (End)
	{
		CloseHandle(End);
	}
}

bool WriteToPipe(void* End, const void* Data, std::size_t Size, std::size_t& Written)
{
	DWORD Done = 0;
	const bool bWritten = WriteFile(End, Data, static_cast<DWORD>(Size), &Done, nullptr) != 0;
	Written = Done;
	return bWritten && Written == Size;
}

void* StartProcess(const std::u16string& Program, const std::u16string& Arguments, bool bDetached, void* Input,
	void* Output, std::uint32_t& ProcessId)
{
	std::wstring Line = L"\"" + std::wstring(Program.begin(), Program.end()) + L"\" " +
		std::wstring(Arguments.begin(), Arguments.end());
	STARTUPINFOW Startup{};
	Startup.cb = sizeof(Startup);
	const bool bPipes = Input || Output;
	if (bPipes)
	{
		Startup.dwFlags = STARTF_USESTDHANDLES;
		Startup.hStdInput = Input;
		Startup.hStdOutput = Output;
		Startup.hStdError = Output;
	}
	PROCESS_INFORMATION Started{};
	const DWORD Flags = NORMAL_PRIORITY_CLASS | (bDetached ? DETACHED_PROCESS : 0);
	if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, bPipes, Flags, nullptr, nullptr, &Startup, &Started))
	{
		return nullptr;
	}
	CloseHandle(Started.hThread);
	ProcessId = Started.dwProcessId;
	return Started.hProcess;
}

bool IsRunning(void* Process)
{
	return WaitForSingleObject(Process, 0) == WAIT_TIMEOUT;
}

void WaitForEnd(void* Process)
{
	WaitForSingleObject(Process, INFINITE);
}

void Terminate(void* Process)
{
	TerminateProcess(Process, 1);
}

void ReleaseProcess(void* Process)
{
	CloseHandle(Process);
}
}
