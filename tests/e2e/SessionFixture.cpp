#include "SessionFixture.h"

#include <algorithm>

namespace tavrel::e2e {

void SessionTest::startSession(Desktop::Options options) {
    session_ = std::make_unique<Session>(options);
}

void SessionTest::SetUp() {
    ASSERT_NE(session_, nullptr);
    ASSERT_EQ(session_->failure(), "");
    ASSERT_TRUE(tavrel().running()) << "tavrel ended during an earlier test";
    desktopClients_ = desktop().clientsStacked();
}

void SessionTest::TearDown() {
    if (!session_ || !session_->failure().empty())
        return;
    for (const char* key : {"Tab", "Shift_L", "Super_L"})
        desktop().release(key);
    if (session_->panel() != XCB_WINDOW_NONE)
        desktop().tap("Escape");
    EXPECT_TRUE(session_->waitForPanel(false)) << "the panel stayed on screen";
    clients_.clear();
    EXPECT_TRUE(desktop().waitUntil([&] {
        const auto now = desktop().clientsStacked();
        return std::all_of(now.begin(), now.end(), [&](xcb_window_t w) {
            return std::find(desktopClients_.begin(), desktopClients_.end(), w) !=
                   desktopClients_.end();
        });
    })) << "the test's windows did not go away";
}

TestClient& SessionTest::newClient() {
    clients_.push_back(session_->client());
    return *clients_.back();
}

}  // namespace tavrel::e2e
