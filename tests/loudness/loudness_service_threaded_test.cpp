// The loudness service's hand-over between threads, its analysis faked so ThreadSanitizer
// sees only this code: order, the cache, progress, cancelling and stopping mid-file.
#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "loudness_service.h"
#include "voxreel_test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LoudnessServiceThreads : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(m_folder); }
    fs::path File(const std::string& strName)
    {
        const fs::path path = m_folder / (strName + ".wav");
        if (!fs::exists(path)) // a file written again is another file to the cache
            std::ofstream(path) << strName;
        return path;
    }
    // "Measures" a file as minus its name's number, fails on names starting
    // with "bad", and holds on "hold" until cancelled (at most 60 s).
    loudness::Analysis Analyse(const fs::path& path, const std::atomic<bool>* pCancel)
    {
        ++m_nCalls;
        const std::string strName = path.stem().string();
        loudness::Analysis analysis;
        if (strName == "hold") {
            m_bHolding = true;
            voxreel::test::WaitUntil([&] { return pCancel->load(); }, 60s, 1ms);
        } else if (strName.rfind("bad", 0) != 0) {
            analysis.loudness = {-std::stod(strName), -3.0, loudness::Origin::Measured};
        }
        analysis.strError = analysis.loudness ? "" : "cannot";
        return analysis;
    }
    std::unique_ptr<CLoudnessService> Service()
    {
        return std::make_unique<CLoudnessService>(
            m_folder / "cache",
            [this](CLoudnessService::Result&& result) { m_results.push_back(std::move(result)); },
            [this](std::size_t nDone, std::size_t nAsked) {
                m_progress.emplace_back(nDone, nAsked);
            },
            [this](const fs::path& path, const std::atomic<bool>* pCancel) {
                return Analyse(path, pCancel);
            });
    }
    bool WaitFor(std::size_t nCount)
    {
        return QTest::qWaitFor([&] { return m_results.size() >= nCount; }, 60000);
    }

    const fs::path m_folder = voxreel::test::MakeTempFolder("loudness");
    std::atomic<int> m_nCalls{0};
    std::atomic<bool> m_bHolding{false};
    std::vector<CLoudnessService::Result> m_results;
    std::vector<std::pair<std::size_t, std::size_t>> m_progress;
};

TEST_F(LoudnessServiceThreads, HandsBackEveryFileInOrderMeasuredOnceAndStopsMidFile)
{
    constexpr int kFiles = 200; // and file 21 once more
    auto pService = Service();
    const auto name = [](int i) { return i == kFiles ? 21 : i; };
    for (int i = 0; i <= kFiles; ++i)
        pService->Request(i, File((i % 17 == 5 ? "bad" : "") + std::to_string(name(i))));
    ASSERT_TRUE(WaitFor(kFiles + 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pService->Busy(); }, 10000));
    for (int i = 0; i <= kFiles; ++i) {
        const CLoudnessService::Result& result = m_results[static_cast<std::size_t>(i)];
        EXPECT_EQ(result.id, i);
        // +1: no loudness
        EXPECT_EQ(result.loudness ? result.loudness->dLufs : 1, i % 17 == 5 ? 1 : -name(i)) << i;
        EXPECT_EQ(result.bFromCache, i == kFiles) << i;
    }
    ASSERT_EQ(m_progress.size(), static_cast<std::size_t>(kFiles + 1));
    EXPECT_EQ(m_progress.back(), std::make_pair(std::size_t{kFiles + 1}, std::size_t{kFiles + 1}));

    // A new run finds it in the cache; held on one file, the queue behind it is cancelled.
    pService.reset();
    pService = Service();
    pService->Request(1000, File("21"));
    ASSERT_TRUE(WaitFor(kFiles + 2));
    EXPECT_TRUE(m_results.back().bFromCache);
    EXPECT_EQ(m_nCalls.load(), kFiles);
    pService->Request(1001, File("hold"));
    for (int i = 0; i < 50; ++i)
        pService->Request(2000 + i, File(std::to_string(i)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_bHolding.load(); }, 10000));
    pService->CancelQueued();
    pService.reset(); // a hang here fails the test by its time-out
    QCoreApplication::processEvents();
    EXPECT_EQ(m_results.size(), static_cast<std::size_t>(kFiles + 2));
}

} // namespace
