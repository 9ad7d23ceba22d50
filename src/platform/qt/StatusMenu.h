#pragma once
#include <QMenu>

namespace tavrel::qt {

// A menu that acts on its entries' shortcuts while it is open: a QMenu shows "Ctrl+Q" next to
// "Quit" but, holding the keyboard itself, never lets the shortcut fire.
class StatusMenu final : public QMenu {
    Q_OBJECT
  public:
    using QMenu::QMenu;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tavrel::qt
