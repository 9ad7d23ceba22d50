#include "platform/wayland/WaylandScreens.h"

#include "platform/wayland/SwayIpc.h"

namespace tavrel::wayland {

void WaylandScreens::refresh() {
    const auto outputs = commands_.request(SwayMessage::getOutputs, "");
    const auto workspaces = commands_.request(SwayMessage::getWorkspaces, "");
    if (outputs && workspaces)
        outputs_ = activeOutputs(*outputs, *workspaces);
}

Rect WaylandScreens::toPoints(const Rect& layoutRect) const {
    // The primary output: the one at the layout's origin, else the first.
    double bottom = 0;
    for (const SwayOutput& output : outputs_) {
        if (output.rect.origin.x == 0 && output.rect.origin.y == 0) {
            bottom = output.rect.maxY();
            break;
        }
    }
    if (bottom == 0 && !outputs_.empty())
        bottom = outputs_.front().rect.maxY();
    return {{layoutRect.origin.x, bottom - layoutRect.maxY()}, layoutRect.size};
}

std::vector<Screen> WaylandScreens::screens() {
    std::vector<Screen> result;
    result.reserve(outputs_.size());
    for (const SwayOutput& output : outputs_)
        result.push_back({toPoints(output.rect), toPoints(output.usableRect)});
    return result;
}

const SwayOutput* WaylandScreens::focused() const {
    for (const SwayOutput& output : outputs_) {
        if (output.focused)
            return &output;
    }
    return outputs_.empty() ? nullptr : &outputs_.front();
}

std::optional<Screen> WaylandScreens::mainScreen() {
    const SwayOutput* output = focused();
    if (output == nullptr)
        return std::nullopt;
    return Screen{toPoints(output->rect), toPoints(output->usableRect)};
}

Point WaylandScreens::mouseLocation() {
    const SwayOutput* output = focused();
    if (output == nullptr)
        return {};
    const Rect frame = toPoints(output->rect);
    return {frame.midX(), frame.midY()};
}

const SwayOutput* WaylandScreens::outputAt(Point point) const {
    for (const SwayOutput& output : outputs_) {
        if (toPoints(output.rect).contains(point))
            return &output;
    }
    return nullptr;
}

}  // namespace tavrel::wayland
