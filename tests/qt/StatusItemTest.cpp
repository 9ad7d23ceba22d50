#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ChildProcess.h"
#include "platform/qt/QtStatusBar.h"
#include "platform/qt/QtStatusItem.h"
#include "platform/qt/StackSymbol.h"
#include "platform/qt/StatusMenu.h"
#include "platform/qt/TrayHostWatch.h"

namespace tavrel::qt::test {
namespace {

std::vector<MenuEntry> switcherMenu(int& shown, int& quit) {
    return {
        {MenuEntry::Kind::item, "Show Switcher", "", [&shown] { ++shown; }},
        {MenuEntry::Kind::separator, "", "", nullptr},
        {MenuEntry::Kind::item, "Open Accessibility Settings…", "", [] {}},
        {MenuEntry::Kind::separator, "", "", nullptr},
        {MenuEntry::Kind::item, "Quit tavrel", "q", [&quit] { ++quit; }},
    };
}

TEST(StatusItemTest, MenuHoldsTheFiveEntriesAndQuitShowsCtrlQ) {
    int shown = 0, quit = 0;
    QtStatusBar bar;
    auto item = bar.statusItemWithLength(NSVariableStatusItemLength);
    item->setMenu(switcherMenu(shown, quit));
    const QList<QAction*> actions = static_cast<QtStatusItem&>(*item).menu().actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Show Switcher"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Open Accessibility Settings…"));
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("Quit tavrel"));
    EXPECT_EQ(actions[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(actions[0]->shortcut().isEmpty());

    actions[0]->trigger();
    EXPECT_EQ(shown, 1);
}

TEST(StatusItemTest, CtrlQInTheOpenMenuQuitsAndOtherKeysDoNot) {
    int shown = 0, quit = 0;
    QtStatusItem item(nullptr);
    item.setMenu(switcherMenu(shown, quit));
    item.menu().popup(QPoint(200, 200));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&item.menu()));
    QTest::keyClick(&item.menu(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(quit, 0);
    EXPECT_TRUE(item.menu().isVisible());
    QTest::keyClick(&item.menu(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit, 1);
    EXPECT_FALSE(item.menu().isVisible());
}

TEST(StatusItemTest, OnlyTheProjectsOwnSymbolExists) {
    QtStatusBar bar;
    const auto symbol = bar.imageWithSystemSymbolName("rectangle.stack.fill", "tavrel");
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->accessibilityDescription, "tavrel");
    EXPECT_FALSE(bar.imageWithSystemSymbolName("gearshape", "x"));
}

// A tray manager of the test's own: it takes the tray selection, offers the colour its icons
// should be drawn in and announces itself, but embeds nothing.
class ColouredTray {
  public:
    explicit ColouredTray(const QColor& colour) : connection_(xcb_connect(nullptr, nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        std::uint32_t colours[12] = {};
        colours[0] = static_cast<std::uint32_t>(colour.red()) * 257;
        colours[1] = static_cast<std::uint32_t>(colour.green()) * 257;
        colours[2] = static_cast<std::uint32_t>(colour.blue()) * 257;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_,
                            atom("_NET_SYSTEM_TRAY_COLORS"), XCB_ATOM_CARDINAL, 32, 12, colours);
        const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
        xcb_set_selection_owner(connection_, window_, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = atom("MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = window_;
        xcb_send_event(connection_, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&manager));
        xcb_flush(connection_);
    }
    ~ColouredTray() { xcb_disconnect(connection_); }

  private:
    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(
                connection_,
                xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)),
                                name),
                nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    xcb_connection_t* connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

// The colour of the front card's middle, and of the rim just under its bottom edge.
QColor frontCard(QSystemTrayIcon* icon) {
    return icon->icon().pixmap(24).toImage().pixelColor(12, 15);
}
QColor rimBelowFrontCard(QSystemTrayIcon* icon) {
    return icon->icon().pixmap(24).toImage().pixelColor(12, 21);
}

TEST(StatusItemTest, TheIconIsMadeWhenATrayAppearsAndTakesTheTraysColour) {
    QtStatusBar bar;
    auto item = bar.statusItemWithLength(NSVariableStatusItemLength);
    ASSERT_TRUE(item->hasButton()) << "on an X display a tray can always come";
    item->setButtonImage(bar.imageWithSystemSymbolName("rectangle.stack.fill", "tavrel"));
    item->setButtonImageTemplate(true);
    auto& qtItem = static_cast<QtStatusItem&>(*item);
    EXPECT_EQ(qtItem.trayIcon(), nullptr) << "no tray yet";

    const QColor trayColour(0x40, 0x80, 0xc0);
    ColouredTray tray(trayColour);
    ASSERT_TRUE(QTest::qWaitFor([&] { return qtItem.trayIcon() != nullptr; }, 5000));
    EXPECT_TRUE(qtItem.trayIcon()->isVisible());
    EXPECT_EQ(qtItem.trayIcon()->toolTip(), QStringLiteral("tavrel"));
    EXPECT_EQ(frontCard(qtItem.trayIcon()), trayColour);
    EXPECT_EQ(rimBelowFrontCard(qtItem.trayIcon()).alpha(), 0) << "the tray said: no rim";
}

TEST(StatusItemTest, InATrayThatGivesNoColourTheIconFollowsTheTextColourWithARim) {
    ChildProcess tray = ChildProcess::start({"trayer", "--edge", "top", "--align", "right"});
    QtStatusBar bar;
    auto item = bar.statusItemWithLength(NSVariableStatusItemLength);
    item->setButtonImage(bar.imageWithSystemSymbolName("rectangle.stack.fill", "tavrel"));
    ASSERT_TRUE(item->buttonHasImage());
    item->setButtonImageTemplate(true);
    auto& qtItem = static_cast<QtStatusItem&>(*item);
    ASSERT_TRUE(QTest::qWaitFor([&] { return qtItem.trayIcon() != nullptr; }, 5000));
    QSystemTrayIcon* icon = qtItem.trayIcon();
    EXPECT_TRUE(icon->isVisible());
    // A template image follows the text colour: dark text, then light text; the rim contrasts.
    const QPalette original = QApplication::palette();
    QPalette light = original;
    light.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(light);
    EXPECT_EQ(frontCard(icon), QColor(Qt::white));
    EXPECT_EQ(rimBelowFrontCard(icon), QColor(Qt::black));
    QApplication::setPalette(original);
    EXPECT_EQ(frontCard(icon), original.color(QPalette::WindowText));
    EXPECT_EQ(rimBelowFrontCard(icon),
              StackSymbol::contrastingOutline(original.color(QPalette::WindowText)));

    // A left click opens the same menu as a right click.
    int shown = 0, quit = 0;
    item->setMenu(switcherMenu(shown, quit));
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&qtItem.menu()));
    qtItem.menu().close();
}

}  // namespace
}  // namespace tavrel::qt::test
