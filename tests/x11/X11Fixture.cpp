#include "X11Fixture.h"

#include <cstdlib>

namespace tavrel::x11::test {

void X11Fixture::SetUp() {
    server_ = std::make_unique<XServer>();
    ASSERT_TRUE(server_->started()) << "Xvfb did not start";
    if (managed()) {
        ASSERT_TRUE(server_->startWindowManager()) << "openbox did not take the screen";
    }
    setenv("DISPLAY", server_->display().c_str(), 1);
    std::string whyNot;
    platform_ = X11Platform::connect(loop_, &whyNot);
    ASSERT_NE(platform_, nullptr) << whyNot;
}

void X11Fixture::TearDown() {
    platform_.reset();
    server_.reset();
}

std::unique_ptr<TestClient> X11Fixture::client() {
    return std::make_unique<TestClient>(server_->display());
}

WindowInfoList X11Fixture::listed(const std::set<xcb_window_t>& windows) {
    WindowInfoList ours;
    const auto all = platform_->windowServer().copyWindowInfo(
        kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID);
    if (!all)
        return ours;
    for (const auto& record : *all) {
        const auto number = valueAsUInt32(record.at(kCGWindowNumber));
        if (number && windows.count(*number) != 0)
            ours.push_back(record);
    }
    return ours;
}

bool X11Fixture::waitForListed(const std::set<xcb_window_t>& windows, std::size_t count) {
    return server_->waitUntil([&] { return listed(windows).size() == count; });
}

std::string managedName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Openbox" : "NoWindowManager";
}

}  // namespace tavrel::x11::test
