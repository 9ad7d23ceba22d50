#include "platform/wayland/WaylandPanelSurface.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/MainLoop.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreens.h"

namespace tavrel::wayland {
namespace {

constexpr const char* kNamespace = "tavrel";
// Far beyond any output; a compositor asking for more is not believed.
constexpr std::uint32_t kMaxSurfacePoints = 16384;

WaylandPanelSurface& panelOf(void* data) {
    return *static_cast<WaylandPanelSurface*>(data);
}

void onConfigure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t,
                 std::uint32_t height) {
    panelOf(data).configure(serial, height);
}

void onClosed(void* data, zwlr_layer_surface_v1*) {
    panelOf(data).closed();
}

const zwlr_layer_surface_v1_listener kListener{&onConfigure, &onClosed};

std::int32_t rounded(double value) {
    return static_cast<std::int32_t>(std::lround(value));
}

}  // namespace

WaylandPanelSurface::WaylandPanelSurface(WaylandConnection& connection, WaylandScreens& screens,
                                         MainLoop& loop,
                                         std::vector<WaylandPanelSurface*>& registry,
                                         qt::IconPixmapCache& icons, const PanelWindowStyle& style,
                                         const PanelContentLayout& layout,
                                         PanelDataSource& dataSource)
    : PanelCanvasSurface(layout,
                         QSizeF(style.contentRect.size.width, style.contentRect.size.height),
                         dataSource, icons),
      connection_(connection),
      screens_(screens),
      loop_(loop),
      registry_(registry),
      buffers_(connection.shm()),
      frame_(style.contentRect) {
    registry_.push_back(this);
    // A compositor always blends: the corners stay clear and the fill lets the desktop through.
    canvas().setTranslucent(true);
    canvas().setChangeHandler([this] { changed(); });
    canvas().warmUp();
    buffers_.setReleasedHandler([this] {
        if (dirty_)
            changed();
    });
}

WaylandPanelSurface::~WaylandPanelSurface() {
    std::erase(registry_, this);
    destroySurface();
    connection_.flush();
}

void WaylandPanelSurface::setFrame(Rect frame, bool) {
    frame_ = frame;
    canvas().setSize(QSizeF(frame.size.width, frame.size.height));
    if (shown_)
        present();
    else
        changed();
}

void WaylandPanelSurface::setFrameOrigin(Point origin) {
    frame_.origin = origin;
    if (shown_)
        present();
}

void WaylandPanelSurface::orderFrontRegardless() {
    shown_ = true;
    present();
}

void WaylandPanelSurface::present() {
    place();
    if (!configured_) {
        // Mapping (also on a surface made anew for another output) starts with a commit
        // without a buffer; the answering configure paints.
        wl_surface_commit(surface_);
    } else {
        changed();
    }
    connection_.flush();
}

void WaylandPanelSurface::makeKeyWindow() {
    // The layer surface takes the keyboard by itself; the inhibitor keeps sway's own
    // bindings (Super+letters) from firing while the user types a filter.
    zwp_keyboard_shortcuts_inhibit_manager_v1* manager = connection_.inhibitManager();
    if (!shown_ || surface_ == nullptr || inhibitor_ != nullptr || manager == nullptr ||
        connection_.seat() == nullptr)
        return;
    inhibitor_ = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(manager, surface_,
                                                                             connection_.seat());
    connection_.flush();
}

void WaylandPanelSurface::orderOut() {
    shown_ = false;
    // Each showing starts from the top of its list.
    canvas().scrollToTop();
    if (inhibitor_ != nullptr) {
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
    }
    if (surface_ != nullptr && configured_) {
        wl_surface_attach(surface_, nullptr, 0, 0);
        wl_surface_commit(surface_);
    }
    configured_ = false;
    onScreen_ = QRect();
    connection_.flush();
}

