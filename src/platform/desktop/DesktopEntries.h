#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavrel::desktop {

// What the switcher uses of one application's desktop entry.
struct DesktopEntry {
    std::string id;  // the file's path below applications/, '/' as '-', without .desktop
    std::string name;
    std::string icon;
    std::string startupWMClass;
    std::string executable;  // the Exec program's file name
};

// The installed applications' desktop entries, read once on first use, earlier XDG data
// folders overriding later ones.
class DesktopEntries {
  public:
    // The folders are the XDG data folders (each holding applications/).
    explicit DesktopEntries(std::vector<std::filesystem::path> dataFolders);
    // The user's data folders, from the XDG environment variables.
    static std::vector<std::filesystem::path> userDataFolders();

    // The entry of an application by its window class (StartupWMClass, else the entry id),
    // else by its executable's file name. Matching ignores case.
    const DesktopEntry* match(const std::optional<std::string>& className,
                              const std::optional<std::string>& instanceName,
                              const std::string& executable);

  private:
    void load();
    std::vector<std::filesystem::path> folders_;
    std::vector<DesktopEntry> entries_;
    bool loaded_ = false;
};

// The entry in a desktop file's text, if it describes a shown application; its locale
// is LC_MESSAGES-style ("de_DE.UTF-8"), or empty.
std::optional<DesktopEntry> parseDesktopEntry(const std::string& text, const std::string& id,
                                              const std::string& locale);

}  // namespace tavrel::desktop
