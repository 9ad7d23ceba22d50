#include "core/SwitcherPanel.h"

#include <gtest/gtest.h>

#include "ScriptedWindows.h"
#include "core/RowViews.h"
#include "core/SwitcherController.h"

namespace tavrel {
namespace {

using scripted::activatedApps;
using scripted::entriesOf;
using scripted::kFourWindows;
using scripted::numberedWindows;
using scripted::showWindows;
using Apps = std::vector<std::string>;

constexpr std::int64_t kLeftArrow = 123;
constexpr std::int64_t kPageDown = 121;
constexpr std::int64_t kF1 = 122;
constexpr std::int64_t kLetterKey = 0;

// The panel as the controller drives it: opened by a switch over scripted windows, keys
// through the key monitor, clicks through the table.
class SwitcherPanelTest : public ::testing::Test {
  protected:
    // Opens a switch (on the second window, as a switch does) and answers the panel's window.
    fake::FakePanelSurface& open(const std::vector<scripted::ScriptedWindow>& windows) {
        showWindows(platform, windows);
        controller->advance(false);
        return *platform.panelSurfaces.last;
    }

    // True when the key passed on (the panel did not consume it).
    bool key(std::int64_t code, std::uint64_t flags = 0,
             std::optional<std::string> characters = std::nullopt) {
        return platform.eventMonitors.keyDown(code, flags, std::move(characters));
    }
    void type(const std::string& text) {
        for (const char c : text)
            EXPECT_FALSE(key(kLetterKey, 0, std::string(1, c))) << c;
    }

    Apps shownApps() {
        Apps apps;
        for (std::int64_t row = 0; row < panel().numberOfRows(); ++row)
            apps.push_back(panel().cellForRow(row)->appName);
        return apps;
    }
    PanelDataSource& panel() { return platform.panelSurfaces.last->dataSource; }
    fake::FakePanelSurface& surface() { return *platform.panelSurfaces.last; }

