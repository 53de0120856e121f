// What the two level meters cost the UI thread: the window's meter panel,
// shown (offscreen), reads a transmitting renderer's levels at its own rate
// for ten seconds while the microphone carries pink noise, which moves the
// meters block by block; the UI thread's CPU time over that time, as a
// share of one core.
#include <QApplication>
#include <QTimer>

#include <time.h>

#include <chrono>
#include <cstdio>

#include "callfeed_renderer_register.h"
#include "meters/meter_panel.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/gst_handle.h"

namespace {

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    if (!GST_ELEMENT_REGISTER(callfeedrenderer, nullptr)) {
        std::fprintf(stderr, "the renderer could not be registered\n");
        return 1;
    }
    CElementPtr pRenderer(
        GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("callfeedrenderer", nullptr))));
    g_object_set(pRenderer.get(), "port", 0, "capture-source",
                 "audiotestsrc is-live=true wave=pink-noise volume=0.4", nullptr);
    if (CCallfeedControl(pRenderer.get()).StartTransmission() != S_OK) {
        std::fprintf(stderr, "the renderer did not transmit\n");
        return 1;
    }
    CMeterPanel panel;
    panel.resize(400, 40);
    panel.show();
    int nReadings = 0;
    panel.Start([&](CallLevels* pLevels) {
        ++nReadings;
        return TakeCallLevels(pRenderer.get(), pLevels);
    });
    constexpr std::chrono::seconds kRun{10};
    QTimer::singleShot(kRun, &app, &QApplication::quit);
    const auto start = std::chrono::steady_clock::now();
    const double dCpuBefore = ThreadCpuSeconds();
    app.exec();
    const double dCpu = ThreadCpuSeconds() - dCpuBefore;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    panel.Stop();
    CCallfeedControl(pRenderer.get()).StopTransmission();
    std::printf("meter_ui_cost_pct: %.3f %% (%d readings, %.1f per second)\n",
                dCpu / wall.count() * 100, nReadings, nReadings / wall.count());
    return 0;
}
