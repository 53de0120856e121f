// Files of very different loudness play at the target on the port and the Voxreel
// microphone's mix, and a quiet file with loud peaks never goes above -1 dBTP.
#include <gtest/gtest.h>

#include "../player/player_testkit.h"
#include "../player/wire_recorder.h"
#include "file_analysis.h"
#include "loudness_testkit.h"
#include "recording.h"
#include "track_loudness.h"

namespace {

using loudtest::Signal;

constexpr double kTarget = -18.0;
constexpr unsigned kPortRate = 16000;
constexpr int kMixRate = 48000, kMixChannels = 2;

std::streamoff SizeOf(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uintmax_t cb = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::streamoff>(cb);
}

class LoudnessPlayback : public PlayerFixture {
protected:
    void SetUp() override
    {
        PlayerFixture::SetUp();
        // The law at its loudest, all to the playback: the file at unity (-0.07 dB).
        ASSERT_TRUE(m_player.SetRemoteVolume(255));
        ASSERT_TRUE(m_player.SetRemoteBalance(128));
        // The Voxreel microphone's mix, as its feed would play it.
        m_player.SetMixOutput("filesink buffer-mode=unbuffered location=\"" + MixPath().string() +
                              "\"");
    }

    std::filesystem::path MixPath() const { return m_folder / "mix.raw"; }

    struct Heard {
        loudtest::Measured port, mix;
    };
    // Plays the file with the gain and measures what the port and the mix carried.
    Heard PlayThroughCall(const std::filesystem::path& file, double dGainDb)
    {
        CWireRecorder recorder;
        EXPECT_TRUE(recorder.Connect(m_nPort));
        const std::streamoff cbMixFrom = SizeOf(MixPath());
        m_player.SetTrackGain(dGainDb);
        EXPECT_EQ(m_player.Open(file), S_OK);
        EXPECT_TRUE(SUCCEEDED(m_player.Run()));
        EXPECT_TRUE(WaitDelivering([&] { return !m_callback.m_calls.empty(); }, 60s));
        m_callback.m_calls.clear();
        // The mix runs behind the port: half a second more of it holds the file's end.
        const std::streamoff cbAtEnd = SizeOf(MixPath());
        EXPECT_TRUE(WaitDelivering([&] { return SizeOf(MixPath()) >= cbAtEnd + kMixRate * 2; }));
        m_player.Close();
        // Read as one channel: the interleaved samples as they are.
        callreport::CRecording mix;
        EXPECT_EQ(callreport::ReadRaw(MixPath().string(), kMixRate, 1, mix), "");
        mix.m_samples.erase(mix.m_samples.begin(), mix.m_samples.begin() + cbMixFrom / 2);
        return {loudtest::Measure(recorder.Copy(), kPortRate, 1),
                loudtest::Measure(mix.m_samples, kMixRate, kMixChannels)};
    }
};

TEST_F(LoudnessPlayback, FilesOfEveryLoudnessPlayAtTheTargetAndNeverAboveTheCeiling)
{
    const struct {
        const char* name;
        Signal signal;
        double dLufs;
    } cases[] = {
        {"quiet-pink.wav", Signal::PinkNoise, -30.0},
        {"target-pink.wav", Signal::PinkNoise, -18.0},
        {"loud-tones.wav", Signal::ToneMix, -8.0},
    };
    for (const auto& c : cases) {
        const std::filesystem::path file = m_folder / c.name;
        ASSERT_NEAR(loudtest::MakeAtLoudness(file, c.signal, c.dLufs, 6.0), c.dLufs, 1.5) << c.name;
        const loudness::Analysis analysis = loudness::AnalyseFile(file);
        ASSERT_TRUE(analysis.loudness) << analysis.strError;
        const double dGain = loudness::GainFor(*analysis.loudness, kTarget);
        const Heard heard = PlayThroughCall(file, dGain);
        EXPECT_NEAR(heard.port.dLufs, kTarget, 1.0) << c.name << " at the port, gain " << dGain;
        EXPECT_NEAR(heard.mix.dLufs, kTarget, 1.0)
            << c.name << " at the microphone, gain " << dGain;
    }

    const std::filesystem::path file = m_folder / "peaks.wav";
    ASSERT_TRUE(loudtest::WriteWav(file, Signal::QuietWithPeaks, 0.05, 6.0));
    const auto loudness = loudness::AnalyseFile(file).loudness;
    ASSERT_TRUE(loudness && loudness->peakDb);
    // The capped gain, and one that ignores the peak (a wrong tag), stay under the ceiling; the
    // limiter holds the peaks just below it rather than turning the file down.
    for (double dForced : {loudness::GainFor(*loudness, kTarget), kTarget - loudness->dLufs}) {
        const Heard heard = PlayThroughCall(file, dForced);
        EXPECT_LE(heard.port.dTruePeakDb, loudness::kPeakCeilingDb) << "gain " << dForced;
        EXPECT_GE(heard.mix.dTruePeakDb, loudness::kPeakCeilingDb - 1.5) << "gain " << dForced;
    }
}

} // namespace
