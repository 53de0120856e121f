// Describes the files the user adds (title and duration, folders expanded)
// on a worker thread, and hands them back on the owner's thread in batches,
// in the order they were added, so adding thousands of files never freezes
// the window. Entries already in the playlist that lack a title or a length
// are described there too, after any files waiting to be added.
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "playlist/playlist.h"

class CFileAdder final : public QObject {
public:
    // One described file and the Add call it came from.
    struct Added {
        std::uint64_t nRequest;
        PlaylistItem item;
    };
    using BatchFn = std::function<void(std::vector<Added>&& batch)>;
    // Files handed over so far and files found so far in the current burst.
    using ProgressFn = std::function<void(std::size_t nDone, std::size_t nFound)>;
    // Entries given to Describe whose description found something new, with
    // their ids; they do not count as added files.
    using DescribedFn = std::function<void(std::vector<PlaylistItem>&& described)>;

    CFileAdder(BatchFn onBatch, ProgressFn onProgress, DescribedFn onDescribed = {});
    // Stops the worker; what it has not handed over yet is dropped.
    ~CFileAdder() override;

    // Queues files, folders and playlists, in order; returns the number of
    // this request (1, 2, ...), which its files carry.
    std::uint64_t Add(std::vector<std::filesystem::path> paths);
    // Queues entries of the playlist to fill in what they lack (their title
    // from tags, their length); those that lack nothing are skipped.
    void Describe(const std::vector<PlaylistItem>& entries);
    // True while anything queued has not been handed over.
    bool Busy() const;
    // Waits up to limit for the files queued by Add to be described and
    // hands them over now, on the caller's thread, so that a file added just
    // before the program closes is in the playlist it saves. False when the
    // time ran out first (what was described by then is handed over).
    bool FinishAdds(std::chrono::milliseconds limit);

private:
    void StartWorker();
    void WorkerLoop();
    void DescribeEntry(std::unique_lock<std::mutex>& lock);
    struct Request {
        std::uint64_t nRequest;
        std::filesystem::path path;
    };
    void DescribeOne(const Request& request);
    void PostDrain();
    void customEvent(QEvent* pEvent) override;
    void Drain();

    BatchFn m_onBatch;
    ProgressFn m_onProgress;
    DescribedFn m_onDescribed;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_addsDone; // signalled when m_inbox empties and none is in flight
    std::deque<Request> m_inbox;        // guarded by m_mutex
    std::vector<Added> m_outbox;        // guarded by m_mutex
    std::deque<PlaylistItem> m_entriesToDescribe; // guarded by m_mutex
    std::vector<PlaylistItem> m_describedOut;     // guarded by m_mutex
    std::size_t m_nDescribing = 0;                // entries taken, not yet described; m_mutex
    std::size_t m_nInFlight = 0; // paths taken from m_inbox, not yet described; m_mutex
    std::size_t m_nFound = 0;    // files found in this burst; guarded by m_mutex
    bool m_bDrainPosted = false; // guarded by m_mutex
    // Counts drain events posted. Qt's event queue locks with futexes that
    // ThreadSanitizer cannot see; storing here before posting and loading on
    // arrival makes the hand-off of each event visible to it.
    std::atomic<std::uint64_t> m_nDrainsPosted{0};
    bool m_bStop = false;             // guarded by m_mutex
    std::size_t m_nDone = 0;          // owner's thread only
    std::uint64_t m_nLastRequest = 0; // owner's thread only
    std::thread m_worker;             // started at the first Add
};
