// CDSPlayer: the playback engine. One GStreamer pipeline for the player's
// life holds the Callfeed renderer ("SkypeAudioRenderer"); each opened file
// adds its source ("Source"), the decoders, the PCM conversion, a split into
// the resampler ("Resampler") in front of the renderer's call input and a
// full-band branch into its "wide" input, and the sink that takes what the
// renderer passes on ("CallPace", unsynchronised). The call paces the file:
// the renderer plays what the call hears into the local output itself, so a
// local output that stalls or fails never holds the file back.
// Every operation runs on the caller's (UI) thread, except OpenAsync's
// opening, which runs on the player's opening thread so that a source that
// stalls never holds the caller. The pipeline's and the renderer's events
// reach the callback from the caller's GLib main loop (Qt's, in the
// program), which the player wakes from GStreamer's threads.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "dsplayer_callback.h"
#include "file_opener.h"
#include "graph_events.h"
#include "main_context_wakeup.h"
#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"
#include "voxreel/ids.h"

// The two ways of reading a file: a plain file source whose type is found
// and decoded automatically (filesrc ! decodebin), and a self-decoding
// source (uridecodebin), which Windows Media files take, and any other file
// the plain route could not open.
enum class FileSource { Plain, SelfDecoding };

// Makes the Callfeed plugin in folder known to GStreamer (gst_init first).
// False when GStreamer's Callfeed plugin is not that one: none there, or
// another of the same name found first (in the system's plugin folder).
bool ScanPluginFolder(const std::filesystem::path& folder);

struct CallLevels;

class CDSPlayer {
public:
    // pCallback is not owned and must outlive the player; it is called from
    // the main loop of this thread's default main context. strAudioSink: a
    // gst-launch description of the local output's sink; empty takes the
    // variable VOXREEL_AUDIO_SINK, else autoaudiosink. The renderer takes it
    // at each start of the transmission.
    explicit CDSPlayer(CDSPlayerCallback* pCallback, std::string strAudioSink = {});
    ~CDSPlayer();
    CDSPlayer(const CDSPlayer&) = delete;
    CDSPlayer& operator=(const CDSPlayer&) = delete;

    // Where the reports go from now on; nullptr: nowhere (a callback that
    // is going away).
    void SetCallback(CDSPlayerCallback* pCallback) { m_pCallback = pCallback; }

    // The renderer's TCP port; 0 keeps the renderer's default. Before Initialize.
    void SetServerPort(int nPort) { m_nPort = nPort; }
    // The renderer's microphone (gst-launch description; empty: its default;
    // VOXREEL_CAPTURE_SOURCE still overrides) and a local output that also
    // plays the transmitted mix (empty: none). Before Initialize.
    void SetCaptureSource(std::string strSource) { m_strCaptureSource = std::move(strSource); }
    // An empty mix output also stops the renderer's running one at once.
    void SetMixOutput(std::string strOutput) { MixOutputChange(std::move(strOutput))(); }
    // For callers that must not wait for the sound server: the player takes
    // the new choice at once, and the returned job acts on the renderer from
    // any thread (it holds its own reference). The mix output's change, and
    // a restart of the transmission with another microphone and mix output
    // (and the local output again). Without a renderer the jobs do nothing;
    // the restart then fails with E_UNEXPECTED.
    std::function<void()> MixOutputChange(std::string strOutput);
    std::function<HRESULT()> TransmissionRestart(const std::string& strCaptureSource,
                                                 const std::string& strMixOutput);

    HRESULT Initialize();
    // Opens path and waits for it to be ready to play, paused at 0.
    HRESULT Open(const std::filesystem::path& path) { return OpenWithGain(path, m_dTrackGainDb); }
    // Opens path on the opening thread: S_FALSE, and OnFileOpened follows
    // from the main loop; S_OK at once when path is the file already open,
    // and a failure at once when there is no pipeline. Until OnFileOpened,
    // the player acts on nothing (its queries answer as if no file were
    // open). Another OpenAsync or a Stop before then cancels this one: its
    // end is not reported; the next file opens once the source lets go.
    HRESULT OpenAsync(const std::filesystem::path& path);
    // An opening under way: posted, and its end not delivered yet.
    bool IsOpening() const { return m_bOpening; }
    // False when the opening thread is still busy after timeout (a source
    // that stalls); the player must then not be destroyed.
    bool WaitOpeningIdle(std::chrono::milliseconds timeout);
    HRESULT OpenWithSource(const std::filesystem::path& path, FileSource source);
    void Close();
    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    bool IsPaused();
    bool IsRunning();
    std::uint32_t GetDuration();
    // Whole seconds of the file the call has heard; before it has heard any
    // of the current segment (just opened, sought or stopped), where the
    // file stands.
    std::uint32_t GetPosition();
    bool SetPosition(std::int32_t nSeconds);
    // Hundredths of a decibel, -10000 (silence) to 0 (unchanged); kept
    // across files, applied at once.
    bool SetLocalVolume(std::int32_t nVolume);
    bool SetRemoteVolume(std::int32_t nLevel);
    bool SetRemoteBalance(std::int32_t nBalance);
    // The gain (dB) the next opened file plays with, before the split to the
    // call and the local output; 0 leaves the file's samples as they are. A
    // boost also engages a peak limiter. Held for that file's whole life;
    // an OpenAsync takes the gain set when it is called.
    void SetTrackGain(double dDb) { m_dTrackGainDb = dDb; }
    void StopTransmission();

