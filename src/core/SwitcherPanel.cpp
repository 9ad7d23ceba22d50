#include "core/SwitcherPanel.h"

#include <algorithm>
#include <numeric>

#include "core/RowViews.h"
#include "core/SwitcherController.h"
#include "platform/Platform.h"

namespace tavrel {
namespace {

// Window.
constexpr double kInitialHeight = 600.0;
constexpr std::uint64_t kNonactivatingPanelMask = 128;
constexpr std::int64_t kBufferedBacking = 2;
constexpr std::int64_t kFloatingWindowLevel = 3;
// Can join all spaces (1) | ignores the window cycle (64) | full-screen auxiliary (256).
constexpr std::uint64_t kCollectionBehavior = 321;
constexpr std::int64_t kNoAnimation = 2;

// Content.
constexpr double kBorderWidth = 1.0;
constexpr double kBorderAlpha = 0.35;
constexpr double kScrollInset = 6.0;
constexpr double kSpaceAboveTableWithLabel = 32.0;
constexpr double kPlainAllowance = 12.0;   // 6 below and 6 above the table
constexpr double kFilterAllowance = 38.0;  // 6 below the table, 32 above it for the label
constexpr double kLabelX = 14.0;
constexpr double kLabelWidth = 592.0;
constexpr double kLabelHeight = 18.0;
constexpr double kLabelDropFromTop = 26.0;
constexpr double kLabelFontSize = 11.0;
constexpr double kColumnWidth = 608.0;

// Placement.
constexpr double kScreenMargin = 120.0;
constexpr double kRaiseAboveCentre = 40.0;

const std::string kSearchPrefix = "Search: ";

}  // namespace

PanelWindowStyle SwitcherPanel::windowStyle() {
    PanelWindowStyle style;
    style.contentRect = {{0, 0}, {panelWidth, kInitialHeight}};
    style.styleMask = kNonactivatingPanelMask;
    style.backing = kBufferedBacking;
    style.defer = false;
    style.floatingPanel = true;
    style.level = kFloatingWindowLevel;
    style.collectionBehavior = kCollectionBehavior;
    style.hidesOnDeactivate = false;
    style.movable = false;
    style.hasShadow = true;
    style.backgroundColour = {SystemColor::clear};
    style.opaque = false;
    style.animationBehavior = kNoAnimation;
    return style;
}

PanelContentLayout SwitcherPanel::contentLayout() {
    PanelContentLayout layout;
    layout.cornerRadius = cornerRadius;
    layout.borderWidth = kBorderWidth;
    layout.borderColour = {SystemColor::separator, kBorderAlpha};
    layout.searchLabelFrame = {{kLabelX, kInitialHeight - kLabelDropFromTop},
                               {kLabelWidth, kLabelHeight}};
    layout.searchLabel.font = {kLabelFontSize, FontWeight::medium};
    layout.searchLabel.colour = {SystemColor::tertiaryLabel};
    layout.scrollInset = kScrollInset;
    layout.overlayScroller = true;
    layout.rowHeight = rowHeight;
    layout.columnWidth = kColumnWidth;
    return layout;
}

namespace {

// Stands in when the platform could make no window: the panel keeps its logic (lists,
// filter, controller calls) and simply shows nothing.
class WindowlessSurface final : public PanelSurface {
  public:
    void selectRowIndexes(std::int64_t row, bool) override { selected_ = row; }
    void scrollRowToVisible(std::int64_t) override {}
    void reloadData() override {}
    std::int64_t selectedRow() override { return selected_; }
    std::int64_t clickedRow() override { return -1; }
    void setSearchLabelHidden(bool) override {}
    void setSearchLabelText(const std::string&) override {}
    void setScrollViewFrame(Rect) override {}
    Rect frame() override { return frame_; }
    void setFrame(Rect frame, bool) override { frame_ = frame; }
    void setFrameOrigin(Point origin) override { frame_.origin = origin; }
    void orderFrontRegardless() override {}
    void makeKeyWindow() override {}
    void orderOut() override {}

