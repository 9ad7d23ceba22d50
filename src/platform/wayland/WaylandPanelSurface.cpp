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
                                         const PanelWindowStyle& style,
                                         const PanelContentLayout& layout,
                                         PanelDataSource& dataSource)
    : connection_(connection),
      screens_(screens),
      loop_(loop),
      registry_(registry),
      layout_(layout),
      dataSource_(dataSource),
      buffers_(connection.shm()),
      frame_(style.contentRect),
      scrollFrame_(style.contentRect.insetBy(layout.scrollInset, layout.scrollInset)) {
    scrollFrame_.origin = {layout.scrollInset, layout.scrollInset};
    registry_.push_back(this);
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

void WaylandPanelSurface::selectRowIndexes(std::int64_t row, bool) {
    if (row < 0 || row >= rows_ || row == selected_)
        return;
    selected_ = row;
    changed();
}

void WaylandPanelSurface::scrollRowToVisible(std::int64_t row) {
    if (row < 0 || row >= rows_)
        return;
    const double top = static_cast<double>(row) * layout_.rowHeight;
    const double bottom = top + layout_.rowHeight;
    if (top < scrollOffset_)
        scrollOffset_ = top;
    else if (bottom > scrollOffset_ + visibleRowsHeight())
        scrollOffset_ = bottom - visibleRowsHeight();
    clampScroll();
    changed();
}

void WaylandPanelSurface::reloadData() {
    rows_ = std::max<std::int64_t>(0, dataSource_.numberOfRows());
    if (selected_ >= rows_)
        selected_ = -1;
    clicked_ = -1;
    clampScroll();
    changed();
}

void WaylandPanelSurface::setSearchLabelHidden(bool hidden) {
    labelHidden_ = hidden;
    changed();
}

void WaylandPanelSurface::setSearchLabelText(const std::string& text) {
    labelText_ = text;
    changed();
}

void WaylandPanelSurface::setScrollViewFrame(Rect frame) {
    scrollFrame_ = frame;
    clampScroll();
    changed();
}

void WaylandPanelSurface::setFrame(Rect frame, bool) {
    frame_ = frame;
    if (shown_)
        place();
    changed();
}

void WaylandPanelSurface::setFrameOrigin(Point origin) {
    frame_.origin = origin;
    if (shown_)
        place();
    changed();
}

void WaylandPanelSurface::orderFrontRegardless() {
    shown_ = true;
    place();
    if (!configured_) {
        // Mapping starts with a commit without a buffer; the configure answer paints.
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
    scrollOffset_ = 0;
    pressed_ = -1;
    if (inhibitor_ != nullptr) {
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
    }
    if (surface_ != nullptr && configured_) {
        wl_surface_attach(surface_, nullptr, 0, 0);
        wl_surface_commit(surface_);
    }
    configured_ = false;
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
    zwlr_layer_surface_v1_set_size(
        layerSurface_, static_cast<std::uint32_t>(std::max(1, rounded(frame_.size.width))),
        static_cast<std::uint32_t>(std::max(1, rounded(frame_.size.height))));
    if (target == nullptr) {
        // Nowhere to measure from: the compositor centres the panel on the output it picks.
        zwlr_layer_surface_v1_set_anchor(layerSurface_, 0);
        zwlr_layer_surface_v1_set_margin(layerSurface_, 0, 0, 0, 0);
        return;
    }
    const Rect outputFrame = screens_.toPoints(output->rect);
    zwlr_layer_surface_v1_set_anchor(
        layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_margin(layerSurface_, rounded(outputFrame.maxY() - frame_.maxY()), 0,
                                     0, rounded(frame_.minX() - outputFrame.minX()));
}

void WaylandPanelSurface::configure(std::uint32_t serial) {
    zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
    if (configured_)
        return;  // an answer to a commit of ours: the size is the one we asked for
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
    const int width = std::max(1, rounded(frame_.size.width)) * scale_;
    const int height = std::max(1, rounded(frame_.size.height)) * scale_;
    ShmBuffer* buffer = buffers_.acquire(width, height);
    if (buffer == nullptr)
        return;  // painted when a buffer comes back
    QImage image(static_cast<uchar*>(buffer->pixels), width, height, buffer->stride,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale_);
    drawInto(image);
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    if (wl_surface_get_version(surface_) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface_, 0, 0, width, height);
    else
        wl_surface_damage(surface_, 0, 0, width / scale_, height / scale_);
    wl_surface_commit(surface_);
    buffer->busy = true;
    dirty_ = false;
    connection_.flush();
}

void WaylandPanelSurface::drawInto(QImage& image) {
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 40, 40, 235));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, frame_.size.width, frame_.size.height),
                            layout_.cornerRadius, layout_.cornerRadius);
}

std::int64_t WaylandPanelSurface::rowAt(double x, double y) const {
    const double top = frame_.size.height - scrollFrame_.maxY();
    if (x < scrollFrame_.minX() || x >= scrollFrame_.maxX() || y < top ||
        y >= top + scrollFrame_.size.height || layout_.rowHeight <= 0)
        return -1;
    const auto row =
        static_cast<std::int64_t>(std::floor((y - top + scrollOffset_) / layout_.rowHeight));
    return row >= 0 && row < rows_ ? row : -1;
}

void WaylandPanelSurface::pointerButton(double x, double y, bool pressed) {
    if (!shown_)
        return;
    if (pressed) {
        pressed_ = rowAt(x, y);
        selectRowIndexes(pressed_, false);
        return;
    }
    clicked_ = pressed_;
    pressed_ = -1;
    dataSource_.rowClicked();
}

void WaylandPanelSurface::scrollBy(double dy) {
    if (!shown_)
        return;
    scrollOffset_ += dy;
    clampScroll();
    changed();
}

void WaylandPanelSurface::clampScroll() {
    const double content = static_cast<double>(rows_) * layout_.rowHeight;
    scrollOffset_ = std::clamp(scrollOffset_, 0.0, std::max(0.0, content - visibleRowsHeight()));
}

std::unique_ptr<PanelSurface> WaylandPanelSurfaces::makePanel(const PanelWindowStyle& style,
                                                              const PanelContentLayout& layout,
                                                              PanelDataSource& dataSource) {
    return std::make_unique<WaylandPanelSurface>(connection_, screens_, loop_, panels_, style,
                                                 layout, dataSource);
}

WaylandPanelSurface* WaylandPanelSurfaces::panelOf(const wl_surface* surface) const {
    for (WaylandPanelSurface* panel : panels_) {
        if (panel->owns(surface))
            return panel;
    }
    return nullptr;
}

}  // namespace tavrel::wayland
