#include "core/WindowActivator.h"

#include <algorithm>
#include <optional>

#include "core/CanonicalText.h"
#include "platform/Platform.h"

namespace tavrel::WindowActivator {
namespace {

// Only a returned value counts: a read that fails yet answers is still an answer.
Value attribute(const AXElement& element, const char* name) {
    Value value;
    platform().accessibility->copyAttributeValue(element, name, value);
    return value;
}

// The application's windows front to back; nothing when they cannot be had.
std::optional<ElementList> windowsOf(const AXElement& application) {
    Value value;
    if (platform().accessibility->copyAttributeValue(application, kAXWindowsAttribute, value) !=
        kAXErrorSuccess) {
        return std::nullopt;
    }
    const ElementList* windows = valueAsElements(value);
    if (windows == nullptr || windows->empty())
        return std::nullopt;
    return *windows;
}

bool titled(const AXElement& window, const std::string& title) {
    const Value value = attribute(window, kAXTitleAttribute);
    const std::string* candidate = valueAsString(value);
    return candidate != nullptr && canonicallyEqual(*candidate, title);
}

// The first window titled like the entry; the front-most one when none is. A window that
// renamed itself since it was listed (a terminal running a command, a page loading) is
// still the one the user chose, whatever its title has become.
const AXElement& chooseWindow(const ElementList& windows, const WindowEntry& entry) {
    const auto listed = std::find_if(windows.begin(), windows.end(), [&](const AXElement& w) {
        return w.window == entry.cgWindowID;
    });
    if (listed != windows.end() && !titled(*listed, entry.title))
        return *listed;
    for (const AXElement& window : windows) {
        if (titled(window, entry.title))
            return window;
    }
    return windows.front();
}

void unminimise(const AXElement& window) {
    if (valueAsBool(attribute(window, kAXMinimizedAttribute)) == true)
        platform().accessibility->setAttributeValue(window, kAXMinimizedAttribute, false);
}

void makeMain(const AXElement& window) {
    bool settable = false;
    if (platform().accessibility->isAttributeSettable(window, kAXMainAttribute, settable) ==
            kAXErrorSuccess &&
        settable) {
        platform().accessibility->setAttributeValue(window, kAXMainAttribute, true);
    }
}

}  // namespace

void activate(const WindowEntry& entry) {
    const auto application =
        platform().runningApplications->runningApplicationWithProcessIdentifier(entry.pid);
    if (!application)
        return;
    application->activateWithOptions(NSApplicationActivateIgnoringOtherApps);
    const std::optional<ElementList> windows =
        windowsOf(platform().accessibility->createApplication(entry.pid));
    if (!windows)
        return;
    const AXElement& window = chooseWindow(*windows, entry);
    unminimise(window);
    platform().accessibility->performAction(window, kAXRaiseAction);
    makeMain(window);
}

}  // namespace tavrel::WindowActivator