  private:
    std::int64_t selected_ = -1;
    Rect frame_ = SwitcherPanel::windowStyle().contentRect;
};

}  // namespace

std::shared_ptr<SwitcherPanel> SwitcherPanel::create(std::weak_ptr<SwitcherController> controller) {
    auto panel = std::make_shared<SwitcherPanel>(Passkey{}, std::move(controller));
    // Last, and only once the panel is owned: the monitor holds it weakly.
    panel->installKeyMonitor();
    return panel;
}

SwitcherPanel::SwitcherPanel(Passkey, std::weak_ptr<SwitcherController> controller)
    : controller_(std::move(controller)) {
    if (PanelSurfaces* surfaces = platform().panelSurfaces)
        surface_ = surfaces->makePanel(windowStyle(), contentLayout(), *this);
    if (!surface_)
        surface_ = std::make_unique<WindowlessSurface>();
    SidebarRowView::insetX = selectionInsetX;
    SidebarRowView::insetY = selectionInsetY;
    SidebarRowView::radius = selectionCornerRadius;
}

SwitcherPanel::~SwitcherPanel() = default;

void SwitcherPanel::update(std::vector<WindowEntry> entries, std::int64_t selection) {
    entries_ = std::move(entries);
    filtered_.resize(entries_.size());
    std::iota(filtered_.begin(), filtered_.end(), std::size_t{0});
    searchBuffer_.clear();
    updateSearchLabel();
    sizeToContents();
    surface_->reloadData();
    selectRow(selection);
}

void SwitcherPanel::present() {
    place();
    surface_->orderFrontRegardless();
    surface_->makeKeyWindow();
}

void SwitcherPanel::orderOut() {
    surface_->orderOut();
}

void SwitcherPanel::selectRow(std::int64_t row) {
    if (filtered_.empty())
        return;
    const auto last = static_cast<std::int64_t>(filtered_.size()) - 1;
    const std::int64_t clamped = std::clamp<std::int64_t>(row, 0, last);
    surface_->selectRowIndexes(clamped, false);
    surface_->scrollRowToVisible(clamped);
}

std::optional<std::int64_t> SwitcherPanel::stepShownRows(bool reverse, std::int64_t selection) {
    const std::size_t n = filtered_.size();
    if (n == 0)
        return std::nullopt;
    std::optional<std::size_t> holding;
    if (selection >= 0 && selection < static_cast<std::int64_t>(entries_.size())) {
        const auto id = entries_[static_cast<std::size_t>(selection)].cgWindowID;
        const auto found = std::find_if(filtered_.begin(), filtered_.end(), [&](std::size_t i) {
            return entries_[i].cgWindowID == id;
        });
        if (found != filtered_.end())
            holding = static_cast<std::size_t>(found - filtered_.begin());
    }
    std::size_t next = reverse ? n - 1 : 0;
    if (holding)
        next = reverse ? (*holding + n - 1) % n : (*holding + 1) % n;
    selectRow(static_cast<std::int64_t>(next));
    return fullIndexOf(next);
}

bool SwitcherPanel::handleKeyDown(const KeyboardEvent& event) {
    switch (event.keyCode) {
        case kVK_Return:
        case kVK_ANSI_KeypadEnter:
            if (const auto controller = controller_.lock())
                controller->commitIfVisible();
            return true;
        case kVK_Tab:
            moveSelection((event.flags & kCGEventFlagMaskShift) != 0 ? -1 : 1);
            return true;
        case kVK_Delete:
            if (!searchBuffer_.empty()) {
                searchBuffer_.pop_back();
                applyFilter();
            }
            return true;
        case kVK_Escape:
            if (const auto controller = controller_.lock())
                controller->cancel();
            return true;
        case kVK_DownArrow:
            moveSelection(1);
            return true;
        case kVK_UpArrow:
            moveSelection(-1);
            return true;
        default:
            return typeCharacter(event.charactersIgnoringModifiers);
    }
}

double SwitcherPanel::height(std::size_t rows, bool filterShown, double visibleHeight) {
    const double allowance = filterShown ? kFilterAllowance : kPlainAllowance;
    const double oneRow = rowHeight + allowance;
    const double wanted = std::max(oneRow, static_cast<double>(rows) * rowHeight + allowance);
    // Never below one row: a short visible frame would otherwise leave no window at all.
    return std::max(oneRow, std::min(wanted, visibleHeight - kScreenMargin));
}

Point SwitcherPanel::origin(Rect visibleFrame, double height) {
    return {visibleFrame.midX() - panelWidth * 0.5,
            visibleFrame.midY() - height * 0.5 + kRaiseAboveCentre};
}

std::int64_t SwitcherPanel::numberOfRows() {
    return static_cast<std::int64_t>(filtered_.size());
}

std::optional<RowCell> SwitcherPanel::cellForRow(std::int64_t row) {
    if (row < 0 || row >= numberOfRows())
        return std::nullopt;
    const WindowEntry& entry = entries_[filtered_[static_cast<std::size_t>(row)]];
    return RowCell{entry.appName, entry.appIcon, entry.title};
}

void SwitcherPanel::rowClicked() {
    const std::int64_t row = surface_->clickedRow();
    if (row < 0 || row >= numberOfRows())
        return;
    const auto controller = controller_.lock();
    if (!controller)
        return;
    if (const auto position = fullIndexOf(static_cast<std::size_t>(row)))
        controller->setSelection(*position);
    controller->commitIfVisible();
}

std::optional<RoundedRect> SwitcherPanel::selectionHighlight(Rect rowBounds, bool selected) {
    return SidebarRowView::drawSelection(rowBounds, selected);
}

BackgroundStyle SwitcherPanel::interiorBackgroundStyle(bool selected) {
    return SidebarRowView::interiorBackgroundStyle(selected);
}

RowCellAppearance SwitcherPanel::cellAppearance(double cellWidth, BackgroundStyle style) {
    return RowCellView::appearance(cellWidth, style);
}

void SwitcherPanel::installKeyMonitor() {
    EventMonitors* monitors = platform().eventMonitors;
    if (keyMonitor_ || monitors == nullptr)
        return;
    keyMonitor_ = monitors->addLocalMonitorForEventsMatchingMask(
        NSEventMaskKeyDown, [weak = weak_from_this()](KeyboardEvent* event) -> KeyboardEvent* {
            const auto panel = weak.lock();
            if (!panel || event == nullptr)
                return event;
            // Held for the whole key press: a commit may be the last thing it does.
            const auto controller = panel->controller_.lock();
            if (!controller || !controller->isVisible())
                return event;
            return panel->handleKeyDown(*event) ? nullptr : event;
        });
}

void SwitcherPanel::moveSelection(std::int64_t delta) {
    const auto n = static_cast<std::int64_t>(filtered_.size());
    if (n == 0)
        return;
    // No highlighted row counts as row 0.
    const std::int64_t base = std::clamp<std::int64_t>(surface_->selectedRow(), 0, n - 1);
    chooseRow((base + delta + n) % n);
}

bool SwitcherPanel::typeCharacter(const std::optional<std::string>& characters) {
    if (!characters || characters->empty())
        return false;
    // Only the first character counts. A first byte outside printable ASCII starts a control
    // character, DEL, a non-ASCII character or ill-formed text: none of them is typed.
    const auto first = static_cast<unsigned char>(characters->front());
    if (first < 0x20 || first > 0x7E)
        return false;
    searchBuffer_.push_back(static_cast<char>(first));
    applyFilter();
    return true;
}

void SwitcherPanel::applyFilter() {
    matcher_.setQuery(searchBuffer_);
    filtered_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        rowText_.assign(entries_[i].appName).append(1, ' ').append(entries_[i].title);
        if (matcher_.matches(rowText_))
            filtered_.push_back(i);
    }
    updateSearchLabel();
    sizeToContents();
    place();
    surface_->reloadData();
    if (!filtered_.empty())
        chooseRow(0);
}

