#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCursor>
#include <QTest>
#include <filesystem>
#include <fstream>

#include <QIcon>
#include <QImage>
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/qt/NoDesktop.h"
#include "platform/qt/QtFileLocations.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/QtScreens.h"
#include "platform/qt/QtWorkspace.h"
#include "platform/qt/ScreenSpace.h"
#include "platform/qt/ThemeIcons.h"

namespace tavrel::qt::test {
namespace {

// Restores an environment variable when the test ends.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ScreenSpaceTest, TwoMonitorsSideBySideAndStacked) {
    // Primary 1280 × 1024 at the left, a 1024 × 768 monitor to its right, top-aligned.
    const ScreenSpace space(QRect(0, 0, 1280, 1024));
    EXPECT_EQ(space.toPoints(QRect(0, 0, 1280, 1024)), (Rect{{0, 0}, {1280, 1024}}));
    EXPECT_EQ(space.toPoints(QRect(1280, 0, 1024, 768)), (Rect{{1280, 256}, {1024, 768}}));
    EXPECT_EQ(space.toQt(Rect{{1280, 256}, {1024, 768}}), QRect(1280, 0, 1024, 768));

    // A primary that is not at the virtual desktop's origin, with a monitor above it.
    const ScreenSpace lower(QRect(200, 900, 1920, 1080));
    EXPECT_EQ(lower.toPoints(QRect(0, 0, 1600, 900)), (Rect{{-200, 1080}, {1600, 900}}));
    EXPECT_EQ(lower.toQt(Rect{{-200, 1080}, {1600, 900}}), QRect(0, 0, 1600, 900));
}

TEST(ScreenSpaceTest, APointerPixelLiesInsideTheScreenItIsOn) {
    const ScreenSpace space(QRect(0, 0, 1280, 1024));
    const Rect primary = space.toPoints(QRect(0, 0, 1280, 1024));
    const Rect upper = space.toPoints(QRect(0, -768, 1024, 768));
    EXPECT_TRUE(primary.contains(space.pointerToPoints(QPoint(0, 0))));
    EXPECT_FALSE(upper.contains(space.pointerToPoints(QPoint(0, 0))));
    EXPECT_TRUE(primary.contains(space.pointerToPoints(QPoint(1279, 1023))));
    EXPECT_TRUE(upper.contains(space.pointerToPoints(QPoint(10, -1))));
}

TEST(QtScreensTest, ScreenAndPointerInYUpPoints) {
    QtScreens screens;
    const std::vector<Screen> all = screens.screens();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].frame, (Rect{{0, 0}, {1600, 1000}}));
    EXPECT_EQ(screens.mainScreen(), all[0]);
    QCursor::setPos(100, 300);
    ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(100, 300); }, 2000));
    EXPECT_EQ(screens.mouseLocation(), (Point{100, 699}));
    // Asked once per event handled: the next event sees where the pointer went.
    QCursor::setPos(200, 300);
    ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(200, 300); }, 2000));
    QCoreApplication::processEvents();
    EXPECT_EQ(screens.mouseLocation(), (Point{200, 699}));
    // A key being handled says where the pointer was when it went down.
    screens.setPointerAtInput([] { return std::optional<QPoint>(QPoint(300, 400)); });
    QCoreApplication::processEvents();
    EXPECT_EQ(screens.mouseLocation(), (Point{300, 599}));
}

TEST(QtFileLocationsTest, StateHomeOrItsDefault) {
    QtFileLocations locations;
    {
        ScopedEnvironment state("XDG_STATE_HOME", "/srv/state");
        EXPECT_EQ(locations.userLogsFolder(), std::filesystem::path("/srv/state/tavrel"));
    }
    ScopedEnvironment home("HOME", "/home/someone");
    ScopedEnvironment relative("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(locations.userLogsFolder(),
              std::filesystem::path("/home/someone/.local/state/tavrel"));
}

