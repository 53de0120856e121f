// The renderer element transmitting for real over loopback TCP, the file
// pushed through GstHarness or a pipeline, driven through the control facade;
// the call's mix on the port: the limiter, talk-over and the meters' levels.
#include <gtest/gtest.h>

#include <gst/check/gstharness.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <numeric>
#include <thread>

#include "call_limiter.h"
#include "mix_law.h"
#include "recording.h"
#include "tone_frames.h"
#include "talk_over.h"
#include "test_support.h"
#include "voxreel/callfeed_control.h"

namespace {

using callreport::ToneAmplitude;

class Transmission : public testing::Test {
protected:
    void SetUp() override
    {
        gst_element_set_bus(m_pRenderer.get(), m_pBus.get());
        g_object_set(m_pRenderer.get(), "port", m_nPort, "capture-source", "audiotestsrc", nullptr);
    }
    std::vector<int> Codes(std::size_t n, GstClockTime timeout = 10 * GST_SECOND)
    {
        return NextCodes(m_pBus.get(), n, timeout, &m_values);
    }
    int m_nPort = FreePort();
    CBusPtr m_pBus{gst_bus_new()};
    CElementPtr m_pRenderer{
        GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("callfeedrenderer", nullptr)))};
    std::unique_ptr<CCallfeedControl> m_pControl =
        std::make_unique<CCallfeedControl>(m_pRenderer.get());
    std::vector<std::uint32_t> m_values;
};

// A port held elsewhere, or a capture that cannot start, is reported with
// its failure, and nothing is left running. The facade clamps; a new port
// moves the server, and the renderer's destruction reports the client's end.
TEST_F(Transmission, FailedStartsLeaveNothingRunningAndANewPortMovesTheServer)
{
    CTcpServer other([](int, std::uint32_t) {});
    ASSERT_EQ(other.Start(m_nPort), S_OK);
    EXPECT_EQ(m_pControl->StartTransmission(), E_FAIL);
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_NETWORK_ERROR});
    EXPECT_EQ(m_values.back(), static_cast<std::uint32_t>(E_FAIL));
    other.Stop();
    for (const char* pszSource :
         {"nosuchsource", "filesrc location=/nonexistent/voxreel ! wavparse"}) {
        g_object_set(m_pRenderer.get(), "capture-source", pszSource, nullptr);
        const HRESULT hr = m_pControl->StartTransmission();
        EXPECT_TRUE(FAILED(hr)) << pszSource;
        EXPECT_EQ(Codes(2), (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_ERROR}));
        EXPECT_EQ(m_values.back(), static_cast<std::uint32_t>(hr));
        EXPECT_FALSE(CTestClient().Connect(m_nPort)) << "the server was stopped again";
    }

    int nBalance = 0, nVolume = 0;
    for (const auto& [nSet, nBalanceKept, nVolumeKept] :
         {std::array{-1000, -127, 0}, {500, 128, 255}, {17, 17, 17}}) {
        EXPECT_EQ(m_pControl->SetBalance(nSet) | m_pControl->SetVolume(nSet), S_OK);
        EXPECT_EQ(m_pControl->GetBalance(&nBalance) | m_pControl->GetVolume(&nVolume), S_OK);
        EXPECT_EQ(std::pair(nBalance, nVolume), std::pair(nBalanceKept, nVolumeKept)) << nSet;
    }

    const int nOtherPort = FreePort();
    EXPECT_EQ(m_pControl->SetPort(m_nPort), S_OK);
    CTestClient first, moved;
    ASSERT_TRUE(first.Connect(m_nPort));
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED}) << "the start posts nothing";
    EXPECT_EQ(m_pControl->SetPort(nOtherPort), S_OK);
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_CLIENT_DISCONNECTED});
    EXPECT_TRUE(first.WaitClosed());
    EXPECT_FALSE(CTestClient().Connect(m_nPort));
    ASSERT_TRUE(moved.Connect(nOtherPort));
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    m_pControl.reset();
    m_pRenderer.reset();
    EXPECT_EQ(Codes(2, GST_SECOND), std::vector<int>{NOTIFY_CLIENT_DISCONNECTED})
        << "destruction ends the server, and posts no stop";
}

