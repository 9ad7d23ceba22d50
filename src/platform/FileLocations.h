#pragma once
#include <filesystem>

namespace tavrel {

class FileLocations {
  public:
    virtual ~FileLocations() = default;
    // The user's folder for this program's logs (it may not exist yet).
    virtual std::filesystem::path userLogsFolder() = 0;
};

}  // namespace tavrel
