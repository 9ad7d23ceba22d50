#pragma once
#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/PanelSurface.h"
#include "platform/wayland/Protocols.h"
#include "platform/wayland/ShmBuffers.h"

namespace tavrel {
class MainLoop;
}

namespace tavrel::wayland {

class WaylandConnection;
class WaylandScreens;

// The switcher panel on sway: a layer-shell surface on the overlay layer of the output the
// panel's frame lies on, placed by margins from that output's top-left corner, taking the
// keyboard exclusively while shown, with a shortcuts inhibitor so that sway's own bindings
// stay quiet while the user types. Painted into shared memory, two buffers in turn, and only
// when something shown has changed.
class WaylandPanelSurface final : public PanelSurface {
  public:
    // Everything given outlives the surface.
    WaylandPanelSurface(WaylandConnection& connection, WaylandScreens& screens, MainLoop& loop,
                        std::vector<WaylandPanelSurface*>& registry, const PanelWindowStyle& style,
                        const PanelContentLayout& layout, PanelDataSource& dataSource);
    ~WaylandPanelSurface() override;
    WaylandPanelSurface(const WaylandPanelSurface&) = delete;
    WaylandPanelSurface& operator=(const WaylandPanelSurface&) = delete;

    void selectRowIndexes(std::int64_t row, bool byExtendingSelection) override;
    void scrollRowToVisible(std::int64_t row) override;
    void reloadData() override;
    std::int64_t selectedRow() override { return selected_; }
    std::int64_t clickedRow() override { return clicked_; }
    void setSearchLabelHidden(bool hidden) override;
    void setSearchLabelText(const std::string& text) override;
    void setScrollViewFrame(Rect frame) override;
    Rect frame() override { return frame_; }
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    bool owns(const wl_surface* surface) const { return surface != nullptr && surface == surface_; }
    // The left button at (x, y) in the surface's coordinates: a press highlights the row
    // under it, the release clicks it.
    void pointerButton(double x, double y, bool pressed);
    void scrollBy(double dy);

    void configure(std::uint32_t serial);
    void closed();

  private:
    void createSurface(wl_output* output);
    void destroySurface();
    void place();
    void changed();
    void paint();
    void drawInto(QImage& image);
    std::int64_t rowAt(double x, double y) const;
    double visibleRowsHeight() const { return scrollFrame_.size.height; }
    void clampScroll();

    WaylandConnection& connection_;
    WaylandScreens& screens_;
    MainLoop& loop_;
    std::vector<WaylandPanelSurface*>& registry_;
    PanelContentLayout layout_;
    PanelDataSource& dataSource_;
    ShmBuffers buffers_;

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr;
    std::string outputName_;
    std::int32_t scale_ = 1;
    bool shown_ = false;       // ordered front and not out
    bool configured_ = false;  // the compositor has answered the mapping commit
    bool paintPosted_ = false;
    bool dirty_ = false;

    Rect frame_;
    Rect scrollFrame_;
    std::int64_t rows_ = 0;
    std::int64_t selected_ = -1;
    std::int64_t clicked_ = -1;
    std::int64_t pressed_ = -1;
    double scrollOffset_ = 0;
    bool labelHidden_ = true;
    std::string labelText_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Makes the panels of the Wayland backend and routes pointer events to them.
class WaylandPanelSurfaces final : public PanelSurfaces {
  public:
    WaylandPanelSurfaces(WaylandConnection& connection, WaylandScreens& screens, MainLoop& loop)
        : connection_(connection), screens_(screens), loop_(loop) {}
    std::unique_ptr<PanelSurface> makePanel(const PanelWindowStyle& style,
                                            const PanelContentLayout& layout,
                                            PanelDataSource& dataSource) override;
    // The panel that owns the surface, or null.
    WaylandPanelSurface* panelOf(const wl_surface* surface) const;

  private:
    WaylandConnection& connection_;
    WaylandScreens& screens_;
    MainLoop& loop_;
    std::vector<WaylandPanelSurface*> panels_;
};

}  // namespace tavrel::wayland
