#include "dsplayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "voxreel/callfeed_control.h"
#include "voxreel/element_factory.h"
#include "voxreel/gst_hresult.h"

namespace {

constexpr auto kOpenTimeout = std::chrono::seconds(10);
constexpr GstClockTime kStateTimeout = 1000 * GST_MSECOND;
constexpr const char* kRendererName = "SkypeAudioRenderer";

bool EndsWithNoCase(const std::filesystem::path& path, const char* pszEnd)
{
    const std::string& strText = path.native();
    const std::size_t cchEnd = std::strlen(pszEnd);
    return strText.size() >= cchEnd &&
           g_ascii_strcasecmp(strText.c_str() + strText.size() - cchEnd, pszEnd) == 0;
}

} // namespace

bool ScanPluginFolder(const std::filesystem::path& folder)
{
    gst_registry_scan_path(gst_registry_get(), folder.c_str());
    // GStreamer keeps the first plugin of a name it meets, so one in the
    // system's folder (an installed package's) hides this folder's; it must
    // not pass for it.
    const CGstObjectPtr<GstPlugin> pPlugin(
        gst_registry_find_plugin(gst_registry_get(), kCallfeedPluginName));
    const gchar* pszFile = pPlugin ? gst_plugin_get_filename(pPlugin.get()) : nullptr;
    std::error_code ec;
    return pszFile != nullptr &&
           std::filesystem::equivalent(std::filesystem::path(pszFile).parent_path(), folder, ec);
}

CDSPlayer::CDSPlayer(CDSPlayerCallback* pCallback, std::string strAudioSink)
    : m_pCallback(pCallback), m_strAudioSink(std::move(strAudioSink))
{
    m_pEvents->SetWake([pWakeup = &m_wakeup] { pWakeup->Wake(); });
}

// The renderer's threads may still post while the pipeline goes down: from
// the wake's removal on, what they post stays queued and is never delivered.
CDSPlayer::~CDSPlayer()
{
    m_pOpener.reset();
    if (m_pGraph) {
        gst_element_set_state(m_pGraph.get(), GST_STATE_NULL);
        CGraphEvents::Detach(m_pGraph.get());
    }
    m_pEvents->SetWake(nullptr);
    m_pRenderer.reset();
    m_pGraph.reset();
}

HRESULT CDSPlayer::Initialize()
{
    CElementPtr pGraph(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("graph"))));
    GstElement* pRendererRaw = nullptr;
    HRESULT hr = CreateElementByClsid(CLSID_CCallfeed, kRendererName, &pRendererRaw);
    CElementPtr pRenderer(pRendererRaw);
    if (FAILED(hr))
        return hr;
    if (!gst_bin_add(GST_BIN(pGraph.get()), pRenderer.get()))
        return E_FAIL;
    m_pEvents->Attach(pGraph.get());
    if (m_nPort != 0)
        g_object_set(pRenderer.get(), "port", m_nPort, nullptr);
    if (!m_strCaptureSource.empty())
        g_object_set(pRenderer.get(), "capture-source", m_strCaptureSource.c_str(), nullptr);
    g_object_set(pRenderer.get(), "mix-output", m_strMixOutput.c_str(), "local-output",
                 LocalOutput().c_str(), nullptr);
    hr = CCallfeedControl(pRenderer.get()).StartTransmission();
    if (FAILED(hr)) {
        // A failed start has already stopped whatever it had started; what
        // it posted on the way (why it failed) is still delivered.
        gst_element_set_state(pGraph.get(), GST_STATE_NULL);
        CGraphEvents::Detach(pGraph.get());
        return hr;
    }
    m_pGraph = std::move(pGraph);
    m_pRenderer = std::move(pRenderer);
    m_bLoaded = false;
    return S_OK;
}

