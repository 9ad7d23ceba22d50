#pragma once
#include "platform/FileLocations.h"

namespace tavrel::fake {

// By default a folder of this test process's own under the system's temporary folder, the
// same for every fake, so the one process-wide log always writes to one place.
class FakeFileLocations final : public FileLocations {
  public:
    static std::filesystem::path processTemporaryFolder();
    std::filesystem::path userLogsFolder() override { return logsFolder; }
    std::filesystem::path logsFolder = processTemporaryFolder() / "logs";
};

}  // namespace tavrel::fake
