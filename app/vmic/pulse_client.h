// A small client of the user's sound server (PulseAudio, or PipeWire through
// its PulseAudio service) on libpulse's own thread. Every request waits a
// bounded time for its answer, so a server that stalls never hangs the
// caller; once a request has gone unanswered, the requests that follow fail
// at once until the server answers again. Used from one thread at a time.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CPulseClient {
public:
    struct Module {
        std::uint32_t nIndex;
        std::string strName, strArgument;
    };
    struct Source {
        std::uint32_t nIndex;
        std::string strName, strDescription;
        bool bMonitor;
    };
    struct Recording { // a source output: an application recording from a source
        std::uint32_t nIndex, nSource;
        std::string strApplication;
    };
    struct Playback { // a sink input: an application playing into a sink
        std::uint32_t nIndex, nSink;
        bool bCorked; // connected, but not playing yet (or paused)
    };
    // A recording appeared (bNew), changed or ended; runs on libpulse's thread.
    using RecordingFn = std::function<void(std::uint32_t nIndex, bool bNew)>;

    CPulseClient();
    ~CPulseClient();
    CPulseClient(const CPulseClient&) = delete;
    CPulseClient& operator=(const CPulseClient&) = delete;

    // False when no server answers within the time.
    bool Connect(const char* pszClientName);
    bool IsConnected() const;

    std::optional<std::vector<Module>> ListModules();
    std::optional<std::uint32_t> LoadModule(const std::string& strName, const std::string& strArgs);
    bool UnloadModule(std::uint32_t nIndex);
    std::optional<std::vector<Source>> ListSources();
    std::optional<std::string> DefaultSourceName();
    // Moves a recording to another source, by the source's name.
    bool MoveRecording(std::uint32_t nRecording, const std::string& strSource);
    std::optional<std::vector<Recording>> ListRecordings();
    std::optional<std::vector<Playback>> ListPlaybacks();
    std::optional<std::uint32_t> SinkIndex(const std::string& strName);
    bool SuspendSink(const std::string& strName, bool bSuspend);
    // "pulseaudio", or PipeWire's "PulseAudio (on PipeWire ...)".
    std::optional<std::string> ServerName();
    bool EndPlayback(std::uint32_t nPlayback);
    // Reports recordings as they start and end (nothing more once stopped).
    bool WatchRecordings(RecordingFn onRecording);

    // Long enough to ride out a server that pauses a few seconds; the
    // caller is not a thread anybody waits on.
    static constexpr std::chrono::milliseconds kAnswerTime{10000};
    // For the following requests (and connection).
    void SetAnswerTime(std::chrono::milliseconds time) { m_answerTime = time; }

private:
    template <typename Start> bool Await(Start start);
    std::optional<std::string> ServerInfoText(const char* (*field)(const pa_server_info&));

    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    RecordingFn m_onRecording; // read on libpulse's thread; set before subscribing
    std::chrono::milliseconds m_answerTime = kAnswerTime;
    // Set when a request had no answer in time; cleared on libpulse's thread
    // by the next answer that comes, late or not.
    std::atomic<bool> m_bStalled{false};
};
