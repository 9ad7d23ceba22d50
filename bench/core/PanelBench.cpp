#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/SwitcherPanel.h"
#include "core/TextMatch.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

// Window titles as a desktop shows them: mostly ASCII, about one in four with accents,
// dashes, Cyrillic or CJK.
std::vector<WindowEntry> realisticEntries(std::size_t count) {
    const std::vector<std::string> apps = {"Browser",  "Terminal",     "Mail",     "Editor",
                                           "Files",    "Music",        "Writer",   "Chat",
                                           "Calendar", "Image Viewer", "Settings", "Notes"};
    const std::vector<std::string> titles = {
        "Pull request #%d: fix the window list by number - review",
        "user@workstation: ~/src/project-%d/build",
        "Inbox (%d unread) - mail.example.org",
        "notes-%d.txt (~/Documents) - Editor",
        "Downloads/report-%d.pdf",
        "Caf\xc3\xa9 M\xc3\xbcller \xe2\x80\x93 Playlist %d",
        "Quarterly plan %d.odt \xe2\x80\x94 Writer",
        "\xd0\x9c\xd0\xbe\xd0\xb9 \xd0\xb4\xd0\xbe\xd0\xba\xd1\x83\xd0\xbc\xd0\xb5\xd0\xbd\xd1\x82 "
        "%d",
        "Team standup, room %d",
        "IMG_%d.jpg (1920x1080)",
        "\xe6\x9d\xb1\xe4\xba\xac\xe3\x81\xae\xe5\x9c\xb0\xe5\x9b\xb3 %d",
        "Search results for \"kernel %d\" - Browser",
    };
    std::vector<WindowEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        std::string title = titles[i % titles.size()];
        title.replace(title.find("%d"), 2, std::to_string(i * 37 % 1000));
        entries.push_back({static_cast<std::uint32_t>(i + 1), static_cast<std::int32_t>(i % 50),
                           apps[(i / 3) % apps.size()], nullptr, title, std::nullopt});
    }
    return entries;
}

KeyboardEvent typed(char c) {
    return {kCGEventKeyDown, 0, 0, std::string(1, c)};
}

// One pass of the filter over 1,000 rows, as each accepted key press makes it.
void BM_MatchThousandRows(benchmark::State& state, std::string query) {
    const auto entries = realisticEntries(1000);
    TextMatcher matcher;
    std::string text;
    for (auto _ : state) {
        matcher.setQuery(query);
        std::size_t kept = 0;
        for (const WindowEntry& entry : entries) {
            text.assign(entry.appName).append(1, ' ').append(entry.title);
            kept += matcher.matches(text) ? 1 : 0;
        }
        benchmark::DoNotOptimize(kept);
    }
}
BENCHMARK_CAPTURE(BM_MatchThousandRows, m, std::string("m"));
BENCHMARK_CAPTURE(BM_MatchThousandRows, mai, std::string("mai"));
BENCHMARK_CAPTURE(BM_MatchThousandRows, plan, std::string("plan"));
BENCHMARK_CAPTURE(BM_MatchThousandRows, xq, std::string("xq"));
BENCHMARK_CAPTURE(BM_MatchThousandRows, caf, std::string("Caf"));

// A whole key press in the panel over 1,000 rows: filter, label, size, place, reload,
// highlight. Alternates typing and deleting a second letter so every press filters with
// text; the call log of the in-memory window is emptied inside the timing.
void BM_PanelKeystrokeThousandRows(benchmark::State& state) {
    fake::FakePlatform platform;
    const auto panel = SwitcherPanel::create({});
    panel->update(realisticEntries(1000), 1);
    panel->handleKeyDown(typed('r'));
    const KeyboardEvent erase{kCGEventKeyDown, 0, kVK_Delete, std::nullopt};
    for (auto _ : state) {
        panel->handleKeyDown(typed('e'));
        panel->handleKeyDown(erase);
        platform.calls.clear();
    }
    state.counters["per_keystroke"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PanelKeystrokeThousandRows);

// The start of a showing: 300 entries handed over, sized and highlighted.
void BM_PanelUpdateThreeHundred(benchmark::State& state) {
    fake::FakePlatform platform;
    const auto panel = SwitcherPanel::create({});
    const auto entries = realisticEntries(300);
    for (auto _ : state) {
        panel->update(entries, 1);
        platform.calls.clear();
    }
}
BENCHMARK(BM_PanelUpdateThreeHundred);

}  // namespace
}  // namespace tavrel
