#include "platform/wayland/SwayTree.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tavrel::wayland {
namespace {

using Json = nlohmann::json;

// Containers nest one level per split; no real layout comes near this.
constexpr int kMaxDepth = 128;

Json parse(std::string_view text) {
    return Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
}

const Json* member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string stringMember(const Json& object, const char* key) {
    const Json* value = member(object, key);
    return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

bool boolMember(const Json& object, const char* key) {
    const Json* value = member(object, key);
    return value != nullptr && value->is_boolean() && value->get<bool>();
}

std::optional<std::int64_t> idOf(const Json& node) {
    const Json* id = member(node, "id");
    if (id == nullptr || !id->is_number_integer())
        return std::nullopt;
    return id->get<std::int64_t>();
}

std::optional<Rect> rectMember(const Json& object, const char* key) {
    const Json* rect = member(object, key);
    Rect result;
    double* fields[] = {&result.origin.x, &result.origin.y, &result.size.width,
                        &result.size.height};
    const char* names[] = {"x", "y", "width", "height"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const Json* value = rect != nullptr ? member(*rect, names[i]) : nullptr;
        if (value == nullptr || !value->is_number())
            return std::nullopt;
        *fields[i] = value->get<double>();
    }
    if (result.size.width <= 0 || result.size.height <= 0)
        return std::nullopt;
    return result;
}

// A node's children (tiled and floating) in the order the node last focused them; children it
// has not focused follow in their own order.
std::vector<const Json*> childrenByFocus(const Json& node) {
    std::vector<const Json*> children;
    for (const char* key : {"nodes", "floating_nodes"}) {
        const Json* list = member(node, key);
        if (list == nullptr || !list->is_array())
            continue;
        for (const Json& child : *list)
            children.push_back(&child);
    }
    const Json* focus = member(node, "focus");
    if (focus == nullptr || !focus->is_array())
        return children;
    std::vector<const Json*> ordered;
    for (const Json& id : *focus) {
        if (!id.is_number_integer())
            continue;
        const auto it = std::find_if(children.begin(), children.end(), [&](const Json* child) {
            return child != nullptr && idOf(*child) == id.get<std::int64_t>();
        });
        if (it != children.end()) {
            ordered.push_back(*it);
            *it = nullptr;
        }
    }
    for (const Json* child : children) {
        if (child != nullptr)
            ordered.push_back(child);
    }
    return ordered;
}

void collectWindows(const Json& node, int depth, std::vector<TreeWindow>& windows) {
    if (depth > kMaxDepth)
        return;
    // Views carry the shell they were made with; containers and workspaces do not.
    if (member(node, "shell") != nullptr) {
        std::string appId = stringMember(node, "app_id");
        if (appId.empty()) {
            if (const Json* properties = member(node, "window_properties"))
                appId = stringMember(*properties, "class");
        }
        const Json* pid = member(node, "pid");
        const bool ownPid = pid != nullptr && pid->is_number_integer() &&
                            pid->get<std::int64_t>() > 0 && pid->get<std::int64_t>() <= INT32_MAX;
        windows.push_back({std::move(appId), stringMember(node, "name"),
                           ownPid ? static_cast<std::int32_t>(pid->get<std::int64_t>()) : 0});
        return;
    }
    for (const Json* child : childrenByFocus(node))
        collectWindows(*child, depth + 1, windows);
}

}  // namespace

std::vector<TreeWindow> windowsByFocus(std::string_view tree) {
    std::vector<TreeWindow> windows;
    const Json root = parse(tree);
    if (root.is_object())
        collectWindows(root, 0, windows);
    return windows;
}

std::vector<std::uint32_t> matchFocusOrder(
    const std::vector<TreeWindow>& focusOrder,
    const std::vector<std::pair<std::uint32_t, TreeWindow>>& windows) {
    std::vector<std::uint32_t> ids;
    for (const auto& [id, pid] : matchProcesses(focusOrder, windows))
        ids.push_back(id);
    return ids;
}

std::vector<std::pair<std::uint32_t, std::int32_t>> matchProcesses(
    const std::vector<TreeWindow>& focusOrder,
    const std::vector<std::pair<std::uint32_t, TreeWindow>>& windows) {
    std::vector<bool> taken(windows.size(), false);
    std::vector<std::pair<std::uint32_t, std::int32_t>> matched;
    for (const TreeWindow& wanted : focusOrder) {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const TreeWindow& window = windows[i].second;
            if (!taken[i] && window.appId == wanted.appId && window.title == wanted.title) {
                taken[i] = true;
                matched.emplace_back(windows[i].first, wanted.pid);
                break;
            }
        }
    }
    return matched;
}

std::vector<SwayOutput> activeOutputs(std::string_view outputs, std::string_view workspaces) {
    std::vector<SwayOutput> result;
    const Json outputList = parse(outputs);
    const Json workspaceList = parse(workspaces);
    if (!outputList.is_array())
        return result;
    for (const Json& output : outputList) {
        const std::optional<Rect> rect = rectMember(output, "rect");
        const std::string name = stringMember(output, "name");
        if (!boolMember(output, "active") || !rect || name.empty())
            continue;
        SwayOutput described{name, *rect, *rect, boolMember(output, "focused")};
        if (workspaceList.is_array()) {
            for (const Json& workspace : workspaceList) {
                if (stringMember(workspace, "output") != name || !boolMember(workspace, "visible"))
                    continue;
                if (const auto usable = rectMember(workspace, "rect"))
                    described.usableRect = *usable;
                described.focused = described.focused || boolMember(workspace, "focused");
            }
        }
        result.push_back(std::move(described));
    }
    return result;
}

bool subscribed(std::string_view reply) {
    return boolMember(parse(reply), "success");
}

std::optional<std::string> commandError(std::string_view reply) {
    const Json results = parse(reply);
    if (!results.is_array() || results.empty())
        return std::string("sway gave no answer to the command");
    for (const Json& result : results) {
        if (!boolMember(result, "success")) {
            const std::string error = stringMember(result, "error");
            return error.empty() ? std::string("sway refused the command") : error;
        }
    }
    return std::nullopt;
}

std::optional<std::string> bindingCommand(std::string_view event) {
    const Json parsed = parse(event);
    const Json* binding = member(parsed, "binding");
    if (binding == nullptr || stringMember(parsed, "change") != "run")
        return std::nullopt;
    const Json* command = member(*binding, "command");
    if (command == nullptr || !command->is_string())
        return std::nullopt;
    return command->get<std::string>();
}

bool isReload(std::string_view event) {
    return stringMember(parse(event), "change") == "reload";
}

}  // namespace tavrel::wayland