    fake::FakePlatform platform;
    std::shared_ptr<SwitcherController> controller = std::make_shared<SwitcherController>();
};

// A panel on its own, without a controller, for what needs no switch in progress.
class LonePanelTest : public SwitcherPanelTest {
  protected:
    bool press(std::int64_t code, std::uint64_t flags = 0,
               std::optional<std::string> characters = std::nullopt) {
        return lone->handleKeyDown({kCGEventKeyDown, flags, code, std::move(characters)});
    }
    std::shared_ptr<SwitcherPanel> lone = SwitcherPanel::create({});
};

TEST_F(LonePanelTest, IsBuiltHiddenWithItsWindowValuesAndTheMonitorLast) {
    const auto& made = surface();
    EXPECT_EQ(made.style.contentRect, (Rect{{0, 0}, {620, 600}}));
    EXPECT_EQ(made.style.styleMask, 128u);
    EXPECT_EQ(made.style.backing, 2);
    EXPECT_FALSE(made.style.defer);
    EXPECT_TRUE(made.style.floatingPanel);
    EXPECT_EQ(made.style.level, 3);
    EXPECT_EQ(made.style.collectionBehavior, 321u);
    EXPECT_FALSE(made.style.hidesOnDeactivate);
    EXPECT_FALSE(made.style.movable);
    EXPECT_TRUE(made.style.hasShadow);
    EXPECT_EQ(made.style.backgroundColour, Colour{SystemColor::clear});
    EXPECT_FALSE(made.style.opaque);
    EXPECT_EQ(made.style.animationBehavior, 2);

    EXPECT_EQ(made.layout.cornerRadius, 10.0);
    EXPECT_EQ(made.layout.borderWidth, 1.0);
    EXPECT_EQ(made.layout.borderColour, (Colour{SystemColor::separator, 0.35}));
    EXPECT_EQ(made.layout.searchLabelFrame, (Rect{{14, 574}, {592, 18}}));
    EXPECT_EQ(made.layout.searchLabel.font, (Font{11, FontWeight::medium}));
    EXPECT_EQ(made.layout.searchLabel.colour, Colour{SystemColor::tertiaryLabel});
    EXPECT_EQ(made.layout.scrollInset, 6.0);
    EXPECT_TRUE(made.layout.overlayScroller);
    EXPECT_EQ(made.layout.rowHeight, 38.0);
    EXPECT_EQ(made.layout.columnWidth, 608.0);

    EXPECT_FALSE(made.visible);
    EXPECT_TRUE(made.labelHidden);
    EXPECT_EQ(platform.calls.calls(),
              (std::vector<std::string>{"makePanel", "addLocalMonitor 1024"}));
}

TEST_F(LonePanelTest, ConstructionPutsTheSelectionMetricsIntoEveryRow) {
    SidebarRowView::insetX = 1;
    SidebarRowView::insetY = 1;
    SidebarRowView::radius = 1;
    const auto another = SwitcherPanel::create({});
    EXPECT_EQ(SidebarRowView::insetX, 7.0);
    EXPECT_EQ(SidebarRowView::insetY, 3.0);
    EXPECT_EQ(SidebarRowView::radius, 8.0);
    EXPECT_EQ(platform.eventMonitors.masks.size(), 2u) << "one monitor per panel";
}

TEST_F(LonePanelTest, UpdateHighlightsTheClampedRowAndClearsTheTypedText) {
    lone->update(entriesOf(kFourWindows), -3);
    EXPECT_EQ(surface().selected, 0);
    lone->update(entriesOf(kFourWindows), 10);
    EXPECT_EQ(surface().selected, 3);

    EXPECT_TRUE(press(kLetterKey, 0, "s"));
    EXPECT_FALSE(surface().labelHidden);
    lone->update(entriesOf(kFourWindows), 2);
    EXPECT_EQ(surface().selected, 2);
    EXPECT_EQ(surface().scrolledTo, 2);
    EXPECT_EQ(lone->searchBuffer(), "");
    EXPECT_TRUE(surface().labelHidden);
    EXPECT_EQ(panel().numberOfRows(), 4);
}

TEST_F(LonePanelTest, AnEmptyListHighlightsNothingAndMovesChangeNothing) {
    lone->update({}, 0);
    EXPECT_EQ(surface().selected, -1);
    EXPECT_TRUE(surface().labelHidden);
    platform.calls.clear();
    EXPECT_TRUE(press(kVK_DownArrow));
    EXPECT_TRUE(press(kVK_UpArrow));
    EXPECT_TRUE(press(kVK_Tab));
    EXPECT_TRUE(press(kVK_Tab, kCGEventFlagMaskShift));
    EXPECT_EQ(surface().selected, -1);
    EXPECT_TRUE(platform.calls.calls().empty());
}

TEST_F(LonePanelTest, AMissingHighlightCountsAsTheFirstRow) {
    lone->update(entriesOf({kFourWindows[0], kFourWindows[1], kFourWindows[2]}), 0);
    surface().selected = -1;
    press(kVK_DownArrow);
    EXPECT_EQ(surface().selected, 1);
    surface().selected = -1;
    press(kVK_UpArrow);
    EXPECT_EQ(surface().selected, 2);
}

TEST_F(LonePanelTest, FiltersByCharactersInOrderWithoutReordering) {
    const std::vector<std::pair<std::string, Apps>> examples = {
        {"s", {"Browser", "Shell", "Editor"}},
        {"sh", {"Shell"}},
        {"ei", {"Editor"}},
        {"rs", {"Browser", "Editor"}},
        {"l i", {"Mail"}},
        {"x", {"Mail", "Editor"}},
        {"q", {}},
        {"MI", {"Mail"}},
    };
    for (const auto& [typed, expected] : examples) {
        lone->update(entriesOf(kFourWindows), 0);
        for (const char c : typed)
            press(kLetterKey, 0, std::string(1, c));
        EXPECT_EQ(shownApps(), expected) << typed;
        EXPECT_EQ(surface().labelText, "Search: " + typed);
        EXPECT_FALSE(surface().labelHidden);
    }
}

TEST_F(LonePanelTest, AnEmptyNameIsSearchedAsASpaceAndTheTitle) {
    lone->update({{1, 1, "", nullptr, "zsh", std::nullopt}, {2, 2, "Mail", nullptr, "Inbox", {}}},
                 0);
    press(kLetterKey, 0, " ");
    EXPECT_EQ(panel().numberOfRows(), 2);
    press(kLetterKey, 0, "z");
    ASSERT_EQ(panel().numberOfRows(), 1);
    EXPECT_EQ(panel().cellForRow(0)->title, "zsh");
}

TEST_F(LonePanelTest, AcceptsOnlyThePrintableAsciiFirstCharacter) {
    lone->update(entriesOf(kFourWindows), 0);
    EXPECT_TRUE(press(kLetterKey, 0, " "));
    EXPECT_TRUE(press(kLetterKey, 0, "~"));
    EXPECT_TRUE(press(kLetterKey, 0, "ab"));
    EXPECT_EQ(lone->searchBuffer(), " ~a");
    for (const char* refused : {"\x7f", "\x01", "\t", "\xc3\xa9", "\xff", "", "\xef\x9c\x82"})
        EXPECT_FALSE(press(kLetterKey, 0, std::string(refused))) << refused;
    EXPECT_FALSE(press(kLetterKey, 0, std::nullopt));
    EXPECT_FALSE(press(kLeftArrow, 0, "\xef\x9c\x82"));
    EXPECT_FALSE(press(kPageDown, 0, "\xef\x9c\xad"));
    EXPECT_FALSE(press(kF1, 0, "\xef\x9c\x84"));
    EXPECT_EQ(lone->searchBuffer(), " ~a");
}

TEST_F(LonePanelTest, AnswersRowsFromTheShownList) {
    auto entries = entriesOf(kFourWindows);
    entries[2].appIcon = std::make_shared<IconImage>();
    lone->update(entries, 0);
    press(kLetterKey, 0, "x");
    EXPECT_EQ(panel().numberOfRows(), 2);
    const auto mail = panel().cellForRow(0);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->appName, "Mail");
    EXPECT_EQ(mail->title, "Inbox");
    EXPECT_EQ(mail->icon, entries[2].appIcon);
    EXPECT_EQ(panel().cellForRow(1)->icon, nullptr) << "no icon clears the image";
    EXPECT_FALSE(panel().cellForRow(2));
    EXPECT_FALSE(panel().cellForRow(-1));
}

TEST_F(LonePanelTest, StepsThroughShownRowsFromTheSelectedEntry) {
    lone->update(entriesOf(kFourWindows), 0);
    press(kLetterKey, 0, "l");  // Shell (row 0, entry 1), Mail (row 1, entry 2)
    EXPECT_EQ(lone->stepShownRows(false, 1), 2);
    EXPECT_EQ(surface().selected, 1);
    EXPECT_EQ(lone->stepShownRows(false, 2), 1);
    EXPECT_EQ(surface().selected, 0);
    EXPECT_EQ(lone->stepShownRows(true, 1), 2);
    // An entry not shown: forward to the first shown row, backward to the last.
    EXPECT_EQ(lone->stepShownRows(false, 0), 1);
    EXPECT_EQ(lone->stepShownRows(true, 3), 2);
    EXPECT_EQ(lone->stepShownRows(true, -9), 2);
    press(kLetterKey, 0, "q");
    EXPECT_EQ(lone->stepShownRows(false, 1), std::nullopt);
}

TEST_F(SwitcherPanelTest, WithoutAWindowTheListLogicStillRuns) {
    Platform windowless = tavrel::platform();
    windowless.panelSurfaces = nullptr;
    installPlatform(windowless);  // the fake platform puts itself back when it goes
    showWindows(platform, kFourWindows);
    controller->advance(false);
    EXPECT_EQ(platform.panelSurfaces.made, 0);
    type("l");
    EXPECT_EQ(controller->selection(), 1);
    key(kVK_DownArrow);
    EXPECT_EQ(controller->selection(), 2);
    key(kVK_Return);
    EXPECT_EQ(activatedApps(platform), (Apps{"Mail"}));
}

TEST_F(LonePanelTest, HeightFollowsRowsAndFilterUpToTheScreen) {
    EXPECT_EQ(SwitcherPanel::height(1, false, 875), 50.0);
    EXPECT_EQ(SwitcherPanel::height(0, false, 875), 50.0);
    EXPECT_EQ(SwitcherPanel::height(0, true, 875), 76.0);
    EXPECT_EQ(SwitcherPanel::height(5, false, 875), 202.0);
    EXPECT_EQ(SwitcherPanel::height(5, true, 875), 228.0);
    EXPECT_EQ(SwitcherPanel::height(20, false, 900), 772.0);
    EXPECT_EQ(SwitcherPanel::height(21, false, 900), 780.0);
    // A visible frame too short for the cap still leaves one row.
    EXPECT_EQ(SwitcherPanel::height(5, false, 150), 50.0);
    EXPECT_EQ(SwitcherPanel::height(5, true, 60), 76.0);
}

TEST_F(SwitcherPanelTest, SizesToTheRowsOnTheScreenUnderThePointer) {
    platform.screens.list = {{{{0, 0}, {1440, 1000}}, {{0, 0}, {1440, 1000}}},
                             {{{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 900}}}};
    platform.screens.main = platform.screens.list[0];
    platform.screens.pointer = {2000, 500};
    auto& window = open(numberedWindows(21));
    EXPECT_EQ(window.windowFrame.size, (Size{620, 780}));
    EXPECT_EQ(window.scrollFrame, (Rect{{6, 6}, {608, 768}}));

    showWindows(platform, numberedWindows(5));
    controller->cancel();
    controller->advance(false);
    EXPECT_EQ(window.windowFrame.size, (Size{620, 202}));
    type("w");
    EXPECT_EQ(window.windowFrame.size, (Size{620, 228}));
    EXPECT_EQ(window.scrollFrame, (Rect{{6, 6}, {608, 196}}));
    type("q");
    EXPECT_EQ(window.windowFrame.size, (Size{620, 76}));
}

TEST_F(SwitcherPanelTest, IsPlacedOnTheScreenUnderThePointer) {
    const Screen primary{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}};
    const Screen secondary{{{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 1050}}};
    platform.screens.list = {primary, secondary};
    platform.screens.main = primary;
    platform.screens.pointer = {2000, 100};
    auto& window = open(kFourWindows);  // 4 rows: 164 high
    EXPECT_EQ(window.windowFrame.origin, (Point{2090, 525 - 82 + 40}));
    EXPECT_TRUE(window.visible);
    EXPECT_TRUE(window.key);

