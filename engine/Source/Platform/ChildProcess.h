#pragma once

// The one place where the stand-in meets the system's process functions, for FPlatformProcess's pipes and child
// processes. Kept free of engine headers, as the dynamic loader's layer is.

#include <cstddef>
#include <cstdint>
#include <string>

namespace UE::StandIn::Platform
{
std::uint32_t CurrentProcessId();

// Pipe ends are opaque, never null when valid. The end the caller keeps (the write end when WriteLocal) is not
// inherited by children; the other is.
bool MakePipe(void*& ReadEnd, void*& WriteEnd, bool bWriteLocal);
void ClosePipeEnd(void* End);
// Writes all of Data, waiting while the pipe is full; false when the reader is gone.
bool WriteToPipe(void* End, const void* Data, std::size_t Size, std::size_t& Written);

// Starts Program with the command line's words (split as Windows splits them), its standard input from Input and
// standard output and error into Output when given; Detached: without the caller's console or session. Null when
// it could not be started.
void* StartProcess(const std::u16string& Program, const std::u16string& Arguments, bool bDetached, void* Input,
	void* Output, std::uint32_t& ProcessId);
bool IsRunning(void* Process);
void WaitForEnd(void* Process);
void Terminate(void* Process);
void ReleaseProcess(void* Process);
}
