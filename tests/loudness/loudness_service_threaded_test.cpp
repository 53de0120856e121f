// The loudness service's hand-over between the window's thread and its
// worker, with an analysis that answers from a table (and can be held or
// made to fail) in place of GStreamer, so that ThreadSanitizer sees only
// this code: order, the cache, progress, cancelling queued files and
// stopping with a measurement under way.
#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "loudness_service.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// "Measures" a file as minus its name's number, fails on names starting
// with "bad", and holds on "hold" until cancelled (at most 60 s).
class CFakeAnalysis {
public:
    CLoudnessService::AnalyseFn Fn()
    {
        return [this](const fs::path& path, const std::atomic<bool>* pCancel) {
            ++m_nCalls;
            const std::string strName = path.stem().string();
            loudness::Analysis analysis;
            if (strName.rfind("hold", 0) == 0) {
                m_bHolding = true;
                const auto deadline = std::chrono::steady_clock::now() + 60s;
                while (!pCancel->load() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(1ms);
                analysis.strError = "Cancelled.";
            } else if (strName.rfind("bad", 0) == 0) {
                analysis.strError = "The file cannot be decoded.";
            } else {
                analysis.loudness =
                    loudness::TrackLoudness{-std::stod(strName), -3.0, loudness::Origin::Measured};
            }
            return analysis;
        };
    }
    std::atomic<int> m_nCalls{0};
    std::atomic<bool> m_bHolding{false};
};

class LoudnessServiceThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "loudness.XXXXXX").string();
        m_folder = mkdtemp(strTemplate.data());
    }
    void TearDown() override { fs::remove_all(m_folder); }
    fs::path File(const std::string& strName)
    {
        const fs::path path = m_folder / (strName + ".wav");
        std::ofstream(path) << strName;
        return path;
    }
    std::unique_ptr<CLoudnessService> Service(fs::path cache = {})
    {
        return std::make_unique<CLoudnessService>(
            std::move(cache),
            [this](CLoudnessService::Result&& result) { m_results.push_back(std::move(result)); },
            [this](std::size_t nDone, std::size_t nAsked) {
                m_progress.emplace_back(nDone, nAsked);
            },
            m_analysis.Fn());
    }
    bool WaitFor(std::size_t nCount)
    {
        return QTest::qWaitFor([&] { return m_results.size() >= nCount; }, 60000);
    }

    fs::path m_folder;
    CFakeAnalysis m_analysis;
    std::vector<CLoudnessService::Result> m_results;
    std::vector<std::pair<std::size_t, std::size_t>> m_progress;
};

TEST_F(LoudnessServiceThreads, HandsBackEveryFileInOrderWithItsProgress)
{
    auto pService = Service();
    constexpr int kFiles = 200;
    for (int i = 0; i < kFiles; ++i)
        pService->Request(i, File(i % 17 == 5 ? "bad" + std::to_string(i) : std::to_string(i)));
    ASSERT_TRUE(WaitFor(kFiles));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pService->Busy(); }, 10000));
    for (int i = 0; i < kFiles; ++i) {
        const CLoudnessService::Result& result = m_results[static_cast<std::size_t>(i)];
        EXPECT_EQ(result.id, i);
        EXPECT_EQ(result.loudness.has_value(), i % 17 != 5) << i;
        if (result.loudness) {
            EXPECT_EQ(result.loudness->dLufs, -i);
        }
    }
    ASSERT_EQ(m_progress.size(), static_cast<std::size_t>(kFiles));
    EXPECT_EQ(m_progress.back(), std::make_pair(std::size_t{kFiles}, std::size_t{kFiles}));
}

TEST_F(LoudnessServiceThreads, MeasuresAFileOnceAcrossRunsAndDropsWhatIsCancelled)
{
    const fs::path file = File("21");
    {
        auto pService = Service(m_folder / "cache");
        pService->Request(1, file);
        pService->Request(2, file);
        ASSERT_TRUE(WaitFor(2));
    }
    auto pService = Service(m_folder / "cache");
    pService->Request(3, file);
    ASSERT_TRUE(WaitFor(3));
    EXPECT_EQ(m_analysis.m_nCalls.load(), 1);
    EXPECT_FALSE(m_results[0].bFromCache);
    EXPECT_TRUE(m_results[1].bFromCache);
    EXPECT_TRUE(m_results[2].bFromCache);

    // Held on one file, the queue behind it is cancelled; the next request still goes.
    pService->Request(4, File("hold"));
    for (int i = 0; i < 50; ++i)
        pService->Request(100 + i, File(std::to_string(i)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_analysis.m_bHolding.load(); }, 10000));
    pService->CancelQueued();
    pService.reset(); // cancels the held one; a hang fails the test by its time-out
    QCoreApplication::processEvents();
    EXPECT_EQ(m_results.size(), 3u);
}

} // namespace
