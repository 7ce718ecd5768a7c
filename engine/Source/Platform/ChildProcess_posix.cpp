#include "Platform/ChildProcess.h"

#include "Containers/StringConv.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

extern char** environ;

namespace UE::StandIn::Platform
{
namespace
{
// Descriptors travel as opaque ends, one more than the descriptor so that none is null.
void* EndOf(int Descriptor) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(Descriptor) + 1); }
int DescriptorOf(void* End) { return static_cast<int>(reinterpret_cast<std::intptr_t>(End) - 1); }

struct FChild
{
	pid_t Pid = -1;
	std::mutex Mutex;
	bool bCollected = false; // guarded by Mutex: until then the process id is the child's, dead or alive
};

// Splits a command line as the Windows C runtime does: blanks separate words, quotes group them, a backslash
// before a quote escapes it.
std::vector<std::string> SplitCommandLine(const std::string& Line)
{
	std::vector<std::string> Words;
	std::string Word;
	bool bInWord = false;
	bool bQuoted = false;
	for (std::size_t I = 0; I < Line.size(); ++I)
	{
		const char C = Line[I];
		if (C == '\\' && I + 1 < Line.size() && Line[I + 1] == '"')
		{
			Word += '"';
			++I;
			bInWord = true;
		}
		else if (C == '"')
		{
			bQuoted = !bQuoted;
			bInWord = true;
		}
		else if ((C == ' ' || C == '\t') && !bQuoted)
		{
			if (bInWord)
			{
				Words.push_back(Word);
			}
			Word.clear();
			bInWord = false;
		}
		else
		{
			Word += C;
			bInWord = true;
		}
	}
	if (bInWord)
	{
		Words.push_back(Word);
	}
	return Words;
}
}

std::uint32_t CurrentProcessId()
{
	return static_cast<std::uint32_t>(getpid());
}

bool MakePipe(void*& ReadEnd, void*& WriteEnd, bool)
{
	int Ends[2];
	if (pipe2(Ends, O_CLOEXEC) != 0)
	{
		return false;
	}
	ReadEnd = EndOf(Ends[0]);
	WriteEnd = EndOf(Ends[1]);
	return true;
}

void ClosePipeEnd(void* End)
{
	if (End)
	{
		close(DescriptorOf(End));
	}
}

bool WriteToPipe(void* End, const void* Data, std::size_t Size, std::size_t& Written)
{
	// Windows has no SIGPIPE: a write to a pipe without a reader fails, and so it does here.
	sigset_t Pipe, Old;
	sigemptyset(&Pipe);
	sigaddset(&Pipe, SIGPIPE);
	pthread_sigmask(SIG_BLOCK, &Pipe, &Old);
	Written = 0;
	bool bWritten = true;
	while (Written < Size)
	{
		const ssize_t Done = write(DescriptorOf(End), static_cast<const char*>(Data) + Written, Size - Written);
		if (Done < 0 && errno == EINTR)
		{
			continue;
		}
		if (Done <= 0)
		{
			bWritten = false;
			break;
		}
		Written += static_cast<std::size_t>(Done);
	}
	if (!bWritten && errno == EPIPE)
	{
		const timespec None{0, 0};
		while (sigtimedwait(&Pipe, nullptr, &None) == SIGPIPE)
		{
		}
	}
	pthread_sigmask(SIG_SETMASK, &Old, nullptr);
	return bWritten;
}

void* StartProcess(const std::u16string& Program, const std::u16string& Arguments, bool bDetached, void* Input,
	void* Output, std::uint32_t& ProcessId)
{
	const std::string Path = Utf16ToUtf8(Program);
	std::vector<std::string> Words = SplitCommandLine(Utf16ToUtf8(Arguments));
	Words.insert(Words.begin(), Path);
	std::vector<char*> Argv;
	for (std::string& Word : Words)
	{
		Argv.push_back(Word.data());
	}
	Argv.push_back(nullptr);

	posix_spawn_file_actions_t Actions;
	posix_spawn_file_actions_init(&Actions);
	posix_spawnattr_t Attributes;
	posix_spawnattr_init(&Attributes);
	// With any pipe given, the three standard handles are the ones given, a missing one being none at all.
	if (Input || Output)
	{
		const auto Redirect = [&](void* End, int Target, int Flags) {
			if (End)
			{
				posix_spawn_file_actions_adddup2(&Actions, DescriptorOf(End), Target);
			}
			else
			{
				posix_spawn_file_actions_addopen(&Actions, Target, "/dev/null", Flags, 0);
			}
		};
		Redirect(Input, STDIN_FILENO, O_RDONLY);
		Redirect(Output, STDOUT_FILENO, O_WRONLY);
		Redirect(Output, STDERR_FILENO, O_WRONLY);
	}
	if (bDetached)
	{
		posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSID);
	}
	pid_t Pid = -1;
	const int Failed = posix_spawn(&Pid, Path.c_str(), &Actions, &Attributes, Argv.data(), environ);
	posix_spawn_file_actions_destroy(&Actions);
	posix_spawnattr_destroy(&Attributes);
	if (Failed != 0)
	{
		return nullptr;
	}
	ProcessId = static_cast<std::uint32_t>(Pid);
	auto Child = std::make_unique<FChild>();
	Child->Pid = Pid;
	return Child.release(); // owned by its handle until ReleaseProcess
}

bool IsRunning(void* Process)
{
	FChild& Child = *static_cast<FChild*>(Process);
	std::lock_guard<std::mutex> Lock(Child.Mutex);
	if (!Child.bCollected && waitpid(Child.Pid, nullptr, WNOHANG) == Child.Pid)
	{
		Child.bCollected = true;
	}
	return !Child.bCollected;
}

void WaitForEnd(void* Process)
{
	FChild& Child = *static_cast<FChild*>(Process);
	// Waited for without collecting it, so that Terminate cannot reach another process that took its id.
	siginfo_t Info{};
	while (waitid(P_PID, static_cast<id_t>(Child.Pid), &Info, WEXITED | WNOWAIT) != 0 && errno == EINTR)
	{
	}
	std::lock_guard<std::mutex> Lock(Child.Mutex);
	if (!Child.bCollected)
	{
		waitpid(Child.Pid, nullptr, 0);
	}
	Child.bCollected = true;
}

void Terminate(void* Process)
{
	FChild& Child = *static_cast<FChild*>(Process);
	std::lock_guard<std::mutex> Lock(Child.Mutex);
	if (!Child.bCollected)
	{
		kill(Child.Pid, SIGKILL);
	}
}

void ReleaseProcess(void* Process)
{
	IsRunning(Process); // collects it if it has ended
	std::unique_ptr<FChild> Child(static_cast<FChild*>(Process));
}
}
