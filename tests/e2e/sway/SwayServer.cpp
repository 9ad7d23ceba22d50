#include "SwayServer.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace tavrel::e2e {
namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kRecheckMs = 5;

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string configuration(const SwayServer::Options& options, const std::filesystem::path& ready) {
    std::ostringstream config;
    config << "output HEADLESS-1 mode " << kSwayWidth << "x" << kSwayHeight << "@"
           << options.refreshHz << "Hz\n"
           << "xwayland disable\n"
           << "default_border none\n"
           << "default_floating_border none\n"
           << "focus_follows_mouse no\n"
           << "mouse_warping none\n";
    for (const std::string& line : options.config)
        config << line << "\n";
    // sway runs this once it serves clients, with its sockets in the environment.
    config << "exec sh -c 'printf \"%s\\n%s\\n\" \"$WAYLAND_DISPLAY\" \"$SWAYSOCK\" > " << ready
           << ".part && mv " << ready << ".part " << ready << "'\n";
    return config.str();
}

}  // namespace

SwayServer::SwayServer(const Options& options) {
    const std::filesystem::path folder = runtime_.path();
    const std::filesystem::path ready = folder / "ready";
    const std::filesystem::path config = folder / "config";
    std::ofstream(config) << configuration(options, ready);
    std::vector<std::string> argv = onlyOnDesktop(
        {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "XDG_RUNTIME_DIR=" + folder.string()});
    argv.insert(argv.end(), {"sh", "-c", "exec \"$@\" 2>\"$0\"", (folder / "sway.log").string()});
    if (geteuid() == 0) {
        for (const char* word : {"unshare", "--user", "--map-user=1000", "--map-group=1000"})
            argv.push_back(word);
    }
    argv.insert(argv.end(), {"sway", "-c", config.string()});
    process_ = std::make_unique<x11::test::ChildProcess>(argv, "");

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!std::filesystem::exists(ready) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(kRecheckMs));
    std::istringstream sockets(readFile(ready));
    std::getline(sockets, waylandName_);
    std::getline(sockets, ipcSocket_);
    if (waylandName_.empty() || ipcSocket_.empty()) {
        failure_ = "sway did not come up; its log:\n" + log();
        return;
    }
    wayland_ = (folder / waylandName_).string();
    ipc_ = std::make_unique<SwayIpc>(ipcSocket_);
    if (!ipc_->connected())
        failure_ = "sway's IPC socket takes no connection";
}

SwayServer::~SwayServer() {
    ipc_.reset();
    process_.reset();
}

std::vector<std::string> SwayServer::environment() const {
    return {"WAYLAND_DISPLAY=" + waylandName_, "SWAYSOCK=" + ipcSocket_,
            "XDG_RUNTIME_DIR=" + runtime_.path().string()};
}

std::string SwayServer::log() const {
    return readFile(runtime_.path() / "sway.log");
}

}  // namespace tavrel::e2e