    // Typing re-places it: 3 rows with the label are 152 high.
    type("s");
    EXPECT_EQ(window.windowFrame.origin, (Point{2090, 525 - 76 + 40}));
}

TEST_F(SwitcherPanelTest, APointerOnAnOuterEdgeFallsBackToTheMainScreen) {
    const Screen left{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 900}}};
    const Screen right{{{1440, 0}, {1000, 700}}, {{1440, 0}, {1000, 700}}};
    platform.screens.list = {left, right};
    platform.screens.main = right;
    platform.screens.pointer = {700, 900};  // the top edge of the left screen
    auto& window = open(kFourWindows);
    EXPECT_EQ(window.windowFrame.origin, (Point{1940 - 310, 350 - 82 + 40}));

    // No main screen: the first one.
    controller->cancel();
    platform.screens.main = std::nullopt;
    platform.screens.pointer = {2440, 10};  // the right edge of the right screen
    controller->advance(false);
    EXPECT_EQ(window.windowFrame.origin, (Point{720 - 310, 450 - 82 + 40}));
}

TEST_F(SwitcherPanelTest, WithoutScreensItKeepsItsFrameButStillComesForward) {
    platform.screens.list.clear();
    platform.screens.main = std::nullopt;
    auto& window = open(kFourWindows);
    EXPECT_EQ(window.windowFrame, (Rect{{0, 0}, {620, 600}}));
    EXPECT_TRUE(window.visible);
    EXPECT_TRUE(window.key);
}

