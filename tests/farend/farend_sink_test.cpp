// The port and the Voxreel microphone carry each file whole and the next soon after while the
// speakers are idle (suspended), start a second late or are removed mid-file.
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "farend_chain.h"
#include "report_text.h"

using namespace farend;
using callreport::SAnalysis;
using callreport::SToneSpec;

namespace {

constexpr double kFileSeconds = 2.0;
// The next file must follow, not fast: how fast is the machine's, measured in bench_farend.
constexpr int kMostSilenceBetweenFilesMs = 1500;
const std::vector<SToneSpec> kFiles{{523, kFileSeconds}, {784, kFileSeconds}};

struct SSinkCase {
    const char* pszName;
    // Before the files are handed over.
    std::function<void(const std::string& strModule)> prepare;
    // Once they are: what happens to the speakers while the files play.
    std::function<void(CFarEndChain& chain, const std::string& strModule)> meanwhile;
};

const SSinkCase kSinkCases[] = {
    {"IdleNullSink",
     [](const std::string&) {
         // PipeWire suspends idle nodes by itself and has no such module.
         if (Pactl({"load-module", "module-suspend-on-idle", "timeout=1"}).empty())
             return;
         EXPECT_TRUE(apptest::WaitFor(
             [] {
                 const std::string sinks = Pactl({"list", "short", "sinks"});
                 const std::size_t at = sinks.find("\tspeakers\t");
                 return at != sinks.npos &&
                        sinks.substr(at, sinks.find('\n', at) - at).find("SUSPENDED") != sinks.npos;
             },
             20s));
     },
     nullptr},
    {"SinkStartsASecondLate",
     [](const std::string&) {
         Pactl({"suspend-sink", "speakers", "1"});
     },
     [](CFarEndChain&, const std::string&) {
         QTimer::singleShot(1000, [] { Pactl({"suspend-sink", "speakers", "0"}); });
     }},
    {"SinkRemovedMidFile", nullptr,
     [](CFarEndChain& chain, const std::string& strModule) {
         // Half a second into the first file at the far end.
         EXPECT_TRUE(WaitEvery(
             [&] {
                 const SAnalysis port = chain.Port(kFiles);
                 return port.files[0].bHeard &&
                        port.nFrames * callreport::kFrameMs - port.files[0].nFirstMs > 500;
             },
             100ms, 30s));
         Pactl({"unload-module", QString::fromStdString(strModule).trimmed()});
     }},
};

// Names the case in gtest's messages and in the test list ctest reads.
void PrintTo(const SSinkCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class FarEndLocalOutput : public ::testing::TestWithParam<SSinkCase> {
protected:
    void SetUp() override { apptest::InitMedia(); }
    void TearDown() override { fs::remove_all(m_folder); }
    const fs::path m_folder = apptest::TempFolder("farend");
};

void ExpectWhole(const SAnalysis& analysis, const char* pszWhere)
{
    // Heard, unbroken, each at its length to a frame; the report below says which is not.
    EXPECT_TRUE(analysis.EveryFileWhole()) << pszWhere;
    ASSERT_EQ(analysis.gapsMs.size(), 1u);
    EXPECT_GE(analysis.gapsMs[0], 0) << pszWhere;
    EXPECT_LE(analysis.gapsMs[0], kMostSilenceBetweenFilesMs) << pszWhere;
    EXPECT_EQ(analysis.mic.LongestBreakMs(), 0) << pszWhere << ": the voice dropped out";
    if (::testing::Test::HasFailure())
        callreport::PrintReport(stdout, analysis, pszWhere);
}

} // namespace

TEST_P(FarEndLocalOutput, TheFarEndGetsEveryFileWhole)
{
    const SSinkCase& c = GetParam();
    const std::string strModule = Pactl({"load-module", "module-null-sink", "sink_name=speakers"});
    ASSERT_FALSE(strModule.empty());
    const fs::path first = MakeTones(m_folder / "first.wav", kFileSeconds, {523}, 0.5);
    const fs::path second = MakeTones(m_folder / "second.wav", kFileSeconds, {784}, 0.5);
    CFarEndChain chain(m_folder, "pulsesink device=speakers");
    ASSERT_TRUE(chain.Start());
    if (c.prepare)
        c.prepare(strModule);
    ASSERT_TRUE(chain.Play({first, second}));
    if (c.meanwhile)
        c.meanwhile(chain, strModule);
    ASSERT_TRUE(chain.WaitForAll(kFiles));
    ExpectWhole(chain.Port(kFiles), "the port");
    ExpectWhole(chain.Mic(kFiles), "the Voxreel microphone");
}

INSTANTIATE_TEST_SUITE_P(Sinks, FarEndLocalOutput, ::testing::ValuesIn(kSinkCases),
                         [](const auto& test) { return std::string(test.param.pszName); });
