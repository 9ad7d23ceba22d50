#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Geometry.h"

namespace tavrel::wayland {

// What sway's IPC answers, read defensively: anything missing or of the wrong kind is left
// out, never trusted.

// A window of sway's tree, by what the window list also knows of it, and its process.
struct TreeWindow {
    std::string appId;  // the Wayland app_id, else the X11 window class
    std::string title;
    std::int32_t pid = 0;  // 0 when sway tells none
    friend bool operator==(const TreeWindow&, const TreeWindow&) = default;
};

// The windows of a GET_TREE reply in the order sway focused them, most recent first: the
// focused output's focused workspace first, each container's children in its focus order.
std::vector<TreeWindow> windowsByFocus(std::string_view tree);

// Matches windows of the list (ids with what they show) to the tree's focus order by app_id and
// title; answers the ids of the matched ones in that order. Equal windows match in the order
// given.
std::vector<std::uint32_t> matchFocusOrder(
    const std::vector<TreeWindow>& focusOrder,
    const std::vector<std::pair<std::uint32_t, TreeWindow>>& windows);
// The same matching, answering each matched window's id with its process in the tree.
std::vector<std::pair<std::uint32_t, std::int32_t>> matchProcesses(
    const std::vector<TreeWindow>& focusOrder,
    const std::vector<std::pair<std::uint32_t, TreeWindow>>& windows);

// One output in sway's layout coordinates (logical pixels, y down, origin at the top-left).
struct SwayOutput {
    std::string name;
    Rect rect;        // y down here
    Rect usableRect;  // without the bars' exclusive zones: its visible workspace's rectangle
    bool focused = false;
    friend bool operator==(const SwayOutput&, const SwayOutput&) = default;
};

// The active outputs from GET_OUTPUTS and GET_WORKSPACES replies.
std::vector<SwayOutput> activeOutputs(std::string_view outputs, std::string_view workspaces);

// Whether a SUBSCRIBE reply says yes.
bool subscribed(std::string_view reply);

// The error of a RUN_COMMAND reply, or nothing when every command succeeded.
std::optional<std::string> commandError(std::string_view reply);

// The command of a binding event ("nop tavrel-switch"), if it is one.
std::optional<std::string> bindingCommand(std::string_view event);

// Whether a workspace event tells of a configuration reload.
bool isReload(std::string_view event);

}  // namespace tavrel::wayland