TEST_F(SwitcherPanelTest, MovesWrapAroundAndTellTheController) {
    auto& window = open(kFourWindows);
    EXPECT_EQ(window.selected, 1);
    EXPECT_FALSE(key(kVK_DownArrow, kCGEventFlagMaskAlternate));
    EXPECT_FALSE(key(kVK_Tab, kCGEventFlagMaskControl));
    EXPECT_EQ(window.selected, 3);
    EXPECT_EQ(controller->selection(), 3);
    key(kVK_DownArrow);
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 0);
    key(kVK_Tab, kCGEventFlagMaskShift | kCGEventFlagMaskCommand);
    EXPECT_EQ(window.selected, 3);
    key(kVK_Tab);
    EXPECT_EQ(window.selected, 0);
    key(kVK_UpArrow);
    EXPECT_EQ(window.selected, 3);
    EXPECT_EQ(controller->selection(), 3);
}

TEST_F(SwitcherPanelTest, HighlightAndCommitAgreeUnderAFilterByKeys) {
    auto& window = open(kFourWindows);
    type("l");
    EXPECT_EQ(shownApps(), (Apps{"Shell", "Mail"}));
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 1);
    key(kVK_DownArrow);
    EXPECT_EQ(window.selected, 1);
    EXPECT_EQ(controller->selection(), 2);
    key(kVK_DownArrow);
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 1);
    EXPECT_FALSE(key(kVK_Return, kCGEventFlagMaskShift));
    EXPECT_EQ(activatedApps(platform), (Apps{"Shell"}));
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(window.visible);
}

TEST_F(SwitcherPanelTest, HighlightAndCommitAgreeUnderAFilterByClick) {
    auto& window = open(kFourWindows);
    type("l");
    window.click(-1);
    EXPECT_TRUE(controller->isVisible()) << "a click below the rows commits nothing";
    window.click(2);
    EXPECT_TRUE(controller->isVisible()) << "nor one past the shown rows";
    window.click(1);
    EXPECT_EQ(controller->selection(), 2);
    EXPECT_EQ(activatedApps(platform), (Apps{"Mail"}));
    EXPECT_FALSE(controller->isVisible());
}

