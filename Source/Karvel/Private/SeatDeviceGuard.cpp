#include "SeatDeviceGuard.h"

#include "HAL/PlatformProcess.h"
#include "Misc/Paths.h"
#include "SeatGuard/GuardLink.h"

#include <memory>
#include <string>

namespace
{
// The engine's process functions, rather than our own, start it: they are how an engine module starts a program.
// The pipe's write end stays with this process alone, so that its end (however it comes) ends the guard's input.
class FEngineGuardProcess final : public KarvelSeat::GuardProcess
{
public:
	FEngineGuardProcess(FProcHandle InProcess, uint32 InProcessId, void* InInput)
		: Process(InProcess), ProcessId(InProcessId), Input(InInput)
	{
	}

	virtual ~FEngineGuardProcess() override
	{
		FEngineGuardProcess::CloseInput();
		FPlatformProcess::CloseProc(Process);
	}

	virtual unsigned Id() const override { return ProcessId; }

	virtual bool Write(const char* Data, std::size_t Size) override
	{
		while (Size > 0)
		{
			const int32 Chunk = Size > 65536 ? 65536 : static_cast<int32>(Size);
			int32 Written = 0;
			if (!FPlatformProcess::WritePipe(Input, reinterpret_cast<const uint8*>(Data), Chunk, &Written) || Written <= 0)
			{
				return false;
			}
			Data += Written;
			Size -= static_cast<std::size_t>(Written);
		}
		return true;
	}

	virtual void CloseInput() override
	{
		if (Input)
		{
			FPlatformProcess::ClosePipe(nullptr, Input);
			Input = nullptr;
		}
	}

	virtual void WaitForExit() override { FPlatformProcess::WaitForProc(Process); }
	virtual void Kill() override { FPlatformProcess::TerminateProc(Process); }

private:
	FProcHandle Process;
	const uint32 ProcessId;
	void* Input;
};

std::unique_ptr<KarvelSeat::GuardProcess> StartGuard(const FString& GuardPath, const FString& LibraryPath, std::string& Error)
{
	if (!FPaths::FileExists(GuardPath))
	{
		Error = std::string("no guard at ") + TCHAR_TO_UTF8(*GuardPath);
		return nullptr;
	}
	void* ChildInput = nullptr;
	void* Input = nullptr;
	if (!FPlatformProcess::CreatePipe(ChildInput, Input, true))
	{
		Error = "cannot make a pipe to the guard";
		return nullptr;
	}
	// Detached and hidden: no console of its own, and none shared with the game whose end it outlives.
	const FString Params = FString::Printf(TEXT("--library \"%s\""), *LibraryPath);
	uint32 ProcessId = 0;
	FProcHandle Process = FPlatformProcess::CreateProc(*GuardPath, *Params, true, true, true, &ProcessId, 0, nullptr, nullptr, ChildInput);
	FPlatformProcess::ClosePipe(ChildInput, nullptr);
	if (!Process.IsValid())
	{
		FPlatformProcess::ClosePipe(nullptr, Input);
		Error = std::string("cannot run ") + TCHAR_TO_UTF8(*GuardPath);
		return nullptr;
	}
	return std::make_unique<FEngineGuardProcess>(Process, ProcessId, Input);
}

TWeakPtr<KarvelSeat::GuardLink> GSeatGuard;
}

TSharedPtr<KarvelSeat::GuardLink> AcquireSeatGuard(const FString& LibraryPath)
{
	if (TSharedPtr<KarvelSeat::GuardLink> Shared = GSeatGuard.Pin())
	{
		return Shared;
	}
	const FString Library = FPaths::ConvertRelativePathToFull(LibraryPath);
	const FString Guard = FPaths::Combine(FPaths::GetPath(Library), TEXT("karvel-guard.exe"));
	KarvelSeat::GuardLinkOptions Options;
	Options.Start = [Guard, Library](std::string& Error) { return StartGuard(Guard, Library, Error); };
	Options.Log = [](bool bError, const std::string& Line)
	{
		if (bError)
		{
			UE_LOG(LogTemp, Warning, TEXT("[Karvel] Guard: %s"), UTF8_TO_TCHAR(Line.c_str()));
		}
		else
		{
			UE_LOG(LogTemp, Log, TEXT("[Karvel] Guard: %s"), UTF8_TO_TCHAR(Line.c_str()));
		}
	};
	Options.HostPid = static_cast<int>(FPlatformProcess::GetCurrentProcessId());
	Options.HostName = "game";
	TSharedPtr<KarvelSeat::GuardLink> Shared = MakeShared<KarvelSeat::GuardLink>(std::move(Options));
	GSeatGuard = Shared;
	return Shared;
}
