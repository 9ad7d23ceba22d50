#include "WaylandClient.h"

#include "TavrelProcess.h"

namespace tavrel::e2e {
namespace {

std::vector<std::string> commandLine(const std::vector<std::string>& environment) {
    std::vector<std::string> argv = onlyOnDesktop(environment);
    argv.push_back(TAVREL_WAYLANDCLIENT_PATH);
    return argv;
}

}  // namespace

WaylandClient::WaylandClient(const std::vector<std::string>& environment)
    : process_(commandLine(environment), "") {}

std::string WaylandClient::command(const std::string& line) {
    process_.write(line);
    return process_.readLine().value_or("");
}

int WaylandClient::window(const std::string& options) {
    const std::string answer = command("window " + options);
    return answer.rfind("window ", 0) == 0 ? std::stoi(answer.substr(7)) : 0;
}

}  // namespace tavrel::e2e
