#pragma once
#include <QRect>
#include <QRectF>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/PanelCanvasSurface.h"
#include "platform/wayland/Protocols.h"
#include "platform/wayland/ShmBuffers.h"

namespace tavrel {
class MainLoop;
}

namespace tavrel::wayland {

class WaylandConnection;
class WaylandScreens;

// The switcher panel on sway: the shared panel picture (qt::PanelCanvas) in a layer-shell
// surface on the overlay layer of the output the panel's frame lies on, placed by margins
// from that output's top-left corner, taking the keyboard exclusively while shown, with a
// shortcuts inhibitor so that sway's own bindings stay quiet while the user types. Painted
// into shared memory, two buffers in turn, and only where the picture has changed.
class WaylandPanelSurface final : public qt::PanelCanvasSurface {
  public:
    // Everything given outlives the surface.
    WaylandPanelSurface(WaylandConnection& connection, WaylandScreens& screens, MainLoop& loop,
                        std::vector<WaylandPanelSurface*>& registry, qt::IconPixmapCache& icons,
                        const PanelWindowStyle& style, const PanelContentLayout& layout,
                        PanelDataSource& dataSource);
    ~WaylandPanelSurface() override;
    WaylandPanelSurface(const WaylandPanelSurface&) = delete;
    WaylandPanelSurface& operator=(const WaylandPanelSurface&) = delete;

    Rect frame() override { return frame_; }
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    bool owns(const wl_surface* surface) const { return surface != nullptr && surface == surface_; }
    // The left button at (x, y) in the surface's points: a press highlights the row under
    // it, the release clicks it.
    void pointerButton(double x, double y, bool pressed);
    void scrollBy(double dy);

    // The compositor's answer: the surface's height (0 leaves it to us).
    void configure(std::uint32_t serial, std::uint32_t height);
    void closed();

  private:
    void createSurface(wl_output* output);
    void destroySurface();
    // Places the shown panel and has it painted there.
    void present();
    void place();
    void changed();
    void paint();

    WaylandConnection& connection_;
    WaylandScreens& screens_;
    MainLoop& loop_;
    std::vector<WaylandPanelSurface*>& registry_;
    ShmBuffers buffers_;
    // What each buffer shows: where the panel is in it (pixels) and what it misses of the
    // current picture (points, in the panel).
    struct BufferState {
        const ShmBuffer* buffer = nullptr;
        QRectF missing;
        QRect shown;
    };
    BufferState& stateOf(const ShmBuffer& buffer);
    void setInputRegion();
    std::array<BufferState, 2> states_{};
    QRect onScreen_;  // where the panel is in the buffer last committed

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr;
    std::string outputName_;
    std::int32_t scale_ = 1;
    int surfaceHeight_ = 0;    // as the compositor configured it; 0 = the panel's own
    int panelTop_ = 0;         // the panel's top edge in the surface
    bool shown_ = false;       // ordered front and not out
    bool configured_ = false;  // the compositor has answered the mapping commit
    bool paintPosted_ = false;
    bool dirty_ = true;
    Rect frame_;
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
    qt::IconPixmapCache icons_;
    std::vector<WaylandPanelSurface*> panels_;
};

}  // namespace tavrel::wayland
