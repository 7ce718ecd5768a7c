// Loading and unloading the real shared library by path, as the engine plugin
// does with every game instance. These tests bind the fixed source port 8410
// and never keep the library loaded between tests.
#include <gtest/gtest.h>

#include <memory>

#include "KarvelLibrary.h"
#include "support/ConfiguredSeat.h"
#include "support/LoadedKarvel.h"
#include "support/ModbusTestServer.h"
#include "support/ProcessStats.h"
#include "support/UdpReceiver.h"

using karvel::host::KarvelLibrary;
using karvel::test::configureAndHome;
using karvel::test::EffectsDevices;
using karvel::test::LogCapture;
using karvel::test::PortHolder;
using karvel::test::UdpReceiver;

namespace {

std::unique_ptr<KarvelLibrary> load() {
    auto library = std::make_unique<KarvelLibrary>(karvel::test::libraryPath());
    EXPECT_TRUE(library->bound()) << library->error();
    return library;
}

class LibraryLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(karvel::test::libraryLoaded(karvel::test::libraryPath()));
        {
            // One cycle first: a runtime may start a thread of its own with the
            // first thread (ThreadSanitizer's background thread does).
            const std::unique_ptr<KarvelLibrary> library = load();
            ASSERT_TRUE(library->bound());
            ASSERT_TRUE(configureAndHome(*library, receiver, devices));
            library->Release();
        }
        threadsBefore = karvel::test::threadCount();
        LogCapture::instance().clear();
    }

    // Nothing of the library is left: not mapped, no thread, port 8410 free.
    void expectNothingLeft() {
        EXPECT_FALSE(karvel::test::libraryLoaded(karvel::test::libraryPath()));
        EXPECT_LE(karvel::test::threadCountBackTo(threadsBefore), threadsBefore);
        EXPECT_TRUE(PortHolder(8410).bound());
    }

    UdpReceiver receiver;
    EffectsDevices devices;
    int threadsBefore = 0;
};

} // namespace

TEST_F(LibraryLifecycle, LoadConfigureReleaseUnloadFiftyTimes) {
    // No SCOPED_TRACE or ASSERT_NO_FATAL_FAILURE: on Windows GoogleTest starts a
    // thread of its own when a thread first uses its per-thread state.
    for (int i = 0; i < 50; ++i) {
        {
            const std::unique_ptr<KarvelLibrary> library = load();
            ASSERT_TRUE(library->bound()) << "cycle " << i;
            library->SetLogCallback(&LogCapture::callback);
            ASSERT_TRUE(configureAndHome(*library, receiver, devices)) << "cycle " << i;
            library->Release();
            ASSERT_TRUE(PortHolder(8410).bound()) << "port 8410 still taken after release, cycle " << i;
        }
        ASSERT_FALSE(karvel::test::libraryLoaded(karvel::test::libraryPath())) << "cycle " << i;
    }
    expectNothingLeft();
    // Only the host's releases reached the callback: the unload closes the
    // log before anything else and then finds nothing left to release.
    EXPECT_EQ(LogCapture::instance().linesStartingWith("[Ridova][INFO] SeatController::release called").size(), 50u);
    EXPECT_EQ(LogCapture::instance().linesStartingWith("[Ridova][INFO] UDPTransportLayer released").size(), 50u);
    EXPECT_EQ(LogCapture::instance().linesStartingWith("[Ridova][INFO] EffectsController released").size(), 50u);
}

TEST_F(LibraryLifecycle, UnloadWithoutReleaseNeitherHangsNorLeaks) {
    {
        const std::unique_ptr<KarvelLibrary> library = load();
        ASSERT_TRUE(library->bound());
        ASSERT_TRUE(configureAndHome(*library, receiver, devices));
    } // unloaded while the transport and the effects are open, their workers waiting
    {
        // A later host releases whatever is left (on Windows: the same, still loaded controller).
        const std::unique_ptr<KarvelLibrary> library = load();
        ASSERT_TRUE(library->bound());
        library->Release();
    }
    expectNothingLeft();
}
