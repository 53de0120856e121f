// The window's level meters: what they show for a known tone on the
// player's real renderer, and their peak hold and clip mark over time.
#include <gtest/gtest.h>

#include "app_testkit.h"
#include "meters/meter_panel.h"
#include "voxreel/callfeed_control.h"

namespace {

using namespace std::chrono_literals;
using Clock = CLevelMeterWidget::Clock;

class CSilentCallback final : public CDSPlayerCallback {
    void OnPlaybackCompleted() override {}
    void OnPlaybackFailed(HRESULT, const std::string&) override {}
};

// A microphone tone at half scale through the player's renderer, with no
// file playing: both meters show -6 dB peak and -9 dB RMS within 1 dB (the
// call hears the microphone alone, as it is).
TEST(LevelMeters, ShowAKnownToneFromThePlayersRendererWithinOneDecibel)
{
    apptest::InitMedia();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true freq=1000 volume=0.5", 1);
    CSilentCallback callback;
    CDSPlayer player(&callback, apptest::kQuietSink);
    player.SetServerPort(voxreel::test::FreePort());
    const HRESULT hr = player.Initialize();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    ASSERT_EQ(hr, S_OK);
    CMeterPanel panel;
    int nFresh = 0;
    panel.Start([&](CallLevels* pLevels) {
        const bool bRead = player.TakeCallLevels(pLevels);
        nFresh += bRead && pLevels->microphone.nBlocks > 0;
        return bRead;
    });
    // Past the capture's start, with readings coming in.
    ASSERT_TRUE(voxreel::test::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return nFresh >= 20;
        },
        20s));
    struct Expected {
        CLevelMeterWidget* pMeter;
        double dPeakDb;
        const char* pszName;
    };
    for (const auto& [pMeter, dPeakDb, pszName] :
         {Expected{panel.Microphone(), -6.02, "Microphone level"},
          Expected{panel.Call(), -6.02, "Level the call hears"}}) {
        SCOPED_TRACE(pszName);
        EXPECT_NEAR(pMeter->PeakDb(), dPeakDb, 1.0);
        EXPECT_NEAR(pMeter->RmsDb(), dPeakDb - 3.01, 1.0);
        EXPECT_NEAR(pMeter->HoldDb(), dPeakDb, 1.0);
        EXPECT_FALSE(pMeter->IsClipMarked());
        EXPECT_EQ(pMeter->accessibleName(), QString::fromUtf8(pszName));
    }
    panel.Stop();
    player.StopTransmission();
}

// Readings at set times: the hold keeps the loudest peak for its time and
// then follows; the clip mark stays lit for its time after a clipped block;
// a meter that gets nothing new for a while falls to silence.
TEST(LevelMeters, HoldThePeakAndMarkAClip)
{
    CLevelMeterWidget meter(QStringLiteral("Microphone level"));
    const Clock::time_point t0 = Clock::now();
    const auto at = [&](int nMs) { return t0 + std::chrono::milliseconds(nMs); };
    const auto reading = [](double dPeak, bool bClip = false) {
        return CallMeterLevels{dPeak, dPeak - 3, bClip, 1};
    };
    struct Step {
        int nMs;
        CallMeterLevels shown;
        double dPeakDb, dHoldDb;
        bool bClipMarked;
    };
    const auto holdMs = static_cast<int>(CLevelMeterWidget::kHold.count());
    const auto clipMs = static_cast<int>(CLevelMeterWidget::kClipShown.count());
    for (const auto& [nMs, shown, dPeakDb, dHoldDb, bClipMarked] :
         {Step{0, reading(-20), -20, -20, false}, Step{40, reading(-3), -3, -3, false},
          Step{80, reading(-30), -30, -3, false},
          Step{40 + holdMs - 10, reading(-30), -30, -3, false},
          Step{40 + holdMs + 40, reading(-30), -30, -30, false},
          Step{40 + holdMs + 80, reading(0, true), 0, 0, true},
          Step{40 + holdMs + 80 + clipMs - 10, reading(-30), -30, -30, true},
          Step{40 + holdMs + 80 + clipMs + 40, reading(-30), -30, -30, false},
          Step{40 + holdMs + 80 + clipMs + 80, CallMeterLevels{}, -30, -30, false},
          Step{40 + holdMs + 80 + clipMs + 80 + 400, CallMeterLevels{}, kSilentDb, -30, false}}) {
        SCOPED_TRACE(nMs);
        meter.ShowReading(shown, at(nMs));
        EXPECT_EQ(meter.PeakDb(), dPeakDb);
        EXPECT_EQ(meter.HoldDb(), dHoldDb);
        EXPECT_EQ(meter.IsClipMarked(), bClipMarked);
    }
}

} // namespace
