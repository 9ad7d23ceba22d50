#pragma once
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrel::e2e {

// One connection to sway's IPC socket ($SWAYSOCK): requests with their replies, or, once
// subscribed, the events sway sends, in the order it sent them.
class SwayIpc {
  public:
    enum Type : std::uint32_t {
        kRunCommand = 0,
        kSubscribe = 2,
        kGetOutputs = 3,
        kGetTree = 4,
        kSendTick = 10,
        kWorkspaceEvent = 0x80000000u,
        kWindowEvent = 0x80000003u,
        kBindingEvent = 0x80000005u,
        kTickEvent = 0x80000007u,
    };
    struct Message {
        std::uint32_t type = 0;
        QJsonDocument document;
    };

    explicit SwayIpc(const std::string& socket);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    bool connected() const { return fd_ >= 0; }
    // Sends a request and returns its reply.
    std::optional<QJsonDocument> request(std::uint32_t type, const std::string& payload = {});
    // Runs sway commands; true when every one of them succeeded.
    bool command(const std::string& commands);
    // The whole layout tree; empty when sway did not answer.
    QJsonObject tree();
    // Subscribes to events by name ("binding", "window", "workspace", "tick").
    bool subscribe(const std::vector<std::string>& events);
    // The next event, or nothing when none came within the timeout.
    std::optional<Message> event(int timeoutMs);
    int fd() const { return fd_; }

  private:
    bool send(std::uint32_t type, const std::string& payload);
    std::optional<Message> receive(int timeoutMs);
    bool readExactly(char* into, std::size_t size, int timeoutMs);

    int fd_ = -1;
};

// The views (application windows) of a get_tree reply, in tree order, with what the tests ask
// of them.
struct SwayView {
    long id = 0;
    long pid = 0;
    std::string title;
    std::string appId;
    bool focused = false;
};
std::vector<SwayView> views(const QJsonObject& tree);

}  // namespace tavrel::e2e
