#include "platform/x11/X11HintsIcon.h"

#include <optional>
#include <vector>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Icon.h"
#include "platform/x11/X11Property.h"

namespace tavrel::x11 {
namespace {

// ICCCM WM_HINTS: flags, input, initial_state, icon_pixmap, icon_window, icon_x, icon_y,
// icon_mask, window_group.
constexpr std::uint32_t kHintsItems = 9;
constexpr std::size_t kFlags = 0;
constexpr std::size_t kIconPixmap = 3;
constexpr std::size_t kIconMask = 7;
constexpr std::uint32_t kIconPixmapHint = 1u << 2;
constexpr std::uint32_t kIconMaskHint = 1u << 5;

struct HintedIcon {
    xcb_pixmap_t pixmap = XCB_NONE;
    xcb_pixmap_t mask = XCB_NONE;
};

std::optional<HintedIcon> hintedIcon(xcb_connection_t* c, xcb_window_t window) {
    const auto property =
        X11Property::read(c, X11Property::request(c, window, XCB_ATOM_WM_HINTS, kHintsItems));
    if (!property)
        return std::nullopt;
    const std::vector<std::uint32_t> hints = property->cardinals(XCB_ATOM_WM_HINTS);
    if (hints.size() <= kIconPixmap || (hints[kFlags] & kIconPixmapHint) == 0 ||
        hints[kIconPixmap] == XCB_NONE)
        return std::nullopt;
    HintedIcon icon{hints[kIconPixmap], XCB_NONE};
    if (hints.size() > kIconMask && (hints[kFlags] & kIconMaskHint) != 0)
        icon.mask = hints[kIconMask];
    return icon;
}

// How the server lays out images of one depth: its pixmap format, byte and bit order, and the
// colour masks of a TrueColor or DirectColor visual of that depth.
std::optional<ServerImage> layoutFor(const X11Connection& connection, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(connection.get());
    ServerImage layout;
    layout.depth = depth;
    layout.lsbFirstBytes = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    layout.bitmapUnit = setup->bitmap_format_scanline_unit;
    layout.lsbFirstBits = setup->bitmap_format_bit_order == XCB_IMAGE_ORDER_LSB_FIRST;
    bool formatFound = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == depth) {
            layout.bitsPerPixel = it.data->bits_per_pixel;
            layout.scanlinePad = it.data->scanline_pad;
            formatFound = true;
        }
    }
    if (!formatFound)
        return std::nullopt;
    if (depth == 1)
        return layout;
    for (auto d = xcb_screen_allowed_depths_iterator(&connection.screen()); d.rem > 0;
         xcb_depth_next(&d)) {
        if (d.data->depth != depth)
            continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR) {
                layout.redMask = v.data->red_mask;
                layout.greenMask = v.data->green_mask;
                layout.blueMask = v.data->blue_mask;
                return layout;
            }
        }
    }
    return std::nullopt;  // a colour-mapped depth: its pixels mean nothing without the colormap
}

// One drawable's geometry and pixels, both asked for before either answer is read.
class DrawableRead {
  public:
    DrawableRead(xcb_connection_t* c, xcb_drawable_t drawable)
        : c_(c), drawable_(drawable), geometry_(xcb_get_geometry(c, drawable)) {}
    // The size and depth the server reports, within the bounds of an icon.
    bool measure() {
        reply_.reset(xcb_get_geometry_reply(c_, geometry_, nullptr));
        return reply_ && reply_->width > 0 && reply_->height > 0 && reply_->width <= kMaxIconSide &&
               reply_->height <= kMaxIconSide;
    }
    std::uint8_t depth() const { return reply_->depth; }
    void requestImage() {
        image_ = xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable_, 0, 0, reply_->width,
                               reply_->height, ~0u);
    }
    // The pixels in `layout`, when the answer is of the depth measured.
    std::optional<ServerImage> pixels(ServerImage layout) {
        pixels_.reset(xcb_get_image_reply(c_, image_, nullptr));
        if (!pixels_ || pixels_->depth != reply_->depth)
            return std::nullopt;
        const int length = xcb_get_image_data_length(pixels_.get());
        layout.data = {xcb_get_image_data(pixels_.get()), static_cast<std::size_t>(length)};
        layout.width = reply_->width;
        layout.height = reply_->height;
        return layout;
    }

  private:
    xcb_connection_t* c_;
    xcb_drawable_t drawable_;
    xcb_get_geometry_cookie_t geometry_;
    xcb_get_image_cookie_t image_{};
    Reply<xcb_get_geometry_reply_t> reply_;
    Reply<xcb_get_image_reply_t> pixels_;
};

}  // namespace

Image readHintsIcon(X11Connection& connection, xcb_window_t window) {
    xcb_connection_t* c = connection.get();
    const std::optional<HintedIcon> hinted = hintedIcon(c, window);
    if (!hinted)
        return nullptr;
    // Every question about the pixmap and the mask goes out before the first answer is read.
    DrawableRead pixmap(c, hinted->pixmap);
    // A window answers GetGeometry and GetImage as a pixmap does, but is no icon.
    const auto attributes = xcb_get_window_attributes(c, hinted->pixmap);
    std::optional<DrawableRead> mask;
    if (hinted->mask != XCB_NONE)
        mask.emplace(c, hinted->mask);
    const Reply<xcb_get_window_attributes_reply_t> aWindow(
        xcb_get_window_attributes_reply(c, attributes, nullptr));
    const bool pixmapFits = pixmap.measure() && !aWindow;
    const std::optional<ServerImage> maskLayout = layoutFor(connection, 1);
    if (mask && !(mask->measure() && mask->depth() == 1 && maskLayout))
        mask.reset();
    const std::optional<ServerImage> layout =
        pixmapFits ? layoutFor(connection, pixmap.depth()) : std::nullopt;
    if (!layout)
        return nullptr;
    pixmap.requestImage();
    if (mask)
        mask->requestImage();
    const std::optional<ServerImage> pixels = pixmap.pixels(*layout);
    const std::optional<ServerImage> maskPixels = mask ? mask->pixels(*maskLayout) : std::nullopt;
    if (!pixels)
        return nullptr;
    return decodePixmapIcon(*pixels, maskPixels ? &*maskPixels : nullptr);
}

}  // namespace tavrel::x11
