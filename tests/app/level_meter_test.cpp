// A level meter's peak hold and clip mark over time, and what a screen reader
// hears of it. Its readings of a real renderer are checked in the window.
#include <gtest/gtest.h>

#include <tuple>

#include "meters/level_meter_widget.h"

using Clock = CLevelMeterWidget::Clock;

// Readings at set times: the hold keeps the loudest peak for its time and
// then follows; the clip mark stays lit for its time after a clipped block;
// a meter that gets nothing new for a while falls to silence. A screen reader
// hears the held peak to 3 dB, or the clip.
TEST(LevelMeters, HoldThePeakAndMarkAClip)
{
    CLevelMeterWidget meter(QStringLiteral("Microphone level"));
    EXPECT_EQ(meter.accessibleDescription().toStdString(), "Silent");
    const Clock::time_point t0 = Clock::now();
    const auto reading = [](double dPeak, bool bClip = false) {
        return CallMeterLevels{dPeak, dPeak - 3, bClip, 1};
    };
    // The time in ms, the reading, then the peak, hold, clip mark and words shown.
    using Step = std::tuple<int, CallMeterLevels, double, double, bool, const char*>;
    const auto hold = static_cast<int>(CLevelMeterWidget::kHold.count()) + 40;
    const auto clip = hold + 80 + static_cast<int>(CLevelMeterWidget::kClipShown.count());
    for (const auto& [nMs, shown, dPeakDb, dHoldDb, bClipMarked, pszWords] :
         {Step{0, reading(-20), -20, -20, false, "Peak -21 dB"},
          Step{40, reading(-3), -3, -3, false, "Peak -3 dB"},
          Step{hold - 10, reading(-30), -30, -3, false, "Peak -3 dB"},
          Step{hold + 40, reading(-30), -30, -30, false, "Peak -30 dB"},
          Step{hold + 80, reading(0, true), 0, 0, true, "Clipping"},
          Step{clip - 10, reading(-30), -30, -30, true, "Clipping"},
          Step{clip + 40, reading(-30), -30, -30, false, "Peak -30 dB"},
          Step{clip + 80, CallMeterLevels{}, -30, -30, false, "Peak -30 dB"},
          Step{clip + 480, CallMeterLevels{}, kSilentDb, -30, false, "Peak -30 dB"}}) {
        SCOPED_TRACE(nMs);
        meter.ShowReading(shown, t0 + std::chrono::milliseconds(nMs));
        EXPECT_EQ(meter.PeakDb(), dPeakDb);
        EXPECT_EQ(meter.HoldDb(), dHoldDb);
        EXPECT_EQ(meter.IsClipMarked(), bClipMarked);
        EXPECT_EQ(meter.accessibleDescription().toStdString(), pszWords);
    }
}
