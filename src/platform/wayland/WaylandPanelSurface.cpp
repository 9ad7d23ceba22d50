#include "platform/wayland/WaylandPanelSurface.h"

#include <QImage>
#include <algorithm>
#include <cmath>

#include "platform/MainLoop.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreens.h"

namespace tavrel::wayland {
namespace {

constexpr const char* kNamespace = "tavrel";

WaylandPanelSurface& panelOf(void* data) {
    return *static_cast<WaylandPanelSurface*>(data);
}

void onConfigure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t,
                 std::uint32_t) {
    panelOf(data).configure(serial);
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
    chooseOutput();
    if (!configured_) {
        // Mapping (also on a surface made anew for another output) starts with a commit
        // without a buffer; the answering configure paints.
        requestPlacement(placement());
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
    requested_.reset();
    onScreen_ = QRect();
    outputName_.clear();
}

void WaylandPanelSurface::chooseOutput() {
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
    outputScale_ = target != nullptr ? std::max(1, target->scale) : 1;
    outputFrame_ =
        target != nullptr ? std::optional(screens_.toPoints(output->rect)) : std::nullopt;
}

WaylandPanelSurface::Placement WaylandPanelSurface::placement() const {
    const int width = std::max(1, rounded(frame_.size.width));
    const int height = std::max(1, rounded(frame_.size.height));
    if (!outputFrame_) {
        // Nowhere to measure from: the compositor centres the panel on the output it picks.
        return {QRect(-width / 2, -height / 2, width, height), outputScale_, false};
    }
    return {QRect(std::max(0, rounded(frame_.minX() - outputFrame_->minX())),
                  std::max(0, rounded(outputFrame_->maxY() - frame_.maxY())), width, height),
            outputScale_, true};
}

void WaylandPanelSurface::requestPlacement(const Placement& placement) {
    if (requested_ == placement)
        return;
    const QRect& rect = placement.rect;
    zwlr_layer_surface_v1_set_size(layerSurface_, static_cast<std::uint32_t>(rect.width()),
                                   static_cast<std::uint32_t>(rect.height()));
    if (placement.anchored) {
        zwlr_layer_surface_v1_set_anchor(
            layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
        zwlr_layer_surface_v1_set_margin(layerSurface_, rect.top(), 0, 0, rect.left());
    } else {
        zwlr_layer_surface_v1_set_anchor(layerSurface_, 0);
        zwlr_layer_surface_v1_set_margin(layerSurface_, 0, 0, 0, 0);
    }
    requested_ = placement;
}

void WaylandPanelSurface::configure(std::uint32_t serial) {
    zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
    // sway answers every commit with a configure; only the first one after mapping paints.
    if (configured_)
        return;
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
    const Placement target = placement();
    // The damage: what differs from the picture on screen, the last one painted.
    const QRectF changes = canvas().changes();
    for (BufferState& state : states_)
        state.missing |= changes;
    const bool moved = onScreen_ != target.rect || !(committed_ == target);
    if (!moved && changes.isEmpty()) {
        dirty_ = false;
        return;  // the screen shows it already
    }
    if (!onScreen_.isEmpty() && !target.rect.contains(onScreen_) &&
        !clearAroundBeforeShrinking(target))
        return;  // painted when a buffer comes back
    const int scale = target.scale;
    ShmBuffer* buffer = buffers_.acquire(target.rect.width() * scale, target.rect.height() * scale);
    if (buffer == nullptr)
        return;
    BufferState& state = stateOf(*buffer);
    const QRectF whole(QPointF(), QSizeF(target.rect.size()));
    const QRectF area = buffer->fresh ? whole : state.missing & whole;
    if (!area.isEmpty()) {
        QImage image(static_cast<uchar*>(buffer->pixels), buffer->width, buffer->height,
                     buffer->stride, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        canvas().paint(image, area);
    }
    state.missing = QRectF();
    requestPlacement(target);
    commit(*buffer, scale,
           moved ? QRect(0, 0, buffer->width, buffer->height)
                 : QRectF(changes.topLeft() * scale, changes.size() * scale).toAlignedRect());
    committed_ = target;
    onScreen_ = target.rect;
    panelOffset_ = QPoint();
    dirty_ = false;
}

bool WaylandPanelSurface::clearAroundBeforeShrinking(const Placement& target) {
    // Once a layer surface shrinks or moves, repainting its old area is the compositor's job,
    // and sway 1.7 does it at the wrong place on an output away from the layout's origin:
    // pieces of the old picture would stay on screen. So the surface first shows the new
    // picture at its old size and place, cleared around, and only then takes its new ones.
    const Placement& old = committed_;
    ShmBuffer* buffer =
        buffers_.acquire(old.rect.width() * old.scale, old.rect.height() * old.scale);
    if (buffer == nullptr)
        return false;
    QImage whole(static_cast<uchar*>(buffer->pixels), buffer->width, buffer->height, buffer->stride,
                 QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::transparent);
    const QRect inside = target.rect.translated(-old.rect.topLeft());
    panelOffset_ = inside.topLeft();
    onScreen_ = QRect();
    if (target.scale == old.scale && QRect(QPoint(), old.rect.size()).contains(inside)) {
        // The panel's part of the buffer, as an image of its own.
        QImage image(whole.bits() +
                         static_cast<std::ptrdiff_t>(inside.top()) * old.scale * buffer->stride +
                         static_cast<std::ptrdiff_t>(inside.left()) * old.scale * 4,
                     inside.width() * old.scale, inside.height() * old.scale, buffer->stride,
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(old.scale);
        canvas().paint(image, QRectF(QPointF(), QSizeF(inside.size())));
        onScreen_ = target.rect;
    }
    // Its picture is not the panel's own any more.
    stateOf(*buffer).missing = QRectF(QPointF(), canvas().size());
    commit(*buffer, old.scale, whole.rect());
    return true;
}

void WaylandPanelSurface::commit(ShmBuffer& buffer, std::int32_t scale, const QRect& damage) {
    wl_surface_set_buffer_scale(surface_, scale);
    wl_surface_attach(surface_, buffer.buffer, 0, 0);
    const QRect bounded = damage.intersected(QRect(0, 0, buffer.width, buffer.height));
    if (wl_surface_get_version(surface_) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface_, bounded.x(), bounded.y(), bounded.width(),
                                 bounded.height());
    else
        wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(surface_);
    buffer.busy = true;
    buffer.fresh = false;
    connection_.flush();
}

WaylandPanelSurface::BufferState& WaylandPanelSurface::stateOf(const ShmBuffer& buffer) {
    // The two buffers stay where they are; each has its state from its first paint on.
    for (BufferState& state : states_) {
        if (state.buffer == &buffer)
            return state;
    }
    for (BufferState& state : states_) {
        if (state.buffer == nullptr) {
            state.buffer = &buffer;
            return state;
        }
    }
    return states_.front();
}

void WaylandPanelSurface::pointerButton(double x, double y, bool pressed) {
    if (!shown_)
        return;
    if (pressed)
        canvas().press(QPointF(x - panelOffset_.x(), y - panelOffset_.y()));
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