TEST(QtWorkspaceTest, ShortcutSettingsOfAnInstalledDesktopOpenAsAProgram) {
    const std::filesystem::path bin =
        std::filesystem::temp_directory_path() / ("tavrel-bin-" + std::to_string(getpid()));
    std::filesystem::create_directories(bin);
    const std::filesystem::path marker = bin / "opened";
    {
        std::ofstream script(bin / "xfce4-keyboard-settings");
        script << "#!/bin/sh\necho \"$@\" > '" << marker.string() << "'\n";
    }
    std::filesystem::permissions(bin / "xfce4-keyboard-settings",
                                 std::filesystem::perms::owner_all);
    QtWorkspace workspace;
    {
        ScopedEnvironment path("PATH", bin.c_str());
        ScopedEnvironment desktop("XDG_CURRENT_DESKTOP", "XFCE");
        const std::string link = workspace.accessibilitySettingsLink();
        EXPECT_EQ(link, "tavrel-settings:xfce4-keyboard-settings");
        EXPECT_TRUE(workspace.openURL(link + "/shortcuts"));
        // The shell makes the file before the program's words are in it.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                std::error_code missing;
                return std::filesystem::file_size(marker, missing) > 0 && !missing;
            },
            5000));
        EXPECT_FALSE(workspace.openURL("tavrel-settings:no-such-settings-program"));
        EXPECT_FALSE(workspace.openURL("xfce4-keyboard-settings"));
    }
    {
        ScopedEnvironment path("PATH", "/nonexistent");
        EXPECT_EQ(workspace.accessibilitySettingsLink(), "");
    }
    std::ifstream opened(marker);
    std::string arguments;
    std::getline(opened, arguments);
    EXPECT_EQ(arguments, "shortcuts");
    std::filesystem::remove_all(bin);
}

TEST(QtMainLoopTest, ReadableDescriptorsAndPostedWorkRunOnTheLoop) {
    QtMainLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::string> events;
    loop.watchReadable(fds[0], [&] {
        char byte = 0;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        events.push_back(std::string("read ") + byte);
        loop.unwatch(fds[0]);  // from inside its own callback
    });
    loop.post([&] { events.push_back("first"); });
    loop.post([&] { events.push_back("second"); });
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(write(fds[1], "ab", 2), 2);
    QTest::qWait(50);
    EXPECT_EQ(events, (std::vector<std::string>{"first", "second", "read a"}));
    close(fds[0]);
    close(fds[1]);
}

TEST(ThemeIconsTest, FilesAndThemeNamesBecomeNonPremultipliedPixels) {
    const std::string file = std::filesystem::temp_directory_path() /
                             ("tavrel-icon-" + std::to_string(getpid()) + ".png");
    QImage source(48, 48, QImage::Format_ARGB32);
    source.fill(QColor(0x20, 0x40, 0x60, 0x80));
    ASSERT_TRUE(source.save(QString::fromStdString(file)));
    const Image icon = ThemeIcons::load(file, 32);
    std::filesystem::remove(file);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->argb.size(), 32u * 32u);
    EXPECT_EQ(icon->argb[0], 0x80204060u);
    EXPECT_FALSE(ThemeIcons::load("no-such-icon-anywhere", 32));
    EXPECT_FALSE(ThemeIcons::load("", 32));
}

// Three icon themes in a private folder, each holding some of the names in its own colour; the
// folder is the only place Qt looks while a test runs.
class ThemeChainTest : public ::testing::Test {
  protected:
    static constexpr QRgb kConfigured = 0xffcc0000;
    static constexpr QRgb kHicolor = 0xff00aa00;
    static constexpr QRgb kAdwaita = 0xff0000cc;

    void SetUp() override {
        savedPaths_ = QIcon::themeSearchPaths();
        savedTheme_ = QIcon::themeName();
        root_ =
            std::filesystem::temp_directory_path() / ("tavrel-themes-" + std::to_string(getpid()));
        writeTheme("Configured", kConfigured, {"everywhere", "only-configured"}, {});
        writeTheme("hicolor", kHicolor, {"everywhere", "hicolor-and-adwaita", "only-hicolor"},
                   {"scalable-only"});
        writeTheme("Adwaita", kAdwaita, {"everywhere", "hicolor-and-adwaita", "only-adwaita"}, {});
        QIcon::setThemeSearchPaths({QString::fromStdString(root_.string())});
    }
    void TearDown() override {
        QIcon::setThemeSearchPaths(savedPaths_);
        QIcon::setThemeName(savedTheme_);
        std::filesystem::remove_all(root_);
    }

