#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace tavrel {

inline constexpr std::int64_t NSApplicationActivationPolicyAccessory = 1;

// The application object and its event loop.
class Application {
  public:
    virtual ~Application() = default;
    virtual void setActivationPolicy(std::int64_t policy) = 0;
    // Runs the event loop; `didFinishLaunching` is delivered by the loop once it runs.
    virtual int run(std::function<void()> didFinishLaunching) = 0;
    virtual void terminate() = 0;
};

// Opening links with the desktop.
class Workspace {
  public:
    virtual ~Workspace() = default;
    // The link to the settings where the switcher's permission (on X11: its shortcut) lives;
    // empty when the desktop has none.
    virtual std::string accessibilitySettingsLink() = 0;
    virtual bool openURL(const std::string& url) = 0;
};

}  // namespace tavrel
