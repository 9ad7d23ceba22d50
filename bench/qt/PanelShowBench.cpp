// The panel's share of the keypress-to-panel time: from the core's update and present to the
// server holding the panel's whole picture, on a private X server, with 10, 100 and 300
// windows. Each showing brings the window chosen the time before to the front, as a switch
// does (icons already cached, as after the first switch).
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "../../tests/qt/ChildProcess.h"
#include "core/SwitcherPanel.h"
#include "platform/Platform.h"
#include "platform/fake/CallLog.h"
#include "platform/fake/FakeEventMonitors.h"
#include "platform/qt/QtPanelSurface.h"
#include "platform/qt/QtScreens.h"

namespace {
using namespace tavrel;

void roundTrip() {
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::vector<WindowEntry> windows(int count) {
    std::vector<Image> icons;
    for (int i = 0; i < 20; ++i) {
        auto icon = std::make_shared<IconImage>();
        icon->width = icon->height = 64;
        icon->argb.assign(64 * 64, 0xff000000u | static_cast<std::uint32_t>(i * 0x0a0b0c));
        icons.push_back(icon);
    }
    std::vector<WindowEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({static_cast<std::uint32_t>(100 + i), 10 + i,
                           "Application " + std::to_string(i % 20), icons[i % 20],
                           "Window title number " + std::to_string(i), std::nullopt});
    }
    return entries;
}

void BM_PresentPanelUntilPainted(benchmark::State& state) {
    fake::CallLog log;
    qt::QtScreens screens;
    qt::QtPanelSurfaces surfaces;
    fake::FakeEventMonitors monitors(log);
    Platform services;
    services.screens = &screens;
    services.panelSurfaces = &surfaces;
    services.eventMonitors = &monitors;
    installPlatform(services);
    const auto panel = SwitcherPanel::create({});
    std::vector<WindowEntry> entries = windows(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::swap(entries[0], entries[1]);
        const auto start = std::chrono::steady_clock::now();
        panel->update(entries, 1);
        panel->present();
        roundTrip();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        panel->orderOut();
        QCoreApplication::processEvents();
        roundTrip();
    }
    installPlatform({});
}
BENCHMARK(BM_PresentPanelUntilPainted)
    ->Arg(10)
    ->Arg(100)
    ->Arg(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    auto xvfb = tavrel::qt::test::XvfbSession::start("1600x1000x24");
    if (!xvfb) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
