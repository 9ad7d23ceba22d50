// A keyboard and a pointer for scripts on a Wayland compositor (the demo's hands), connected
// once and kept for the whole run. Commands come from standard input, one per line; each
// answers "ok" once the compositor has handled it, "failed" otherwise.
//
//   press KEY / release KEY / tap KEY   keysym names: Super_L, Tab, Escape, a, ...
//   type TEXT                           lower-case letters, digits; %20 is a space
//   move X Y / click X Y                pointer, in the output layout's pixels
//   quit
// Usage: tavrel-virtualinput [WIDTHxHEIGHT]  (the output layout's size, 1920x1080 unless given)
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "ClientCommands.h"
#include "VirtualSeat.h"

int main(int argc, char** argv) {
    int width = 1920;
    int height = 1080;
    if (argc > 1 && std::sscanf(argv[1], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "usage: tavrel-virtualinput [WIDTHxHEIGHT]\n");
        return 2;
    }
    const char* display = std::getenv("WAYLAND_DISPLAY");
    tavrel::e2e::VirtualSeat seat(display ? display : "wayland-0", width, height);
    if (!seat.failure().empty()) {
        std::fprintf(stderr, "tavrel-virtualinput: %s\n", seat.failure().c_str());
        return 1;
    }
    auto run = [&](const std::string& line) {
        std::istringstream in(line);
        std::string command, argument;
        in >> command >> argument;
        bool done = true;
        int x = 0;
        int y = 0;
        if (command == "quit")
            return false;
        if (command == "press") {
            done = seat.press(argument);
        } else if (command == "release") {
            done = seat.release(argument);
        } else if (command == "tap") {
            done = seat.tap(argument);
        } else if (command == "type") {
            done = seat.type(tavrel::test::percentDecode(argument));
        } else if ((command == "move" || command == "click") &&
                   std::istringstream(line.substr(command.size())) >> x >> y) {
            command == "move" ? seat.movePointer(x, y) : seat.click(x, y);
        } else {
            done = false;
        }
        std::printf("%s\n", done && seat.sync() ? "ok" : "failed");
        std::fflush(stdout);
        return true;
    };
    // Nothing comes from the compositor that needs an answer between commands.
    return tavrel::test::commandLoop(
        -1, [] { return true; }, run);
}