// A capture that fails as it runs (its sound server gone) is reported, the port
// goes on at the capture's pace with silence for the voice, and the capture
// starts again: the call hears the voice come back.
TEST_F(Transmission, ACaptureThatFailsGoesOnAsSilenceAndStartsAgain)
{
    g_object_set(m_pRenderer.get(), "capture-source",
                 "audiotestsrc is-live=true freq=1000 volume=0.5 ! identity error-after=20",
                 nullptr);
    ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    const std::vector<int> codes = Codes(4);
    const auto failed = std::find(codes.begin(), codes.end(), NOTIFY_CAPTURE_ERROR);
    ASSERT_NE(failed, codes.end()) << "the failure is reported";
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(m_values[std::size_t(failed - codes.begin())])));
    EXPECT_NE(std::find(failed, codes.end(), NOTIFY_CAPTURE_STARTED), codes.end())
        << "and the capture's new start";
    ASSERT_TRUE(client.Read(2 * 16000 * 4)) << "the port went on";
    // In 100 ms steps: the voice, a stretch of silence, the voice again. The
    // capture starts again after 1 s (nine silent steps, the windowed edges
    // read as silence); silence at half the capture's rate reads four.
    const std::vector<std::int16_t> port = client.Copy();
    std::vector<bool> voiced;
    for (std::size_t n = 0; n + 1600 <= port.size(); n += 1600)
        voiced.push_back(ToneAmplitude(&port[n], 1600, 16000, 1000) > 1000);
    const auto silent = std::find(voiced.begin() + 1, voiced.end(), false);
    ASSERT_NE(silent, voiced.end());
    EXPECT_GE(std::find(silent, voiced.end(), true) - silent, 6) << "silence while it was down";
    EXPECT_NE(std::find(silent, voiced.end(), true), voiced.end()) << "the voice came back";
    m_pControl->StopTransmission();
}

// A capture that fails before it delivers anything, at every start, is
// reported once and never as started again: each such start is a failed
// start, tried less and less often, and the port goes on meanwhile.
TEST_F(Transmission, ACaptureThatNeverDeliversIsReportedOnce)
{
    g_object_set(m_pRenderer.get(), "capture-source",
                 "audiotestsrc is-live=true ! identity error-after=1", nullptr);
    ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    ASSERT_TRUE(client.Read(2 * 16000 * 4)) << "the port went on";
    const std::vector<int> codes = Codes(20, GST_SECOND / 10);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NOTIFY_CAPTURE_ERROR), 1);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NOTIFY_CAPTURE_STARTED), 1)
        << "only the first start";
    m_pControl->StopTransmission();
}

// File sample i is 1000 + 2 * (i % 15000), each distinct on the wire over a
// silent microphone, so the wire tells which file samples went out, in order.
constexpr int kPeriod = 15000;
std::vector<std::int16_t> FileSamples(int nFrom, int nSamples)
{
    std::vector<std::int16_t> samples;
    for (int i = nFrom; i < nFrom + nSamples; ++i)
        samples.push_back(static_cast<std::int16_t>(1000 + 2 * (i % kPeriod)));
    return samples;
}

// The runs of consecutive file samples on the wire, as (first index, length).
std::vector<std::pair<int, int>> FileRuns(const CTestClient& client)
{
    std::map<std::int16_t, int> index;
    const auto file = FileSamples(0, kPeriod);
    for (int i = 0; i < kPeriod; ++i)
        index[MixSample(file[static_cast<std::size_t>(i)], 0, kMaxBalance, kMaxVolume)] = i;
    std::vector<std::pair<int, int>> runs;
    for (std::size_t n = 0; n < client.Samples(); ++n) {
        const auto it = index.find(client.Sample(n));
        if (it == index.end())
            continue;
        if (!runs.empty() && (runs.back().first + runs.back().second) % kPeriod == it->second)
            ++runs.back().second;
        else
            runs.emplace_back(it->second, 1);
    }
    return runs;
}

int FileSamplesSent(const CTestClient& client)
{
    const auto runs = FileRuns(client);
    return std::accumulate(runs.begin(), runs.end(), 0,
                           [](int n, auto run) { return n + run.second; });
}

// The call hears the file only while playing, a pause losing and repeating
// nothing. The end of stream, pushed on a streaming thread, is held until the
// mixer took the queue, or let go by a flush (which drops the queue), a state
// change down, the end of transmission, or at once while nothing transmits.
// Position = stream time heard.
enum class Release { Heard, Flush, StateDown, StopTransmission, NotTransmitting };

