#include "platform/desktop/DesktopEntries.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace tavrel::desktop {
namespace {

constexpr std::uintmax_t kMaxEntryBytes = 1 << 20;

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string messagesLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

// The Exec line's program file name: the first word, without quotes or folders.
std::string programOf(const std::string& exec) {
    std::string word;
    std::istringstream(exec) >> word;
    word.erase(std::remove(word.begin(), word.end(), '"'), word.end());
    return std::filesystem::path(word).filename().string();
}

// "Name[de_DE]" for the locale "de_DE.UTF-8@euro" and its shorter forms, best first.
std::vector<std::string> localizedKeys(const std::string& locale) {
    std::string base = locale.substr(0, locale.find_first_of(".@"));
    std::vector<std::string> keys;
    if (base.empty() || base == "C" || base == "POSIX")
        return keys;
    keys.push_back("Name[" + base + "]");
    const auto underscore = base.find('_');
    if (underscore != std::string::npos)
        keys.push_back("Name[" + base.substr(0, underscore) + "]");
    return keys;
}

std::string readFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::file_size(path, error) > kMaxEntryBytes || error)
        return {};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(const std::string& text, const std::string& id,
                                              const std::string& locale) {
    std::map<std::string, std::string> keys;
    bool inMainGroup = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto eq = line.find('=');
        if (!inMainGroup || eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        value.erase(0, value.find_first_not_of(' '));
        keys.emplace(key, value);
    }
    if (keys["Type"] != "Application" || keys["Hidden"] == "true" || keys["Name"].empty())
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.name = keys["Name"];
    for (const auto& key : localizedKeys(locale)) {
        if (!keys[key].empty()) {
            entry.name = keys[key];
            break;
        }
    }
    entry.icon = keys["Icon"];
    entry.startupWMClass = keys["StartupWMClass"];
    entry.executable = programOf(keys["Exec"]);
    return entry;
}

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> dataFolders)
    : folders_(std::move(dataFolders)) {}

std::vector<std::filesystem::path> DesktopEntries::userDataFolders() {
    std::vector<std::filesystem::path> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        folders.emplace_back(home);
    else if (user != nullptr && *user != '\0')
        folders.push_back(std::filesystem::path(user) / ".local/share");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != '\0' ? dirs
                                                             : "/usr/local/share:/usr/share");
    std::string folder;
    while (std::getline(list, folder, ':')) {
        if (!folder.empty())
            folders.emplace_back(folder);
    }
    return folders;
}

void DesktopEntries::load() {
    loaded_ = true;
    const std::string locale = messagesLocale();
    std::set<std::string> seen;
    for (const auto& folder : folders_) {
        const auto applications = folder / "applications";
        std::error_code error;
        auto it = std::filesystem::recursive_directory_iterator(applications, error);
        for (; !error && it != std::filesystem::recursive_directory_iterator();
             it.increment(error)) {
            const auto& path = it->path();
            if (path.extension() != ".desktop" || !it->is_regular_file(error))
                continue;
            std::string id = path.lexically_relative(applications).replace_extension().string();
            std::replace(id.begin(), id.end(), '/', '-');
            if (!seen.insert(id).second)
                continue;  // an earlier folder's entry of that id wins
            if (auto entry = parseDesktopEntry(readFile(path), id, locale))
                entries_.push_back(std::move(*entry));
        }
    }
}

const DesktopEntry* DesktopEntries::match(const std::optional<std::string>& className,
                                          const std::optional<std::string>& instanceName,
                                          const std::string& executable) {
    if (!loaded_)
        load();
    std::vector<std::string> classes;
    for (const auto& name : {className, instanceName}) {
        if (name && !name->empty())
            classes.push_back(lowered(*name));
    }
    const auto byClass = [&](const DesktopEntry& e) {
        const std::string wmClass = lowered(e.startupWMClass);
        const std::string id = lowered(e.id);
        return std::any_of(classes.begin(), classes.end(), [&](const std::string& c) {
            return c == wmClass || c == id || (id.size() > c.size() && id.ends_with("." + c));
        });
    };
    auto found = std::find_if(entries_.begin(), entries_.end(), byClass);
    if (found == entries_.end() && !executable.empty()) {
        const std::string program = lowered(executable);
        found = std::find_if(entries_.begin(), entries_.end(), [&](const DesktopEntry& e) {
            return lowered(e.executable) == program;
        });
    }
    return found == entries_.end() ? nullptr : &*found;
}

}  // namespace tavrel::desktop
