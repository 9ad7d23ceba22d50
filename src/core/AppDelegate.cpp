#include "core/AppDelegate.h"

#include <string>

#include "core/HotkeyManager.h"
#include "core/Log.h"
#include "core/SwitcherController.h"
#include "core/URLText.h"
#include "platform/Platform.h"

namespace tavrel {
namespace {

// The two process-wide globals. `delegate` only observes: runApplication() owns the delegate
// for as long as the event loop runs, so it goes before the platform services it uses.
Application* app = nullptr;
AppDelegate* delegate = nullptr;

const char* word(bool value) {
    return value ? "true" : "false";
}

void log(const std::string& message) {
    TavrelLog::shared().line(message);
}

}  // namespace

// Quitting writes out what the log still holds before the process ends.
void terminateApplication() {
    TavrelLog::shared().drain();
    app->terminate();
}

AppDelegate::AppDelegate() = default;
AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    Platform& services = platform();
    log("--- launched pid=" + std::to_string(services.processInfo->processIdentifier()) +
        " bundle=" + services.processInfo->bundlePath() + " ---");
    log(std::string("AXIsProcessTrusted=") + word(services.accessibility->isProcessTrusted()));
    if (!services.accessibility->isProcessTrusted()) {
        services.accessibility->isProcessTrustedWithOptions(true);
    }
    log(std::string("after prompt: AXIsProcessTrusted=") +
        word(services.accessibility->isProcessTrusted()));
    setupStatusItem();
    switcher = std::make_shared<SwitcherController>();
    switcher->preWarm();
    hotkey_ = std::make_unique<HotkeyManager>();
    assignHotkeyCallbacks();
    hotkey_->registerTap();
}

void AppDelegate::assignHotkeyCallbacks() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    hotkey_->onPress = [weak] {
        log("hotkey: Cmd+Tab");
        if (const auto self = weak.lock())
            self->switcher->advance(false);
    };
    hotkey_->onShiftPress = [weak] {
        log("hotkey: Cmd+Shift+Tab");
        if (const auto self = weak.lock())
            self->switcher->advance(true);
    };
    hotkey_->onModifiersReleased = [weak] {
        log("hotkey: Cmd released \u2192 commit");
        if (const auto self = weak.lock())
            self->switcher->commitIfVisible();
    };
}

void AppDelegate::setupStatusItem() {
    StatusBar& bar = *platform().statusBar;
    statusItem_ = bar.statusItemWithLength(NSVariableStatusItemLength);
    if (statusItem_->hasButton()) {
        statusItem_->setButtonImage(
            bar.imageWithSystemSymbolName("rectangle.stack.fill", "tavrel"));
        if (statusItem_->buttonHasImage())
            statusItem_->setButtonImageTemplate(true);
    }
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    auto send = [weak](void (AppDelegate::*action)()) {
        return [weak, action] {
            if (const auto self = weak.lock())
                ((*self).*action)();
        };
    };
    std::vector<MenuEntry> menu;
    menu.push_back({MenuEntry::Kind::item, "Show Switcher", "", send(&AppDelegate::showSwitcher)});
    menu.push_back({MenuEntry::Kind::separator, "", "", {}});
    menu.push_back({MenuEntry::Kind::item, "Open Accessibility Settings\u2026", "",
                    send(&AppDelegate::openAccessibility)});
    menu.push_back({MenuEntry::Kind::separator, "", "", {}});
    menu.push_back({MenuEntry::Kind::item, "Quit tavrel", "q", terminateApplication});
    statusItem_->setMenu(std::move(menu));
}

void AppDelegate::showSwitcher() {
    switcher->advance(false);
    switcher->commitIfVisible();
}

void AppDelegate::openAccessibility() {
    Workspace& workspace = *platform().workspace;
    const std::string link = workspace.accessibilitySettingsLink();
    if (!isParsableURL(link))
        return;
    workspace.openURL(link);
}

int runApplication() {
    app = platform().application;
    const auto owner = std::make_shared<AppDelegate>();
    delegate = owner.get();
    app->setActivationPolicy(NSApplicationActivationPolicyAccessory);
    app->run([] { delegate->applicationDidFinishLaunching(); });
    delegate = nullptr;
    return 0;
}

}  // namespace tavrel
