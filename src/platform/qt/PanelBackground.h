#pragma once
#include <QMargins>
#include <QWidget>

#include "platform/PanelSurface.h"

class QLabel;

namespace tavrel::qt {

class IconPixmapCache;
class PanelListView;

// The panel's rounded background with its border, holding the search label (pinned to the top
// edge, width following the panel) and the table (its margins kept as the panel resizes).
class PanelBackground final : public QWidget {
    Q_OBJECT
  public:
    PanelBackground(const PanelContentLayout& layout, QSize initialSize,
                    PanelDataSource& dataSource, IconPixmapCache& icons);

    QLabel& searchLabel() { return *label_; }
    PanelListView& list() { return *list_; }
    // In this view's y-up coordinates.
    void setScrollFrame(const Rect& frame);
    // Translucent fills let the desktop show through; only a compositor can blend them.
    void setTranslucent(bool translucent);
    // The border's centre line, and the whole rounded shape the window is cut to.
    QPainterPath outline() const;
    QPainterPath shape() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeChildren();

    PanelContentLayout layout_;
    QLabel* label_ = nullptr;        // a child: Qt owns it
    PanelListView* list_ = nullptr;  // a child: Qt owns it
    QMargins labelMargins_;          // left, top and right; its height is fixed
    int labelHeight_ = 0;
    QMargins listMargins_;
    bool translucent_ = false;
};

}  // namespace tavrel::qt