class EndOfStream : public Transmission, public testing::WithParamInterface<Release> {};

TEST_P(EndOfStream, IsHeldUntilTheCallHasHeardTheFile)
{
    constexpr int kSamples = 16000 + 700; // a second and a tail shorter than a tick
    const Release release = GetParam();
    const bool bHeard = release == Release::Heard;
    // Over a silent microphone, the wire carries the file alone at full scale.
    g_object_set(m_pRenderer.get(), "capture-source", "audiotestsrc is-live=true wave=silence",
                 "balance", kMaxBalance, nullptr);
    GstHarness* pHarness = gst_harness_new_with_element(m_pRenderer.get(), "sink", "src");
    gst_harness_set_src_caps_str(pHarness, "audio/x-raw,format=S16LE,rate=16000,channels=1,"
                                           "layout=interleaved");
    GstSegment segment; // stream time 2 s at buffer time 10 s
    gst_segment_init(&segment, GST_FORMAT_TIME);
    segment.start = segment.position = 10 * GST_SECOND;
    segment.time = 2 * GST_SECOND;
    ASSERT_TRUE(gst_harness_push_event(pHarness, gst_event_new_segment(&segment)));
    const auto setState = [&](GstState state) {
        return gst_element_set_state(m_pRenderer.get(), state) == GST_STATE_CHANGE_SUCCESS;
    };
    ASSERT_TRUE(setState(bHeard ? GST_STATE_PLAYING : GST_STATE_PAUSED));
    CTestClient client;
    if (release != Release::NotTransmitting) {
        ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
        ASSERT_TRUE(client.Connect(m_nPort));
    }
    const auto position = [&] {
        gint64 nPosition = 0;
        g_object_get(m_pRenderer.get(), "position", &nPosition, nullptr);
        return nPosition;
    };
    EXPECT_EQ(position(), -1);
    for (int i = 0; i < kSamples; i += 1600) {
        const std::vector<std::int16_t> samples = FileSamples(i, std::min(1600, kSamples - i));
        GstBuffer* pIn = MakeBuffer(samples).release();
        GST_BUFFER_PTS(pIn) = 10 * GST_SECOND + gst_util_uint64_scale(i, GST_SECOND, 16000);
        ASSERT_EQ(gst_harness_push(pHarness, pIn), GST_FLOW_OK);
        const CBufferPtr pOut(gst_harness_pull(pHarness));
        ASSERT_EQ(pOut.get(), pIn) << "passed on, the same buffer";
        ASSERT_EQ(gst_buffer_memcmp(pIn, 0, samples.data(), 2 * samples.size()), 0) << "unchanged";
    }
    // Reads on until the wire has carried n more blocks.
    const auto readBlocks = [&](std::size_t n) {
        return client.Read(client.m_received.size() / kBlockBytes * kBlockBytes + n * kBlockBytes);
    };
    gint64 nHeardEarly = -1;
    if (bHeard) { // paused: what was mixed goes out (the ring's blocks), then the microphone alone
        ASSERT_TRUE(WaitUntil(
            [&] { return readBlocks(1) && (nHeardEarly = position()) > 2 * GST_SECOND; }, 30s));
        ASSERT_TRUE(setState(GST_STATE_PAUSED));
        ASSERT_TRUE(readBlocks(6));
        const int nSentAtPause = FileSamplesSent(client);
        ASSERT_TRUE(readBlocks(3));
        EXPECT_EQ(FileSamplesSent(client), nSentAtPause) << "paused: the microphone alone";
        ASSERT_TRUE(setState(GST_STATE_PLAYING));
    }
    std::atomic<bool> bPassed{false};
    std::thread streaming([&] {
        gst_harness_push_event(pHarness, gst_event_new_eos());
        bPassed = true;
    });
    if (release != Release::NotTransmitting) {
        // Some ticks go by: the end is still held.
        ASSERT_TRUE(readBlocks(3));
        EXPECT_EQ(FileSamplesSent(client) > 0, bHeard) << "heard only while playing";
        const bool bAllHeard = FileRuns(client) == std::vector{std::pair{0, kSamples}};
        EXPECT_EQ(bPassed.load(), bHeard && bAllHeard);
    }
    if (release == Release::Flush)
        gst_harness_push_event(pHarness, gst_event_new_flush_start());
    else if (release == Release::StateDown)
        gst_element_set_state(m_pRenderer.get(), GST_STATE_READY);
    else if (release == Release::StopTransmission)
        m_pControl->StopTransmission();
    EXPECT_TRUE(WaitUntil([&] { return bPassed.load(); }, 30s));
    streaming.join();
    if (release == Release::Flush) { // played after the flush, nothing of the file is left
        EXPECT_TRUE(gst_harness_push_event(pHarness, gst_event_new_flush_stop(TRUE)));
        ASSERT_TRUE(setState(GST_STATE_PLAYING));
        ASSERT_TRUE(readBlocks(6));
        EXPECT_EQ(FileSamplesSent(client), 0) << "a flush drops what was queued";
    }
    if (bHeard) {
        EXPECT_LT(nHeardEarly, position()) << "the position advances with what is heard";
        EXPECT_EQ(position(), 2 * GST_SECOND + gst_util_uint64_scale(kSamples, GST_SECOND, 16000));
        // What was mixed before the end goes out within the ring's blocks.
        ASSERT_TRUE(client.ReadUntil([&] { return FileSamplesSent(client) >= kSamples; }));
        EXPECT_EQ(FileRuns(client), (std::vector<std::pair<int, int>>{{0, kSamples}}))
            << "the whole file, its short tail too";
        gst_harness_push_event(pHarness, gst_event_new_flush_start());
    }
    if (release != Release::StateDown) {
        EXPECT_EQ(position(), -1) << "a flush forgets the position";
    }
    gst_harness_teardown(pHarness);
}