HRESULT CDSPlayer::OpenWithGain(const std::filesystem::path& path, double dGainDb)
{
    m_dChainGainDb = dGainDb;
    if (EndsWithNoCase(path, ".wma") || EndsWithNoCase(path, ".asf"))
        return OpenWithSource(path, FileSource::SelfDecoding);
    const HRESULT hr = OpenWithSource(path, FileSource::Plain);
    if (SUCCEEDED(hr))
        return hr;
    // The second route's failure stands, unless only the first one's names
    // its cause: decodebin may keep an element's error to itself and post a
    // general one instead, depending on when the element fails.
    const std::string strFirstError = m_strLastError;
    const bool bFirstGeneric = m_bLastErrorGeneric;
    const HRESULT hrSecond = OpenWithSource(path, FileSource::SelfDecoding);
    if (SUCCEEDED(hrSecond) || bFirstGeneric || !m_bLastErrorGeneric)
        return hrSecond;
    m_hrLastError = hr;
    m_strLastError = strFirstError;
    m_bLastErrorGeneric = false;
    return hr;
}

HRESULT CDSPlayer::OpenAsync(const std::filesystem::path& path)
{
    if (m_bOpening) {
        m_nextFile.emplace(path, m_dTrackGainDb);
        ++m_nOpening; // the one under way is no longer reported
        return S_FALSE;
    }
    if (!m_pGraph)
        return E_FAIL;
    if (m_bLoaded && m_strFile.native() == path.native())
        return S_OK;
    StartOpening(path, m_dTrackGainDb);
    return S_FALSE;
}

void CDSPlayer::StartOpening(std::filesystem::path path, double dGainDb)
{
    m_bOpening = true;
    const std::uint64_t nOpening = ++m_nOpening;
    if (!m_pOpener)
        m_pOpener = std::make_unique<CFileOpener>();
    m_pOpener->Post([this, path = std::move(path), dGainDb, nOpening] {
        const HRESULT hr = OpenWithGain(path, dGainDb);
        m_pEvents->QueueOpened(nOpening, hr, FAILED(hr) ? m_strLastError : std::string());
    });
}

void CDSPlayer::OnOpeningEnded(const CGraphEvent& event)
{
    if (event.m_nOpening == m_nOpening) {
        m_bOpening = false;
        if (m_pCallback != nullptr)
            m_pCallback->OnFileOpened(event.m_hr);
        return;
    }
    if (m_nextFile) {
        auto [next, dGainDb] = std::move(*m_nextFile);
        m_nextFile.reset();
        StartOpening(std::move(next), dGainDb);
        return;
    }
    // Stopped while it opened: the file stays open, stopped at its start.
    m_bOpening = false;
    m_bStopped = true;
}

bool CDSPlayer::WaitOpeningIdle(std::chrono::milliseconds timeout)
{
    return !m_pOpener || m_pOpener->WaitIdle(timeout);
}

