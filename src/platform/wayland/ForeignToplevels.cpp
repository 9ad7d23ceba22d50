#include "platform/wayland/ForeignToplevels.h"

#include <algorithm>

#include "platform/desktop/ProcessNames.h"
#include "platform/desktop/Utf8Text.h"

namespace tavrel::wayland {
namespace {

Toplevel& toplevelOf(void* data) {
    return *static_cast<Toplevel*>(data);
}

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    toplevelOf(data).pending.title = title != nullptr ? desktop::repairUtf8(title) : "";
}

void onAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
    toplevelOf(data).pending.appId = appId != nullptr ? desktop::repairUtf8(appId) : "";
}

void onOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void onOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}

void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    auto& pending = toplevelOf(data).pending;
    pending.minimized = false;
    pending.activated = false;
    if (states == nullptr || states->data == nullptr)
        return;
    const auto* state = static_cast<const std::uint32_t*>(states->data);
    const std::size_t count = states->size / sizeof(std::uint32_t);
    for (std::size_t i = 0; i < count; ++i) {
        if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)
            pending.minimized = true;
        else if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            pending.activated = true;
    }
}

void onDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
    toplevelOf(data).owner->describe(toplevelOf(data));
}

void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    toplevelOf(data).owner->close(toplevelOf(data));
}

void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener{
    &onTitle, &onAppId, &onOutputEnter, &onOutputLeave, &onState, &onDone, &onClosed, &onParent};

}  // namespace

ForeignToplevels::ForeignToplevels(zwlr_foreign_toplevel_manager_v1* manager) : manager_(manager) {
    static const zwlr_foreign_toplevel_manager_v1_listener listener{&ForeignToplevels::onToplevel,
                                                                    &ForeignToplevels::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &listener, this);
}

ForeignToplevels::~ForeignToplevels() {
    for (const auto& toplevel : toplevels_)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
}

void ForeignToplevels::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                  zwlr_foreign_toplevel_handle_v1* handle) {
    auto& self = *static_cast<ForeignToplevels*>(data);
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->owner = &self;
    toplevel->id = ++self.lastId_;
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, toplevel.get());
    self.recent_.add(toplevel->id);
    self.toplevels_.push_back(std::move(toplevel));
}

void ForeignToplevels::onFinished(void*, zwlr_foreign_toplevel_manager_v1*) {
    // The compositor stops telling of windows; those known stay until they close.
}

void ForeignToplevels::describe(Toplevel& toplevel) {
    const bool first = !toplevel.described;
    toplevel.title = toplevel.pending.title;
    toplevel.appId = toplevel.pending.appId;
    toplevel.minimized = toplevel.pending.minimized;
    toplevel.activated = toplevel.pending.activated;
    toplevel.described = true;
    recent_.setActivated(toplevel.id, toplevel.activated);
    if (first && toplevel.appId.empty() && processWanted_)
        processWanted_();
}

void ForeignToplevels::close(Toplevel& toplevel) {
    recent_.remove(toplevel.id);
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    std::erase_if(toplevels_, [&](const auto& known) { return known.get() == &toplevel; });
}

std::vector<const Toplevel*> ForeignToplevels::byRecentUse() const {
    std::vector<const Toplevel*> windows;
    windows.reserve(toplevels_.size());
    for (const std::uint32_t id : recent_.order()) {
        const Toplevel* toplevel = find(id);
        if (toplevel != nullptr && toplevel->described)
            windows.push_back(toplevel);
    }
    return windows;
}

const Toplevel* ForeignToplevels::find(std::uint32_t id) const {
    return findMutable(id);
}

Toplevel* ForeignToplevels::findMutable(std::uint32_t id) const {
    // Ids are handed out in rising order and the list keeps that order.
    const auto it = std::lower_bound(
        toplevels_.begin(), toplevels_.end(), id,
        [](const auto& known, std::uint32_t wanted) { return known->id < wanted; });
    return it != toplevels_.end() && (*it)->id == id ? it->get() : nullptr;
}

void ForeignToplevels::seed(const std::vector<TreeWindow>& focusOrder) {
    std::vector<std::pair<std::uint32_t, TreeWindow>> known;
    for (const std::uint32_t id : recent_.order()) {
        if (const Toplevel* toplevel = find(id); toplevel != nullptr && toplevel->described)
            known.push_back({id, {toplevel->appId, toplevel->title}});
    }
    recent_.seed(matchFocusOrder(focusOrder, known));
}

void ForeignToplevels::learnProcesses(const std::vector<TreeWindow>& windows) {
    std::vector<std::pair<std::uint32_t, TreeWindow>> unnamed;
    for (const auto& toplevel : toplevels_) {
        if (toplevel->described && toplevel->appId.empty() && toplevel->process.pid == 0)
            unnamed.push_back({toplevel->id, {toplevel->appId, toplevel->title}});
    }
    for (const auto& [id, pid] : matchProcesses(windows, unnamed)) {
        Toplevel* toplevel = findMutable(id);
        if (toplevel == nullptr || pid <= 0)
            continue;
        toplevel->process = {pid, desktop::executableName(pid), desktop::commandName(pid)};
    }
}

void ForeignToplevels::activate(std::uint32_t id, wl_seat* seat) {
    if (const Toplevel* toplevel = find(id); toplevel != nullptr && seat != nullptr)
        zwlr_foreign_toplevel_handle_v1_activate(toplevel->handle, seat);
}

void ForeignToplevels::unsetMinimized(std::uint32_t id) {
    if (const Toplevel* toplevel = find(id))
        zwlr_foreign_toplevel_handle_v1_unset_minimized(toplevel->handle);
}

}  // namespace tavrel::wayland
