#include "platform/wayland/SwayIpc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tavrel::wayland {
namespace {

constexpr std::string_view kMagic = "i3-ipc";
constexpr std::size_t kHeaderSize = kMagic.size() + 2 * sizeof(std::uint32_t);
// A whole tree of several hundred windows is a few hundred kilobytes.
constexpr std::uint32_t kMaxPayload = 64u << 20;
constexpr std::chrono::milliseconds kReplyTimeout{2000};

std::uint32_t readWord(const char* bytes) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace

std::unique_ptr<SwayIpc> SwayIpc::connect(const std::string& socketPath, std::string* whyNot) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        if (whyNot != nullptr)
            *whyNot = "SWAYSOCK names no usable socket path";
        return nullptr;
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (whyNot != nullptr)
            *whyNot = "cannot reach sway's IPC socket " + socketPath + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<SwayIpc>(new SwayIpc(fd));
}

SwayIpc::~SwayIpc() {
    if (fd_ >= 0)
        close(fd_);
}

bool SwayIpc::send(SwayMessage type, std::string_view payload) {
    if (broken_ || payload.size() > kMaxPayload)
        return false;
    std::string message(kMagic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    const auto code = static_cast<std::uint32_t>(type);
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&code), sizeof code);
    message.append(payload);
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(fd_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd writable{fd_, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && poll(&writable, 1, 1000) == 1)
            continue;
        broken_ = true;
        return false;
    }
    return true;
}

bool SwayIpc::fill(int timeoutMs) {
    pollfd readable{fd_, POLLIN, 0};
    if (timeoutMs > 0 && poll(&readable, 1, timeoutMs) != 1)
        return false;
    char chunk[65536];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR))
        broken_ = true;
    return false;
}

std::optional<SwayIpc::Message> SwayIpc::takeMessage() {
    if (buffer_.size() < kHeaderSize)
        return std::nullopt;
    if (std::string_view(buffer_).substr(0, kMagic.size()) != kMagic) {
        broken_ = true;  // out of step with sway: nothing after this can be read
        return std::nullopt;
    }
    const std::uint32_t length = readWord(buffer_.data() + kMagic.size());
    const std::uint32_t type = readWord(buffer_.data() + kMagic.size() + sizeof length);
    if (length > kMaxPayload) {
        broken_ = true;
        return std::nullopt;
    }
    if (buffer_.size() < kHeaderSize + length)
        return std::nullopt;
    Message message{type, buffer_.substr(kHeaderSize, length)};
    buffer_.erase(0, kHeaderSize + length);
    return message;
}

std::optional<std::string> SwayIpc::request(SwayMessage type, std::string_view payload) {
    if (!send(type, payload))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
    while (!broken_) {
        while (auto message = takeMessage()) {
            if ((message->type & kSwayEventBit) != 0) {
                pendingEvents_.push_back(std::move(*message));
            } else if (lateReplies_ > 0) {
                --lateReplies_;  // the answer to a request given up on: replies come in order
            } else {
                return std::move(message->payload);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        fill(static_cast<int>(left.count()));
    }
    ++lateReplies_;
    return std::nullopt;
}

std::vector<SwayIpc::Message> SwayIpc::readEvents() {
    while (!broken_ && buffer_.size() <= kHeaderSize + kMaxPayload && fill(0)) {
    }
    std::vector<Message> events = std::move(pendingEvents_);
    pendingEvents_.clear();
    while (auto message = takeMessage()) {
        if ((message->type & kSwayEventBit) != 0)
            events.push_back(std::move(*message));
    }
    return events;
}

}  // namespace tavrel::wayland
