#include "platform/qt/NativePanelWindow.h"

#include <unistd.h>
#include <xcb/shape.h>

#include <QImage>
#include <QRegion>
#include <QSysInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/qt/QtXcb.h"
#include "platform/qt/QtXcbAtoms.h"
#include "platform/qt/SharedImage.h"

namespace tavrel::qt {
namespace {

constexpr std::uint32_t kPutImageHeader = 24;

std::optional<xcb_visualid_t> visualOfDepth(const xcb_screen_t& screen, std::uint8_t depth) {
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d)) {
        if (d.data->depth != depth)
            continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR)
                return v.data->visual_id;
        }
    }
    return std::nullopt;
}

bool thirtyTwoBitPixels(xcb_connection_t* connection, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == depth)
            return f.data->bits_per_pixel == 32;
    }
    return false;
}

// Names the window as tavrel's, with its pid, so that tools (and the tests) can tell it.
void name(xcb_connection_t* connection, xcb_window_t window) {
    constexpr std::string_view kName = "tavrel";
    constexpr char kClass[] = "tavrel\0tavrel";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, sizeof kClass, kClass);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, kName.size(), kName.data());
    const xcb_atom_t utf8String = internXcbAtom(connection, "UTF8_STRING");
    if (const xcb_atom_t a = internXcbAtom(connection, "_NET_WM_NAME");
        a != XCB_ATOM_NONE && utf8String != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, a, utf8String, 8,
                            kName.size(), kName.data());
    if (const xcb_atom_t a = internXcbAtom(connection, "_NET_WM_PID"); a != XCB_ATOM_NONE) {
        const auto pid = static_cast<std::uint32_t>(getpid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, a, XCB_ATOM_CARDINAL, 32, 1,
                            &pid);
    }
}

}  // namespace

std::unique_ptr<NativePanelWindow> NativePanelWindow::create(xcb_connection_t* connection,
                                                             bool translucent) {
    const xcb_screen_t* screen = connection ? defaultXcbScreen(connection) : nullptr;
    if (!screen)
        return nullptr;
    std::uint8_t depth = screen->root_depth;
    xcb_visualid_t visual = screen->root_visual;
    if (translucent) {
        const auto found = visualOfDepth(*screen, 32);
        if (!found)
            return nullptr;
        depth = 32;
        visual = *found;
    }
    // The painter's pixels are 32-bit words; every server in use stores 24- and 32-bit
    // depths that way.
    if (!thirtyTwoBitPixels(connection, depth))
        return nullptr;
    xcb_colormap_t colormap = XCB_NONE;
    if (visual != screen->root_visual) {
        colormap = xcb_generate_id(connection);
        xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
    }
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {
        0,  // border pixel: required for a depth other than the root's
        1,  // override-redirect
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
        colormap,
    };
    std::uint32_t mask = XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    if (colormap != XCB_NONE)
        mask |= XCB_CW_COLORMAP;
    xcb_create_window(connection, depth, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask, values);
    name(connection, window);

    std::unique_ptr<NativePanelWindow> result(new NativePanelWindow(connection, window, depth));
    result->colormap_ = colormap;
    const bool serverBigEndian =
        xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    result->swapBytes_ = serverBigEndian != (QSysInfo::ByteOrder == QSysInfo::BigEndian);
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection, &xcb_shape_id);
    result->hasShape_ = shape != nullptr && shape->present != 0;
    if (result->hasShape_) {
        xcb_shape_query_version_reply_t* version =
            xcb_shape_query_version_reply(connection, xcb_shape_query_version(connection), nullptr);
        result->shapesInput_ =
            version && (version->major_version > 1 ||
                        (version->major_version == 1 && version->minor_version >= 1));
        std::free(version);
    }
    result->maxRequestBytes_ = xcb_get_maximum_request_length(connection) * 4;
    xcb_flush(connection);
    return result;
}

NativePanelWindow::NativePanelWindow(xcb_connection_t* connection, xcb_window_t window,
                                     std::uint8_t depth)
    : connection_(connection), window_(window), depth_(depth) {}

NativePanelWindow::~NativePanelWindow() {
    shared_.reset();
    xcb_destroy_window(connection_, window_);
    if (background_ != XCB_NONE)
        xcb_free_pixmap(connection_, background_);
    if (gc_ != XCB_NONE)
        xcb_free_gc(connection_, gc_);
    if (colormap_ != XCB_NONE)
        xcb_free_colormap(connection_, colormap_);
    xcb_flush(connection_);
}

