// When the library registers its "process exit has begun" handler: once a
// callback is installed and once it first returns, per distinct callback,
// never after the log was closed.
#include <gtest/gtest.h>

#include "ExitAnchors.h"

using karvel::ExitAnchors;

namespace {

int registered = 0;
void countRegistration(karvel::net::ExitHandler) { ++registered; }
void closeAtExit(void*) {}
void callbackA(int, const char*) {}
void callbackB(int, const char*) {}
void callbackC(int, const char*) {}

} // namespace

TEST(ExitAnchors, OneHandlerAtTheFirstInstallationAndOneAtTheFirstReturnOfEachCallback) {
    registered = 0;
    ExitAnchors anchors(&closeAtExit, &countRegistration);
    anchors.installed(&callbackA);
    EXPECT_EQ(registered, 1);
    anchors.returned(&callbackA);
    EXPECT_EQ(registered, 2);
    anchors.returned(&callbackA);
    EXPECT_EQ(registered, 2);
    // A callback replaced before it ever returned is anchored at its first return after it came back.
    anchors.installed(&callbackB);
    anchors.installed(&callbackC);
    anchors.returned(&callbackB);
    EXPECT_EQ(registered, 4);
    anchors.installed(&callbackB);
    anchors.returned(&callbackB);
    EXPECT_EQ(registered, 5);
    // A host switching between callbacks adds nothing more.
    for (int i = 0; i < 1000; ++i) {
        anchors.installed(i % 2 == 0 ? &callbackA : &callbackB);
        anchors.returned(i % 2 == 0 ? &callbackA : &callbackB);
    }
    EXPECT_EQ(registered, 5);
    anchors.installed(&callbackC);
    anchors.close();
    anchors.returned(&callbackC);
    EXPECT_EQ(registered, 5);
}

TEST(ExitAnchors, ASinkWithoutAnExitHandlerRegistersNothing) {
    registered = 0;
    ExitAnchors anchors(nullptr, &countRegistration);
    anchors.installed(&callbackA);
    anchors.returned(&callbackA);
    EXPECT_EQ(registered, 0);
}
