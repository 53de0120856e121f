// Learning a file's loudness: the gain rule, tags, measurement of real files
// made with GStreamer, files that cannot be read, the cache and the limiter.
#include <gtest/gtest.h>

#include <gst/app/gstappsink.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "file_analysis.h"
#include "loudness_cache.h"
#include "loudness_testkit.h"
#include "peak_limiter.h"
#include "tag_loudness.h"
#include "track_loudness.h"

using namespace loudness;
using namespace loudtest;

namespace {

TEST(GainFor, BringsToTheTargetAndCapsOnlyBoostsByThePeak)
{
    struct Case {
        const char* what;
        TrackLoudness loudness;
        double dTarget;
        double dGain;
    };
    const Case cases[] = {
        {"loud file is cut", {-8.0, -0.1, Origin::Measured}, -18.0, -10.0},
        {"quiet file is boosted", {-30.0, -20.0, Origin::Measured}, -18.0, 12.0},
        {"boost capped at -1 dBTP", {-30.0, -4.0, Origin::Measured}, -18.0, 3.0},
        {"peak above the ceiling: no boost, no cut", {-25.0, -0.5, Origin::Measured}, -18.0, 0.0},
        {"a cut is never capped", {-10.0, 2.0, Origin::Tags}, -18.0, -8.0},
        {"no peak known", {-24.0, std::nullopt, Origin::Tags}, -18.0, 6.0},
        {"silence gets nothing", {-HUGE_VAL, -HUGE_VAL, Origin::Measured}, -18.0, 0.0},
        {"another target", {-18.0, -10.0, Origin::Measured}, -23.0, -5.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(GainFor(c.loudness, c.dTarget), c.dGain, 1e-9) << c.what;
}

TEST(LoudnessFromTags, ReadsReplayGainAndR128)
{
    InitGst();
    struct Case {
        const char* what;
        const char* tags; // a serialised tag list
        std::optional<double> lufs;
        std::optional<double> peakDb;
    };
    const Case cases[] = {
        {"ReplayGain at 89 dB", "taglist,replaygain-track-gain=(double)-6.5", -11.5, std::nullopt},
        {"ReplayGain with its peak",
         "taglist,replaygain-track-gain=(double)4.0,"
         "replaygain-track-peak=(double)0.5",
         -22.0, -6.0206},
        {"another reference level",
         "taglist,replaygain-track-gain=(double)0.0,"
         "replaygain-reference-level=(double)83.0",
         -24.0, std::nullopt},
        {"Opus R128 gain (Q7.8, -23 LUFS)",
         "taglist,extended-comment=(string)\"R128_TRACK_GAIN=-1280\"", -18.0, std::nullopt},
        {"album gain only is not the track's", "taglist,replaygain-album-gain=(double)-3.0",
         std::nullopt, std::nullopt},
        {"no gain at all", "taglist,title=(string)Jingle", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        GstTagList* pTags = gst_tag_list_new_from_string(c.tags);
        ASSERT_NE(pTags, nullptr) << c.what;
        const auto loudness = LoudnessFromTags(pTags);
        gst_tag_list_unref(pTags);
        ASSERT_EQ(loudness.has_value(), c.lufs.has_value()) << c.what;
        if (!loudness)
            continue;
        EXPECT_EQ(loudness->origin, Origin::Tags) << c.what;
        EXPECT_NEAR(loudness->dLufs, *c.lufs, 1e-9) << c.what;
        ASSERT_EQ(loudness->peakDb.has_value(), c.peakDb.has_value()) << c.what;
        if (c.peakDb) {
            EXPECT_NEAR(*loudness->peakDb, *c.peakDb, 1e-3) << c.what;
        }
    }
}

class FileAnalysis : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGst();
        m_folder = TempFolder();
    }
    void TearDown() override { fs::remove_all(m_folder); }
    fs::path m_folder;
};

TEST_F(FileAnalysis, MeasuresLoudnessAndTruePeak)
{
    // A 1 kHz sine at -6.02 dBFS on both channels reads -6.02 LUFS (EBU Tech 3341).
    const fs::path file = m_folder / "sine.wav";
    ASSERT_TRUE(voxreel::test::RunLaunch(
        "audiotestsrc freq=1000 volume=0.5 num-buffers=50 samplesperbuffer=4800 ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=2 ! wavenc ! filesink location=\"" +
        file.string() + "\""));
    const Analysis analysis = AnalyseFile(file);
    ASSERT_TRUE(analysis.loudness) << analysis.strError;
    EXPECT_EQ(analysis.loudness->origin, Origin::Measured);
    EXPECT_NEAR(analysis.loudness->dLufs, -6.02, 0.1);
    ASSERT_TRUE(analysis.loudness->peakDb);
    EXPECT_NEAR(*analysis.loudness->peakDb, -6.02, 0.1);
}

TEST_F(FileAnalysis, ReadsTheR128GainOfAnOpusFile)
{
    const fs::path file = m_folder / "tagged.opus";
    ASSERT_TRUE(voxreel::test::RunLaunch(
        "audiotestsrc num-buffers=50 ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! "
        "taginject tags=\"extended-comment=\\\"R128_TRACK_GAIN=-1280\\\"\" ! opusenc ! oggmux ! "
        "filesink location=\"" +
        file.string() + "\""));
    const Analysis analysis = AnalyseFile(file);
    ASSERT_TRUE(analysis.loudness) << analysis.strError;
    EXPECT_EQ(analysis.loudness->origin, Origin::Tags);
    EXPECT_NEAR(analysis.loudness->dLufs, -18.0, 1e-6);
}

TEST_F(FileAnalysis, TakesAReplayGainTagWithoutMeasuring)
{
    const fs::path file = m_folder / "tagged.flac";
    // Really near -30 LUFS, but the tag says a gain of -2 dB (-16 LUFS).
    ASSERT_TRUE(voxreel::test::RunLaunch(
        "audiomixer name=mix ! audioconvert ! audio/x-raw,format=S16LE ! "
        "taginject tags=\"replaygain-track-gain=(double)-2.0,replaygain-track-peak=(double)0.25\" "
        "! "
        "flacenc ! filesink location=\"" +
        file.string() + "\" " + Sources(Signal::PinkNoise, 0.02, 3.0)));
    const Analysis tagged = AnalyseFile(file);
    ASSERT_TRUE(tagged.loudness) << tagged.strError;
    EXPECT_EQ(tagged.loudness->origin, Origin::Tags);
    EXPECT_NEAR(tagged.loudness->dLufs, -16.0, 1e-6);
    const Analysis measured = AnalyseFile(file, AnalysisMode::MeasureOnly);
    ASSERT_TRUE(measured.loudness) << measured.strError;
    EXPECT_EQ(measured.loudness->origin, Origin::Measured);
    EXPECT_LT(measured.loudness->dLufs, -25.0);
}

TEST_F(FileAnalysis, AFileThatCannotBeDecodedHasNoLoudnessAndAReason)
{
    const fs::path noise = m_folder / "noise.mp3";
    {
        std::ofstream out(noise, std::ios::binary);
        for (int i = 0; i < 20000; ++i)
            out.put(static_cast<char>((i * 7919) % 251));
    }
    const fs::path empty = m_folder / "empty.wav";
    std::ofstream(empty).close();
    for (const fs::path& file : {noise, empty, m_folder / "missing.ogg"}) {
        const Analysis analysis = AnalyseFile(file);
        EXPECT_FALSE(analysis.loudness) << file;
        EXPECT_FALSE(analysis.strError.empty()) << file;
    }
}

TEST_F(FileAnalysis, ACancelStopsAMeasurement)
{
    const fs::path file = m_folder / "long.wav";
    ASSERT_TRUE(WriteWav(file, Signal::PinkNoise, 0.1, 60.0));
    const std::atomic<bool> bCancel{true};
    const Analysis analysis = AnalyseFile(file, AnalysisMode::MeasureOnly, &bCancel);
    EXPECT_FALSE(analysis.loudness);
}

class Cache : public FileAnalysis {
protected:
    fs::path MakeFile(const std::string& strName, const std::string& strContent)
    {
        const fs::path path = m_folder / strName;
        std::ofstream(path, std::ios::binary) << strContent;
        return path;
    }
};

TEST_F(Cache, FindsWhatWasStoredUntilTheFileChanges)
{
    const fs::path file = MakeFile("a.wav", "first");
    const TrackLoudness stored{-21.25, -3.5, Origin::Measured};
    {
        CLoudnessCache cache(m_folder / "cache");
        EXPECT_FALSE(cache.Find(file));
        cache.Store(file, stored);
        ASSERT_TRUE(cache.Find(file));
    }
    CLoudnessCache reloaded(m_folder / "cache");
    const auto found = reloaded.Find(file);
    ASSERT_TRUE(found);
    EXPECT_DOUBLE_EQ(found->dLufs, stored.dLufs);
    EXPECT_DOUBLE_EQ(*found->peakDb, *stored.peakDb);
    EXPECT_EQ(found->origin, Origin::Measured);

    // Another length, and the same length written again later.
    std::ofstream(file, std::ios::binary) << "second!";
    EXPECT_FALSE(reloaded.Find(file));
    reloaded.Store(file, stored);
    const auto before = fs::last_write_time(file);
    std::ofstream(file, std::ios::binary) << "third!!";
    fs::last_write_time(file, before + std::chrono::seconds(2));
    EXPECT_FALSE(reloaded.Find(file));
}

TEST_F(Cache, KeepsTagResultsAndUnknownPeaksAndSurvivesItsRewrite)
{
    std::vector<fs::path> files;
    {
        CLoudnessCache cache(m_folder / "cache");
        for (int i = 0; i < 10; ++i)
            files.push_back(MakeFile("f" + std::to_string(i) + ".wav", std::to_string(i)));
        // Many updates of few files: the file is rewritten without the stale lines.
        for (int nRound = 0; nRound < 20; ++nRound)
            for (int i = 0; i < 10; ++i)
                cache.Store(files[static_cast<std::size_t>(i)],
                            {-20.0 - i - nRound * 0.01, std::nullopt, Origin::Tags});
    }
    std::ifstream in(m_folder / "cache" / "loudness-v1.tsv");
    std::size_t nLines = 0;
    for (std::string strLine; std::getline(in, strLine);)
        ++nLines;
    EXPECT_LT(nLines, 60u);
    CLoudnessCache reloaded(m_folder / "cache");
    for (int i = 0; i < 10; ++i) {
        const auto found = reloaded.Find(files[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(found) << i;
        EXPECT_NEAR(found->dLufs, -20.0 - i - 0.19, 1e-9);
        EXPECT_FALSE(found->peakDb);
        EXPECT_EQ(found->origin, Origin::Tags);
    }
}

// What a gst-launch description ending in "appsink name=out" delivers.
std::vector<std::int16_t> Pull(const std::string& strLaunch)
{
    GError* pError = nullptr;
    CElementPtr pPipeline(gst_parse_launch(strLaunch.c_str(), &pError));
    EXPECT_EQ(pError, nullptr) << (pError ? pError->message : "");
    g_clear_error(&pError);
    if (!pPipeline)
        return {};
    CElementPtr pSink(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "out"));
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    std::vector<std::int16_t> samples;
    while (CSamplePtr pSample{
        gst_app_sink_try_pull_sample(GST_APP_SINK(pSink.get()), 10 * GST_SECOND)}) {
        CBufferMap map(gst_sample_get_buffer(pSample.get()));
        const auto* p = reinterpret_cast<const std::int16_t*>(map.Data());
        samples.insert(samples.end(), p, p + map.Size() / 2);
    }
    gst_element_set_state(pPipeline.get(), GST_STATE_NULL);
    return samples;
}

// The player's gain stage: float, volume, the limiter, back to 16 bits undithered.
std::string GainStage(double dVolume, bool bActive)
{
    return " ! audioconvert ! audio/x-raw,format=F32LE ! volume volume=" + std::to_string(dVolume) +
           " ! voxreelpeaklimiter active=" + (bActive ? "true" : "false") +
           " ! audioconvert dithering=none noise-shaping=none ! audio/x-raw,format=S16LE";
}

int Loudest(const std::vector<std::int16_t>& samples)
{
    int nLoudest = 0;
    for (std::int16_t n : samples)
        nLoudest = std::max(nLoudest, std::abs(static_cast<int>(n)));
    return nLoudest;
}

TEST(PeakLimiter, KeepsEverySampleUnderItsCeilingAndAtUnityChangesNothing)
{
    InitGst();
    ASSERT_TRUE(RegisterPeakLimiter());
    constexpr int kCeiling = 29205; // -1 dBFS of 32767, rounded up
    const std::string strSine = "audiotestsrc freq=440 volume=0.7 num-buffers=50 ! "
                                "audio/x-raw,format=S16LE,rate=44100,channels=2";
    const std::string strSink = " ! appsink name=out sync=false";
    // +12 dB on a sine at -3 dBFS.
    const std::vector<std::int16_t> limited = Pull(strSine + GainStage(3.98, true) + strSink);
    ASSERT_FALSE(limited.empty());
    EXPECT_LE(Loudest(limited), kCeiling);
    EXPECT_GT(Loudest(limited), 28000); // limited, not merely turned down
    const std::vector<std::int16_t> clipped = Pull(strSine + GainStage(3.98, false) + strSink);
    EXPECT_GE(Loudest(clipped), 32767); // what it saves the call from

    // At unity and inactive, the float stage gives back the very samples.
    EXPECT_EQ(Pull(strSine + strSink), Pull(strSine + GainStage(1.0, false) + strSink));
}

} // namespace
