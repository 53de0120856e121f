// The far end's analysis on generated recordings with planted holes, gaps, late and
// short files, and the loudness of a span.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "recording.h"
#include "span_loudness.h"
#include "tone_frames.h"

using namespace callreport;

namespace {

using Spans = std::vector<std::pair<int, int>>; // [from, to) in ms

struct SSound {
    int nFreq;
    double dAmplitude;
    Spans on;
};

// Sines on their spans, every channel alike as in the mix, folded to one.
CRecording Record(int nRate, int nChannels, int nMs, const std::vector<SSound>& sounds)
{
    std::vector<std::int16_t> interleaved;
    for (int i = 0; i < nRate * nMs / 1000; ++i) {
        double dValue = 0;
        for (const SSound& sound : sounds)
            for (const auto& [nFrom, nTo] : sound.on)
                if (1000.0 * i / nRate >= nFrom && 1000.0 * i / nRate < nTo)
                    dValue += sound.dAmplitude * std::sin(2 * M_PI * sound.nFreq * i / nRate);
        interleaved.insert(interleaved.end(), static_cast<std::size_t>(nChannels),
                           static_cast<std::int16_t>(std::lround(dValue)));
    }
    return {nRate, nChannels,
            FoldChannels(reinterpret_cast<const std::uint8_t*>(interleaved.data()),
                         2 * interleaved.size(), nChannels)};
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
    {"HolesInAFileAndTheVoice", 16000, 1, 5000, {{0, 1000}, {1040, 1500}, {1700, 5000}},
     {{{500, 1000}, {1040, 1500}, {1700, 2700}}, {{2800, 4000}}}, {2.2, 1.2},
     {{500, 2700, {{1000, 40}, {1500, 200}}, false}, {2800, 4000, {}, true}}, {100},
     {{1000, 40}, {1500, 200}}},
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
    {"HighToneAtFullRate", 48000, 2, 3000, {{0, 3000}},
     {{{400, 1000}}, {}, {{1000, 2600}}}, {0.6, 0, 1.6},
     {{400, 1000, {}, true}, {-1, -1, {}, false}, {1000, 2600, {}, true}}, {-1, -1}, {}},
    // The voice steps down mid-frame as a quiet file starts after a little
    // silence (an MP3's encoder delay): the step's click is not the file.
    {"TheVoiceSteppingDownIsNotAQuietFile", 48000, 2, 4000, {{0, 511}, {2025, 4000}},
     {{{525, 2025}}}, {1.5}, {{520, 2020, {}, true}}, {}, {}, {{511, 2025}}, 700},
};
// clang-format on

// Names the case in gtest's messages and in the test list ctest reads.
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
        SCOPED_TRACE("file " + std::to_string(t));
        const STone& file = analysis.files[t];
        const SExpectedFile& expect = c.expect[t];
        EXPECT_EQ(file.bHeard, expect.nFirstMs >= 0);
        if (expect.nFirstMs >= 0) {
            EXPECT_EQ(std::pair(file.nFirstMs, file.nEndMs),
                      std::pair(expect.nFirstMs, expect.nEndMs));
            EXPECT_NEAR(file.dLevelDbfs, 20 * std::log10(c.dFileAmplitude / 32768), 1.0);
        }
        EXPECT_EQ(BreaksOf(file), expect.breaks);
        EXPECT_EQ(file.Whole(), expect.bWhole);
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

// A 1 kHz sine at -20 dBFS reads -20 LUFS; blocks straddling its edges pull it down a little.
TEST(SpanLoudness, MeasuresTheSpanAsHeardOnBothSides)
{
    const struct {
        int nFromMs, nToMs;
        double dLufs, dWithin;
    } cases[] = {{2000, 4000, -20.0, 0.1},
                 {0, 6000, -20.0, 1.0},
                 {0, 2000, -HUGE_VAL, 0},
                 {4000, 3000, -HUGE_VAL, 0},
                 {5000, 9000, -HUGE_VAL, 0}};
    const CRecording sine = Record(16000, 1, 6000, {{1000, 3276.7, {{2000, 4000}}}});
    for (const auto& c : cases) {
        const double dLufs = SpanLoudness(sine, c.nFromMs, c.nToMs);
        const std::string what = std::to_string(c.nFromMs) + "-" + std::to_string(c.nToMs);
        if (std::isinf(c.dLufs))
            EXPECT_TRUE(std::isinf(dLufs) && dLufs < 0) << what << ": " << dLufs;
        else
            EXPECT_NEAR(dLufs, c.dLufs, c.dWithin) << what;
    }
}
