#pragma once
#include <map>

#include "platform/RunningApplications.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

struct FakeAppInfo {
    std::optional<std::string> localizedName;
    Image icon;
    std::optional<std::string> bundleIdentifier;
};

class FakeRunningApplication final : public RunningApplication {
  public:
    FakeRunningApplication(CallLog& log, std::int32_t pid, FakeAppInfo info)
        : log_(log), pid_(pid), info_(std::move(info)) {}
    std::optional<std::string> localizedName() override { return info_.localizedName; }
    Image icon() override { return info_.icon; }
    std::optional<std::string> bundleIdentifier() override { return info_.bundleIdentifier; }
    bool activateWithOptions(std::uint32_t options) override;

  private:
    CallLog& log_;
    std::int32_t pid_;
    FakeAppInfo info_;
};

// Applications by pid; a pid without an entry has no running application.
class FakeRunningApplications final : public RunningApplications {
  public:
    explicit FakeRunningApplications(CallLog& log) : log_(log) {}
    std::shared_ptr<RunningApplication> runningApplicationWithProcessIdentifier(
        std::int32_t pid) override;

    std::map<std::int32_t, FakeAppInfo> apps;
    int lookups = 0;

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
