#pragma once
#include <functional>
#include <memory>

#include "platform/PanelSurface.h"
#include "platform/qt/CompositorWatch.h"
#include "platform/qt/IconPixmapCache.h"

namespace tavrel::qt {

class PanelBackground;
class PanelListView;
class PanelWindow;

struct KeyboardHandlers {
    std::function<void()> take;
    std::function<void()> release;
};

// The switcher panel on an X11 desktop. Built once; each show only swaps the data. Two
// native windows exist, one with a 32-bit visual and one opaque, and the content moves to the
// one that suits whether a compositor runs (without one, translucent pixels come out black).
class QtPanelSurface final : public PanelSurface {
  public:
    QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                   PanelDataSource& dataSource, IconPixmapCache& icons, CompositorWatch& compositor,
                   const KeyboardHandlers& keyboard);
    ~QtPanelSurface() override;

    void selectRowIndexes(std::int64_t row, bool byExtendingSelection) override;
    void scrollRowToVisible(std::int64_t row) override;
    void reloadData() override;
    std::int64_t selectedRow() override;
    std::int64_t clickedRow() override;
    void setSearchLabelHidden(bool hidden) override;
    void setSearchLabelText(const std::string& text) override;
    void setScrollViewFrame(Rect frame) override;
    Rect frame() override;
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    PanelWindow& window() { return *current_; }
    PanelBackground& background() { return *background_; }

  private:
    void warmUp(const PanelContentLayout& layout);
    void useTranslucentWindow(bool translucent);
    PanelListView& list();

    std::unique_ptr<PanelWindow> translucentWindow_;
    std::unique_ptr<PanelWindow> opaqueWindow_;
    PanelWindow* current_ = nullptr;         // one of the two
    PanelBackground* background_ = nullptr;  // a child of current_: Qt owns it
    const KeyboardHandlers& keyboard_;
};

class QtPanelSurfaces final : public PanelSurfaces {
  public:
    QtPanelSurfaces();
    ~QtPanelSurfaces() override;
    std::unique_ptr<PanelSurface> makePanel(const PanelWindowStyle& style,
                                            const PanelContentLayout& layout,
                                            PanelDataSource& dataSource) override;
    // Keys reach the panel through a keyboard grab, never the input focus: the X11 backend
    // takes the keyboard when a panel is made key and lets go when it is ordered out.
    void setKeyboardHandlers(std::function<void()> take, std::function<void()> release) {
        keyboard_ = {std::move(take), std::move(release)};
    }
    CompositorWatch& compositor() { return compositor_; }
    IconPixmapCache& icons() { return icons_; }

  private:
    IconPixmapCache icons_;
    CompositorWatch compositor_;
    KeyboardHandlers keyboard_;
};

}  // namespace tavrel::qt
