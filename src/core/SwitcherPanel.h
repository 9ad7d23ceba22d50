#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/TextMatch.h"
#include "core/WindowEntry.h"
#include "platform/EventMonitor.h"
#include "platform/PanelSurface.h"
#include "platform/Screens.h"

namespace tavrel {

class SwitcherController;

// The floating list of windows while a switch is in progress: keys, type-to-filter, sizing
// and placement. Two index spaces meet here: the controller's selection indexes the full
// list, the table's rows index the filtered one; they are joined by the window number.
class SwitcherPanel final : public PanelDataSource,
                            public std::enable_shared_from_this<SwitcherPanel> {
    struct Passkey {};

  public:
    static constexpr double rowHeight = 38.0;
    static constexpr double panelWidth = 620.0;
    static constexpr double cornerRadius = 10.0;
    static constexpr double selectionInsetX = 7.0;
    static constexpr double selectionInsetY = 3.0;
    static constexpr double selectionCornerRadius = 8.0;

    // A complete, hidden panel with its key monitor installed. The controller is held weakly.
    static std::shared_ptr<SwitcherPanel> create(std::weak_ptr<SwitcherController> controller);
    ~SwitcherPanel() override;
    SwitcherPanel(const SwitcherPanel&) = delete;
    SwitcherPanel& operator=(const SwitcherPanel&) = delete;

    // A new showing: the whole list, no filter, the row at `selection` (clamped) highlighted.
    void update(std::vector<WindowEntry> entries, std::int64_t selection);
    // Places the panel on the screen under the pointer, in front, receiving keys.
    void present();
    void orderOut();
    // Highlights exactly one row, clamped to the rows shown; nothing when none are shown.
    void selectRow(std::int64_t row);

    // True while typed text narrows the rows.
    bool isFiltered() const { return !searchBuffer_.empty(); }
    // Moves the highlight to the next (or previous) shown row after the one holding the
    // full-list index `selection`, wrapping, and answers that row's full-list index. Nothing
    // with no rows shown.
    std::optional<std::int64_t> stepShownRows(bool reverse, std::int64_t selection);

    // One key-down while the switch is up; true when it was consumed.
    bool handleKeyDown(const KeyboardEvent& event);

    const std::string& searchBuffer() const { return searchBuffer_; }

    // The panel's height for a row count, whether filter text shows, and the visible height
    // of its screen.
    static double height(std::size_t rows, bool filterShown, double visibleHeight);
    // Where a panel of that height goes on a screen's visible frame.
    static Point origin(Rect visibleFrame, double height);
    // How the panel's window is made and its views laid out: what the platform builds from.
    static PanelWindowStyle windowStyle();
    static PanelContentLayout contentLayout();

    // The table's data source and the row views' description.
    std::int64_t numberOfRows() override;
    std::optional<RowCell> cellForRow(std::int64_t row) override;
    void rowClicked() override;
    std::optional<RoundedRect> selectionHighlight(Rect rowBounds, bool selected) override;
    BackgroundStyle interiorBackgroundStyle(bool selected) override;
    RowCellAppearance cellAppearance(double cellWidth, BackgroundStyle style) override;

    // For create() only.
    SwitcherPanel(Passkey, std::weak_ptr<SwitcherController> controller);

  private:
    void installKeyMonitor();
    void moveSelection(std::int64_t delta);
    bool typeCharacter(const std::optional<std::string>& characters);
    void applyFilter();
    void updateSearchLabel();
    void sizeToContents();
    void place();
    std::optional<Screen> activeScreen();
    // Highlights `row` of the shown rows and tells the controller which entry that is.
    void chooseRow(std::int64_t row);
    // The first position in the full list holding the same window as shown row `row`.
    std::optional<std::int64_t> fullIndexOf(std::size_t row) const;

    std::weak_ptr<SwitcherController> controller_;
    std::vector<WindowEntry> entries_;
    std::vector<std::size_t> filtered_;  // positions in entries_, in order
    std::string searchBuffer_;
    std::optional<MonitorToken> keyMonitor_;
    TextMatcher matcher_;
    std::string rowText_;
    // Last, so it goes first: the window asks this panel for rows until it is gone.
    std::unique_ptr<PanelSurface> surface_;
};

}  // namespace tavrel
