#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/WindowEntry.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel::scripted {

// One on-screen window of its own application (one process per window).
struct ScriptedWindow {
    std::uint32_t id;
    std::string app;
    std::string title;
};

// Process ids of their own: the application cache lives as long as the test binary, so a
// window number always comes with the same application name.
inline std::int32_t pidOf(std::uint32_t id) {
    return 740000 + static_cast<std::int32_t>(id);
}

// E0 Browser / Start page, E1 Shell / zsh, E2 Mail / Inbox, E3 Editor / notes.txt.
inline const std::vector<ScriptedWindow> kFourWindows = {{11, "Browser", "Start page"},
                                                         {12, "Shell", "zsh"},
                                                         {13, "Mail", "Inbox"},
                                                         {14, "Editor", "notes.txt"}};

inline std::vector<ScriptedWindow> numberedWindows(std::uint32_t count) {
    std::vector<ScriptedWindow> windows;
    for (std::uint32_t i = 0; i < count; ++i)
        windows.push_back({1000 + i, "App" + std::to_string(i), "Window " + std::to_string(i)});
    return windows;
}

// What the window server lists and which applications run, front-most first.
inline void showWindows(fake::FakePlatform& platform, const std::vector<ScriptedWindow>& windows) {
    WindowInfoList list;
    for (const ScriptedWindow& w : windows) {
        const std::int32_t pid = pidOf(w.id);
        list.push_back({{kCGWindowLayer, std::int64_t{0}},
                        {kCGWindowOwnerPID, std::int64_t{pid}},
                        {kCGWindowNumber, std::int64_t{w.id}},
                        {kCGWindowName, w.title},
                        {kCGWindowOwnerName, w.app}});
        platform.runningApplications.apps[pid] = {w.app, nullptr, std::nullopt};
    }
    platform.windowServer.windows = list;
}

inline std::vector<WindowEntry> entriesOf(const std::vector<ScriptedWindow>& windows) {
    std::vector<WindowEntry> entries;
    for (const ScriptedWindow& w : windows)
        entries.push_back({w.id, pidOf(w.id), w.app, nullptr, w.title, std::nullopt});
    return entries;
}

// The applications brought forward, in order, by name.
inline std::vector<std::string> activatedApps(const fake::FakePlatform& platform) {
    std::vector<std::string> apps;
    const std::string prefix = "activate pid=";
    for (const std::string& call : platform.calls.calls()) {
        if (call.rfind(prefix, 0) != 0)
            continue;
        const std::int32_t pid = std::stoi(call.substr(prefix.size()));
        const auto app = platform.runningApplications.apps.find(pid);
        apps.push_back(app == platform.runningApplications.apps.end()
                           ? "?"
                           : app->second.localizedName.value_or("?"));
    }
    return apps;
}

}  // namespace tavrel::scripted
