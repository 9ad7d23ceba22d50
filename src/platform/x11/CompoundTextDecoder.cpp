#include "platform/x11/CompoundTextDecoder.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

namespace tavrel::x11 {
namespace {

int ignoreProtocolError(Display*, XErrorEvent*) {
    return 0;
}

// Xlib's I/O error handlers are process-wide and its default one ends the process. Ours
// returns for the conversion display (Xlib then calls its exit handler, which does
// nothing) and leaves every other display to the handler that was there before.
std::vector<Display*>& conversionDisplays() {
    static std::vector<Display*> displays;
    return displays;
}
XIOErrorHandler previousIOErrorHandler = nullptr;

int survivingIOError(Display* display) {
    const auto& ours = conversionDisplays();
    if (std::find(ours.begin(), ours.end(), display) != ours.end())
        return 0;
    // Without a previous handler, the display's own exit handler decides.
    return previousIOErrorHandler != nullptr ? previousIOErrorHandler(display) : 0;
}

void keepRunningWithoutServer(Display*, void*) {}

}  // namespace

std::unique_ptr<CompoundTextDecoder> CompoundTextDecoder::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr)
        return nullptr;
    XSetErrorHandler(ignoreProtocolError);
    XSetIOErrorExitHandler(display, keepRunningWithoutServer, nullptr);
    conversionDisplays().push_back(display);
    const XIOErrorHandler previous = XSetIOErrorHandler(survivingIOError);
    if (previous != survivingIOError)
        previousIOErrorHandler = previous;
    // Xlib interns these on every conversion; asking once fills its cache so that a
    // conversion later never needs the server.
    XInternAtom(display, "UTF8_STRING", False);
    return std::unique_ptr<CompoundTextDecoder>(new CompoundTextDecoder(display));
}

CompoundTextDecoder::CompoundTextDecoder(Display* display)
    : display_(display), compoundTextAtom_(XInternAtom(display, "COMPOUND_TEXT", False)) {}

CompoundTextDecoder::~CompoundTextDecoder() {
    XCloseDisplay(display_);
    auto& ours = conversionDisplays();
    ours.erase(std::remove(ours.begin(), ours.end(), display_), ours.end());
}

std::optional<std::string> CompoundTextDecoder::decode(std::string_view compoundText) const {
    if (compoundTextAtom_ == None)
        return std::nullopt;
    std::vector<unsigned char> bytes(compoundText.begin(), compoundText.end());
    bytes.push_back(0);
    XTextProperty property{};
    property.value = bytes.data();
    property.encoding = compoundTextAtom_;
    property.format = 8;
    property.nitems = compoundText.size();
    char** list = nullptr;
    int count = 0;
    const int status = Xutf8TextPropertyToTextList(display_, &property, &list, &count);
    if (status < Success || list == nullptr)
        return std::nullopt;
    std::optional<std::string> first;
    if (count > 0 && list[0] != nullptr)
        first = std::string(list[0]);
    XFreeStringList(list);
    return first;
}

}  // namespace tavrel::x11
