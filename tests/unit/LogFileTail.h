#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/Log.h"
#include "platform/fake/FakeFileLocations.h"

namespace tavrel::test {

// The process-wide log writes to one file for the whole test process; a tail remembers what the
// file held when it was made and answers only what was written after that.
class LogFileTail {
  public:
    static std::filesystem::path file() {
        return fake::FakeFileLocations::processTemporaryFolder() / "logs" / "tavrel.log";
    }
    static std::string contents() {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    LogFileTail() {
        TavrelLog::shared().drain();
        before_ = contents();
    }

    // Everything appended since the tail was made, once every queued line is written. The
    // earlier contents must still be there, untouched.
    std::string appended() const {
        TavrelLog::shared().drain();
        const std::string now = contents();
        EXPECT_EQ(now.substr(0, before_.size()), before_) << "earlier lines were lost";
        return now.size() > before_.size() ? now.substr(before_.size()) : std::string();
    }

  private:
    std::string before_;
};

}  // namespace tavrel::test