    bool HasRenderer() const { return m_pRenderer != nullptr; }
    GstElement* Renderer() const { return m_pRenderer.get(); }
    // The levels the renderer measured for the meters since the previous
    // call; false without a renderer.
    bool TakeCallLevels(CallLevels* pLevels);
    // Why the last failure (an open, a state change or a playback error)
    // happened, in the user's words (empty when GStreamer did not say), and
    // its code (S_OK when nothing failed since the last successful open).
    const std::string& LastErrorText() const { return m_strLastError; }
    HRESULT LastError() const { return m_hrLastError; }

private:
    HRESULT BuildFileChain(const std::filesystem::path& path, FileSource source);
    HRESULT AddBranches(GstElement* pPcm);
    // A reference of the renderer's own, for jobs that outlive this call.
    std::shared_ptr<GstElement> SharedRenderer() const;
    // The local output's sink description as the renderer takes it.
    std::string LocalOutput() const;
    HRESULT SetState(GstState state);
    bool QueryState(GstState* pState);
    gint64 PositionNs();
    // CanAct is the caller's test; the opening thread, which owns the file
    // while it opens, tests HasFile.
    bool CanAct() const { return !m_bOpening && HasFile(); }
    bool HasFile() const { return m_bLoaded && m_pGraph; }
    bool Seek(std::int32_t nSeconds);
    HRESULT OpenWithGain(const std::filesystem::path& path, double dGainDb);
    void StartOpening(std::filesystem::path path, double dGainDb);
    void OnOpeningEnded(const CGraphEvent& event);
    // Hands every queued event to the callback, from the main loop.
    void DeliverEvents();
    void ClearLastError()
    {
        m_strLastError.clear();
        m_hrLastError = S_OK;
        m_bLastErrorGeneric = false;
    }

    CElementPtr m_pGraph;    // the pipeline
    CElementPtr m_pRenderer; // the Callfeed renderer, in m_pGraph
    CDSPlayerCallback* m_pCallback;
    std::filesystem::path m_strFile; // compared byte for byte: another case is another file
    bool m_bLoaded = false;
    bool m_bStopped = false; // Stop parks the pipeline paused where it was
    int m_nPort = 0;
    double m_dTrackGainDb = 0.0; // caller's thread: for the next Open
    double m_dChainGainDb = 0.0; // the opening's: the file being opened plays with it
    std::string m_strAudioSink;
    std::string m_strCaptureSource;
    std::string m_strMixOutput;
    std::string m_strLastError;
    HRESULT m_hrLastError = S_OK;
    bool m_bLastErrorGeneric = false; // the last failed open's error named no cause
    // The bus's handler shares the queue; the wakeup calls DeliverEvents.
    std::shared_ptr<CGraphEvents> m_pEvents = std::make_shared<CGraphEvents>();
    CMainContextWakeup m_wakeup{[this] { DeliverEvents(); }};

    // While m_bOpening, the opening thread owns the pipeline's file chain and
    // the fields Open writes (the file, m_bLoaded, m_bStopped, the last
    // error): the caller's thread reads them again only once the opening's
    // end came through m_pEvents, whose lock orders the two.
    bool m_bOpening = false;      // caller's thread only
    std::uint64_t m_nOpening = 0; // caller's thread only: the one to report
    // caller's thread only: opens after it, with its gain
    std::optional<std::pair<std::filesystem::path, double>> m_nextFile;
    std::unique_ptr<CFileOpener> m_pOpener; // made at the first OpenAsync
};
