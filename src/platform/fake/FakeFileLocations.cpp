#include "platform/fake/FakeFileLocations.h"

#include <unistd.h>

namespace tavrel::fake {

std::filesystem::path FakeFileLocations::processTemporaryFolder() {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tavrel-tests-" + std::to_string(getpid()));
    return folder;
}

}  // namespace tavrel::fake
