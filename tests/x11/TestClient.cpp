#include "TestClient.h"

namespace tavrel::x11::test {

TestClient::TestClient(const std::string& display) : process_({TAVREL_TESTCLIENT_PATH}, display) {}

std::string TestClient::command(const std::string& line) {
    process_.write(line);
    while (auto answer = process_.readLine()) {
        if (answer->rfind("key ", 0) == 0 || answer->rfind("focus ", 0) == 0) {
            events.push_back(*answer);
            continue;
        }
        return *answer;
    }
    return {};
}

bool TestClient::awaitEvent(const std::string& line) {
    return readEventsUntil(line, 5000);
}

bool TestClient::pollEvent(const std::string& line) {
    return readEventsUntil(line, 0);
}

bool TestClient::readEventsUntil(const std::string& line, int timeoutMs) {
    while (auto answer = process_.readLine(timeoutMs)) {
        events.push_back(*answer);
        if (*answer == line)
            return true;
    }
    return false;
}

xcb_window_t TestClient::window(const std::string& options) {
    const std::string answer = command("window " + options);
    if (answer.rfind("window ", 0) != 0)
        return XCB_WINDOW_NONE;
    return static_cast<xcb_window_t>(std::stoul(answer.substr(7)));
}

}  // namespace tavrel::x11::test
