#include "platform/fake/FakeAccessibility.h"

#include <algorithm>

namespace tavrel::fake {
namespace {
std::string describe(const AXElement& e) {
    return e.kind == AXElement::Kind::application ? "app " + std::to_string(e.pid)
                                                  : "window " + std::to_string(e.window);
}
}  // namespace

AXElement FakeAccessibility::createApplication(std::int32_t pid) {
    log_.record("AXUIElementCreateApplication " + std::to_string(pid));
    return {AXElement::Kind::application, pid, 0};
}

FakeAXWindow* FakeAccessibility::window(std::int32_t pid, std::uint64_t id) {
    const auto app = apps.find(pid);
    if (app == apps.end())
        return nullptr;
    for (auto& w : app->second.windows) {
        if (w.id == id)
            return &w;
    }
    return nullptr;
}

AXError FakeAccessibility::copyAttributeValue(const AXElement& element,
                                              const std::string& attribute, Value& value) {
    log_.record("copy " + describe(element) + " " + attribute);
    if (element.kind == AXElement::Kind::application) {
        const auto app = apps.find(element.pid);
        if (app == apps.end() || attribute != kAXWindowsAttribute)
            return kAXErrorCannotComplete;
        if (app->second.windowsResult != kAXErrorSuccess)
            return app->second.windowsResult;
        if (app->second.windowsValue) {
            value = *app->second.windowsValue;
            return kAXErrorSuccess;
        }
        ElementList list;
        for (const auto& w : app->second.windows) {
            list.push_back({AXElement::Kind::window, element.pid, w.id});
        }
        value = list;
        return kAXErrorSuccess;
    }
    const FakeAXWindow* w = window(element.pid, element.window);
    if (w == nullptr)
        return kAXErrorCannotComplete;
    if (attribute == kAXTitleAttribute) {
        value = w->title;
        return w->titleResult;
    }
    if (attribute == kAXMinimizedAttribute) {
        value = w->minimized;
        return kAXErrorSuccess;
    }
    if (attribute == kAXMainAttribute) {
        value = w->main;
        return kAXErrorSuccess;
    }
    return kAXErrorAttributeUnsupported;
}

AXError FakeAccessibility::setAttributeValue(const AXElement& element, const std::string& attribute,
                                             const Value& value) {
    const auto b = valueAsBool(value);
    log_.record("set " + describe(element) + " " + attribute + "=" +
                (b ? (*b ? "true" : "false") : "?"));
    FakeAXWindow* w = window(element.pid, element.window);
    if (w == nullptr || !b)
        return kAXErrorCannotComplete;
    if (attribute == kAXMinimizedAttribute)
        w->minimized = *b;
    if (attribute == kAXMainAttribute) {
        if (!w->mainSettable)
            return kAXErrorCannotComplete;
        w->main = *b;
    }
    return kAXErrorSuccess;
}

AXError FakeAccessibility::performAction(const AXElement& element, const std::string& action) {
    log_.record("perform " + describe(element) + " " + action);
    FakeAXWindow* w = window(element.pid, element.window);
    if (w == nullptr || action != kAXRaiseAction)
        return kAXErrorCannotComplete;
    w->raised = true;
    return kAXErrorSuccess;
}

AXError FakeAccessibility::isAttributeSettable(const AXElement& element,
                                               const std::string& attribute, bool& settable) {
    log_.record("settable? " + describe(element) + " " + attribute);
    const FakeAXWindow* w = window(element.pid, element.window);
    if (w == nullptr)
        return kAXErrorCannotComplete;
    settable = attribute == kAXMainAttribute && w->mainSettable;
    return w->settableResult;
}

bool FakeAccessibility::isProcessTrusted() {
    log_.record("AXIsProcessTrusted");
    const std::size_t i = std::min<std::size_t>(trustQueries++, trustAnswers.size() - 1);
    return trustAnswers[i];
}

bool FakeAccessibility::isProcessTrustedWithOptions(bool prompt) {
    log_.record(std::string("AXIsProcessTrustedWithOptions prompt=") + (prompt ? "true" : "false"));
    ++prompts;
    return trustAnswers.back();
}

}  // namespace tavrel::fake