INSTANTIATE_TEST_SUITE_P(Releases, EndOfStream,
                         testing::Values(Release::Heard, Release::Flush, Release::StateDown,
                                         Release::StopTransmission, Release::NotTransmitting));

// The two channels of a file of interleaved stereo S16LE at 48 kHz.
using Stereo = std::array<std::vector<std::int16_t>, 2>;
Stereo ReadStereo(const std::string& strPath)
{
    callreport::CRecording recording;
    EXPECT_EQ(callreport::ReadRaw(strPath, 48000, 1, recording), "") << strPath;
    Stereo channels;
    for (std::size_t n = 0; n < recording.m_samples.size(); ++n)
        channels[n % 2].push_back(recording.m_samples[n]);
    return channels;
}

// A channel's median tone over the 0.1 s windows where the left 500 Hz
// playback is heard whole; NaN when fewer than 20 are.
double MedianWhilePlaying(const Stereo& output, double dPlaying, std::size_t c, double dFrequency)
{
    std::vector<double> values;
    for (std::size_t n = 0; n + 4800 <= output[0].size(); n += 4800)
        if (ToneAmplitude(&output[0][n], 4800, 48000, 500) > 0.97 * dPlaying)
            values.push_back(ToneAmplitude(&output[c][n], 4800, 48000, dFrequency));
    return values.size() < 20 ? std::nan("") : callmix::Median(values);
}

// What a client of another user (its socket made after dropping to it) gets
// from the port: 'D' data, 'C' closed, 'N' no connection, 'T' nothing in time.
char OtherUsersClient(int nPort)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd =
            setgid(65534) == 0 && setuid(65534) == 0 ? voxreel::test::ConnectLoopback(nPort) : -1;
        char byte = 0;
        const ssize_t n = fd < 0 ? 0 : voxreel::test::ReceiveWithin(fd, &byte, 1, 10000);
        _exit(fd < 0 ? 'N' : n > 0 ? 'D' : n < 0 ? 'C' : 'T');
    }
    int nStatus = 0;
    const bool bExited = waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus);
    return bExited ? static_cast<char>(WEXITSTATUS(nStatus)) : '?';
}

