#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

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
        // The theme knows one name only.
        platform_->setThemeIconLoader([this](const std::string& name, int pixels) -> Image {
            themeRequests_.push_back(name + "@" + std::to_string(pixels));
            if (name != "themed")
                return nullptr;
            return std::make_shared<IconImage>(IconImage{1, 1, {0xff00ff00u}});
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

// Old clients name a pixmap in WM_HINTS; it comes last, after the window's _NET_WM_ICON and the
// theme.
TEST_P(ApplicationsTest, DrawsTheWmHintsPixmapWhenNothingElseGivesAnIcon) {
    struct Case {
        const char* window;
        const char* hints;
        std::vector<std::pair<int, std::uint32_t>> pixels;  // index (y * 32 + x), 0xAARRGGBB
    };
    constexpr std::uint32_t kBlack = 0xff000000u, kWhite = 0xffffffffu, kClear = 0u;
    for (const Case& c : std::vector<Case>{
             // A bitmap, black on white, its mask's clear bottom half transparent.
             {"title=Bitmap class=tester,TesterClass",
              "32 32 1 32 32",
              {{0, kBlack}, {31, kWhite}, {31 * 32, kClear}, {31 * 32 + 31, kClear}}},
             // A pixmap of the screen's depth, in its own colours; no mask: all opaque.
             {"title=Pixmap class=tester,TesterClass",
              "32 32 24",
              {{0, 0xff336699u}, {31, 0xffcc0000u}, {31 * 32, 0xff336699u}}},
             // A mask smaller than the pixmap masks nothing.
             {"title=Small%20mask class=tester,TesterClass",
              "32 32 1 16 16",
              {{0, kBlack}, {31 * 32 + 31, kWhite}}},
         }) {
        auto app = client();
        const xcb_window_t w = app->window(c.window);
        ASSERT_EQ(app->command("hinticon " + std::to_string(w) + " " + c.hints).rfind("pixmap ", 0),
                  0u);
        themeRequests_.clear();
        auto running = lookUp(app->pid());
        ASSERT_TRUE(running);
        const Image image = running->icon();
        ASSERT_TRUE(image) << c.window;
        EXPECT_EQ(image->width, 32);
        ASSERT_EQ(image->argb.size(), 32u * 32u);
        for (const auto& [index, pixel] : c.pixels)
            EXPECT_EQ(image->argb[static_cast<std::size_t>(index)], pixel)
                << c.window << " @" << index;
        EXPECT_EQ(themeRequests_, std::vector<std::string>{"example-icon@22"}) << "theme first";
    }
    // A theme icon wins over the hints.
    auto themed = client();
    const xcb_window_t w = themed->window("title=Themed class=themed,Themed");
    ASSERT_EQ(themed->command("hinticon " + std::to_string(w) + " 32 32 1").rfind("pixmap ", 0),
              0u);
    const Image image = lookUp(themed->pid())->icon();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1);
}

TEST_P(ApplicationsTest, TakesXcalcsIconFromItsHints) {
    ChildProcess xcalc({"xcalc"}, server_->display());
    std::shared_ptr<RunningApplication> running;
    ASSERT_TRUE(server_->waitUntil([&] {
        const auto all = platform_->windowServer().copyWindowInfo(kCGWindowListOptionOnScreenOnly,
                                                                  kCGNullWindowID);
        for (const auto& record : all.value_or(WindowInfoList{})) {
            if (valueAsInt32(record.at(kCGWindowOwnerPID)) == xcalc.pid())
                running = lookUp(xcalc.pid());
        }
        return running != nullptr;
    }));
    const Image image = running->icon();
    ASSERT_TRUE(image);
    const auto count = [&](std::uint32_t pixel) {
        return std::count(image->argb.begin(), image->argb.end(), pixel);
    };
    EXPECT_GT(count(0xff000000u), 0) << "the calculator's lines";
    EXPECT_GT(count(0xffffffffu), 0) << "and the paper between them";
}

// 32-bit items as the client's bytes for `prop`.
std::string items(const std::vector<std::uint32_t>& values) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint32_t v : values) {
        for (int shift = 0; shift < 32; shift += 8) {
            hex += digits[(v >> (shift + 4)) & 15];
            hex += digits[(v >> shift) & 15];
        }
    }
    return hex;
}

// Without a window manager: openbox puts an icon of its own on every window it manages.
TEST_P(ApplicationsTest, SurvivesHostileWmHintsIcons) {
    auto app = client();
    const xcb_window_t w = app->window("title=Hinted");
    const std::string id = std::to_string(w);
    std::uint32_t pixmap = 0, bitmap = 0, mask = 0;
    ASSERT_EQ(
        std::sscanf(app->command("hinticon " + id + " 16 16 24").c_str(), "pixmap %u", &pixmap), 1);
    ASSERT_EQ(std::sscanf(app->command("hinticon " + id + " 16 16 1 16 16").c_str(), "pixmap %u %u",
                          &bitmap, &mask),
              2);
    ASSERT_TRUE(waitForListed({w}, 1));
    const auto iconNow = [&] {
        auto running = lookUp(app->pid());
        return running ? running->icon() : nullptr;
    };
    constexpr std::uint32_t kPixmap = 4, kMask = 32;
    struct Case {
        const char* what;
        std::string type;
        std::vector<std::uint32_t> hints;
        std::optional<bool> opaque;  // no icon, or one that is opaque everywhere or not
    };
    for (const Case& c : std::vector<Case>{
             {"the window itself as the pixmap", "WM_HINTS", {kPixmap, 1, 1, w, 0, 0, 0, 0, 0}, {}},
             {"an id that names nothing",
              "WM_HINTS",
              {kPixmap, 1, 1, 0x3fffff0, 0, 0, 0, 0, 0},
              {}},
             {"a pixmap without its flag", "WM_HINTS", {1, 1, 1, pixmap, 0, 0, 0, 0, 0}, {}},
             {"hints cut short", "WM_HINTS", {kPixmap, 1, 1}, {}},
             {"hints of another type", "CARDINAL", {kPixmap, 1, 1, pixmap, 0, 0, 0, 0, 0}, {}},
             {"a mask that is a window",
              "WM_HINTS",
              {kPixmap | kMask, 1, 1, pixmap, 0, 0, 0, w, 0},
              true},
             {"a mask of full depth",
              "WM_HINTS",
              {kPixmap | kMask, 1, 1, bitmap, 0, 0, 0, pixmap, 0},
              true},
             {"a mask that is the icon itself",
              "WM_HINTS",
              {kPixmap | kMask, 1, 1, mask, 0, 0, 0, mask, 0},
              false},
         }) {
        ASSERT_EQ(app->command("prop " + id + " WM_HINTS " + c.type + " 32 " + items(c.hints)),
                  "ok");
        const Image icon = iconNow();
        ASSERT_EQ(icon != nullptr, c.opaque.has_value()) << c.what;
        if (icon) {
            const bool opaque = std::all_of(icon->argb.begin(), icon->argb.end(),
                                            [](std::uint32_t p) { return (p >> 24) == 0xff; });
            EXPECT_EQ(opaque, *c.opaque) << c.what;
        }
    }
    // Absurd sizes are refused before a byte of them is read.
    ASSERT_EQ(app->command("hinticon " + id + " 4000 2 24").rfind("pixmap ", 0), 0u);
    EXPECT_FALSE(iconNow());
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
