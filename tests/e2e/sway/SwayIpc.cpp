#include "SwayIpc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <chrono>
#include <cstring>

namespace tavrel::e2e {
namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 8;
constexpr int kReplyTimeoutMs = 10000;
// A reply larger than this is not sway's (300 windows make about a megabyte of tree).
constexpr std::uint32_t kLargestReply = 64u << 20;

using Clock = std::chrono::steady_clock;

void collectViews(const QJsonObject& node, std::vector<SwayView>& into) {
    const std::string type = node["type"].toString().toStdString();
    if ((type == "con" || type == "floating_con") && node.contains("pid") &&
        node["nodes"].toArray().isEmpty()) {
        into.push_back({node["id"].toInteger(), node["pid"].toInteger(),
                        node["name"].toString().toStdString(),
                        node["app_id"].toString().toStdString(), node["focused"].toBool()});
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node[children].toArray())
            collectViews(child.toObject(), into);
    }
}

}  // namespace

SwayIpc::SwayIpc(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

SwayIpc::~SwayIpc() {
    if (fd_ >= 0)
        close(fd_);
}

bool SwayIpc::send(std::uint32_t type, const std::string& payload) {
    std::string message(kMagic, sizeof kMagic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    message += payload;
    std::size_t done = 0;
    while (fd_ >= 0 && done < message.size()) {
        const ssize_t n = ::send(fd_, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool SwayIpc::readExactly(char* into, std::size_t size, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        if (left < 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        const ssize_t n = read(fd_, into + done, size - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<SwayIpc::Message> SwayIpc::receive(int timeoutMs) {
    char header[kHeaderSize];
    if (fd_ < 0 || !readExactly(header, kHeaderSize, timeoutMs) ||
        std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    std::uint32_t length = 0;
    Message message;
    std::memcpy(&length, header + sizeof kMagic, 4);
    std::memcpy(&message.type, header + sizeof kMagic + 4, 4);
    if (length > kLargestReply)
        return std::nullopt;
    QByteArray body(static_cast<qsizetype>(length), '\0');
    // Once a message has begun, the rest of it is on its way.
    if (!readExactly(body.data(), length, kReplyTimeoutMs))
        return std::nullopt;
    message.document = QJsonDocument::fromJson(body);
    return message;
}

std::optional<QJsonDocument> SwayIpc::request(std::uint32_t type, const std::string& payload) {
    if (!send(type, payload))
        return std::nullopt;
    // Events that were under way before the reply are not this caller's: a connection that
    // subscribes asks for nothing else but ticks.
    while (auto message = receive(kReplyTimeoutMs)) {
        if (message->type == type)
            return message->document;
    }
    return std::nullopt;
}

bool SwayIpc::command(const std::string& commands) {
    const auto reply = request(kRunCommand, commands);
    if (!reply || !reply->isArray() || reply->array().isEmpty())
        return false;
    for (const QJsonValue result : reply->array()) {
        if (!result["success"].toBool())
            return false;
    }
    return true;
}

QJsonObject SwayIpc::tree() {
    return request(kGetTree).value_or(QJsonDocument()).object();
}

bool SwayIpc::subscribe(const std::vector<std::string>& events) {
    QJsonArray names;
    for (const std::string& e : events)
        names.append(QString::fromStdString(e));
    const auto reply = request(kSubscribe, QJsonDocument(names).toJson().toStdString());
    return reply && reply->object()["success"].toBool();
}

std::optional<SwayIpc::Message> SwayIpc::event(int timeoutMs) {
    return receive(timeoutMs);
}

std::vector<SwayView> views(const QJsonObject& tree) {
    std::vector<SwayView> found;
    collectViews(tree, found);
    return found;
}

}  // namespace tavrel::e2e