// 500 Hz playback (full band: 500 Hz left, 15 kHz right) under a 1250 Hz
// microphone: the port and the wide mix carry both at the law's levels, the
// local output the playback alone; notifications come at their moments, and
// only our own user's first client is served.
TEST_F(Transmission, AWholeTransmissionFeedsThePortAndBothOutputs)
{
    const std::string strMix = testing::TempDir() + "voxreel_wide_mix.raw";
    const std::string strLocal = testing::TempDir() + "voxreel_local.raw";
    const CElementPtr pPipeline(gst_parse_launch(
        "audiotestsrc num-buffers=50 samplesperbuffer=1600 freq=500 volume=0.5 ! "
        "audio/x-raw,format=S16LE,rate=16000,channels=1 ! callfeedrenderer name=renderer ! "
        "fakesink sync=false async=false "
        "interleave name=wide ! audio/x-raw,channels=2 ! renderer.wide "
        "audiotestsrc num-buffers=50 samplesperbuffer=4800 freq=500 volume=0.5 ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=1 ! wide. "
        "audiotestsrc num-buffers=50 samplesperbuffer=4800 freq=15000 volume=0.5 ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=1 ! wide.",
        nullptr));
    m_pRenderer.reset(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "renderer"));
    m_pControl = std::make_unique<CCallfeedControl>(m_pRenderer.get());
    m_pBus.reset(gst_element_get_bus(pPipeline.get()));
    const int b = 64, v = 128;
    g_object_set(m_pRenderer.get(), "port", m_nPort, "capture-source",
                 "audiotestsrc is-live=true freq=1250 volume=0.3", "mix-output",
                 ("filesink location=" + strMix).c_str(), "local-output",
                 ("filesink location=" + strLocal).c_str(), "local-volume", 0.5, nullptr);
    m_pControl->SetBalance(b);
    m_pControl->SetVolume(v);
    ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_CAPTURE_STARTED});
    EXPECT_EQ(m_pControl->StartTransmission(), S_FALSE) << "a running transmission is kept";
    EXPECT_EQ(OtherUsersClient(m_nPort), 'C') << "another user is closed at once (run as root)";
    CTestClient client, intruder;
    ASSERT_TRUE(client.Connect(m_nPort));
    EXPECT_EQ(Codes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED}) << "and nothing posted";
    ASSERT_TRUE(intruder.Connect(m_nPort));
    EXPECT_TRUE(intruder.WaitClosed());
    EXPECT_TRUE(Codes(1, GST_SECOND).empty()) << "the intruder was closed silently";
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    bool bEnded = false; // heard only while the client reads
    const auto ended = [&] {
        bEnded = bEnded || CMessagePtr(gst_bus_pop_filtered(m_pBus.get(), GST_MESSAGE_EOS));
        return bEnded;
    };
    EXPECT_TRUE(client.ReadUntil(ended, 30s)) << "the file's end, once heard";
    EXPECT_TRUE(client.ReadMore(4 * kBlockBytes));
    EXPECT_EQ(m_pControl->StopTransmission(), S_OK);
    EXPECT_EQ(Codes(2), (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_STOPPED}));
    EXPECT_TRUE(client.WaitClosed()) << "closed by the stop, with all the port sent";
    EXPECT_EQ(client.m_received.size() % kBlockBytes, 0u) << "whole blocks only";
    gst_element_set_state(pPipeline.get(), GST_STATE_NULL);

    const double dPlayback = 16383.0 * (b + 127) / 256 * v / 256;
    const double dMicrophone = 0.3 * 32767 * (128 - b) / 256 * v / 256;
    // The port over its most playing window.
    const std::vector<std::int16_t> port = client.Copy();
    double dPort = 0;
    std::size_t nPlaying = 0;
    for (std::size_t n = 0; n + 8192 < port.size(); n += 1600)
        if (const double d = ToneAmplitude(&port[n], 8192, 16000, 500); d > dPort)
            std::tie(dPort, nPlaying) = std::pair(d, n);
    EXPECT_NEAR(dPort, dPlayback, 0.01 * dPlayback + 20) << "playback on the port";
    EXPECT_NEAR(ToneAmplitude(&port[nPlaying], 8192, 16000, 1250), dMicrophone,
                0.01 * dMicrophone + 20)
        << "microphone on the port";
    const Stereo mix = ReadStereo(strMix), local = ReadStereo(strLocal);
    // output, channel, tone, level
    using Case = std::tuple<const Stereo*, std::size_t, double, double>;
    for (const auto& [pOutput, nChannel, dFrequency, dLevel] :
         {Case{&mix, 0, 500, dPlayback}, Case{&mix, 1, 15000, dPlayback},
          Case{&mix, 0, 1250, dMicrophone}, Case{&mix, 1, 1250, dMicrophone},
          Case{&local, 0, 500, 0.5 * 16383}, Case{&local, 1, 15000, 0.5 * 16383},
          Case{&local, 0, 1250, 0}}) {
        const double dPlaying = pOutput == &mix ? dPlayback : 0.5 * 16383;
        const double dMeasured = MedianWhilePlaying(*pOutput, dPlaying, nChannel, dFrequency);
        EXPECT_NEAR(dMeasured, dLevel, 0.03 * dLevel + 30)
            << (pOutput == &mix ? "wide mix" : "local output") << ", channel " << nChannel << ", "
            << dFrequency << " Hz";
    }
    // Silent leads, which an output that ran dry under load starts again with, aside.
    const auto nSounding =
        std::count_if(local[0].begin(), local[0].end(), [](auto n) { return n != 0; });
    EXPECT_LE(nSounding, 48000 * 51 / 10) << "the playback alone, nothing between files";
    std::remove(strMix.c_str());
    std::remove(strLocal.c_str());
}

