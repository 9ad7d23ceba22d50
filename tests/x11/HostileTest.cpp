#include <algorithm>

#include "X11Fixture.h"
#include "platform/Accessibility.h"
#include "platform/x11/X11Text.h"

namespace tavrel::x11::test {
namespace {

using HostileTest = X11Fixture;

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> titleOf(const WindowInfoList& records) {
    if (records.size() != 1 || records[0].count(kCGWindowName) == 0)
        return std::nullopt;
    const std::string* title = valueAsString(records[0].at(kCGWindowName));
    return title == nullptr ? std::nullopt : std::optional<std::string>(*title);
}

TEST_P(HostileTest, SurvivesBrokenProperties) {
    auto app = client();
    const xcb_window_t w = app->window("name=Fallback pid=none");
    const std::string id = std::to_string(w);
    // A title of the wrong type and format, a pid that is text, a class without its
    // second string, a window type in bytes and a truncated WM_STATE.
    for (const std::string& prop : std::vector<std::string>{
             "_NET_WM_NAME CARDINAL 32 01000000", "_NET_WM_PID STRING 8 " + hex("1234"),
             "WM_CLASS STRING 8 " + hex("lonely"), "_NET_WM_WINDOW_TYPE ATOM 8 " + hex("dock"),
             "WM_STATE WM_STATE 8 03"}) {
        ASSERT_EQ(app->command("prop " + id + " " + prop), "ok");
    }
    ASSERT_TRUE(waitForListed({w}, 1));
    const auto records = listed({w});
    EXPECT_EQ(titleOf(records), "Fallback");
    EXPECT_EQ(valueAsInt32(records[0].at(kCGWindowOwnerPID)), app->pid());
    EXPECT_EQ(records[0].count(kCGWindowOwnerName), 0u);
    EXPECT_EQ(valueAsInt64(records[0].at(kCGWindowLayer)), 0);
}

TEST_P(HostileTest, RepairsInvalidTextAndBoundsHugeTitles) {
    auto app = client();
    const xcb_window_t invalid = app->window("title=ok%FF%C0%AFend");
    const xcb_window_t huge = app->window("title=0123456789 repeat=10000");
    ASSERT_TRUE(waitForListed({invalid, huge}, 2));
    const auto first = titleOf(listed({invalid}));
    ASSERT_TRUE(first);
    EXPECT_EQ(*first,
              "ok\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "end");
    const auto second = titleOf(listed({huge}));
    ASSERT_TRUE(second);
    EXPECT_GE(second->size(), 1000u);
    EXPECT_LE(second->size(), 16384u);
    EXPECT_EQ(repairUtf8(*second), *second);
}

TEST_P(HostileTest, DecodesCompoundTextTitlesOfAStockClient) {
    ChildProcess xterm(
        {"env", "LC_ALL=C.UTF-8", "xterm", "-T", "Grüße Привет", "-e", "sleep", "30"},
        server_->display());
    std::optional<std::string> title;
    ASSERT_TRUE(server_->waitUntil([&] {
        const auto all = platform_->windowServer().copyWindowInfo(kCGWindowListOptionOnScreenOnly,
                                                                  kCGNullWindowID);
        for (const auto& record : all.value_or(WindowInfoList{})) {
            const auto pid = valueAsInt32(record.at(kCGWindowOwnerPID));
            const std::string* name = valueAsString(record.at(kCGWindowName));
            if (pid == xterm.pid() && name != nullptr)
                title = *name;
        }
        return title.has_value();
    }));
    EXPECT_EQ(*title, "Grüße Привет");
}

// Any client can point the root at a check window that does not exist, or take the pointer
// away. Whatever window manager runs goes on framing its clients, and they are found behind
// their frames and switched to all the same.
TEST_P(HostileTest, ASpoiledWindowManagerCheckHidesNoWindow) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back");
    const xcb_window_t front = app->window("title=Front");
    ASSERT_TRUE(waitForListed({back, front}, 2));
    xcb_connection_t* c = server_->connection();
    const xcb_atom_t check = server_->atom("_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t nowhere = xcb_generate_id(c);
    for (const bool removed : {false, true}) {
        if (removed) {
            xcb_delete_property(c, server_->root(), check);
        } else {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, server_->root(), check, XCB_ATOM_WINDOW,
                                32, 1, &nowhere);
        }
        server_->sync();
        ASSERT_FALSE(server_->windowManagerRuns());
        const auto records = listed({back, front});
        ASSERT_EQ(records.size(), 2u) << (removed ? "removed" : "nowhere");
        EXPECT_EQ(titleOf({records[0]}), "Front");
        EXPECT_EQ(titleOf({records[1]}), "Back");
    }
    Accessibility& ax = platform_->accessibility();
    const AXElement chosen{AXElement::Kind::window, app->pid(), back};
    EXPECT_EQ(ax.performAction(chosen, kAXRaiseAction), kAXErrorSuccess);
    EXPECT_EQ(ax.setAttributeValue(chosen, kAXMainAttribute, true), kAXErrorSuccess);
    EXPECT_TRUE(server_->waitUntil([&] {
        const auto now = listed({back, front});
        return now.size() == 2 && valueAsUInt32(now[0].at(kCGWindowNumber)) == back;
    }));
}

INSTANTIATE_TEST_SUITE_P(X11, HostileTest, ::testing::Bool(), managedName);

}  // namespace
}  // namespace tavrel::x11::test
