// A file's loudness: the gain rule, tags, measurement of files made with
// GStreamer, files that cannot be read, the cache and the true peak.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

#include "file_analysis.h"
#include "loudness_cache.h"
#include "loudness_testkit.h"
#include "track_loudness.h"
#include "true_peak.h"

using namespace loudness;
using namespace loudtest;

namespace {

TEST(GainFor, BringsToTheTargetAndCapsOnlyBoostsByThePeak)
{
    const struct {
        const char* what;
        TrackLoudness loudness;
        double dGain;
    } cases[] = {
        {"loud file is cut, never capped", {-8.0, 2.0, Origin::Measured}, -10.0},
        {"quiet file is boosted", {-30.0, -20.0, Origin::Measured}, 12.0},
        {"boost capped at -1 dBTP", {-30.0, -4.0, Origin::Measured}, 3.0},
        {"peak above the ceiling: no boost, no cut", {-25.0, -0.5, Origin::Measured}, 0.0},
        {"no peak known", {-24.0, std::nullopt, Origin::Tags}, 6.0},
        {"silence gets nothing", {-HUGE_VAL, -HUGE_VAL, Origin::Measured}, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(GainFor(c.loudness, -18.0), c.dGain, 1e-9) << c.what;
}

class InFolder : public ::testing::Test {
protected:
    void SetUp() override { loudtest::InitGstInProcess(); }
    void TearDown() override { fs::remove_all(m_folder); }
    const fs::path m_folder = loudtest::MakeTempFolder("loudness");
};

TEST_F(InFolder, AnalysesFilesByTagsOrMeasurementAndNamesWhyNot)
{
    const std::string strSine =
        "audiotestsrc freq=1000 volume=0.5 num-buffers=50 "
        "samplesperbuffer=4800 ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! ";
    const auto flac = [](const std::string& strTags) {
        return "taginject tags=\"" + strTags + "\" ! flacenc";
    };
    const struct {
        const char* file;
        std::string strHead, strTail;
        Origin origin;
        double dLufs, dPeakDb;
    } cases[] = {
        // A 1 kHz sine at -6.02 dBFS on both channels reads -6.02 LUFS (EBU Tech 3341).
        {"sine.wav", strSine + "wavenc", "", Origin::Measured, -6.02, -6.02},
        // Near -35 LUFS really, but tagged -2 dB (-16 LUFS).
        {"tagged.flac",
         "audiomixer name=mix ! audioconvert ! audio/x-raw,format=S16LE ! " +
             flac("replaygain-track-gain=(double)-2.0,replaygain-track-peak=(double)0.25"),
         Sources(Signal::PinkNoise, 0.02, 3.0), Origin::Tags, -16.0, -12.04},
        // 0 dB at a reference of 83 dB SPL, not the usual 89; an album's gain is not the track's.
        {"reference.flac",
         strSine +
             flac("replaygain-track-gain=(double)0.0,replaygain-reference-level=(double)83.0"),
         "", Origin::Tags, -24.0, NAN},
        {"album.flac", strSine + flac("replaygain-album-gain=(double)-3.0"), "", Origin::Measured,
         -6.02, -6.02},
        {"tagged.opus",
         "audiotestsrc num-buffers=50 ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! "
         "taginject tags=\"extended-comment=\\\"R128_TRACK_GAIN=-1280\\\"\" ! opusenc ! oggmux",
         "", Origin::Tags, -18.0, NAN},
    };
    for (const auto& c : cases) {
        const fs::path file = m_folder / c.file;
        ASSERT_TRUE(voxreel::test::RunLaunch(c.strHead + " ! filesink location=\"" + file.string() +
                                             "\" " + c.strTail));
        const Analysis analysis = AnalyseFile(file);
        ASSERT_TRUE(analysis.loudness) << c.file << ": " << analysis.strError;
        EXPECT_EQ(analysis.loudness->origin, c.origin) << c.file;
        EXPECT_NEAR(analysis.loudness->dLufs, c.dLufs, 0.1) << c.file;
        if (std::isnan(c.dPeakDb))
            EXPECT_FALSE(analysis.loudness->peakDb) << c.file;
        else
            EXPECT_NEAR(analysis.loudness->peakDb.value_or(NAN), c.dPeakDb, 0.1) << c.file;
    }
    const std::atomic<bool> bCancel{true};
    EXPECT_FALSE(AnalyseFile(m_folder / "sine.wav", AnalysisMode::TagsOrMeasure, &bCancel).loudness)
        << "a cancelled measurement still ran";

    // Undecodable content fails as an empty file does, when its type is sought.
    std::ofstream(m_folder / "empty.wav").close();
    for (const char* pszFile : {"empty.wav", "missing.ogg"}) {
        const Analysis analysis = AnalyseFile(m_folder / pszFile);
        EXPECT_FALSE(analysis.loudness) << pszFile;
        EXPECT_FALSE(analysis.strError.empty()) << pszFile;
    }
}

TEST_F(InFolder, CacheFindsWhatWasStoredUntilTheFileChangesAndStaysCompact)
{
    std::vector<fs::path> files;
    for (int i = 0; i < 10; ++i) {
        files.push_back(m_folder / ("f" + std::to_string(i) + ".wav"));
        std::ofstream(files.back()) << i;
    }
    const auto stored = [](int i, int nRound) {
        return TrackLoudness{-20.0 - i - nRound * 0.01, i == 0 ? std::optional(-3.5) : std::nullopt,
                             i == 0 ? Origin::Measured : Origin::Tags};
    };
    {
        CLoudnessCache cache(m_folder / "cache");
        EXPECT_FALSE(cache.Find(files[0]));
        for (int nRound = 0; nRound < 20; ++nRound)
            for (int i = 0; i < 10; ++i)
                cache.Store(files[static_cast<std::size_t>(i)], stored(i, nRound));
    }
    std::ifstream in(m_folder / "cache" / "loudness-v1.tsv");
    EXPECT_LT(std::count(std::istreambuf_iterator<char>(in), {}, '\n'), 60)
        << "the stale lines of many updates were kept";
    CLoudnessCache reloaded(m_folder / "cache");
    for (int i = 0; i < 10; ++i) {
        const auto found = reloaded.Find(files[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(found) << i;
        EXPECT_DOUBLE_EQ(found->dLufs, stored(i, 19).dLufs);
        EXPECT_EQ(found->peakDb, stored(i, 19).peakDb) << i;
        EXPECT_EQ(found->origin, stored(i, 19).origin) << i;
    }
    // Another length, and the same length written again later.
    std::ofstream(files[1]) << "11";
    EXPECT_FALSE(reloaded.Find(files[1]));
    const auto before = fs::last_write_time(files[2]);
    std::ofstream(files[2]) << "X";
    fs::last_write_time(files[2], before + std::chrono::seconds(2));
    EXPECT_FALSE(reloaded.Find(files[2]));
}

TEST(TruePeak, AgreesWithLibebur128)
{
    const struct {
        const char* what;
        double dFreq, dPhase, dAmplitude, dNoise;
    } cases[] = {
        {"quarter of the rate, peaks halfway between samples", 11025, std::numbers::pi / 4, 0.9, 0},
        {"noise louder than a quiet sine", 440, 0, 0.05, 0.2},
    };
    constexpr unsigned kRate = 44100;
    for (const auto& c : cases) {
        // Stereo: the left channel a sine, the right one quieter noise.
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, c.dNoise > 0 ? c.dNoise : 1e-9);
        std::vector<std::int16_t> samples;
        for (unsigned n = 0; n < kRate * 2; ++n) {
            samples.push_back(static_cast<std::int16_t>(
                std::lround(32767 * c.dAmplitude *
                            std::sin(2 * std::numbers::pi * c.dFreq * n / kRate + c.dPhase))));
            samples.push_back(static_cast<std::int16_t>(std::lround(32767 * noise(random))));
        }
        const std::vector<float> frames(samples.begin(), samples.end()); // full scale 32768
        CTruePeak peak(2);
        // In uneven pieces, as buffers come.
        for (std::size_t n = 0, nPiece = 0; n < frames.size() / 2; n += nPiece) {
            nPiece = std::min<std::size_t>(1 + (n * 7) % 1500, frames.size() / 2 - n);
            peak.Add(frames.data() + 2 * n, nPiece);
        }
        EXPECT_NEAR(20 * std::log10(peak.Peak() / 32768), Measure(samples, kRate, 2).dTruePeakDb,
                    0.25)
            << c.what;
    }
}

} // namespace
