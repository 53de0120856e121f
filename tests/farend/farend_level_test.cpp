// The Voxreel microphone, with a call on the port, carries the whole band (15 kHz too) at the mix
// law's levels; the balance, the remote volume, Pause and Stop act on it.
#include <QSlider>

#include <gtest/gtest.h>

#include "farend_chain.h"
#include "../player/wire_recorder.h"

using namespace apptest;
using farend::kRecorderRate;

namespace {

constexpr int kLowFreq = 1000, kHighFreq = 15000;
constexpr double kMicPeak = 0.25 * 32768, kFilePeak = 0.4 * 32768;
constexpr double kLawDb = 1.0;
constexpr double kAbsent = 30; // an amplitude below this is not there

// The law's output amplitude for sources of amplitude p and m.
double Law(double p, double m, int nBalance, int nLevel)
{
    return (p * (nBalance + 127) + m * (128 - nBalance)) / 256 * nLevel / 256;
}

struct SLevels {
    double dMic, dLow, dHigh;
};

void ExpectNearDb(double dActual, double dExpected, const std::string& what)
{
    using callreport::AmplitudeDbfs;
    if (dExpected < kAbsent)
        EXPECT_LT(dActual, kAbsent) << what;
    else
        EXPECT_NEAR(AmplitudeDbfs(dActual), AmplitudeDbfs(dExpected), kLawDb)
            << what << ": " << dActual;
}

void Move(QSlider* pSlider, int nPosition)
{
    pSlider->setSliderPosition(nPosition);
    pSlider->triggerAction(QAbstractSlider::SliderMove);
}

class FarEndWideMicrophone : public MicrophoneWindowTest {
protected:
    // Lets 1.5 s more arrive, then gives the last second's levels.
    SLevels LastSecond() const
    {
        const auto mic = [&] { return m_recorder.Recording().m_samples; };
        const std::size_t nMic = mic().size();
        EXPECT_TRUE(farend::WaitEvery([&] { return mic().size() > nMic + 3 * kRecorderRate / 2; },
                                      100ms, 20s));
        const std::vector<std::int16_t> samples = mic();
        const auto at = [&](int nFreq) {
            return callreport::ToneAmplitude(samples.data() + samples.size() - kRecorderRate,
                                             kRecorderRate, kRecorderRate, nFreq);
        };
        return SLevels{at(kMicFreq), at(kLowFreq), at(kHighFreq)};
    }
};

} // namespace

TEST_F(FarEndWideMicrophone, CarriesTheWholeBandAtTheMixLawsLevels)
{
    const fs::path tones =
        farend::MakeTones(m_folder / "tones.wav", 60.0, {kLowFreq, kHighFreq}, 0.4);
    m_settings.WriteProfileInt("Balance", 0);
    CVoxreelDlg& dlg = Open();
    ASSERT_TRUE(WaitFor([] { return farend::SourceExists("voxreel_mic"); }, 20s));
    StartRecorder();
    CWireRecorder call; // the port's client, as in a call
    ASSERT_TRUE(call.Connect(m_nPort));
    dlg.AddPaths({tones}, true);
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));

    // Then pause (104) and stop (105): the file leaves both, the voice stays.
    const struct {
        int nBalance, nVolumePosition, nCommand;
    } steps[] = {{0, 0, 0},    {-127, 0, 0},   {128, 0, 0},
                 {64, 128, 0}, {64, 128, 104}, {64, 128, 105}};
    for (const auto& step : steps) {
        Move(Control<QSlider>(1024), step.nBalance);
        Move(Control<QSlider>(1023), step.nVolumePosition);
        if (step.nCommand != 0)
            TriggerCommand(step.nCommand);
        LastSecond(); // the change reaches it
        const SLevels atMic = LastSecond();
        const int nLevel = 255 - step.nVolumePosition;
        const double dFile = Law(step.nCommand != 0 ? 0 : kFilePeak, 0, step.nBalance, nLevel);
        SCOPED_TRACE(testing::Message() << "balance " << step.nBalance << ", level " << nLevel
                                        << ", command " << step.nCommand);
        ExpectNearDb(atMic.dHigh, dFile, "15 kHz at the Voxreel microphone");
        ExpectNearDb(atMic.dLow, dFile, "1 kHz at the Voxreel microphone");
        // With nothing playing the voice passes alone, at its own level.
        const double dVoice =
            step.nCommand != 0 ? kMicPeak : Law(0, kMicPeak, step.nBalance, nLevel);
        ExpectNearDb(atMic.dMic, dVoice, "microphone at the Voxreel microphone");
    }
}
