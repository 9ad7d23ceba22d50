#include "platform/fake/FakeShell.h"

namespace tavrel::fake {

void FakeStatusItem::setButtonImage(std::optional<SymbolImage> newImage) {
    log_.record("setButtonImage");
    image = std::move(newImage);
}

void FakeStatusItem::setButtonImageTemplate(bool isTemplate) {
    log_.record(std::string("setTemplate ") + (isTemplate ? "true" : "false"));
    if (image)
        image->isTemplate = isTemplate;
}

void FakeStatusItem::setMenu(std::vector<MenuEntry> entries) {
    log_.record("setMenu");
    menu = std::move(entries);
}

std::unique_ptr<StatusItem> FakeStatusBar::statusItemWithLength(double length) {
    log_.record("statusItemWithLength " + std::to_string(static_cast<int>(length)));
    auto item = std::make_unique<FakeStatusItem>(log_, itemsHaveButton);
    last = item.get();
    return item;
}

std::optional<SymbolImage> FakeStatusBar::imageWithSystemSymbolName(
    const std::string& name, const std::string& accessibilityDescription) {
    log_.record("imageWithSystemSymbolName " + name + " " + accessibilityDescription);
    if (!symbolsExist)
        return std::nullopt;
    return SymbolImage{name, accessibilityDescription, false};
}

void FakeApplication::setActivationPolicy(std::int64_t policy) {
    log_.record("setActivationPolicy " + std::to_string(policy));
}

int FakeApplication::run(std::function<void()> didFinishLaunching) {
    log_.record("run");
    if (didFinishLaunching) {
        didFinishLaunching();
    }
    if (eventLoop) {
        eventLoop();
    }
    return 0;
}

void FakeApplication::terminate() {
    log_.record("terminate");
    terminated = true;
    if (onTerminate)
        onTerminate();
}

bool FakeWorkspace::openURL(const std::string& url) {
    log_.record("openURL " + url);
    opened.push_back(url);
    return true;
}

}  // namespace tavrel::fake