void WaylandPanelSurface::createSurface(wl_output* output) {
    surface_ = wl_compositor_create_surface(connection_.compositor());
    layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(
        connection_.layerShell(), surface_, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kNamespace);
    zwlr_layer_surface_v1_add_listener(layerSurface_, &kListener, this);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layerSurface_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    // Margins count from the output's own edges, whatever bars reserve.
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
    configured_ = false;
}

void WaylandPanelSurface::destroySurface() {
    if (inhibitor_ != nullptr)
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
    if (layerSurface_ != nullptr)
        zwlr_layer_surface_v1_destroy(layerSurface_);
    if (surface_ != nullptr)
        wl_surface_destroy(surface_);
    inhibitor_ = nullptr;
    layerSurface_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    onScreen_ = QRect();
    outputName_.clear();
}

void WaylandPanelSurface::place() {
    const SwayOutput* output = screens_.outputAt({frame_.midX(), frame_.midY()});
    const WaylandOutput* target =
        output != nullptr ? connection_.outputNamed(output->name) : nullptr;
    const std::string name = target != nullptr ? target->name : std::string();
    if (surface_ == nullptr || name != outputName_) {
        const bool wasShown = shown_;
        destroySurface();
        shown_ = wasShown;
        createSurface(target != nullptr ? target->output : nullptr);
        outputName_ = name;
    }
    scale_ = target != nullptr ? target->scale : 1;
    const auto width = static_cast<std::uint32_t>(std::max(1, rounded(frame_.size.width)));
    if (target == nullptr) {
        // Nowhere to measure from: the compositor centres the panel on the output it picks.
        zwlr_layer_surface_v1_set_size(
            layerSurface_, width,
            static_cast<std::uint32_t>(std::max(1, rounded(frame_.size.height))));
        zwlr_layer_surface_v1_set_anchor(layerSurface_, 0);
        zwlr_layer_surface_v1_set_margin(layerSurface_, 0, 0, 0, 0);
        panelTop_ = 0;
        return;
    }
    // The surface is a strip as high as the output, and the panel is drawn into it where it
    // belongs: a layer surface that changes its size or place as the filter resizes the panel
    // leaves pieces of its old picture on screen (sway 1.7, outputs away from the layout's
    // origin), while this one only ever changes its content.
    const Rect outputFrame = screens_.toPoints(output->rect);
    zwlr_layer_surface_v1_set_size(layerSurface_, width, 0);
    zwlr_layer_surface_v1_set_anchor(layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                        ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_margin(layerSurface_, 0, 0, 0,
                                     rounded(frame_.minX() - outputFrame.minX()));
    panelTop_ = std::max(0, rounded(outputFrame.maxY() - frame_.maxY()));
}

void WaylandPanelSurface::configure(std::uint32_t serial, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
    // A size of 0 leaves it to us: the panel's own.
    const int given = height > 0 && height <= kMaxSurfacePoints ? static_cast<int>(height) : 0;
    if (configured_ && given == surfaceHeight_)
        return;  // an answer to a commit of ours, nothing new in it
    surfaceHeight_ = given;
    configured_ = true;
    if (shown_)
        paint();
}

void WaylandPanelSurface::closed() {
    // The output went away: a new surface is made at the next showing.
    destroySurface();
}

void WaylandPanelSurface::changed() {
    dirty_ = true;
    if (!shown_ || !configured_ || paintPosted_)
        return;
    // One paint for all the changes of one step of the core.
    paintPosted_ = true;
    loop_.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        paintPosted_ = false;
        if (dirty_)
            paint();
    });
}

