#pragma once
#include <QWidget>

namespace tavrel::qt {

class PanelBackground;

// A borderless top-level that the window manager never sees (override-redirect), stays above
// other windows and never takes the input focus. Translucent windows get a 32-bit visual;
// opaque ones are cut to the background's rounded outline with a window mask instead.
class PanelWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit PanelWindow(bool translucent);

    bool translucent() const { return translucent_; }
    // Moves the background (and everything on it) into this window.
    void adopt(PanelBackground& background);
    // The background follows at once, not when the server confirms the new size, so the
    // views can be laid out against the new size right away.
    void setFrame(const QRect& frame);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fitBackground();

    PanelBackground* background_ = nullptr;  // a child while adopted: Qt owns it
    bool translucent_;
};

}  // namespace tavrel::qt
