#include "core/WindowEnumerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

// The application cache lives as long as the process and every test shares it, so each test
// uses process ids of its own (71xxx here).

WindowInfo window(std::int32_t pid, std::uint32_t number, std::string title) {
    return {
        {kCGWindowLayer, std::int64_t{0}},
        {kCGWindowOwnerPID, std::int64_t{pid}},
        {kCGWindowNumber, std::int64_t{number}},
        {kCGWindowName, std::move(title)},
        {kCGWindowBounds, NumberMap{{"X", 0.0}, {"Y", 0.0}, {"Width", 800.0}, {"Height", 600.0}}},
        {kCGWindowOwnerName, std::string("Owner")}};
}

WindowInfo withField(WindowInfo record, const char* key, Value value) {
    record[key] = std::move(value);
    return record;
}

WindowInfo without(WindowInfo record, const char* key) {
    record.erase(key);
    return record;
}

WindowInfo sized(WindowInfo record, NumberMap bounds) {
    return withField(std::move(record), kCGWindowBounds, std::move(bounds));
}

std::vector<std::uint32_t> numbers(const std::vector<WindowEntry>& entries) {
    std::vector<std::uint32_t> result;
    for (const auto& e : entries)
        result.push_back(e.cgWindowID);
    return result;
}

bool lookedUp(const fake::CallLog& log, std::int32_t pid) {
    const auto& calls = log.calls();
    return std::find(calls.begin(), calls.end(), "runningApplication pid=" + std::to_string(pid)) !=
           calls.end();
}

using Numbers = std::vector<std::uint32_t>;

TEST(WindowEnumerator, AsksOnceForOnScreenWindowsAndReadsTheOwnPidOnce) {
    fake::FakePlatform fake;
    fake.windowServer.windows =
        WindowInfoList{window(71001, 1, "A"), window(71002, 2, "B"), window(71001, 3, "C")};
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{1, 2, 3}));
    EXPECT_EQ(
        fake.calls.calls(),
        (std::vector<std::string>{"copyWindowInfo 17 0", "processIdentifier",
                                  "runningApplication pid=71001", "runningApplication pid=71002"}));
}

TEST(WindowEnumerator, NoWindowListOrAnEmptyOneGivesNoEntries) {
    fake::FakePlatform fake;
    fake.windowServer.windows = std::nullopt;
    EXPECT_TRUE(WindowEnumerator::enumerate().empty());
    fake.windowServer.windows = WindowInfoList{};
    EXPECT_TRUE(WindowEnumerator::enumerate().empty());
}

TEST(WindowEnumerator, EntriesCarryTheRecordAndTheApplicationInFrontToBackOrder) {
    fake::FakePlatform fake;
    const auto icon = std::make_shared<IconImage>();
    fake.runningApplications.apps[71011] = {"Mail", icon, "org.example.mail"};
    fake.windowServer.windows = WindowInfoList{window(71012, 9, "Notes"), window(71011, 4, "Inbox"),
                                               window(71011, 2, "Drafts")};

    const auto entries = WindowEnumerator::enumerate();
    ASSERT_EQ(numbers(entries), (Numbers{9, 4, 2}));
    EXPECT_EQ(entries[1].pid, 71011);
    EXPECT_EQ(entries[1].appName, "Mail");
    EXPECT_EQ(entries[1].appIcon, icon);
    EXPECT_EQ(entries[1].title, "Inbox");
    EXPECT_EQ(entries[1].bundleID, "org.example.mail");
    EXPECT_EQ(entries[2].appIcon, icon);
    EXPECT_EQ(entries[2].title, "Drafts");

    const auto again = WindowEnumerator::enumerate();
    EXPECT_EQ(numbers(again), numbers(entries));
    EXPECT_EQ(again[1].appName, "Mail");
}

TEST(WindowEnumerator, SkipsOtherLayersTheOwnProcessAndRecordsWithoutIdentity) {
    fake::FakePlatform fake;
    fake.processInfo.pid = 71020;
    fake.windowServer.windows = WindowInfoList{
        withField(window(71021, 1, "Layer 3"), kCGWindowLayer, std::int64_t{3}),
        without(window(71022, 2, "No layer"), kCGWindowLayer),
        window(71020, 3, "Own window"),
        withField(window(71020, 4, "Own panel"), kCGWindowLayer, std::int64_t{25}),
        without(window(71023, 5, "No owner"), kCGWindowOwnerPID),
        without(window(71024, 6, "No number"), kCGWindowNumber),
        window(71025, 7, "Listed"),
    };
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{7}));
    for (std::int32_t pid : {71021, 71022, 71020, 71024})
        EXPECT_FALSE(lookedUp(fake.calls, pid)) << pid;
}

TEST(WindowEnumerator, ValuesOfTheWrongKindCountAsMissing) {
    fake::FakePlatform fake;
    constexpr std::int64_t kBeyond32Bits = std::int64_t{1} << 32;
    fake.windowServer.windows = WindowInfoList{
        // A truncating reader would see window 7, pid 71031, layer 0.
        withField(window(71031, 7, "Window beyond 32 bits"), kCGWindowNumber, kBeyond32Bits + 7),
        withField(window(71031, 8, "Negative window"), kCGWindowNumber, std::int64_t{-8}),
        withField(window(71031, 9, "Fractional pid"), kCGWindowOwnerPID, 71031.5),
        withField(window(71031, 10, "Pid beyond 32 bits"), kCGWindowOwnerPID,
                  kBeyond32Bits + 71031),
        withField(window(71031, 11, "String layer"), kCGWindowLayer, std::string("0")),
        withField(window(71031, 12, "Fractional layer"), kCGWindowLayer, 0.5),
        withField(window(71031, 13, "Number title"), kCGWindowName, std::int64_t{13}),
        withField(window(71031, 14, "Bool pid"), kCGWindowOwnerPID, true),
        // Exact numbers given as floating point are the numbers they hold.
        withField(withField(window(71031, 0, "Whole doubles"), kCGWindowNumber, 15.0),
                  kCGWindowLayer, 0.0),
    };
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{15}));
}

