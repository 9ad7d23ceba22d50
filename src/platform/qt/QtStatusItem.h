#pragma once
#include <QObject>
#include <memory>

#include "platform/StatusBar.h"

class QSystemTrayIcon;

namespace tavrel::qt {

class StatusMenu;
class TrayHostWatch;

// A tray icon (XEmbed or StatusNotifier, whichever host Qt finds) with its menu. The icon is
// made when the first tray host appears, at start or any time later; after that Qt moves it
// into every new tray (a restarted panel). Without a way to ever reach a tray (no display and
// no session bus) the item has no button; its menu is still built.
class QtStatusItem final : public QObject, public StatusItem {
    Q_OBJECT
  public:
    // `hosts` null: no tray can ever show up.
    explicit QtStatusItem(std::unique_ptr<TrayHostWatch> hosts);
    ~QtStatusItem() override;

    bool hasButton() override;
    void setButtonImage(std::optional<SymbolImage> image) override;
    bool buttonHasImage() override { return image_.has_value(); }
    void setButtonImageTemplate(bool isTemplate) override;
    void setMenu(std::vector<MenuEntry> entries) override;

    StatusMenu& menu() { return *menu_; }
    QSystemTrayIcon* trayIcon() { return tray_.get(); }  // null until a tray host appears

  protected:
    // A template image follows the text colour when the palette changes (light/dark).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paintImage();
    void wantButton();
    void showButton();
    void openMenu();

    std::unique_ptr<StatusMenu> menu_;
    std::unique_ptr<TrayHostWatch> hosts_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::optional<SymbolImage> image_;
    bool wanted_ = false;  // an image or a menu was given
    std::vector<MenuEntry> entries_;
};

}  // namespace tavrel::qt
