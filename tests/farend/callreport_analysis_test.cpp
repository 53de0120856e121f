// The far end's analysis on generated recordings with planted holes, gaps,
// late and short files, at the port's and the Voxreel microphone's formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "recording.h"
#include "tone_frames.h"

using namespace callreport;

namespace {

using Spans = std::vector<std::pair<int, int>>; // [from, to) in ms

struct SSound {
    int nFreq;
    double dAmplitude;
    Spans on;
};

// Interleaved samples with every channel alike, as the mix is.
std::vector<std::int16_t> Synthesize(int nRate, int nChannels, int nMs,
                                     const std::vector<SSound>& sounds)
{
    const std::size_t nFrames =
        static_cast<std::size_t>(nRate) * static_cast<std::size_t>(nMs) / 1000;
    std::vector<std::int16_t> samples(nFrames * static_cast<std::size_t>(nChannels));
    for (std::size_t i = 0; i < nFrames; ++i) {
        const double dMs = 1000.0 * static_cast<double>(i) / nRate;
        double dValue = 0;
        for (const SSound& sound : sounds) {
            for (const auto& [nFrom, nTo] : sound.on) {
                if (dMs >= nFrom && dMs < nTo)
                    dValue += sound.dAmplitude *
                              std::sin(2 * M_PI * sound.nFreq * static_cast<double>(i) / nRate);
            }
        }
        for (int c = 0; c < nChannels; ++c)
            samples[i * static_cast<std::size_t>(nChannels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(dValue));
    }
    return samples;
}

CRecording Record(int nRate, int nChannels, int nMs, const std::vector<SSound>& sounds)
{
    const std::vector<std::int16_t> interleaved = Synthesize(nRate, nChannels, nMs, sounds);
    CRecording recording;
    recording.m_nRate = nRate;
    recording.m_nChannels = nChannels;
    recording.m_samples = FoldChannels(reinterpret_cast<const std::uint8_t*>(interleaved.data()),
                                       2 * interleaved.size(), nChannels);
    return recording;
}

using Breaks = std::vector<std::pair<int, int>>; // {at, length} in ms

Breaks BreaksOf(const STone& tone)
{
    Breaks breaks;
    for (const SBreak& gap : tone.breaks)
        breaks.emplace_back(gap.nAtMs, gap.nLengthMs);
    return breaks;
}

struct SExpectedFile {
    int nFirstMs, nEndMs; // -1: not heard
    Breaks breaks;
    bool bWhole;
};

struct SCase {
    const char* pszName;
    int nRate, nChannels, nMs;
    Spans mic;
    std::vector<Spans> files;          // 523 Hz, 784 Hz, ...
    std::vector<double> lengths;       // the files' lengths as given, s
    std::vector<SExpectedFile> expect; // per file
    std::vector<int> gapsMs;
    Breaks micDropouts;
    Spans micDucked = {}; // the microphone at a seventh of its level
    double dFileAmplitude = 12000;
};

const int kFileFreqs[] = {523, 784, 15000};

// clang-format off
const SCase kCases[] = {
    {"WholeFilesBackToBack", 16000, 1, 5000, {{0, 5000}},
     {{{500, 2500}}, {{2500, 4500}}}, {2.0, 2.0},
     {{500, 2500, {}, true}, {2500, 4500, {}, true}}, {0}, {}},
    {"HolesInAFileAndTheVoice", 16000, 1, 5000, {{0, 1000}, {1040, 1500}, {1700, 5000}},
     {{{500, 1000}, {1040, 1500}, {1700, 2700}}, {{2800, 4000}}}, {2.2, 1.2},
     {{500, 2700, {{1000, 40}, {1500, 200}}, false}, {2800, 4000, {}, true}}, {100},
     {{1000, 40}, {1500, 200}}},
    {"LongSilenceBetweenFiles", 16000, 1, 6000, {{0, 6000}},
     {{{200, 2200}}, {{3500, 5500}}}, {2.0, 2.0},
     {{200, 2200, {}, true}, {3500, 5500, {}, true}}, {1300}, {}},
    {"VoiceDropsWithNothingPlaying", 48000, 2, 4000, {{0, 2000}, {2060, 4000}},
     {{{2500, 3500}}}, {1.0}, {{2500, 3500, {}, true}}, {}, {{2000, 60}}},
    {"FileCutShortAtFullRate", 48000, 2, 4000, {{0, 4000}},
     {{{400, 2300}}}, {2.0}, {{400, 2300, {}, false}}, {}, {}},
    {"EdgesBetweenFramesStayWithinAFrame", 16000, 1, 4000, {{0, 4000}},
     {{{510, 2510}}}, {2.0}, {{500, 2520, {}, true}}, {}, {}},
    {"AnAbruptCutIsNotTheOtherFile", 16000, 1, 3200, {{0, 2590}, {2650, 3200}},
     {{{500, 1500}}, {{1600, 2590}, {2650, 3000}}}, {1.0, 1.4},
     {{500, 1500, {}, true}, {1600, 3000, {{2600, 40}}, false}}, {100}, {{2600, 40}}},
    {"APlaylistStartingOverIsAnotherPlay", 16000, 1, 4000, {{0, 4000}},
     {{{500, 1500}, {2600, 3600}}, {{1500, 2500}}}, {1.0, 1.0},
     {{500, 1500, {}, true}, {1500, 2500, {}, true}}, {0}, {}},
    {"AFileNeverHeard", 16000, 1, 3000, {{0, 3000}},
     {{{300, 1300}}, {}}, {1.0, 1.0},
     {{300, 1300, {}, true}, {-1, -1, {}, false}}, {-1}, {}},
    {"HighToneAtFullRate", 48000, 2, 3000, {{0, 3000}},
     {{{400, 1000}}, {}, {{1000, 2600}}}, {0.6, 0, 1.6},
     {{400, 1000, {}, true}, {-1, -1, {}, false}, {1000, 2600, {}, true}}, {-1, -1}, {}},
    // The voice steps down mid-frame as a quiet file starts after a little
    // silence (an MP3's encoder delay): the step's click is not the file.
    {"TheVoiceSteppingDownIsNotAQuietFile", 48000, 2, 4000, {{0, 511}, {2025, 4000}},
     {{{525, 2025}}}, {1.5}, {{520, 2020, {}, true}}, {}, {}, {{511, 2025}}, 700},
};
// clang-format on

// Names the case in gtest's messages.
void PrintTo(const SCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class CallreportFrames : public ::testing::TestWithParam<SCase> {};

} // namespace

TEST_P(CallreportFrames, FindsSpansBreaksGapsAndDropouts)
{
    const SCase& c = GetParam();
    std::vector<SSound> sounds{{300, 6000, c.mic}, {300, 6000 / 7.0, c.micDucked}};
    std::vector<SToneSpec> specs;
    for (std::size_t t = 0; t < c.files.size(); ++t) {
        sounds.push_back({kFileFreqs[t], c.dFileAmplitude, c.files[t]});
        specs.push_back({kFileFreqs[t], c.lengths[t]});
    }
    const SAnalysis analysis = Analyse(Record(c.nRate, c.nChannels, c.nMs, sounds), 300, specs);

    ASSERT_EQ(analysis.files.size(), c.expect.size());
    bool bAllWhole = true;
    for (std::size_t t = 0; t < c.expect.size(); ++t) {
        const STone& file = analysis.files[t];
        const SExpectedFile& expect = c.expect[t];
        EXPECT_EQ(file.bHeard, expect.nFirstMs >= 0) << "file " << t;
        if (expect.nFirstMs >= 0) {
            EXPECT_EQ(file.nFirstMs, expect.nFirstMs) << "file " << t;
            EXPECT_EQ(file.nEndMs, expect.nEndMs) << "file " << t;
            EXPECT_NEAR(file.dLevelDbfs, 20 * std::log10(c.dFileAmplitude / 32768), 1.0)
                << "file " << t;
        }
        EXPECT_EQ(BreaksOf(file), expect.breaks) << "file " << t;
        EXPECT_EQ(file.Whole(), expect.bWhole) << "file " << t;
        bAllWhole = bAllWhole && expect.bWhole;
    }
    EXPECT_EQ(analysis.EveryFileWhole(), bAllWhole);
    EXPECT_EQ(analysis.gapsMs, c.gapsMs);
    EXPECT_EQ(BreaksOf(analysis.mic), c.micDropouts);
    EXPECT_TRUE(analysis.mic.bHeard);
    EXPECT_NEAR(analysis.mic.dLevelDbfs, 20 * std::log10(6000.0 / 32768), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Planted, CallreportFrames, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.pszName); });

// A recorder that has not closed its file leaves the data size unwritten;
// the samples still count to the file's end, their channels folded.
TEST(CallreportRecordings, ReadsUnfinishedWavAndRawAlike)
{
    const std::vector<std::int16_t> stereo{100, 300, -200, -400, 7, 9};
    const std::string strBase = ::testing::TempDir() + "callreport" + std::to_string(getpid());
    // A WAV header of 48 kHz stereo 16-bit whose sizes are still 0.
    const char header[] = "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xBB\0\0\0\xEE\x02\0\x04\0"
                          "\x10\0data\0\0\0\0";
    std::FILE* pWav = std::fopen((strBase + ".wav").c_str(), "wb");
    std::fwrite(header, 1, 44, pWav);
    std::fwrite(stereo.data(), 2, stereo.size(), pWav);
    std::fclose(pWav);
    std::FILE* pRaw = std::fopen((strBase + ".raw").c_str(), "wb");
    std::fwrite(stereo.data(), 2, stereo.size(), pRaw);
    std::fputc(0, pRaw); // a partial sample, as a recorder stopped mid-write leaves
    std::fclose(pRaw);

    CRecording wav, raw, notWav;
    ASSERT_EQ(ReadWav(strBase + ".wav", wav), "");
    ASSERT_EQ(ReadRaw(strBase + ".raw", 48000, 2, raw), "");
    EXPECT_NE(ReadWav(strBase + ".raw", notWav), "");
    EXPECT_NE(ReadWav(strBase + ".missing", notWav), "");
    EXPECT_NE(ReadRaw(strBase + ".raw", 48000, 0, notWav), "");
    for (const CRecording* pRecording : {&wav, &raw}) {
        EXPECT_EQ(pRecording->m_nRate, 48000);
        EXPECT_EQ(pRecording->m_nChannels, 2);
        EXPECT_EQ(pRecording->m_samples, (std::vector<std::int16_t>{200, -300, 8}));
    }
    std::filesystem::remove(strBase + ".wav");
    std::filesystem::remove(strBase + ".raw");
}

TEST(CallreportToneSpecs, TakeAFrequencyAndALength)
{
    const struct {
        const char* pszText;
        bool bValid;
        int nFreq;
        double dSeconds;
    } cases[] = {{"523", true, 523, 0}, {"784:2.5", true, 784, 2.5}, {"x", false, 0, 0},
                 {"523:", false, 0, 0}, {"523:-1", false, 0, 0},     {"0", false, 0, 0},
                 {"523s", false, 0, 0}};
    for (const auto& c : cases) {
        SToneSpec spec;
        EXPECT_EQ(ParseToneSpec(c.pszText, spec), c.bValid) << c.pszText;
        if (c.bValid) {
            EXPECT_EQ(spec.nFreq, c.nFreq) << c.pszText;
            EXPECT_EQ(spec.dSeconds, c.dSeconds) << c.pszText;
        }
    }
}