using namespace callmix;

// Full-scale square microphone over a full-scale file: the microphone's meter
// marks full scale; the law's sum nears it, which the limiter property holds
// at its ceiling on the port and on the call's meter.
TEST(LimiterOnThePort, KeepsEverySampleAtTheCeilingAndTheMetersMarkFullScale)
{
    CCallMixRig rig(3000, 500, 1.0);
    g_object_set(rig.Renderer(), kCallLimiterProperty, TRUE, "balance", 0, "volume", kMaxVolume,
                 nullptr);
    ASSERT_TRUE(rig.Start("audiotestsrc is-live=true wave=square freq=100 volume=1.0"));
    CallLevels levels; // less the first 400 ms, while the capture settles
    EXPECT_TRUE(rig.Read(400) && TakeCallLevels(rig.Renderer(), &levels));
    EXPECT_TRUE(rig.Read(2500) && TakeCallLevels(rig.Renderer(), &levels));
    EXPECT_GE(levels.microphone.nBlocks, 10);
    EXPECT_EQ(rig.Client().Louder(0, CCallLimiter::kCeiling), 0u);
    EXPECT_GT(rig.Client().Louder(0, CCallLimiter::kCeiling - 1000), 0u)
        << "the mix reached the port";
    EXPECT_NEAR(levels.microphone.dPeakDb, 0.0, 1.0);
    EXPECT_TRUE(levels.microphone.bClip);
    EXPECT_NEAR(levels.call.dPeakDb, 20 * std::log10(CCallLimiter::kCeiling / 32768.0), 1.0);
    EXPECT_FALSE(levels.call.bClip);
}

// A 2 kHz file under a 220 Hz voice: lowered by the depth within the attack,
// kept down between syllables, back after the release.
TEST(TalkOverOnThePort, LowersTheFileWhileTheMicrophoneCarriesSpeech)
{
    constexpr double kDepth = 12.0;
    const std::string strWav = testing::TempDir() + "talkover_" + std::to_string(getpid()) + ".wav";
    WriteSpeechWav(strWav, 2000, 2000, 8000);
    CCallMixRig rig(12000, 2000, 0.5);
    g_object_set(rig.Renderer(), kTalkOverProperty, TRUE, kTalkOverDepthProperty, kDepth, nullptr);
    ASSERT_TRUE(rig.Start(WavMicrophone(strWav)));
    ASSERT_TRUE(rig.Read(6500));
    std::remove(strWav.c_str());
    const TalkOverTimes times = MeasureTalkOver(rig.ToneDb(2000), rig.ToneDb(220), kDepth);
    ASSERT_GT(times.dAttackMs, -1) << "the file and then the voice reached the port";
    EXPECT_NEAR(times.dLoweredDb, times.dBaselineDb - kDepth, 0.5);
    // Each bound has one 10 ms window of slack on either side.
    EXPECT_LE(times.dAttackMs, 1000 * (CTalkOver::kBlockSeconds + CTalkOver::kAttackSeconds) + 20);
    EXPECT_LT(times.dLargestRiseDb, 1.0) << "no pumping between syllables";
    EXPECT_GE(times.dReleaseMs, 1000 * CTalkOver::kHoldSeconds) << "a slow release";
    EXPECT_LE(times.dReleaseMs, 1000 * (CTalkOver::kHoldSeconds + CTalkOver::kReleaseSeconds) + 20);
}

} // namespace
