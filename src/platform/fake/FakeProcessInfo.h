#pragma once
#include "platform/ProcessInfo.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

class FakeProcessInfo final : public ProcessInfo {
  public:
    explicit FakeProcessInfo(CallLog& log) : log_(log) {}
    std::int32_t processIdentifier() override {
        log_.record("processIdentifier");
        return pid;
    }
    std::string bundlePath() override { return bundle; }
    void writeToStandardError(std::string_view bytes) override {
        log_.record("writeToStandardError");
        standardError.append(bytes);
    }

    std::int32_t pid = 4242;
    std::string bundle = "/opt/tavrel/bin";
    std::string standardError;

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
