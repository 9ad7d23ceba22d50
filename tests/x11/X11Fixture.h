#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "PollMainLoop.h"
#include "TestClient.h"
#include "XServer.h"
#include "platform/WindowServer.h"
#include "platform/x11/X11Platform.h"

namespace tavrel::x11::test {

// A private X server (with openbox when the parameter says so), the backend connected to
// it, and helpers to read the window list.
class X11Fixture : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override;
    void TearDown() override;

    bool managed() const { return GetParam(); }
    std::unique_ptr<TestClient> client();
    // The on-screen records of the given windows, front to back.
    WindowInfoList listed(const std::set<xcb_window_t>& windows);
    // Waits until the on-screen list holds exactly `count` of the given windows.
    bool waitForListed(const std::set<xcb_window_t>& windows, std::size_t count);

    std::unique_ptr<XServer> server_;
    PollMainLoop loop_;
    std::unique_ptr<X11Platform> platform_;
};

std::string managedName(const ::testing::TestParamInfo<bool>& info);

}  // namespace tavrel::x11::test
