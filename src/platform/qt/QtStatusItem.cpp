#include "platform/qt/QtStatusItem.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPalette>
#include <QSystemTrayIcon>

#include "platform/qt/StackSymbol.h"
#include "platform/qt/StatusMenu.h"
#include "platform/qt/TrayHostWatch.h"

namespace tavrel::qt {
namespace {
// A one-character key equivalent is pressed with the desktop's command key, Ctrl.
QKeySequence shortcutFor(const std::string& keyEquivalent) {
    if (keyEquivalent.empty())
        return {};
    return QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(keyEquivalent).toUpper());
}
}  // namespace

QtStatusItem::QtStatusItem(std::unique_ptr<TrayHostWatch> hosts)
    : menu_(std::make_unique<StatusMenu>()), hosts_(std::move(hosts)) {
    if (!hasButton())
        return;
    connect(hosts_.get(), &TrayHostWatch::changed, this, &QtStatusItem::showButton);
    QApplication::instance()->installEventFilter(this);
}

QtStatusItem::~QtStatusItem() = default;

bool QtStatusItem::hasButton() {
    return hosts_ && hosts_->possible();
}

void QtStatusItem::setButtonImage(std::optional<SymbolImage> image) {
    if (!hasButton())
        return;
    image_ = std::move(image);
    wantButton();
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
    wantButton();
}

bool QtStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QApplication::instance() && event->type() == QEvent::ApplicationPaletteChange &&
        image_ && image_->isTemplate)
        paintImage();
    return QObject::eventFilter(watched, event);
}

void QtStatusItem::paintImage() {
    if (!tray_)
        return;
    if (!image_) {
        tray_->setIcon(QIcon());
        tray_->setToolTip(QString());
        return;
    }
    // Drawn in the colour the tray asks for; a tray that does not say may be dark or light, so
    // the text colour gets a contrasting rim.
    if (const std::optional<QColor> trayColour = hosts_->iconColour()) {
        tray_->setIcon(StackSymbol::icon(*trayColour));
    } else {
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        tray_->setIcon(StackSymbol::icon(text, StackSymbol::contrastingOutline(text)));
    }
    tray_->setToolTip(QString::fromStdString(image_->accessibilityDescription));
}

// Given something to show, the item shows it as soon as a tray host is there.
void QtStatusItem::wantButton() {
    if (!hasButton())
        return;
    wanted_ = true;
    showButton();
}

// The icon is made once a tray host is there: Qt decides between XEmbed and StatusNotifier
// when the icon is made, and only keeps a made icon in trays that come later.
void QtStatusItem::showButton() {
    if (!tray_) {
        if (!wanted_ || !hosts_->hostPresent())
            return;
        tray_ = std::make_unique<QSystemTrayIcon>();
        tray_->setContextMenu(menu_.get());
        connect(tray_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        openMenu();
                });
    }
    paintImage();
    if (!tray_->isVisible())
        tray_->show();
}

void QtStatusItem::openMenu() {
    menu_->popup(QCursor::pos());
}

}  // namespace tavrel::qt
