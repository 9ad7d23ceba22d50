#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Geometry.h"
#include "platform/Image.h"

namespace tavrel {

// Colours by role; the desktop decides what each role looks like.
enum class SystemColor { accent, label, secondaryLabel, tertiaryLabel, separator, white, clear };
struct Colour {
    SystemColor role = SystemColor::label;
    double alpha = 1.0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

enum class FontWeight { regular, medium };
struct Font {
    double size = 13.0;
    FontWeight weight = FontWeight::regular;
    friend bool operator==(const Font&, const Font&) = default;
};

enum class TextAlignment { natural, left, right };
enum class LineBreakMode { truncatingHead, truncatingTail };

struct LabelStyle {
    Font font;
    Colour colour;
    TextAlignment alignment = TextAlignment::natural;
    LineBreakMode lineBreak = LineBreakMode::truncatingTail;
    int maximumNumberOfLines = 1;
    friend bool operator==(const LabelStyle&, const LabelStyle&) = default;
};

// The background style a row hands its cells: emphasized while the row is selected.
enum class BackgroundStyle : std::int64_t { normal = 0, emphasized = 1, raised = 2, lowered = 3 };

struct RoundedRect {
    Rect rect;
    double radius = 0;
    Colour fill;
    friend bool operator==(const RoundedRect&, const RoundedRect&) = default;
};

// One cell's three views on one line, each centred vertically in the row. x and width
// are in the cell's coordinates; label heights come from their fonts.
struct RowCellAppearance {
    double nameX = 0, nameWidth = 0;
    LabelStyle name;
    double iconX = 0, iconSize = 0;  // square; images larger are shrunk, smaller are not grown
    double titleX = 0, titleWidth = 0;
    LabelStyle title;
};

// What one row shows.
struct RowCell {
    std::string appName;
    Image icon;  // null clears the image
    std::string title;
};

// How the panel window is made and styled once at construction.
struct PanelWindowStyle {
    Rect contentRect;
    std::uint64_t styleMask = 0;
    std::int64_t backing = 0;
    bool defer = false;
    bool floatingPanel = false;
    std::int64_t level = 0;
    std::uint64_t collectionBehavior = 0;
    bool hidesOnDeactivate = false;
    bool movable = false;
    bool hasShadow = false;
    Colour backgroundColour;
    bool opaque = false;
    std::int64_t animationBehavior = 0;
};

// The panel's view tree: background, search label, scroll view and one-column table.
struct PanelContentLayout {
    double cornerRadius = 0;
    double borderWidth = 0;
    Colour borderColour;
    Rect searchLabelFrame;  // in the background's coordinates, y up
    LabelStyle searchLabel;
    double scrollInset = 0;
    bool overlayScroller = true;
    double rowHeight = 0;
    double columnWidth = 0;
};

// Implemented by the core's panel: the table's data source, its click action and the
// description of how rows and cells draw.
class PanelDataSource {
  public:
    virtual ~PanelDataSource() = default;
    virtual std::int64_t numberOfRows() = 0;
    // Nothing for an index outside the rows.
    virtual std::optional<RowCell> cellForRow(std::int64_t row) = 0;
    virtual void rowClicked() = 0;
    // Nothing to draw for an unselected row.
    virtual std::optional<RoundedRect> selectionHighlight(Rect rowBounds, bool selected) = 0;
    virtual BackgroundStyle interiorBackgroundStyle(bool selected) = 0;
    virtual RowCellAppearance cellAppearance(double cellWidth, BackgroundStyle style) = 0;
};

// The panel window with its table and search label, as the core drives it.
class PanelSurface {
  public:
    virtual ~PanelSurface() = default;

    // Table.
    virtual void selectRowIndexes(std::int64_t row, bool byExtendingSelection) = 0;
    virtual void scrollRowToVisible(std::int64_t row) = 0;
    virtual void reloadData() = 0;
    virtual std::int64_t selectedRow() = 0;  // -1 when none
    virtual std::int64_t clickedRow() = 0;   // -1 when the click hit no row

    // Search label.
    virtual void setSearchLabelHidden(bool hidden) = 0;
    virtual void setSearchLabelText(const std::string& text) = 0;

    // Scroll view, in the background's coordinates.
    virtual void setScrollViewFrame(Rect frame) = 0;

    // Window.
    virtual Rect frame() = 0;
    virtual void setFrame(Rect frame, bool display) = 0;
    virtual void setFrameOrigin(Point origin) = 0;
    virtual void orderFrontRegardless() = 0;
    virtual void makeKeyWindow() = 0;
    virtual void orderOut() = 0;
};

class PanelSurfaces {
  public:
    virtual ~PanelSurfaces() = default;
    // A hidden panel. `dataSource` outlives the surface.
    virtual std::unique_ptr<PanelSurface> makePanel(const PanelWindowStyle& style,
                                                    const PanelContentLayout& layout,
                                                    PanelDataSource& dataSource) = 0;
};

}  // namespace tavrel
