#pragma once
#include "platform/FileLocations.h"

namespace tavrel::qt {

// Logs are state, not configuration: $XDG_STATE_HOME/tavrel, by default ~/.local/state/tavrel.
class QtFileLocations final : public FileLocations {
  public:
    std::filesystem::path userLogsFolder() override;
};

}  // namespace tavrel::qt
