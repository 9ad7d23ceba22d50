#pragma once
#include <vector>

#include "platform/Application.h"
#include "platform/StatusBar.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

class FakeStatusItem final : public StatusItem {
  public:
    FakeStatusItem(CallLog& log, bool withButton) : button(withButton), log_(log) {}
    bool hasButton() override { return button; }
    void setButtonImage(std::optional<SymbolImage> newImage) override;
    bool buttonHasImage() override { return image.has_value(); }
    void setButtonImageTemplate(bool isTemplate) override;
    void setMenu(std::vector<MenuEntry> entries) override;

    bool button;
    std::optional<SymbolImage> image;
    std::vector<MenuEntry> menu;

  private:
    CallLog& log_;
};

class FakeStatusBar final : public StatusBar {
  public:
    explicit FakeStatusBar(CallLog& log) : log_(log) {}
    std::unique_ptr<StatusItem> statusItemWithLength(double length) override;
    std::optional<SymbolImage> imageWithSystemSymbolName(
        const std::string& name, const std::string& accessibilityDescription) override;

    bool itemsHaveButton = true;
    bool symbolsExist = true;
    FakeStatusItem* last = nullptr;  // not owned

  private:
    CallLog& log_;
};

class FakeApplication final : public Application {
  public:
    explicit FakeApplication(CallLog& log) : log_(log) {}
    void setActivationPolicy(std::int64_t policy) override;
    // Delivers the launch notification, then runs `eventLoop` (the test's script of what
    // happens while the program runs) and returns.
    int run(std::function<void()> didFinishLaunching) override;
    void terminate() override;

    std::function<void()> eventLoop;
    std::function<void()> onTerminate;
    bool terminated = false;

  private:
    CallLog& log_;
};

class FakeWorkspace final : public Workspace {
  public:
    explicit FakeWorkspace(CallLog& log) : log_(log) {}
    std::string accessibilitySettingsLink() override { return link; }
    bool openURL(const std::string& url) override;

    std::string link = "settings://keyboard/shortcuts";
    std::vector<std::string> opened;

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
