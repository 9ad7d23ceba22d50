// What the backend makes of property bytes, without a server.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "platform/desktop/DesktopEntries.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Icon.h"
#include "platform/x11/X11Text.h"

namespace tavrel::x11 {
namespace {

TEST(TextDecoding, RepairsEveryIllFormedUtf8Sequence) {
    EXPECT_EQ(repairUtf8("plain ascii"), "plain ascii");
    EXPECT_EQ(repairUtf8("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(repairUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(repairUtf8("a\xFF"), "a" + fffd);                            // never valid
    EXPECT_EQ(repairUtf8("\xC0\xAF"), fffd + fffd);                        // overlong
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), fffd + fffd + fffd);             // surrogate
    EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
    EXPECT_EQ(repairUtf8("\xE2\x82"), fffd + fffd);                        // cut short
    EXPECT_EQ(repairUtf8("\x80x"), fffd + "x");                            // stray continuation
}

TEST(TextDecoding, ReadsEachTextTypeAndRefusesOthers) {
    Atoms atoms;
    atoms.UTF8_STRING = 100;
    atoms.COMPOUND_TEXT = 101;
    EXPECT_EQ(decodeTextProperty(XCB_ATOM_STRING, 8,
                                 "Gr\xFC\xDF"
                                 "e",
                                 atoms, nullptr),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    EXPECT_EQ(decodeTextProperty(100, 8, std::string_view("one\0two", 7), atoms, nullptr), "one");
    EXPECT_EQ(decodeTextProperty(100, 8, "bad \xFF", atoms, nullptr), "bad \xEF\xBF\xBD");
    EXPECT_EQ(decodeTextProperty(101, 8, "caf\xE9", atoms, nullptr), "caf\xC3\xA9");
    EXPECT_EQ(decodeTextProperty(XCB_ATOM_CARDINAL, 8, "abc", atoms, nullptr), std::nullopt);
    EXPECT_EQ(decodeTextProperty(100, 32, "abcd", atoms, nullptr), std::nullopt);
}

std::vector<std::uint32_t> icon(std::uint32_t width, std::uint32_t height, std::size_t pixels,
                                std::uint32_t colour) {
    std::vector<std::uint32_t> data{width, height};
    data.insert(data.end(), pixels, colour);
    return data;
}

std::vector<std::uint32_t> operator+(std::vector<std::uint32_t> a,
                                     const std::vector<std::uint32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(IconDecoding, PicksTheSmallestImageAtLeastTheTargetElseTheLargest) {
    const auto data = icon(16, 16, 256, 1) + icon(48, 48, 2304, 3) + icon(32, 32, 1024, 2);
    Image chosen = decodeNetWmIcon(data, 22);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->width, 32);
    EXPECT_EQ(chosen->argb.size(), 1024u);
    EXPECT_EQ(chosen->argb.front(), 2u);
    EXPECT_EQ(decodeNetWmIcon(data, 100)->width, 48);
    EXPECT_EQ(decodeNetWmIcon(data, 8)->width, 16);
}

TEST(IconDecoding, RefusesSizesTheDataDoesNotHold) {
    // Declares far more than it carries.
    EXPECT_FALSE(decodeNetWmIcon(icon(1000, 1000, 10, 1), 22));
    // Sizes whose product wraps around in 32 bits.
    EXPECT_FALSE(decodeNetWmIcon(icon(0x10000, 0x10000, 4, 1), 22));
    EXPECT_FALSE(decodeNetWmIcon(icon(0xFFFFFFFF, 0xFFFFFFFF, 4, 1), 22));
    EXPECT_FALSE(decodeNetWmIcon(icon(0, 5, 0, 1), 22));
    EXPECT_FALSE(decodeNetWmIcon(std::vector<std::uint32_t>{16}, 22));
    // A whole image before a broken one still counts.
    const Image kept = decodeNetWmIcon(icon(2, 2, 4, 7) + icon(64, 64, 3, 1), 22);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->width, 2);
}

// Layouts a big-endian server, a 16-bit screen or a short answer give, none of which Xvfb does.
TEST(IconDecoding, ReadsPixmapsInEachLayoutAndRefusesShortData) {
    // 9 x 1 bitmap, most significant byte and bit first in 32-bit units: pixels 0 and 8 set.
    const std::vector<std::uint8_t> bitmap{0x80, 0x80, 0x00, 0x00};
    ServerImage msb{bitmap, 9, 1, 1, 1, 32, false, 32, false};
    Image icon = decodePixmapIcon(msb, nullptr);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->argb, (std::vector<std::uint32_t>{0xff000000u, 0xffffffffu, 0xffffffffu,
                                                      0xffffffffu, 0xffffffffu, 0xffffffffu,
                                                      0xffffffffu, 0xffffffffu, 0xff000000u}));
    // The same bytes least significant first: pixel 7 is set (and 15, past the edge).
    ServerImage lsb = msb;
    lsb.lsbFirstBytes = lsb.lsbFirstBits = true;
    EXPECT_EQ(decodePixmapIcon(lsb, nullptr)->argb[7], 0xff000000u);
    // 2 x 1 at 16 bits (5-6-5), little-endian: pure red, then pure blue; the mask hides the second.
    const std::vector<std::uint8_t> pixels{0x00, 0xf8, 0x1f, 0x00};
    const ServerImage rgb565{pixels, 2, 1, 16, 16, 32, true, 32, true, 0xf800, 0x07e0, 0x001f};
    const std::vector<std::uint8_t> maskBits{0x01, 0, 0, 0};
    const ServerImage mask{maskBits, 2, 1, 1, 1, 32, true, 32, true};
    icon = decodePixmapIcon(rgb565, &mask);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->argb, (std::vector<std::uint32_t>{0xffff0000u, 0u}));
    // A scanline short, a side beyond the bound, no colour masks: nothing.
    ServerImage cut = rgb565;
    cut.data = std::span<const std::uint8_t>(pixels).first(2);
    EXPECT_FALSE(decodePixmapIcon(cut, nullptr));
    ServerImage wide = rgb565;
    wide.width = kMaxIconSide + 1;
    EXPECT_FALSE(decodePixmapIcon(wide, nullptr));
    ServerImage colourMapped = rgb565;
    colourMapped.redMask = colourMapped.greenMask = colourMapped.blueMask = 0;
    EXPECT_FALSE(decodePixmapIcon(colourMapped, nullptr));
}

TEST(DesktopEntryParsing, ReadsTheMainGroupWithTheLocalisedName) {
    const std::string text =
        "# comment\n[Desktop Entry]\nType=Application\nName=Files\nName[de]=Dateien\n"
        "Icon=system-file-manager\nExec=\"/usr/bin/nautilus\" --new-window %U\n"
        "StartupWMClass=Nautilus\n[Desktop Action new]\nName=New Window\n";
    const auto entry = desktop::parseDesktopEntry(text, "org.gnome.Nautilus", "de_DE.UTF-8");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Dateien");
    EXPECT_EQ(entry->icon, "system-file-manager");
    EXPECT_EQ(entry->executable, "nautilus");
    EXPECT_EQ(entry->startupWMClass, "Nautilus");
    EXPECT_EQ(desktop::parseDesktopEntry(text, "x", "C")->name, "Files");
    EXPECT_FALSE(desktop::parseDesktopEntry("[Desktop Entry]\nType=Link\nName=Web\n", "x", ""));
    EXPECT_FALSE(desktop::parseDesktopEntry(
        "[Desktop Entry]\nType=Application\nHidden=true\nName=A\n", "x", ""));
}

}  // namespace
}  // namespace tavrel::x11
