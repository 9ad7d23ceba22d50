#pragma once
#include "platform/PanelSurface.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

// A panel without pixels: remembers its state and records every call.
class FakePanelSurface final : public PanelSurface {
  public:
    FakePanelSurface(CallLog& log, PanelDataSource& dataSource, const PanelWindowStyle& style,
                     const PanelContentLayout& layout);

    void selectRowIndexes(std::int64_t row, bool byExtendingSelection) override;
    void scrollRowToVisible(std::int64_t row) override;
    void reloadData() override;
    std::int64_t selectedRow() override { return selected; }
    std::int64_t clickedRow() override { return clicked; }
    void setSearchLabelHidden(bool hidden) override;
    void setSearchLabelText(const std::string& text) override;
    void setScrollViewFrame(Rect frame) override;
    Rect frame() override { return windowFrame; }
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    // A click on a row, as the table reports it to its action.
    void click(std::int64_t row);

    PanelDataSource& dataSource;
    PanelWindowStyle style;
    PanelContentLayout layout;
    std::int64_t selected = -1;
    std::int64_t clicked = -1;
    std::int64_t scrolledTo = -1;
    bool labelHidden = true;
    std::string labelText;
    Rect scrollFrame;
    Rect windowFrame;
    bool visible = false;
    bool key = false;

  private:
    CallLog& log_;
};

class FakePanelSurfaces final : public PanelSurfaces {
  public:
    explicit FakePanelSurfaces(CallLog& log) : log_(log) {}
    std::unique_ptr<PanelSurface> makePanel(const PanelWindowStyle& style,
                                            const PanelContentLayout& layout,
                                            PanelDataSource& dataSource) override;

    FakePanelSurface* last = nullptr;  // the most recent panel made (not owned)
    int made = 0;

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