TEST_F(SwitcherPanelTest, HighlightAndCommitAgreeUnderAFilterBySwitchKeys) {
    auto& window = open(kFourWindows);
    type("l");
    controller->advance(false);
    EXPECT_EQ(window.selected, 1);
    EXPECT_EQ(controller->selection(), 2);
    controller->advance(false);
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 1);
    controller->advance(true);
    EXPECT_EQ(window.selected, 1);
    EXPECT_EQ(controller->selection(), 2);
    controller->commitIfVisible();
    EXPECT_EQ(activatedApps(platform), (Apps{"Mail"}));
}

TEST_F(SwitcherPanelTest, SwitchKeysOverNoShownRowsChangeNothing) {
    auto& window = open(kFourWindows);
    type("q");
    platform.calls.clear();
    controller->advance(false);
    controller->advance(true);
    EXPECT_EQ(controller->selection(), 1);
    EXPECT_EQ(window.selected, -1);
    EXPECT_TRUE(platform.calls.calls().empty());
    // Return still commits what the showing started on.
    key(kVK_ANSI_KeypadEnter);
    EXPECT_EQ(activatedApps(platform), (Apps{"Shell"}));
}

TEST_F(SwitcherPanelTest, EveryEditHighlightsTheFirstMatch) {
    auto& window = open(kFourWindows);
    key(kVK_DownArrow);
    EXPECT_EQ(controller->selection(), 2);
    type("a");
    EXPECT_EQ(shownApps(), (Apps{"Browser", "Mail"}));
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 0);
}

TEST_F(SwitcherPanelTest, DeleteRemovesTheLastCharacterAndNothingWhenEmpty) {
    auto& window = open(kFourWindows);
    type("sh");
    EXPECT_EQ(controller->selection(), 1);
    EXPECT_FALSE(key(kVK_Delete));
    EXPECT_EQ(shownApps(), (Apps{"Browser", "Shell", "Editor"}));
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 0);
    key(kVK_DownArrow);
    EXPECT_FALSE(key(kVK_Delete));
    EXPECT_EQ(panel().numberOfRows(), 4);
    EXPECT_TRUE(window.labelHidden);
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(controller->selection(), 0);

    key(kVK_DownArrow);
    platform.calls.clear();
    EXPECT_FALSE(key(kVK_Delete, kCGEventFlagMaskCommand)) << "consumed";
    EXPECT_TRUE(platform.calls.calls().empty()) << "no resize, no re-highlight";
    EXPECT_EQ(window.selected, 1);
}

TEST_F(SwitcherPanelTest, ModifiersAreIgnoredExceptShiftOnTab) {
    open(kFourWindows);
    key(kLetterKey, kCGEventFlagMaskCommand, "a");
    key(kLetterKey, kCGEventFlagMaskCommand | kCGEventFlagMaskShift, "A");
    EXPECT_EQ(platform.panelSurfaces.last->labelText, "Search: aA");
    EXPECT_EQ(shownApps(), (Apps{"Browser"})) << "two a's: only 'browser start page' has them";
}

TEST_F(SwitcherPanelTest, EscapeHidesWithoutActivatingAndKeysThenPassOn) {
    auto& window = open(kFourWindows);
    type("s");
    EXPECT_FALSE(key(kVK_Escape));
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(window.visible);
    EXPECT_TRUE(activatedApps(platform).empty());
    EXPECT_EQ(window.labelText, "Search: s") << "the text stays until the next showing";

    platform.calls.clear();
    for (const std::int64_t code : {kVK_Return, kVK_Escape, kVK_DownArrow, kVK_UpArrow, kVK_Delete,
                                    kVK_Tab, kVK_ANSI_KeypadEnter})
        EXPECT_TRUE(key(code)) << code;
    EXPECT_TRUE(key(kLetterKey, 0, "x"));
    EXPECT_TRUE(platform.calls.calls().empty());
    controller->commitIfVisible();
    EXPECT_TRUE(activatedApps(platform).empty());
}

TEST_F(SwitcherPanelTest, AGoneControllerOrPanelPassesEveryKey) {
    open(kFourWindows);
    const auto orphan = SwitcherPanel::create(std::weak_ptr<SwitcherController>());
    orphan->update(entriesOf(kFourWindows), 0);
    controller.reset();  // takes its panel with it; the orphan never had a controller
    EXPECT_TRUE(key(kVK_Return));
    EXPECT_TRUE(key(kLetterKey, 0, "s"));
    EXPECT_EQ(orphan->searchBuffer(), "");

    // Without a controller a click still cannot commit or crash.
    platform.panelSurfaces.last->click(0);
    EXPECT_TRUE(activatedApps(platform).empty());
}

}  // namespace
}  // namespace tavrel