TEST(WindowEnumerator, TitlesMustBeNonEmptyButAreNotTrimmed) {
    fake::FakePlatform fake;
    fake.windowServer.windows = WindowInfoList{
        without(window(71041, 1, ""), kCGWindowName),
        window(71041, 2, ""),
        window(71041, 3, "   "),
    };
    const auto entries = WindowEnumerator::enumerate();
    ASSERT_EQ(numbers(entries), (Numbers{3}));
    EXPECT_EQ(entries[0].title, "   ");
}

TEST(WindowEnumerator, SizeTestAppliesOnlyToBoundsThatAreANumberMap) {
    fake::FakePlatform fake;
    fake.windowServer.windows = WindowInfoList{
        sized(window(71051, 1, "Smallest listed"), {{"Width", 80.0}, {"Height", 40.0}}),
        sized(window(71051, 2, "Too narrow"), {{"Width", 79.9}, {"Height", 600.0}}),
        sized(window(71051, 3, "Too low"), {{"Width", 800.0}, {"Height", 39.9}}),
        sized(window(71051, 4, "No height"), {{"Width", 800.0}}),
        sized(window(71051, 5, "No width"), {{"Height", 600.0}}),
        sized(window(71051, 6, "NaN height"), {{"Width", 800.0}, {"Height", std::nan("")}}),
        without(window(71051, 7, "No bounds"), kCGWindowBounds),
        withField(window(71051, 8, "String bounds"), kCGWindowBounds, std::string("800x600")),
    };
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{1, 7, 8}));
}

TEST(WindowEnumerator, OneEntryPerTitleWithinAProcess) {
    fake::FakePlatform fake;
    fake.windowServer.windows = WindowInfoList{
        window(71061, 1, "Shared"),
        window(71061, 2, "Shared"),
        window(71062, 3, "Shared"),
        // A small window or one on another layer must not claim the title.
        sized(window(71063, 4, "Report"), {{"Width", 60.0}, {"Height", 600.0}}),
        withField(window(71063, 5, "Report"), kCGWindowLayer, std::int64_t{8}),
        window(71063, 6, "Report"),
        // Canonically equivalent: precomposed and decomposed e acute.
        window(71064, 7, "Caf\u00e9"),
        window(71064, 8, "Cafe\u0301"),
        window(71064, 9, "Cafe"),
    };
    const auto entries = WindowEnumerator::enumerate();
    ASSERT_EQ(numbers(entries), (Numbers{1, 3, 6, 7, 9}));
    EXPECT_EQ(entries[3].title, "Caf\u00e9");
}

TEST(WindowEnumerator, DuplicateTitlesAreForgottenBetweenCalls) {
    fake::FakePlatform fake;
    fake.windowServer.windows = WindowInfoList{window(71071, 1, "Same")};
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{1}));
    EXPECT_EQ(numbers(WindowEnumerator::enumerate()), (Numbers{1}));
}

TEST(WindowEnumerator, ApplicationNameFallsBackToTheOwnerName) {
    fake::FakePlatform fake;
    fake.runningApplications.apps[71081] = {std::nullopt, nullptr, std::nullopt};
    fake.windowServer.windows = WindowInfoList{
        window(71081, 1, "Unnamed app"),
        without(window(71082, 2, "Unknown app, no owner name"), kCGWindowOwnerName),
        withField(window(71083, 3, "Unknown app, numeric owner"), kCGWindowOwnerName,
                  std::int64_t{5}),
    };
    const auto entries = WindowEnumerator::enumerate();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].appName, "Owner");
    EXPECT_EQ(entries[1].appName, "");
    EXPECT_EQ(entries[2].appName, "");
}

TEST(WindowEnumerator, FirstSightOfAProcessFixesItsApplicationForGood) {
    fake::FakePlatform fake;
    const auto firstIcon = std::make_shared<IconImage>();
    fake.runningApplications.apps[71091] = {"Editor", firstIcon, "org.example.editor"};
    fake.windowServer.windows = WindowInfoList{
        window(71091, 1, "Draft"),
        withField(window(71091, 2, "Notes"), kCGWindowOwnerName, std::string("Renamed")),
        withField(window(71092, 3, "Gone"), kCGWindowOwnerName, std::string("Ghost")),
    };
    auto entries = WindowEnumerator::enumerate();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].appName, "Editor");
    EXPECT_EQ(entries[2].appName, "Ghost");
    EXPECT_EQ(entries[2].appIcon, nullptr);
    EXPECT_EQ(entries[2].bundleID, std::nullopt);

    // The pid is reused by another application and the failed one appears: neither is asked.
    fake.runningApplications.apps[71091] = {"Browser", nullptr, "org.example.browser"};
    fake.runningApplications.apps[71092] = {"Ghost App", nullptr, "org.example.ghost"};
    fake.calls.clear();
    entries = WindowEnumerator::enumerate();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].appName, "Editor");
    EXPECT_EQ(entries[0].appIcon, firstIcon);
    EXPECT_EQ(entries[0].bundleID, "org.example.editor");
    EXPECT_EQ(entries[2].appName, "Ghost");
    EXPECT_EQ(entries[2].bundleID, std::nullopt);
    EXPECT_FALSE(lookedUp(fake.calls, 71091));
    EXPECT_FALSE(lookedUp(fake.calls, 71092));
}

}  // namespace
}  // namespace tavrel
