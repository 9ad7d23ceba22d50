#pragma once
#include <map>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

// One scripted accessibility window.
struct FakeAXWindow {
    std::uint64_t id = 0;
    Value title;  // what "AXTitle" answers (any kind)
    AXError titleResult = kAXErrorSuccess;
    Value minimized = false;
    bool mainSettable = true;
    AXError settableResult = kAXErrorSuccess;
    bool raised = false;
    bool main = false;
};

struct FakeAXApp {
    AXError windowsResult = kAXErrorSuccess;
    std::optional<Value> windowsValue;  // overrides the list built from `windows`
    std::vector<FakeAXWindow> windows;
};

class FakeAccessibility final : public Accessibility {
  public:
    explicit FakeAccessibility(CallLog& log) : log_(log) {}

    AXElement createApplication(std::int32_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                               Value& value) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const Value& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError isAttributeSettable(const AXElement& element, const std::string& attribute,
                                bool& settable) override;
    bool isProcessTrusted() override;
    bool isProcessTrustedWithOptions(bool prompt) override;

    FakeAXWindow* window(std::int32_t pid, std::uint64_t id);

    std::map<std::int32_t, FakeAXApp> apps;
    // Answers of successive trust queries; the last one repeats.
    std::vector<bool> trustAnswers{true};
    int trustQueries = 0;
    int prompts = 0;

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
