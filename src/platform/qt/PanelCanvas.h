#pragma once
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/PanelSurface.h"
#include "platform/qt/LabelPainter.h"
#include "platform/qt/RowPainter.h"

class QPainter;

namespace tavrel::qt {

class IconPixmapCache;

// The switcher panel's picture, the same on every desktop: the rounded background with its
// border, the search label pinned to the top edge, and the one-column table with its
// highlight and overlay scroller. It holds what the core drives through PanelSurface and paints
// it into an image the caller owns; it knows nothing of windows. Only the rows in view are
// asked for and drawn, so a paint costs the same with ten windows or a thousand.
//
// Lengths are points, measured from the panel's top-left corner, y down (the core's y-up
// frames are converted here). A presenter sets the size, asks what changed and paints that.
class PanelCanvas {
  public:
    // The layout's frames are given in a panel of `initialSize`. `dataSource` and `icons`
    // outlive the canvas.
    PanelCanvas(const PanelContentLayout& layout, QSizeF initialSize, PanelDataSource& dataSource,
                IconPixmapCache& icons);

    // The table. The selection is kept while its row still exists; indexes outside the rows
    // are ignored.
    void reloadData();
    void selectRow(std::int64_t row);
    void scrollRowToVisible(std::int64_t row);
    void scrollToTop();
    // Positive scrolls towards the end of the list; clamped to it.
    void scrollBy(double points);
    double rowHeight() const { return layout_.rowHeight; }
    std::int64_t selectedRow() const { return selected_; }
    std::int64_t rowCount() const { return rows_; }
    // The row of the last click, -1 when it hit no row.
    std::int64_t clickedRow() const { return clicked_; }

    void setSearchLabelHidden(bool hidden);
    void setSearchLabelText(const std::string& text);

    // The scroll view's frame, y-up in the panel as the core gives it; it keeps its margins
    // to the panel's edges when the panel is resized.
    void setScrollViewFrame(const Rect& frame);
    void setSize(QSizeF size);
    QSizeF size() const { return size_; }
    // Translucent: the fill lets the desktop through and the corners stay clear, for a
    // window with an alpha channel under a compositor. Otherwise the fill is opaque and the
    // window is to be cut to shape().
    void setTranslucent(bool translucent);

    // Pointer input, in points. A press highlights the row under it; the release reports the
    // click (the pressed row, or none) to the data source.
    std::int64_t rowAt(QPointF position) const;
    void press(QPointF position);
    void release();

    // Called after any change that alters the picture; the presenter repaints when it suits.
    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }
    // Where the picture differs from the last one painted: everything before the first paint,
    // empty when nothing changed.
    QRectF changes();
    // Draws `area` of the panel into `image` (at the image's device pixel ratio; the panel's
    // top-left at the image's) and takes the whole image to show the picture as it is now: a
    // presenter paints at least changes(), into an image holding the last picture.
    void paint(QImage& image, const QRectF& area);
    // The rounded outline of the whole panel.
    QPainterPath shape() const;
    // Where the rows are, in the panel.
    QRectF tableRect() const;
    // Loads the fonts and builds their glyph caches, which the first paint would otherwise do
    // while the user waits.
    void warmUp();

  private:
    struct RowPicture {
        double top = 0;
        RowCell cell;
        bool selected = false;
        bool operator==(const RowPicture& other) const;
    };
    // Everything that decides the pixels.
    struct Picture {
        QSizeF size;
        bool translucent = false;
        QRectF table;
        std::optional<std::string> label;  // while shown
        QRectF scroller;                   // empty while everything fits
        std::vector<RowPicture> rows;
    };

    double contentHeight() const;
    double maxScroll() const;
    void setScroll(double scroll);
    void changed();
    QRectF labelRect() const;
    QRectF scrollerRect() const;
    QRectF rowRect(double top) const;
    Picture picture();
    QRectF difference(const Picture& now, const Picture& before) const;
    void paintBackground(QPainter& painter, const QRectF& area, double ratio);
    void paintRows(QPainter& painter, const std::vector<RowPicture>& rows, const QRectF& area);
    void paintScroller(QPainter& painter, const QRectF& scroller) const;
    const QImage& rowImage(const RowPicture& row, QSizeF size, double ratio);
    QColor fill() const;
    bool rowsCover(const std::vector<RowPicture>& rows, const QRectF& area) const;

    PanelContentLayout layout_;
    PanelDataSource& dataSource_;
    RowPainter rowPainter_;
    LabelPainter labels_;
    QSizeF size_;
    QMarginsF labelMargins_;  // left, top and right; its height is fixed
    double labelHeight_ = 0;
    QMarginsF tableMargins_;
    bool translucent_ = false;
    bool labelHidden_ = true;
    std::string labelText_;
    std::int64_t rows_ = 0;
    std::int64_t selected_ = -1;
    std::int64_t clicked_ = -1;
    std::int64_t pressed_ = -1;
    double scroll_ = 0;
    std::optional<Picture> painted_;
    QImage background_;  // the background alone, at the size and ratio last painted
    struct CachedRow {
        RowCell cell;
        bool selected = false;
        QRgb background = 0;
        QImage image;
    };
    std::vector<CachedRow> rowImages_;  // least recently used first
    bool backgroundTranslucent_ = false;
    std::function<void()> onChange_;
};

}  // namespace tavrel::qt
