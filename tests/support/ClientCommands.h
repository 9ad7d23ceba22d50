// What the scriptable test clients share: percent-encoded text, "key=value" options, and a
// loop that runs one command per line of standard input while the client's own display
// connection is served in between.
#pragma once
#include <poll.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>

namespace tavrel::test {

inline std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

using Options = std::map<std::string, std::string>;

// The rest of a command line's "key=value" words, values percent-decoded.
inline Options parseOptions(std::istringstream& in) {
    Options options;
    std::string token;
    while (in >> token) {
        const auto eq = token.find('=');
        if (eq != std::string::npos)
            options[token.substr(0, eq)] = percentDecode(token.substr(eq + 1));
    }
    return options;
}

inline std::string option(const Options& o, const std::string& key, const std::string& fallback) {
    const auto it = o.find(key);
    return it == o.end() ? fallback : it->second;
}

// Runs `runCommand(line)` for each line of standard input until it answers false or the input
// ends (then 0), serving the display connection on `displayFd` through `serve` before every
// wait; `serve` answers false when the connection is lost (then 1).
template <typename Serve, typename Run>
int commandLoop(int displayFd, Serve serve, Run runCommand) {
    std::string pending;
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {displayFd, POLLIN, 0}};
    for (;;) {
        if (!serve())
            return 1;
        if (poll(fds, 2, -1) < 0 || (fds[0].revents & (POLLIN | POLLHUP)) == 0)
            continue;
        char buffer[65536];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            return 0;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!runCommand(line))
                return 0;
        }
    }
}

}  // namespace tavrel::test
