// How a host of our own starts its guard on POSIX (GuardSpawn_posix.cpp), with
// ordinary programs standing in for the guard: its input is a pipe whose end
// is the host's, it runs in a session of its own with nothing of the host
// open but its standard output and error, and a guard that does not read can
// always be ended.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "GuardSpawn.h"

namespace karvel::guard {
namespace {

using namespace std::chrono_literals;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<KarvelSeat::GuardProcess> shell(const std::string& script) {
    std::string error;
    std::unique_ptr<KarvelSeat::GuardProcess> started = startGuard({"/bin/sh", {"-c", script}}, error);
    EXPECT_TRUE(started) << error;
    return started;
}

TEST(GuardSpawn, TheGuardReadsTheHostsLinesUntilTheHostClosesItsInput) {
    const std::string path = ::testing::TempDir() + "guard-input.txt";
    std::unique_ptr<KarvelSeat::GuardProcess> guard = shell("cat > " + path);
    ASSERT_TRUE(guard);
    const std::string lines = "karvel-guard 1\nrelease\n";
    ASSERT_TRUE(guard->Write(lines.data(), lines.size()));
    guard->CloseInput();
    guard->WaitForExit();
    EXPECT_EQ(readFile(path), lines);
}

TEST(GuardSpawn, TheGuardHasASessionOfItsOwnAndNothingOfTheHostOpen) {
    // A socket of the host's that a child would keep open across exec.
    const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(socket, 0);
    const std::string files = ::testing::TempDir() + "guard-files.txt";
    const std::string stat = ::testing::TempDir() + "guard-stat.txt";
    std::unique_ptr<KarvelSeat::GuardProcess> listing = shell("exec >" + files + "; exec ls -l /proc/self/fd");
    std::unique_ptr<KarvelSeat::GuardProcess> session = shell("exec >" + stat + "; exec cut -d' ' -f1,6 /proc/self/stat");
    ASSERT_TRUE(listing && session);
    for (KarvelSeat::GuardProcess* guard : {listing.get(), session.get()}) {
        guard->CloseInput();
        guard->WaitForExit();
    }
    ::close(socket);
    const std::string open = readFile(files);
    EXPECT_EQ(open.find("socket:"), std::string::npos) << open;
    EXPECT_NE(open.find(" 0 -> pipe:"), std::string::npos) << "its input is the host's pipe\n" << open;
    std::istringstream seen(readFile(stat));
    std::string pid, leader;
    seen >> pid >> leader;
    EXPECT_EQ(pid, std::to_string(session->Id()));
    EXPECT_EQ(leader, pid) << "the guard leads a session of its own";
}

TEST(GuardSpawn, AGuardThatDoesNotReadHoldsAWriteOnlyUntilItIsEnded) {
    std::unique_ptr<KarvelSeat::GuardProcess> guard = shell("exec sleep 60");
    ASSERT_TRUE(guard);
    std::future<bool> written = std::async(std::launch::async, [&] {
        const std::string plenty(1 << 20, 'x'); // more than any pipe holds
        return guard->Write(plenty.data(), plenty.size());
    });
    EXPECT_EQ(written.wait_for(200ms), std::future_status::timeout) << "the pipe is full";
    guard->Kill();
    ASSERT_EQ(written.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(written.get()) << "the guard is gone";
    guard->WaitForExit();
    const std::string more = "posture 0 0 0 0.5\n";
    EXPECT_FALSE(guard->Write(more.data(), more.size())) << "and stays gone, without a SIGPIPE ending the host";
}

TEST(GuardSpawn, AProgramThatIsNotThereIsNamed) {
    std::string error;
    EXPECT_EQ(startGuard({"/nonexistent/karvel-guard", {}}, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/karvel-guard"), std::string::npos) << error;
}

} // namespace
} // namespace karvel::guard
