#include "platform/fake/FakeRunningApplications.h"

namespace tavrel::fake {

bool FakeRunningApplication::activateWithOptions(std::uint32_t options) {
    log_.record("activate pid=" + std::to_string(pid_) + " options=" + std::to_string(options));
    return true;
}

std::shared_ptr<RunningApplication>
FakeRunningApplications::runningApplicationWithProcessIdentifier(std::int32_t pid) {
    ++lookups;
    log_.record("runningApplication pid=" + std::to_string(pid));
    const auto it = apps.find(pid);
    if (it == apps.end())
        return nullptr;
    return std::make_shared<FakeRunningApplication>(log_, pid, it->second);
}

}  // namespace tavrel::fake
