#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fake/FakeFileLocations.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(tavrel::fake::FakeFileLocations::processTemporaryFolder(), ignored);
    return result;
}
