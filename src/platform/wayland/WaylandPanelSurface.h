#pragma once
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
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
// surface of the panel's own size on the overlay layer of the output the panel's frame lies
// on, placed by margins from that output's top-left corner, taking the keyboard exclusively
// while shown, with a shortcuts inhibitor so that sway's own bindings stay quiet while the user
// types. Painted into shared memory, two buffers in turn, and only where the picture has
// changed.
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

    // The compositor's answer to a commit; the size is the one asked for, as nothing anchors
    // the surface to two opposite edges.
    void configure(std::uint32_t serial);
    void closed();

  private:
    // Where the surface is, in points from its output's top-left corner (centred on the
    // origin when the compositor places it), and the output's scale.
    struct Placement {
        QRect rect;
        std::int32_t scale = 1;
        bool anchored = false;
        bool operator==(const Placement&) const = default;
    };
    // What each buffer holds: what it misses of the current picture (points, in the panel).
    struct BufferState {
        const ShmBuffer* buffer = nullptr;
        QRectF missing;
    };

    void createSurface(wl_output* output);
    void destroySurface();
    // Places the shown panel and has it painted there.
    void present();
    void chooseOutput();
    Placement placement() const;
    void requestPlacement(const Placement& placement);
    void changed();
    void paint();
    bool clearAroundBeforeShrinking(const Placement& target);
    void commit(ShmBuffer& buffer, std::int32_t scale, const QRect& damage);
    BufferState& stateOf(const ShmBuffer& buffer);

    WaylandConnection& connection_;
    WaylandScreens& screens_;
    MainLoop& loop_;
    std::vector<WaylandPanelSurface*>& registry_;
    ShmBuffers buffers_;
    std::array<BufferState, 2> states_{};

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr;
    std::string outputName_;
    std::int32_t outputScale_ = 1;
    std::optional<Rect> outputFrame_;     // in the core's points; none: the compositor places it
    std::optional<Placement> requested_;  // the size and margins last asked for
    Placement committed_;                 // the surface as on screen
    QRect onScreen_;      // where it shows anything, in its output's points; empty while unmapped
    QPoint panelOffset_;  // the panel's top-left in the surface as on screen
    bool shown_ = false;  // ordered front and not out
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
