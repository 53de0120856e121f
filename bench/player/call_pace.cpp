#include "call_pace.h"

#include <chrono>

#include "dsplayer.h"
#include "tone_frames.h"
#include "voxreel_test_support.h"
#include "wire_recorder.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kStalledSink = "appsink max-buffers=1 drop=false";

class CCompletionCount final : public CDSPlayerCallback {
public:
    void OnPlaybackFailed(HRESULT, const std::string&) override { m_bFailed = true; }
    void OnPlaybackCompleted() override { ++m_nCompleted; }
    int m_nCompleted = 0;
    bool m_bFailed = false;
};

// Opens and runs the file, then waits for its completion as the window does.
bool PlayToEnd(CDSPlayer& player, CCompletionCount& count, const std::filesystem::path& file)
{
    const int nBefore = count.m_nCompleted;
    if (FAILED(player.Open(file)) || FAILED(player.Run()))
        return false;
    return voxreel::test::WaitUntil(
               [&] {
                   while (g_main_context_iteration(nullptr, FALSE)) {
                   } // the player reports from the main loop
                   return count.m_nCompleted > nBefore || count.m_bFailed;
               },
               60s, 1ms) &&
           !count.m_bFailed;
}

} // namespace

bool MeasureCallPace(const std::filesystem::path& loud, const std::filesystem::path& quiet,
                     int nPort, CallPace* pPace)
{
    CCompletionCount count;
    CWireRecorder recorder;
    {
        CDSPlayer player(&count, kStalledSink);
        player.SetServerPort(nPort);
        if (FAILED(player.Initialize()) || !recorder.Connect(nPort) ||
            !PlayToEnd(player, count, loud) || !PlayToEnd(player, count, quiet))
            return false;
        // What the mixer took last reaches the wire within two blocks.
        const std::size_t nWanted = recorder.Samples() + 4096;
        voxreel::test::WaitUntil([&] { return recorder.Samples() >= nWanted; });
    }
    const callreport::SAnalysis wire =
        callreport::Analyse({16000, 1, recorder.Copy()}, 0, {{500, 0}, {1000, 0}});
    if (wire.gapsMs.at(0) < 0)
        return false;
    pPace->m_dBreakMsMax = wire.LongestBreakMs();
    pPace->m_dGapMs = wire.gapsMs[0];
    return true;
}