bool NativePanelWindow::prepareImage(QSize pixels, double ratio) {
    const QImage& current = image();
    if (current.size() == pixels && current.devicePixelRatio() == ratio)
        return false;
    shared_.reset();
    if (sharing_) {
        shared_ = SharedImage::create(connection_, pixels, ratio);
        sharing_ = shared_ != nullptr;
    }
    image_ = shared_ ? QImage() : QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(ratio);
    replaceBackground(pixels);
    return true;
}

QImage& NativePanelWindow::image() {
    return shared_ ? shared_->image() : image_;
}

void NativePanelWindow::upload(const QRect& area) {
    const QImage& source = image();
    const QRect rows = area & source.rect();
    if (rows.isEmpty() || background_ == XCB_NONE)
        return;
    if (shared_) {
        shared_->put(background_, gc_, depth_, rows.top(), rows.height());
        return;
    }
    // Whole rows: in the image they follow one another, so they go out without a copy.
    const int width = source.width();
    const int bytesPerRow = width * 4;
    const std::uint32_t room =
        maxRequestBytes_ > kPutImageHeader ? maxRequestBytes_ - kPutImageHeader : 0;
    const int rowsPerRequest =
        std::max(1, static_cast<int>(room / static_cast<std::uint32_t>(bytesPerRow)));
    for (int top = rows.top(); top <= rows.bottom(); top += rowsPerRequest) {
        const int height = std::min(rowsPerRequest, rows.bottom() + 1 - top);
        put(source.constScanLine(top), width, top, height);
    }
}

void NativePanelWindow::replaceBackground(QSize size) {
    const xcb_pixmap_t old = background_;
    background_ = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, depth_, background_, window_,
                      static_cast<std::uint16_t>(std::max(1, size.width())),
                      static_cast<std::uint16_t>(std::max(1, size.height())));
    if (gc_ == XCB_NONE) {
        gc_ = xcb_generate_id(connection_);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(connection_, gc_, background_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &background_);
    if (old != XCB_NONE)
        xcb_free_pixmap(connection_, old);
    backgroundSize_ = size;
}

void NativePanelWindow::put(const std::uint8_t* rows, int width, int top, int height) {
    const auto length = static_cast<std::uint32_t>(width * height * 4);
    if (swapBytes_) {
        swapped_.resize(length);
        for (std::uint32_t i = 0; i < length; i += 4) {
            swapped_[i] = rows[i + 3];
            swapped_[i + 1] = rows[i + 2];
            swapped_[i + 2] = rows[i + 1];
            swapped_[i + 3] = rows[i];
        }
        rows = swapped_.data();
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, background_, gc_,
                  static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                  static_cast<std::int16_t>(top), 0, depth_, length, rows);
}

void NativePanelWindow::setShape(const QRegion& region) {
    if (!hasShape_)
        return;
    if (region.isEmpty()) {
        xcb_shape_mask(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0,
                       XCB_NONE);
        return;
    }
    std::vector<xcb_rectangle_t> rectangles;
    for (const QRect& r : region) {
        rectangles.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                              static_cast<std::uint16_t>(r.width()),
                              static_cast<std::uint16_t>(r.height())});
    }
    xcb_shape_rectangles(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                         XCB_CLIP_ORDERING_UNSORTED, window_, 0, 0,
                         static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
}

void NativePanelWindow::setGeometry(const QRect& pixels) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(pixels.x()),
                                    static_cast<std::uint32_t>(pixels.y()),
                                    static_cast<std::uint32_t>(std::max(1, pixels.width())),
                                    static_cast<std::uint32_t>(std::max(1, pixels.height()))};
    xcb_configure_window(connection_, window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
}

void NativePanelWindow::map() {
    if (pointerPassesThrough_) {
        xcb_shape_mask(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window_, 0, 0, XCB_NONE);
        pointerPassesThrough_ = false;
    }
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_map_window(connection_, window_);
}

void NativePanelWindow::unmap() {
    xcb_unmap_window(connection_, window_);
}

bool NativePanelWindow::letPointerThrough() {
    if (!shapesInput_)
        return false;
    xcb_shape_rectangles(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                         XCB_CLIP_ORDERING_UNSORTED, window_, 0, 0, 0, nullptr);
    pointerPassesThrough_ = true;
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return true;
}

void NativePanelWindow::repaint(const QRect& area) {
    if (area.isEmpty())
        return;
    xcb_clear_area(connection_, 0, window_, static_cast<std::int16_t>(area.x()),
                   static_cast<std::int16_t>(area.y()), static_cast<std::uint16_t>(area.width()),
                   static_cast<std::uint16_t>(area.height()));
}

void NativePanelWindow::flush() {
    xcb_flush(connection_);
}

}  // namespace tavrel::qt
