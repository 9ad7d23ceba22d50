#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTest>

#include "ChildProcess.h"
#include "platform/qt/QtStatusBar.h"
#include "platform/qt/QtStatusItem.h"
#include "platform/qt/StatusMenu.h"

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
    QtStatusItem item(false);
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

TEST(StatusItemTest, WithoutATrayHostThereIsNoButtonAndWithOneTheIconShows) {
    QtStatusBar bar;
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_FALSE(bar.statusItemWithLength(NSVariableStatusItemLength)->hasButton());

    ChildProcess tray = ChildProcess::start({"trayer", "--edge", "top", "--align", "right"});
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000));
    auto item = bar.statusItemWithLength(NSVariableStatusItemLength);
    ASSERT_TRUE(item->hasButton());
    item->setButtonImage(bar.imageWithSystemSymbolName("rectangle.stack.fill", "tavrel"));
    ASSERT_TRUE(item->buttonHasImage());
    item->setButtonImageTemplate(true);
    QSystemTrayIcon* icon = static_cast<QtStatusItem&>(*item).trayIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_EQ(icon->toolTip(), QStringLiteral("tavrel"));
    // A template image follows the text colour: dark text, then light text.
    const QPalette original = QApplication::palette();
    const auto frontCardColour = [icon] {
        return icon->icon().pixmap(24).toImage().pixelColor(12, 15);
    };
    QPalette light = original;
    light.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(light);
    EXPECT_EQ(frontCardColour(), QColor(Qt::white));
    QApplication::setPalette(original);
    EXPECT_EQ(frontCardColour(), original.color(QPalette::WindowText));

    // A left click opens the same menu as a right click.
    int shown = 0, quit = 0;
    item->setMenu(switcherMenu(shown, quit));
    auto& menu = static_cast<QtStatusItem&>(*item).menu();
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.close();
}

}  // namespace
}  // namespace tavrel::qt::test
