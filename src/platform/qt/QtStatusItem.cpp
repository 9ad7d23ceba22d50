#include "platform/qt/QtStatusItem.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPalette>
#include <QSystemTrayIcon>

#include "platform/qt/StackSymbol.h"
#include "platform/qt/StatusMenu.h"

namespace tavrel::qt {
namespace {
// A one-character key equivalent is pressed with the desktop's command key, Ctrl.
QKeySequence shortcutFor(const std::string& keyEquivalent) {
    if (keyEquivalent.empty())
        return {};
    return QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(keyEquivalent).toUpper());
}
}  // namespace

QtStatusItem::QtStatusItem(bool withButton) : menu_(std::make_unique<StatusMenu>()) {
    if (!withButton)
        return;
    tray_ = std::make_unique<QSystemTrayIcon>();
    tray_->setContextMenu(menu_.get());
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    openMenu();
            });
    QApplication::instance()->installEventFilter(this);
}

QtStatusItem::~QtStatusItem() = default;

void QtStatusItem::setButtonImage(std::optional<SymbolImage> image) {
    if (!tray_)
        return;
    image_ = std::move(image);
    paintImage();
    showButton();
}

void QtStatusItem::setButtonImageTemplate(bool isTemplate) {
    if (!image_)
        return;
    image_->isTemplate = isTemplate;
    paintImage();
}

void QtStatusItem::setMenu(std::vector<MenuEntry> entries) {
    entries_ = std::move(entries);
    menu_->clear();
    for (const MenuEntry& entry : entries_) {
        if (entry.kind == MenuEntry::Kind::separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(entry.title));
        action->setShortcut(shortcutFor(entry.keyEquivalent));
        action->setShortcutContext(Qt::WidgetShortcut);
        if (entry.action)
            connect(action, &QAction::triggered, this, [action = entry.action] { action(); });
    }
    showButton();
}

bool QtStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QApplication::instance() && event->type() == QEvent::ApplicationPaletteChange &&
        image_ && image_->isTemplate)
        paintImage();
    return QObject::eventFilter(watched, event);
}

void QtStatusItem::paintImage() {
    if (!image_) {
        tray_->setIcon(QIcon());
        tray_->setToolTip(QString());
        return;
    }
    tray_->setIcon(StackSymbol::icon(QApplication::palette().color(QPalette::WindowText)));
    tray_->setToolTip(QString::fromStdString(image_->accessibilityDescription));
}

void QtStatusItem::showButton() {
    if (tray_ && !tray_->isVisible())
        tray_->show();
}

void QtStatusItem::openMenu() {
    menu_->popup(QCursor::pos());
}

}  // namespace tavrel::qt