void WaylandPanelSurface::paint() {
    if (!shown_ || !configured_ || surface_ == nullptr)
        return;
    const int panelHeight = std::max(1, rounded(frame_.size.height));
    const int width = std::max(1, rounded(frame_.size.width)) * scale_;
    const int height = (surfaceHeight_ > 0 ? surfaceHeight_ : panelTop_ + panelHeight) * scale_;
    // What changed since the last paint is missing from both buffers.
    const QRectF changes = canvas().changes();
    for (BufferState& state : states_)
        state.missing = state.missing.united(changes);
    ShmBuffer* buffer = buffers_.acquire(width, height);
    if (buffer == nullptr)
        return;  // painted when a buffer comes back
    BufferState& state = stateOf(*buffer);
    const QRect panel(0, panelTop_ * scale_, width, panelHeight * scale_);
    QImage whole(static_cast<uchar*>(buffer->pixels), width, height, buffer->stride,
                 QImage::Format_ARGB32_Premultiplied);
    QRectF area = state.missing.intersected(QRectF(QPointF(), canvas().size()));
    if (buffer->fresh || state.shown != panel) {
        // Clear where this buffer showed the panel before (all of it when new), then paint
        // the whole panel where it is now.
        QPainter clear(&whole);
        clear.setCompositionMode(QPainter::CompositionMode_Source);
        clear.fillRect(buffer->fresh ? whole.rect() : state.shown, Qt::transparent);
        area = QRectF(QPointF(), canvas().size());
    }
    // Damage tells what differs from the picture on screen, the other buffer's: what was
    // painted, and where the panel was on screen when it has moved since.
    QRect damage = QRectF(area.topLeft() * scale_, area.size() * scale_)
                       .toAlignedRect()
                       .translated(panel.topLeft());
    if (buffer->fresh)
        damage = whole.rect();
    else if (onScreen_ != panel)
        damage = damage.united(onScreen_).united(panel);
    if (!area.isEmpty() && panel.top() < height) {
        // The panel's part of the buffer, as an image of its own.
        QImage image(static_cast<uchar*>(buffer->pixels) +
                         static_cast<std::ptrdiff_t>(panel.top()) * buffer->stride,
                     width, std::min(panel.height(), height - panel.top()), buffer->stride,
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale_);
        canvas().paint(image, area);
    }
    state = {buffer, QRectF(), panel};
    onScreen_ = panel;
    buffer->fresh = false;
    setInputRegion();
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    damage = damage.intersected(whole.rect());
    if (wl_surface_get_version(surface_) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface_, damage.x(), damage.y(), damage.width(), damage.height());
    else
        wl_surface_damage(surface_, 0, 0, width / scale_, height / scale_);
    wl_surface_commit(surface_);
    buffer->busy = true;
    dirty_ = false;
    connection_.flush();
}

WaylandPanelSurface::BufferState& WaylandPanelSurface::stateOf(const ShmBuffer& buffer) {
    // The two buffers stay where they are; each has its state from its first paint on.
    for (BufferState& state : states_) {
        if (state.buffer == &buffer)
            return state;
    }
    for (BufferState& state : states_) {
        if (state.buffer == nullptr)
            return state;
    }
    return states_.front();
}

void WaylandPanelSurface::setInputRegion() {
    // Clicks beside the panel go to the windows below.
    wl_region* region = wl_compositor_create_region(connection_.compositor());
    wl_region_add(region, 0, panelTop_, std::max(1, rounded(frame_.size.width)),
                  std::max(1, rounded(frame_.size.height)));
    wl_surface_set_input_region(surface_, region);
    wl_region_destroy(region);
}

void WaylandPanelSurface::pointerButton(double x, double y, bool pressed) {
    if (!shown_)
        return;
    if (pressed)
        canvas().press(QPointF(x, y - panelTop_));
    else
        canvas().release();
}

void WaylandPanelSurface::scrollBy(double dy) {
    if (shown_)
        canvas().scrollBy(dy);
}

std::unique_ptr<PanelSurface> WaylandPanelSurfaces::makePanel(const PanelWindowStyle& style,
                                                              const PanelContentLayout& layout,
                                                              PanelDataSource& dataSource) {
    return std::make_unique<WaylandPanelSurface>(connection_, screens_, loop_, panels_, icons_,
                                                 style, layout, dataSource);
}

WaylandPanelSurface* WaylandPanelSurfaces::panelOf(const wl_surface* surface) const {
    for (WaylandPanelSurface* panel : panels_) {
        if (panel->owns(surface))
            return panel;
    }
    return nullptr;
}

}  // namespace tavrel::wayland
