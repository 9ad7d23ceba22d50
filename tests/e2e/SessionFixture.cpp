#include "SessionFixture.h"

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
    EXPECT_TRUE(desktop().waitUntil([&] { return desktop().clientsStacked() == desktopClients_; }))
        << "the test's windows did not go away";
}

TestClient& SessionTest::newClient() {
    clients_.push_back(session_->client());
    return *clients_.back();
}

}  // namespace tavrel::e2e
