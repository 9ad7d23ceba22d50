// The log's own lines, as the end-to-end tests of every desktop expect them.
#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavrel::e2e {

inline const std::string kPressLine = "hotkey: Cmd+Tab";
inline const std::string kShiftPressLine = "hotkey: Cmd+Shift+Tab";
inline const std::string kReleaseLine = "hotkey: Cmd released \u2192 commit";
inline const std::string kTapCreatedLine = "event tap created and enabled";
inline const std::string kTapFailedLine =
    "ERROR: CGEvent.tapCreate returned nil \u2014 Accessibility not granted (or revoked due to "
    "signature change)";

// What a launch of the tested binary logs, up to its tap line.
inline std::vector<std::string> launchLines(pid_t pid, const std::string& tapLine) {
    return {"--- launched pid=" + std::to_string(pid) +
                " bundle=" + std::filesystem::path(TAVREL_PATH).parent_path().string() + " ---",
            "AXIsProcessTrusted=true", "after prompt: AXIsProcessTrusted=true", tapLine};
}

}  // namespace tavrel::e2e
