#include "platform/wayland/WaylandWindowServer.h"

#include "platform/wayland/ForeignToplevels.h"

namespace tavrel::wayland {

std::optional<WindowInfoList> WaylandWindowServer::copyWindowInfo(std::uint32_t, std::uint32_t) {
    WindowInfoList list;
    for (const Toplevel* toplevel : toplevels_.byRecentUse()) {
        if (toplevel->minimized)
            continue;
        list.push_back({{kCGWindowLayer, std::int64_t{0}},
                        {kCGWindowOwnerPID, std::int64_t{processIdOf(toplevel->id)}},
                        {kCGWindowNumber, std::int64_t{toplevel->id}},
                        {kCGWindowName, toplevel->title},
                        {kCGWindowOwnerName, toplevel->appId}});
    }
    return list;
}

}  // namespace tavrel::wayland
