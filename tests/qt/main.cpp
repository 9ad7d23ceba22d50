#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "ChildProcess.h"

// Every test here runs against one private X server and one QApplication, as the program does.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    auto xvfb = tavrel::qt::test::XvfbSession::start("1600x1000x24");
    if (!xvfb) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    unsetenv("WAYLAND_DISPLAY");
    // Only the private server's tray hosts count, not a desktop session's StatusNotifier host.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
