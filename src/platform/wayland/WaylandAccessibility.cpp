#include "platform/wayland/WaylandAccessibility.h"

#include <string_view>

#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/WaylandConnection.h"

namespace tavrel::wayland {
namespace {

std::uint32_t windowIdOf(const AXElement& element) {
    if (element.kind == AXElement::Kind::application)
        return wayland::windowIdOf(element.pid);
    return element.window <= UINT32_MAX ? static_cast<std::uint32_t>(element.window) : 0;
}

}  // namespace

AXElement WaylandAccessibility::createApplication(std::int32_t pid) {
    return {AXElement::Kind::application, pid, 0};
}

AXError WaylandAccessibility::copyAttributeValue(const AXElement& element,
                                                 const std::string& attribute, Value& value) {
    const Toplevel* toplevel = toplevels_.find(windowIdOf(element));
    if (toplevel == nullptr)
        return kAXErrorCannotComplete;
    const std::string_view name(attribute);
    if (element.kind == AXElement::Kind::application) {
        if (name != kAXWindowsAttribute)
            return kAXErrorAttributeUnsupported;
        value = ElementList{{AXElement::Kind::window, element.pid, toplevel->id}};
        return kAXErrorSuccess;
    }
    if (name == kAXTitleAttribute) {
        value = toplevel->title;
    } else if (name == kAXMinimizedAttribute) {
        value = toplevel->minimized;
    } else if (name == kAXMainAttribute) {
        value = toplevel->activated;
    } else {
        return kAXErrorAttributeUnsupported;
    }
    return kAXErrorSuccess;
}

AXError WaylandAccessibility::setAttributeValue(const AXElement& element,
                                                const std::string& attribute, const Value& value) {
    const std::uint32_t id = windowIdOf(element);
    if (element.kind != AXElement::Kind::window || toplevels_.find(id) == nullptr)
        return kAXErrorCannotComplete;
    if (std::string_view(attribute) != kAXMinimizedAttribute || valueAsBool(value) != false)
        return kAXErrorAttributeUnsupported;
    toplevels_.unsetMinimized(id);
    connection_.flush();
    return kAXErrorSuccess;
}

AXError WaylandAccessibility::performAction(const AXElement& element, const std::string& action) {
    const std::uint32_t id = windowIdOf(element);
    if (element.kind != AXElement::Kind::window || toplevels_.find(id) == nullptr)
        return kAXErrorCannotComplete;
    if (std::string_view(action) != kAXRaiseAction)
        return kAXErrorAttributeUnsupported;
    toplevels_.activate(id, connection_.seat());
    connection_.flush();
    return kAXErrorSuccess;
}

AXError WaylandAccessibility::isAttributeSettable(const AXElement& element,
                                                  const std::string& attribute, bool& settable) {
    settable = false;
    if (toplevels_.find(windowIdOf(element)) == nullptr)
        return kAXErrorCannotComplete;
    // Raising has activated the window already; there is no main window apart from that.
    settable = element.kind == AXElement::Kind::window &&
               std::string_view(attribute) == kAXMinimizedAttribute;
    return kAXErrorSuccess;
}

}  // namespace tavrel::wayland
