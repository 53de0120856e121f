// Learns the loudness of files on a worker thread at the lowest CPU priority:
// from the cache of earlier results, from the file's tags, or by measuring
// it, and hands each result back on the owner's thread, in the order asked.
// A file that cannot be read holds nothing else up: it comes back without a
// loudness, with the reason.
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "file_analysis.h"
#include "track_loudness.h"

class CLoudnessService final : public QObject {
public:
    struct Result {
        std::int32_t id = -1;
        std::filesystem::path path;
        std::optional<loudness::TrackLoudness> loudness; // nothing: unreadable
        bool bFromCache = false;
        std::string strError;
    };
    using ResultFn = std::function<void(Result&& result)>;
    // Files done and files asked for in the current burst.
    using ProgressFn = std::function<void(std::size_t nDone, std::size_t nAsked)>;
    // How a file's loudness is learnt (on the worker); by default
    // loudness::AnalyseFile. The flag asks it to stop early.
    using AnalyseFn = std::function<loudness::Analysis(const std::filesystem::path& path,
                                                       const std::atomic<bool>* pCancel)>;

    // cacheFolder: where results are kept between runs (empty: not kept).
    CLoudnessService(std::filesystem::path cacheFolder, ResultFn onResult, ProgressFn onProgress,
                     AnalyseFn analyse = {});
    // Stops a measurement under way; what is not handed over is dropped.
    ~CLoudnessService() override;

    // Queues a file; its result names id.
    void Request(std::int32_t id, std::filesystem::path path);
    // Drops what is queued and not started.
    void CancelQueued();
    // True while anything asked has not been handed over.
    bool Busy() const;

private:
    struct Job {
        std::int32_t id;
        std::filesystem::path path;
    };
    void WorkerLoop(std::filesystem::path cacheFolder);
    void Deliver(Result&& result);

    ResultFn m_onResult;
    ProgressFn m_onProgress;
    AnalyseFn m_analyse; // the worker's alone once it runs

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;          // guarded by m_mutex
    std::size_t m_nInFlight = 0;      // taken, not handed over; guarded by m_mutex
    std::atomic<bool> m_bStop{false}; // also cancels a measurement under way
    // Counts results posted. Qt's event queue locks with futexes that
    // ThreadSanitizer cannot see; storing here before posting and loading on
    // arrival makes each hand-off visible to it.
    std::atomic<std::uint64_t> m_nPosted{0};
    std::size_t m_nAsked = 0; // owner's thread only: files asked in this burst
    std::size_t m_nDone = 0;  // owner's thread only
    std::thread m_worker;     // last: started once the rest is ready
};
