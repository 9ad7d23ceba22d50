#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "X11Fixture.h"

namespace tavrel::x11::test {
namespace {

// Applications under a private data folder with one desktop entry.
class ApplicationsTest : public X11Fixture {
  protected:
    void SetUp() override {
        data_ = std::filesystem::temp_directory_path() /
                ("tavrel-x11-apps-" + std::to_string(getpid()));
        std::filesystem::create_directories(data_ / "applications" / "org.example");
        std::ofstream(data_ / "applications" / "org.example" / "Tester.desktop")
            << "[Desktop Entry]\nType=Application\nName=Example Tester\nIcon=example-icon\n"
               "Exec=tester %U\nStartupWMClass=TesterClass\n";
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(
                name, value == nullptr ? std::nullopt : std::optional<std::string>(value));
        }
        X11Fixture::SetUp();
        if (HasFatalFailure())
            return;
        // The backend reads the data folders when it connects.
        setenv("XDG_DATA_HOME", data_.c_str(), 1);
        setenv("XDG_DATA_DIRS", (data_ / "none").c_str(), 1);
        platform_.reset();
        std::string whyNot;
        platform_ = X11Platform::connect(loop_, &whyNot);
        ASSERT_NE(platform_, nullptr) << whyNot;
        if (HasFatalFailure())
            return;
        platform_->setThemeIconLoader([this](const std::string& name, int pixels) -> Image {
            themeRequests_.push_back(name + "@" + std::to_string(pixels));
            return nullptr;
        });
    }
    void TearDown() override {
        X11Fixture::TearDown();
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::filesystem::remove_all(data_);
    }
    std::shared_ptr<RunningApplication> lookUp(pid_t pid) {
        return platform_->runningApplications().runningApplicationWithProcessIdentifier(pid);
    }

    std::filesystem::path data_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::vector<std::string> themeRequests_;
};

TEST_P(ApplicationsTest, NamesAnApplicationByItsDesktopEntry) {
    auto app = client();
    app->window("title=Main class=tester,TesterClass");
    auto running = lookUp(app->pid());
    ASSERT_TRUE(running);
    EXPECT_EQ(running->localizedName(), "Example Tester");
    EXPECT_EQ(running->bundleIdentifier(), "org.example-Tester");
    EXPECT_FALSE(running->icon());
    EXPECT_EQ(themeRequests_, std::vector<std::string>{"example-icon@22"});
    EXPECT_FALSE(running->activateWithOptions(NSApplicationActivateIgnoringOtherApps));
}

TEST_P(ApplicationsTest, FallsBackToTheWindowClassAndTheCommandName) {
    auto classed = client();
    classed->window("title=Classed class=other,OtherApp");
    auto plain = client();
    plain->window("title=Plain");
    auto byClass = lookUp(classed->pid());
    ASSERT_TRUE(byClass);
    EXPECT_EQ(byClass->localizedName(), "OtherApp");
    EXPECT_EQ(byClass->bundleIdentifier(), "OtherApp");
    auto byCommand = lookUp(plain->pid());
    ASSERT_TRUE(byCommand);
    EXPECT_EQ(byCommand->localizedName(), "tavrel-testclie");  // the kernel keeps 15 bytes
    EXPECT_EQ(byCommand->bundleIdentifier(), std::nullopt);
}

TEST_P(ApplicationsTest, TakesTheWindowIconOfTheRightSize) {
    auto app = client();
    const xcb_window_t w = app->window("title=Iconic%20app class=tester,TesterClass");
    ASSERT_EQ(app->command("icon " + std::to_string(w) + " 16 16 256 24 24 576 64 64 4096"), "ok");
    auto running = lookUp(app->pid());
    ASSERT_TRUE(running);
    const Image image = running->icon();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 24);
    EXPECT_EQ(image->argb.size(), 576u);
    EXPECT_TRUE(themeRequests_.empty());
}

TEST_P(ApplicationsTest, AnIconThatClaimsMoreThanItHoldsIsIgnored) {
    auto app = client();
    const xcb_window_t w = app->window("title=Liar class=liar,Liar");
    ASSERT_EQ(app->command("icon " + std::to_string(w) + " 1000 1000 10"), "ok");
    auto running = lookUp(app->pid());
    ASSERT_TRUE(running);
    EXPECT_FALSE(running->icon());
    EXPECT_EQ(themeRequests_, std::vector<std::string>{"liar@22"});
}

TEST_P(ApplicationsTest, KnowsNoApplicationForAProcessThatEnded) {
    auto app = client();
    const pid_t pid = app->pid();
    app->stop();
    EXPECT_FALSE(lookUp(pid));
    EXPECT_FALSE(lookUp(0));
    EXPECT_FALSE(lookUp(-5));
}

INSTANTIATE_TEST_SUITE_P(X11, ApplicationsTest, ::testing::Values(false), managedName);

}  // namespace
}  // namespace tavrel::x11::test
