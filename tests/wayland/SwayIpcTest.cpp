#include "platform/wayland/SwayIpc.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace tavrel::wayland {
namespace {

std::string frame(std::uint32_t type, const std::string& payload, std::uint32_t length = UINT32_MAX,
                  const char* magic = "i3-ipc") {
    if (length == UINT32_MAX)
        length = static_cast<std::uint32_t>(payload.size());
    std::string bytes(magic, 6);
    bytes.append(reinterpret_cast<const char*>(&length), 4);
    bytes.append(reinterpret_cast<const char*>(&type), 4);
    return bytes + payload;
}

// A listening socket standing in for sway's; the test writes what "sway" says.
class SwayIpcTest : public testing::Test {
  protected:
    void SetUp() override {
        path_ = testing::TempDir() + "tavrel-ipc-" + std::to_string(getpid()) + ".sock";
        unlink(path_.c_str());
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(listener_, 1), 0);
        ipc_ = SwayIpc::connect(path_, nullptr);
        ASSERT_TRUE(ipc_);
        sway_ = accept(listener_, nullptr, nullptr);
    }
    void TearDown() override {
        close(sway_);
        close(listener_);
        unlink(path_.c_str());
    }
    void say(const std::string& bytes) {
        ASSERT_EQ(write(sway_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::string path_;
    int listener_ = -1;
    int sway_ = -1;
    std::unique_ptr<SwayIpc> ipc_;
};

TEST_F(SwayIpcTest, KeepsEventsThatArriveBeforeTheReply) {
    say(frame(kSwayBindingEvent, R"({"change":"run"})") +
        frame(static_cast<std::uint32_t>(SwayMessage::getTree), "{}"));
    EXPECT_EQ(ipc_->request(SwayMessage::getTree, ""), "{}");
    // An event cut in two reaches the reader whole, once the rest has come.
    const std::string event = frame(kSwayWorkspaceEvent, R"({"change":"reload"})");
    say(event.substr(0, 9));
    auto events = ipc_->readEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, kSwayBindingEvent);
    say(event.substr(9));
    events = ipc_->readEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].payload, R"({"change":"reload"})");
    EXPECT_FALSE(ipc_->broken());
}

TEST_F(SwayIpcTest, BreaksOnMessagesOutOfStepOrBeyondTheBound) {
    say(frame(kSwayBindingEvent, "", 0x7fffffff));  // would ask for 2 GiB
    EXPECT_TRUE(ipc_->readEvents().empty());
    EXPECT_TRUE(ipc_->broken());
    EXPECT_FALSE(ipc_->request(SwayMessage::getTree, ""));
}

TEST_F(SwayIpcTest, BreaksOnAWrongMagic) {
    say(frame(kSwayBindingEvent, "{}", UINT32_MAX, "x3-ipc"));
    EXPECT_TRUE(ipc_->readEvents().empty());
    EXPECT_TRUE(ipc_->broken());
}

TEST_F(SwayIpcTest, BreaksWhenSwayGoesAway) {
    close(sway_);
    sway_ = -1;
    EXPECT_FALSE(ipc_->request(SwayMessage::getTree, ""));
    EXPECT_TRUE(ipc_->broken());
}

}  // namespace
}  // namespace tavrel::wayland