    // Fixed-size PNG names and scalable SVG names, all filled with the theme's colour.
    void writeTheme(const std::string& theme, QRgb colour, std::vector<std::string> pngs,
                    std::vector<std::string> svgs) {
        const auto folder = root_ / theme;
        std::filesystem::create_directories(folder / "48x48" / "apps");
        std::filesystem::create_directories(folder / "scalable" / "apps");
        std::ofstream(folder / "index.theme")
            << "[Icon Theme]\nName=" << theme
            << "\nDirectories=48x48/apps,scalable/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n\n"
               "[scalable/apps]\nSize=48\nMinSize=8\nMaxSize=512\nType=Scalable\n";
        QImage png(48, 48, QImage::Format_ARGB32);
        png.fill(colour);
        for (const auto& name : pngs)
            png.save(
                QString::fromStdString((folder / "48x48" / "apps" / (name + ".png")).string()));
        for (const auto& name : svgs)
            std::ofstream(folder / "scalable" / "apps" / (name + ".svg"))
                << "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>"
                   "<rect width='48' height='48' fill='"
                << QColor(colour).name().toStdString() << "'/></svg>";
    }

    std::filesystem::path root_;
    QStringList savedPaths_;
    QString savedTheme_;
};

TEST_F(ThemeChainTest, TheConfiguredThemeThenHicolorThenAdwaita) {
    struct Case {
        const char* configured;
        const char* icon;
        std::optional<QRgb> colour;
    };
    for (const Case& c : std::vector<Case>{
             {"Configured", "everywhere", kConfigured},
             {"Configured", "only-configured", kConfigured},
             {"Configured", "hicolor-and-adwaita", kHicolor},
             {"Configured", "only-adwaita", kAdwaita},
             {"Configured", "scalable-only", kHicolor},
             {"Configured", "nowhere", std::nullopt},
             // A configured theme that is not installed is passed over.
             {"NotInstalled", "everywhere", kHicolor},
             {"NotInstalled", "only-adwaita", kAdwaita},
             {"NotInstalled", "only-configured", std::nullopt},
         }) {
        QIcon::setThemeName(QString::fromLatin1(c.configured));
        const Image icon = ThemeIcons::load(c.icon, 22);
        EXPECT_EQ(icon != nullptr, c.colour.has_value()) << c.configured << " " << c.icon;
        if (icon && c.colour) {
            EXPECT_EQ(icon->width, 22) << c.icon;
            EXPECT_EQ(icon->argb[11 * 22 + 11], *c.colour) << c.configured << " " << c.icon;
        }
        EXPECT_EQ(QIcon::themeName(), QString::fromLatin1(c.configured))
            << "the desktop's theme stays";
    }
}

// xterm names a scalable-only icon of hicolor in its desktop entry.
TEST(ThemeIconsTest, DrawsXtermsScalableIconFromTheInstalledHicolor) {
    const Image icon = ThemeIcons::load("mini.xterm", 22);
    ASSERT_TRUE(icon) << "hicolor's mini.xterm.svg needs Qt's SVG plugin";
    EXPECT_TRUE(std::any_of(icon->argb.begin(), icon->argb.end(),
                            [](std::uint32_t pixel) { return (pixel >> 24) != 0; }));
}

TEST(NoDesktopTest, WithoutADisplayThereIsNoTapNoPermissionAndNoWindows) {
    NoDesktop desktop;
    EXPECT_FALSE(desktop.tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                   kCGEventTapOptionDefault, kHotkeyEventMask, nullptr, nullptr));
    EXPECT_FALSE(desktop.isProcessTrusted());
    EXPECT_FALSE(desktop.isProcessTrustedWithOptions(true));
    EXPECT_FALSE(desktop.copyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID));
    EXPECT_EQ(desktop.runningApplicationWithProcessIdentifier(1), nullptr);
    Value value;
    EXPECT_NE(desktop.copyAttributeValue(desktop.createApplication(1), kAXWindowsAttribute, value),
              kAXErrorSuccess);
}

}  // namespace
}  // namespace tavrel::qt::test
