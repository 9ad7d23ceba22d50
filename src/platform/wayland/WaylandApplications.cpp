#include "platform/wayland/WaylandApplications.h"

#include "platform/desktop/DesktopEntries.h"
#include "platform/wayland/ForeignToplevels.h"

namespace tavrel::wayland {
namespace {

// One window's application. Activation is the window's: Wayland has no focused application
// apart from its focused window, so nothing happens here, and the answer says so.
class WaylandRunningApplication final : public RunningApplication {
  public:
    WaylandRunningApplication(WaylandApplications::Facts& facts, const ThemeIconLoader& themeIcons,
                              int iconPixels)
        : facts_(facts), themeIcons_(themeIcons), iconPixels_(iconPixels) {}

    std::optional<std::string> localizedName() override { return facts_.name; }
    Image icon() override {
        if (!facts_.icon) {
            facts_.icon = themeIcons_ && facts_.themeIconName
                              ? themeIcons_(*facts_.themeIconName, iconPixels_)
                              : nullptr;
        }
        return *facts_.icon;
    }
    std::optional<std::string> bundleIdentifier() override { return facts_.bundleIdentifier; }
    bool activateWithOptions(std::uint32_t) override { return false; }

  private:
    WaylandApplications::Facts& facts_;
    const ThemeIconLoader& themeIcons_;
    int iconPixels_;
};

}  // namespace

std::shared_ptr<RunningApplication> WaylandApplications::runningApplicationWithProcessIdentifier(
    std::int32_t pid) {
    const Toplevel* toplevel = toplevels_.find(windowIdOf(pid));
    if (toplevel == nullptr)
        return nullptr;
    return std::make_shared<WaylandRunningApplication>(factsOf(*toplevel), themeIcons_,
                                                       iconPixels_);
}

WaylandApplications::Facts& WaylandApplications::factsOf(const Toplevel& toplevel) {
    const std::string& appId = toplevel.appId;
    // A window without an app_id goes by its process, as an X11 window without a class does.
    // Those are kept apart from the app_ids by a key no app_id has: one that starts with NUL.
    const std::string& executable = toplevel.process.executable;
    const bool byProcess = appId.empty() && !executable.empty();
    const std::string key = byProcess ? std::string(1, '\0') + executable : appId;
    if (const auto known = facts_.find(key); known != facts_.end())
        return known->second;
    Facts facts;
    const desktop::DesktopEntry* entry =
        byProcess ? entries_.match(std::nullopt, std::nullopt, executable)
                  : entries_.match(appId, std::nullopt, "");
    if (entry != nullptr) {
        facts.name = entry->name;
        facts.bundleIdentifier = entry->id;
        if (!entry->icon.empty())
            facts.themeIconName = entry->icon;
    }
    if (!appId.empty()) {
        if (!facts.name)
            facts.name = appId;
        if (!facts.bundleIdentifier)
            facts.bundleIdentifier = appId;
        if (!facts.themeIconName)
            facts.themeIconName = appId;
    }
    if (!facts.name && !toplevel.process.command.empty())
        facts.name = toplevel.process.command;
    return facts_.emplace(key, std::move(facts)).first->second;
}

}  // namespace tavrel::wayland
