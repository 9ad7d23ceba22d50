#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "PollMainLoop.h"
#include "platform/x11/X11Platform.h"

namespace tavrel::x11::test {
namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class Environment {
  public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old == nullptr ? std::nullopt : std::optional<std::string>(old));
        if (value == nullptr)
            unsetenv(name);
        else
            setenv(name, value, 1);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(X11Connect, RefusesAWaylandSessionAndAMissingDisplay) {
    PollMainLoop loop;
    std::string whyNot;
    {
        Environment env;
        env.set("XDG_SESSION_TYPE", "wayland");
        env.set("DISPLAY", ":0");
        EXPECT_EQ(X11Platform::connect(loop, &whyNot), nullptr);
        EXPECT_EQ(whyNot, "a Wayland session");
    }
    {
        Environment env;
        env.set("XDG_SESSION_TYPE", "x11");
        env.set("WAYLAND_DISPLAY", nullptr);
        env.set("DISPLAY", nullptr);
        EXPECT_EQ(X11Platform::connect(loop, &whyNot), nullptr);
        EXPECT_EQ(whyNot, "no X11 display");
    }
    {
        Environment env;
        env.set("XDG_SESSION_TYPE", nullptr);
        env.set("WAYLAND_DISPLAY", nullptr);
        env.set("DISPLAY", ":9999");
        EXPECT_EQ(X11Platform::connect(loop, &whyNot), nullptr);
        EXPECT_EQ(whyNot, "cannot open the X11 display");
    }
}

}  // namespace
}  // namespace tavrel::x11::test
