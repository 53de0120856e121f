// The call paces the file: whatever the local output does, the port carries
// each file whole and at once, the position is what the call heard, and the
// renderer's full-band input gets the file as it is.
#include <gtest/gtest.h>

#include <mutex>

#include "player_testkit.h"
#include "tone_frames.h"
#include "wire_recorder.h"

namespace fs = std::filesystem;

namespace {

// Files told apart on the wire by their tones, each 1.5 s long.
constexpr int kLoudHz = 500, kQuietHz = 1000;
constexpr std::size_t kBlockSamples = 2048; // one transmit block
constexpr int kWireSamplesPerMs = 16;

// A player whose port a recorder listens to.
struct CWiredRig : CPlayerRig {
    using CPlayerRig::CPlayerRig;
    bool Start() { return m_player.Initialize() == S_OK && m_recorder.Connect(m_nPort); }
    bool ReadOn(std::size_t nSamples) // waits for nSamples more on the wire
    {
        const std::size_t nWanted = m_recorder.Samples() + nSamples;
        return WaitUntil([&] { return m_recorder.Samples() >= nWanted; });
    }
    CWireRecorder m_recorder;
};

// Two files back to back, with a local output that takes one buffer and then
// no more: each reaches the port whole, without a hole, its completion comes
// once the call has it, and the next one follows at once. (Outputs that fail
// or are slow are the renderer's tests'.)
TEST(CallPace, TheCallHearsEachFileWholeWhileTheLocalOutputStandsStill)
{
    CWiredRig rig("appsink max-buffers=1 drop=false");
    std::vector<std::size_t> completions; // samples on the wire at each
    Clock::time_point completedAt;
    rig.m_callback.m_onCompleted = [&] {
        completions.push_back(rig.m_recorder.Samples());
        completedAt = Clock::now();
    };
    const fs::path loud = MakeMedia(rig.m_folder / "loud.wav", kWav, 1.5, kLoudHz, 0.8);
    const fs::path quiet = MakeMedia(rig.m_folder / "quiet.wav", kWav, 1.5, kQuietHz, 0.3);
    ASSERT_TRUE(rig.Start());
    ASSERT_EQ(rig.m_player.Open(loud), S_OK);
    ASSERT_TRUE(SUCCEEDED(rig.m_player.Run()));
    ASSERT_TRUE(WaitDelivering([&] { return !rig.m_callback.m_calls.empty(); }, 30s));
    ASSERT_EQ(rig.m_player.Open(quiet), S_OK);
    ASSERT_TRUE(SUCCEEDED(rig.m_player.Run()));
    const double dReopenMs =
        std::chrono::duration<double, std::milli>(Clock::now() - completedAt).count();
    ASSERT_TRUE(WaitDelivering([&] { return rig.m_callback.m_calls.size() == 2; }, 30s));
    ASSERT_TRUE(rig.ReadOn(2 * kBlockSamples));
    EXPECT_EQ(rig.m_callback.m_calls, (std::vector<HRESULT>{S_OK, S_OK}));
    ASSERT_EQ(completions.size(), 2u);

    // Where each file's tone lies in what the wire carried.
    const callreport::SAnalysis wire = callreport::Analyse({16000, 1, rig.m_recorder.Copy()}, 0,
                                                           {{kLoudHz, 1.5}, {kQuietHz, 1.5}});
    for (std::size_t i = 0; i < wire.files.size(); ++i) {
        const callreport::STone& file = wire.files[i];
        EXPECT_TRUE(file.Whole()) << "file " << i << ": " << file.SpanMs() << " ms with "
                                  << file.breaks.size() << " breaks";
        // The block holding the end may still be filling with the microphone.
        EXPECT_LE(static_cast<std::size_t>(file.nEndMs * kWireSamplesPerMs),
                  completions[i] + 2 * kBlockSamples);
    }
    // Between the files: this test's reopening, the rest of the tick the end
    // was in, the next tick and the end of stream's way to the bus (about
    // 250 ms, with room for a loaded machine); a completion that waited for
    // the local output would come seconds late.
    EXPECT_LE(wire.gapsMs.at(0), 600.0 + dReopenMs);
}

// Peaks of each channel, and of their difference, at the renderer's wide input.
struct ChannelPeaks {
    std::mutex mutex;
    int nLeft = 0, nRight = 0, nDifference = 0; // guarded by mutex
    std::size_t nFrames = 0;                    // guarded by mutex
};

GstPadProbeReturn MeasureChannels(GstPad*, GstPadProbeInfo* pInfo, gpointer pData)
{
    auto& peaks = *static_cast<ChannelPeaks*>(pData);
    CBufferMap map(GST_PAD_PROBE_INFO_BUFFER(pInfo));
    const auto* pSamples = reinterpret_cast<const std::int16_t*>(map.Data());
    std::lock_guard lock(peaks.mutex);
    for (std::size_t i = 0; map.IsMapped() && i + 1 < map.Size() / 2; i += 2) {
        peaks.nLeft = std::max(peaks.nLeft, std::abs(pSamples[i]));
        peaks.nRight = std::max(peaks.nRight, std::abs(pSamples[i + 1]));
        peaks.nDifference = std::max(peaks.nDifference, std::abs(pSamples[i] - pSamples[i + 1]));
        ++peaks.nFrames;
    }
    return GST_PAD_PROBE_OK;
}

// From a start of 2 s the position is the start plus what the call heard, and
// the wide input gets the file at full band in stereo: mono on both channels
// alike, stereo as it is.
TEST(PlayerPositionTest, FollowsWhatTheCallHeardAndTheWideInputKeepsTheChannels)
{
    CWiredRig rig;
    const fs::path mono = MakeMedia(rig.m_folder / "mono.wav", kWav, 6.0, 500, 0.8, "channels=1");
    const fs::path left =
        MakeMedia(rig.m_folder / "left.wav", kWav, 2.0, 500, 0.8,
                  "channels=1 ! audioconvert mix-matrix=\"<<(float)1.0>,<(float)0.0>>\" ! "
                  "audio/x-raw,channels=2");
    ASSERT_TRUE(rig.Start());
    CGstObjectPtr<GstPad> pWide(gst_element_get_static_pad(rig.m_player.Renderer(), "wide"));
    ASSERT_TRUE(pWide);
    ChannelPeaks peaks;
    const gulong nProbe =
        gst_pad_add_probe(pWide.get(), GST_PAD_PROBE_TYPE_BUFFER, MeasureChannels, &peaks, nullptr);
    ASSERT_EQ(rig.m_player.Open(mono), S_OK);
    ASSERT_TRUE(rig.m_player.SetPosition(2));
    EXPECT_TRUE(WaitUntil([&] { return rig.m_player.GetPosition() == 2u; }));
    ASSERT_TRUE(SUCCEEDED(rig.m_player.Run()));
    const auto heard = [&] { // seconds of the tone on the wire so far
        const auto wire = callreport::Analyse({16000, 1, rig.m_recorder.Copy()}, 0, {{kLoudHz, 0}});
        return wire.files[0].SpanMs() / 1000.0;
    };
    std::uint32_t nLast = 0;
    while (heard() < 3.0) {
        ASSERT_TRUE(rig.ReadOn(4000));
        const double dBefore = 2 + heard();
        nLast = rig.m_player.GetPosition();
        EXPECT_GE(nLast, std::floor(dBefore - 0.5));
        EXPECT_LE(nLast, 2 + heard() + 0.5);
    }
    EXPECT_GE(nLast, 4u);

    // Waits until the wide input has had nFrames, then closes the file: no
    // buffer reaches the probe after that.
    const auto closeWhenSeen = [&](std::size_t nFrames) {
        EXPECT_TRUE(WaitUntil([&] {
            std::lock_guard lock(peaks.mutex);
            return peaks.nFrames >= nFrames;
        }));
        rig.m_player.Close();
    };
    closeWhenSeen(48000);
    EXPECT_NEAR(peaks.nLeft, 0.8 * 32767, 800) << "mono";
    EXPECT_LE(peaks.nDifference, 1) << "mono: both channels alike, so the right one as loud";
    peaks.nLeft = peaks.nRight = 0;
    const std::size_t nMonoFrames = peaks.nFrames;
    ASSERT_EQ(rig.m_player.Open(left), S_OK);
    ASSERT_TRUE(SUCCEEDED(rig.m_player.Run()));
    closeWhenSeen(nMonoFrames + 48000);
    EXPECT_NEAR(peaks.nLeft, 0.8 * 32767, 800) << "stereo";
    EXPECT_LT(peaks.nRight, 100) << "stereo: the silent channel stays silent";
    gst_pad_remove_probe(pWide.get(), nProbe);
}

} // namespace