HRESULT CDSPlayer::OpenWithSource(const std::filesystem::path& path, FileSource source)
{
    if (m_bLoaded) {
        if (m_strFile.native() == path.native())
            return S_OK;
        Close();
    }
    if (!m_pGraph)
        return E_FAIL;
    ClearLastError();
    const std::uint64_t nSerial = m_pEvents->NextSerial();
    m_pEvents->ResetForFile(path.filename().string());
    HRESULT hr = BuildFileChain(path, source);
    std::optional<CGraphEvent> error;
    if (SUCCEEDED(hr)) {
        if (gst_element_set_state(m_pGraph.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            hr = m_pEvents->WaitPreroll(nSerial, std::chrono::milliseconds(0), &error);
        else
            hr = m_pEvents->WaitPreroll(nSerial, kOpenTimeout, &error);
    }
    if (FAILED(hr)) {
        Close();
        // Late errors of the failed chain must not reach the callback. They
        // may name the cause that a bin's earlier general error did not:
        // with the chain stopped, every element has said what it had to.
        std::optional<CGraphEvent> late = m_pEvents->TakeErrorsSince(nSerial);
        if (error && error->m_bGeneric && late && !late->m_bGeneric)
            error = std::move(late);
        m_bLastErrorGeneric = !error || error->m_bGeneric;
        if (error) {
            hr = error->m_hr;
            m_strLastError = error->m_strText;
        } else if (hr == VFW_E_TIMEOUT) {
            m_strLastError = "The file did not start in time.";
        }
        m_hrLastError = hr;
        return hr;
    }
    m_bLoaded = true;
    m_bStopped = false;
    m_strFile = path;
    const HRESULT hrPause = SetState(GST_STATE_PAUSED);
    Seek(0);
    return hrPause;
}

void CDSPlayer::Close()
{
    m_bLoaded = false;
    if (!m_pGraph)
        return;
    gst_element_set_state(m_pGraph.get(), GST_STATE_NULL);
    std::vector<CElementPtr> toRemove;
    GstIterator* pIterator = gst_bin_iterate_elements(GST_BIN(m_pGraph.get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(pIterator, &item) == GST_ITERATOR_OK) {
        auto* pElement = GST_ELEMENT(g_value_get_object(&item));
        if (pElement != m_pRenderer.get())
            toRemove.emplace_back(GST_ELEMENT(gst_object_ref(pElement)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pIterator);
    for (const CElementPtr& pElement : toRemove)
        gst_bin_remove(GST_BIN(m_pGraph.get()), pElement.get());
}

HRESULT CDSPlayer::SetState(GstState state)
{
    if (!HasFile())
        return E_FAIL;
    const std::uint64_t nSerial = m_pEvents->NextSerial();
    switch (gst_element_set_state(m_pGraph.get(), state)) {
    case GST_STATE_CHANGE_FAILURE: {
        std::optional<CGraphEvent> error = m_pEvents->TakeErrorsSince(nSerial);
        m_hrLastError = error ? error->m_hr : E_FAIL;
        m_strLastError = error ? error->m_strText : std::string();
        return m_hrLastError;
    }
    case GST_STATE_CHANGE_ASYNC:
        return S_FALSE;
    default:
        return S_OK;
    }
}

HRESULT CDSPlayer::Run()
{
    if (m_bOpening)
        return E_FAIL;
    const HRESULT hr = SetState(GST_STATE_PLAYING);
    if (SUCCEEDED(hr))
        m_bStopped = false;
    return hr;
}

HRESULT CDSPlayer::Pause()
{
    if (m_bOpening)
        return E_FAIL;
    const HRESULT hr = SetState(GST_STATE_PAUSED);
    if (SUCCEEDED(hr))
        m_bStopped = false;
    return hr;
}

// Stopped is paused where it stopped, and reads as neither paused nor
// running: a Run goes on from there, and Play starts over by seeking to 0.
HRESULT CDSPlayer::Stop()
{
    if (m_bOpening) {
        m_nextFile.reset();
        ++m_nOpening; // cancelled: its end is not reported
        return S_OK;
    }
    const HRESULT hr = SetState(GST_STATE_PAUSED);
    if (FAILED(hr))
        return hr;
    const gint64 nAt = PositionNs();
    // A flushing seek to where it stopped: what the renderer still holds of
    // the file, its end among it, goes, and a Run plays on from there.
    gst_element_seek_simple(m_pGraph.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                            std::max<gint64>(nAt, 0));
    m_bStopped = true;
    return S_OK;
}

bool CDSPlayer::QueryState(GstState* pState)
{
    if (!CanAct())
        return false;
    GstState pending = GST_STATE_VOID_PENDING;
    return gst_element_get_state(m_pGraph.get(), pState, &pending, kStateTimeout) !=
           GST_STATE_CHANGE_FAILURE;
}

bool CDSPlayer::IsPaused()
{
    GstState state = GST_STATE_NULL;
    return QueryState(&state) && state == GST_STATE_PAUSED && !m_bStopped;
}

bool CDSPlayer::IsRunning()
{
    GstState state = GST_STATE_NULL;
    return QueryState(&state) && state == GST_STATE_PLAYING;
}

std::uint32_t CDSPlayer::GetDuration()
{
    gint64 nDuration = 0;
    if (!CanAct() || !gst_element_query_duration(m_pGraph.get(), GST_FORMAT_TIME, &nDuration) ||
        nDuration < 0)
        return 0;
    return static_cast<std::uint32_t>(nDuration / GST_SECOND);
}

// The renderer knows what the call heard; the pipeline, further along the
// file by what is queued for the call, only where a seek or the open put it.
std::uint32_t CDSPlayer::GetPosition()
{
    return CanAct() ? static_cast<std::uint32_t>(std::max<gint64>(PositionNs(), 0) / GST_SECOND)
                    : 0;
}

// Where the call is in the file (the renderer's heard position), else where
// the pipeline is; -1 when neither can tell.
gint64 CDSPlayer::PositionNs()
{
    gint64 nPosition = -1;
    g_object_get(m_pRenderer.get(), "position", &nPosition, nullptr);
    if (nPosition < 0 && !gst_element_query_position(m_pGraph.get(), GST_FORMAT_TIME, &nPosition))
        return -1;
    return nPosition;
}

bool CDSPlayer::SetPosition(std::int32_t nSeconds)
{
    return !m_bOpening && Seek(nSeconds);
}

bool CDSPlayer::Seek(std::int32_t nSeconds)
{
    if (!HasFile() || nSeconds < 0)
        return false;
    const gint64 nPosition = static_cast<gint64>(nSeconds) * static_cast<gint64>(GST_SECOND);
    return gst_element_seek_simple(m_pGraph.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                   nPosition) != FALSE;
}

bool CDSPlayer::SetLocalVolume(std::int32_t nVolume)
{
    if (!m_pRenderer)
        return false;
    const double dFactor = nVolume <= -10000 ? 0.0 : std::pow(10.0, std::min(nVolume, 0) / 2000.0);
    g_object_set(m_pRenderer.get(), "local-volume", dFactor, nullptr);
    return true;
}

std::string CDSPlayer::LocalOutput() const
{
    if (!m_strAudioSink.empty())
        return m_strAudioSink;
    const char* pszEnv = std::getenv("VOXREEL_AUDIO_SINK");
    return pszEnv != nullptr && *pszEnv != '\0' ? pszEnv : "autoaudiosink";
}

bool CDSPlayer::SetRemoteVolume(std::int32_t nLevel)
{
    return m_pRenderer && SUCCEEDED(CCallfeedControl(m_pRenderer.get()).SetVolume(nLevel));
}

bool CDSPlayer::SetRemoteBalance(std::int32_t nBalance)
{
    return m_pRenderer && SUCCEEDED(CCallfeedControl(m_pRenderer.get()).SetBalance(nBalance));
}

void CDSPlayer::StopTransmission()
{
    if (m_pRenderer)
        CCallfeedControl(m_pRenderer.get()).StopTransmission();
}

// Drains every queued event; a callback may close, open and run the next
// file before the loop goes on.
void CDSPlayer::DeliverEvents()
{
    while (std::optional<CGraphEvent> event = m_pEvents->PopEvent(m_bOpening)) {
        if (event->m_kind == CGraphEvent::Kind::Opened) {
            OnOpeningEnded(*event);
            continue;
        }
        if (event->m_kind == CGraphEvent::Kind::ErrorAbort) {
            m_hrLastError = event->m_hr;
            m_strLastError = event->m_strText;
        }
        if (m_pCallback == nullptr)
            continue;
        switch (event->m_kind) {
        case CGraphEvent::Kind::Complete:
            m_pCallback->OnPlaybackCompleted();
            break;
        case CGraphEvent::Kind::ErrorAbort:
            m_pCallback->OnPlaybackFailed(event->m_hr, event->m_strText);
            break;
        case CGraphEvent::Kind::RendererNotice:
            m_pCallback->OnRendererNotice(event->m_nCode, event->m_nValue);
            break;
        case CGraphEvent::Kind::Opened:
            break;
        }
    }
}

bool CDSPlayer::TakeCallLevels(CallLevels* pLevels)
{
    return ::TakeCallLevels(m_pRenderer.get(), pLevels);
}