void SwitcherPanel::updateSearchLabel() {
    if (searchBuffer_.empty()) {
        surface_->setSearchLabelHidden(true);
        return;
    }
    surface_->setSearchLabelHidden(false);
    surface_->setSearchLabelText(kSearchPrefix + searchBuffer_);
}

void SwitcherPanel::sizeToContents() {
    const auto screen = activeScreen();
    if (!screen)
        return;
    const double h = height(filtered_.size(), isFiltered(), screen->visibleFrame.size.height);
    surface_->setFrame({surface_->frame().origin, {panelWidth, h}}, false);
    const double aboveAndBelow = isFiltered() ? kSpaceAboveTableWithLabel : 2 * kScrollInset;
    surface_->setScrollViewFrame(
        {{kScrollInset, kScrollInset}, {panelWidth - 2 * kScrollInset, h - aboveAndBelow}});
}

void SwitcherPanel::place() {
    const auto screen = activeScreen();
    if (!screen)
        return;
    surface_->setFrameOrigin(origin(screen->visibleFrame, surface_->frame().size.height));
}

std::optional<Screen> SwitcherPanel::activeScreen() {
    Screens* screens = platform().screens;
    if (screens == nullptr)
        return std::nullopt;
    const std::vector<Screen> list = screens->screens();
    for (const Screen& screen : list) {
        if (screen.frame.contains(screens->mouseLocation()))
            return screen;
    }
    if (auto main = screens->mainScreen())
        return main;
    if (!list.empty())
        return list.front();
    return std::nullopt;
}

void SwitcherPanel::chooseRow(std::int64_t row) {
    selectRow(row);
    const auto controller = controller_.lock();
    const auto position = fullIndexOf(static_cast<std::size_t>(row));
    if (controller && position)
        controller->setSelection(*position);
}

std::optional<std::int64_t> SwitcherPanel::fullIndexOf(std::size_t row) const {
    if (row >= filtered_.size())
        return std::nullopt;
    const auto id = entries_[filtered_[row]].cgWindowID;
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const WindowEntry& e) { return e.cgWindowID == id; });
    return static_cast<std::int64_t>(found - entries_.begin());
}

}  // namespace tavrel
