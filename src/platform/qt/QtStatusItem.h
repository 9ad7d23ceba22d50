#pragma once
#include <QObject>
#include <memory>

#include "platform/StatusBar.h"

class QSystemTrayIcon;

namespace tavrel::qt {

class StatusMenu;

// A tray icon (XEmbed or StatusNotifier, whichever host Qt finds) with its menu. Without a tray
// host the item has no button and shows nothing; its menu is still built.
class QtStatusItem final : public QObject, public StatusItem {
    Q_OBJECT
  public:
    explicit QtStatusItem(bool withButton);
    ~QtStatusItem() override;

    bool hasButton() override { return tray_ != nullptr; }
    void setButtonImage(std::optional<SymbolImage> image) override;
    bool buttonHasImage() override { return image_.has_value(); }
    void setButtonImageTemplate(bool isTemplate) override;
    void setMenu(std::vector<MenuEntry> entries) override;

    StatusMenu& menu() { return *menu_; }
    QSystemTrayIcon* trayIcon() { return tray_.get(); }  // null without a button

  protected:
    // A template image follows the text colour when the palette changes (light/dark).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paintImage();
    void showButton();
    void openMenu();

    std::unique_ptr<StatusMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::optional<SymbolImage> image_;
    std::vector<MenuEntry> entries_;
};

}  // namespace tavrel::qt
