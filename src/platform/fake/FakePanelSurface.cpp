#include "platform/fake/FakePanelSurface.h"

namespace tavrel::fake {
namespace {
std::string num(double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}
std::string describe(Rect r) {
    return num(r.origin.x) + "," + num(r.origin.y) + " " + num(r.size.width) + "x" +
           num(r.size.height);
}
}  // namespace

FakePanelSurface::FakePanelSurface(CallLog& log, PanelDataSource& source,
                                   const PanelWindowStyle& windowStyle,
                                   const PanelContentLayout& contentLayout)
    : dataSource(source),
      style(windowStyle),
      layout(contentLayout),
      windowFrame(windowStyle.contentRect),
      log_(log) {}

void FakePanelSurface::selectRowIndexes(std::int64_t row, bool byExtendingSelection) {
    log_.record("selectRow " + std::to_string(row) + (byExtendingSelection ? " extend" : ""));
    selected = row;
}

void FakePanelSurface::scrollRowToVisible(std::int64_t row) {
    log_.record("scrollRowToVisible " + std::to_string(row));
    scrolledTo = row;
}

void FakePanelSurface::reloadData() {
    log_.record("reloadData");
    // A reload drops a highlight that no longer names a row, as a table would.
    if (selected >= dataSource.numberOfRows())
        selected = -1;
}

void FakePanelSurface::setSearchLabelHidden(bool hidden) {
    log_.record(std::string("labelHidden ") + (hidden ? "true" : "false"));
    labelHidden = hidden;
}

void FakePanelSurface::setSearchLabelText(const std::string& text) {
    log_.record("labelText " + text);
    labelText = text;
}

void FakePanelSurface::setScrollViewFrame(Rect frame) {
    log_.record("scrollFrame " + describe(frame));
    scrollFrame = frame;
}

void FakePanelSurface::setFrame(Rect frame, bool display) {
    log_.record("setFrame " + describe(frame) + (display ? " display" : ""));
    windowFrame = frame;
}

void FakePanelSurface::setFrameOrigin(Point origin) {
    log_.record("setFrameOrigin " + num(origin.x) + "," + num(origin.y));
    windowFrame.origin = origin;
}

void FakePanelSurface::orderFrontRegardless() {
    log_.record("orderFrontRegardless");
    visible = true;
}

void FakePanelSurface::makeKeyWindow() {
    log_.record("makeKeyWindow");
    key = true;
}

void FakePanelSurface::orderOut() {
    log_.record("orderOut");
    visible = false;
    key = false;
}

void FakePanelSurface::click(std::int64_t row) {
    clicked = row;
    dataSource.rowClicked();
}

std::unique_ptr<PanelSurface> FakePanelSurfaces::makePanel(const PanelWindowStyle& style,
                                                           const PanelContentLayout& layout,
                                                           PanelDataSource& dataSource) {
    log_.record("makePanel");
    ++made;
    auto panel = std::make_unique<FakePanelSurface>(log_, dataSource, style, layout);
    last = panel.get();
    return panel;
}

}  // namespace tavrel::fake
