#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel::wayland {

// Message and event types of sway's IPC.
enum class SwayMessage : std::uint32_t {
    runCommand = 0,
    getWorkspaces = 1,
    subscribe = 2,
    getOutputs = 3,
    getTree = 4,
};
inline constexpr std::uint32_t kSwayEventBit = 0x80000000u;
inline constexpr std::uint32_t kSwayWorkspaceEvent = kSwayEventBit | 0;
inline constexpr std::uint32_t kSwayBindingEvent = kSwayEventBit | 5;

// One connection to sway's IPC socket ($SWAYSOCK): requests answered in order, and the
// events of a subscription as they arrive. Everything sway sends is length-checked before it
// is read; a message beyond the bound breaks the connection instead of growing without end.
class SwayIpc {
  public:
    struct Message {
        std::uint32_t type = 0;
        std::string payload;
    };

    // Nothing, with the reason in `whyNot`, when the socket cannot be reached.
    static std::unique_ptr<SwayIpc> connect(const std::string& socketPath, std::string* whyNot);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    int fileDescriptor() const { return fd_; }
    bool broken() const { return broken_; }

    // Sends a request and waits (a bounded time) for its reply; events that arrive meanwhile
    // are kept for readEvents(). Nothing when sway does not answer.
    std::optional<std::string> request(SwayMessage type, std::string_view payload);
    // Reads what the socket holds without waiting and hands over every complete event.
    std::vector<Message> readEvents();

  private:
    explicit SwayIpc(int fd) : fd_(fd) {}
    bool send(SwayMessage type, std::string_view payload);
    // Reads once from the socket; false when the connection has ended or failed.
    bool fill(int timeoutMs);
    std::optional<Message> takeMessage();

    int fd_ = -1;
    bool broken_ = false;
    std::string buffer_;
    std::vector<Message> pendingEvents_;
    std::uint32_t lateReplies_ = 0;
};

}  // namespace tavrel::wayland
