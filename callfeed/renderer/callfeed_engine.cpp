#include "callfeed_engine.h"

#include <chrono>
#include <cstdlib>

#include "voxreel/ids.h"

namespace {

constexpr std::chrono::milliseconds kPacingPeriod{100};
// 16-bit samples per second of the outputs' 48 kHz stereo.
constexpr std::uint32_t kOutputSamplesPerSecond = 48000 * 2;
// What each output's appsrc may hold beyond its sink's buffer: three ticks,
// so a late tick with the lead does not cost audio, and a stalled output no
// more than 300 ms of delay once it resumes.
constexpr std::uint32_t kOutputQueueBytes = 3 * kOutputSamplesPerSecond * 2 / 10;

} // namespace

CCallfeedEngine::CCallfeedEngine(NotifyFn notify)
    : m_notify(std::move(notify)), m_nPort(kDefaultCallfeedPort),
      m_server([this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_mixer(
          m_queue, m_sendRing, m_levels, [this](SendBlock& block) { m_server.Submit(block); },
          [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }, &m_callStage),
      m_reader(m_captureRing,
               [this](const std::int16_t* pCapture, std::uint32_t cbLength) {
                   m_cbCallFed += cbLength;
                   m_mixer.FeedBlocks(pCapture, cbLength);
               }),
      m_wideMixer(
          m_wideQueue, m_levels, [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); },
          &m_wideStage),
      m_wideReader(m_wideCaptureRing,
                   [this](const std::int16_t* pCapture, std::uint32_t cbLength) {
                       m_wideMixer.Feed(pCapture, cbLength);
                   }),
      m_captureKeeper(
          m_capture,
          [this] {
              return m_capture.Start(EffectiveCaptureSource(), m_captureRing,
                                     m_bWideCapture ? &m_wideCaptureRing : nullptr);
          },
          [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_mixOutput(kWideCaps, kOutputSamplesPerSecond, kOutputQueueBytes,
                  [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_localOutput(kWideCaps, kOutputSamplesPerSecond, kOutputQueueBytes,
                    [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_strCaptureSource(kDefaultCaptureSource)
{
}

CCallfeedEngine::~CCallfeedEngine()
{
    Shutdown();
}

HRESULT CCallfeedEngine::SetPort(int nPort)
{
    std::lock_guard lock(m_controlMutex);
    m_server.Stop();
    m_nPort.store(nPort, std::memory_order_relaxed);
    return m_server.Start(nPort);
}

HRESULT CCallfeedEngine::StartTransmission()
{
    std::lock_guard lock(m_controlMutex);
    if (m_bCapturing)
        return S_FALSE; // already transmitting: the running stream is left alone
    // A server started by SetPort keeps serving; capture joins it.
    if (!m_server.HasThread()) {
        const HRESULT hr = m_server.Start(GetPort());
        if (FAILED(hr)) {
            Notify(NOTIFY_NETWORK_ERROR, static_cast<std::uint32_t>(hr));
            return hr;
        }
    }
    const HRESULT hr = StartCapture();
    if (FAILED(hr)) {
        m_server.Stop();
        Notify(NOTIFY_CAPTURE_ERROR, static_cast<std::uint32_t>(hr));
        return hr;
    }
    Notify(NOTIFY_CAPTURE_STARTED, 0);
    return S_OK;
}

HRESULT CCallfeedEngine::StopTransmission()
{
    std::lock_guard lock(m_controlMutex);
    m_server.Stop();
    StopCapture();
    Notify(NOTIFY_CAPTURE_STOPPED, 0);
    return S_OK;
}

void CCallfeedEngine::Shutdown()
{
    std::lock_guard lock(m_controlMutex);
    m_server.Stop(); // joins the server thread: no send is outstanding after it
    StopCapture();
    m_heardWait.Abort();
    m_queue.Flush();
    m_wideQueue.Flush();
}

HRESULT CCallfeedEngine::StartCapture()
{
    const std::string strMixOutput = GetMixOutput(), strLocalOutput = GetLocalOutput();
    m_bWideCapture = !strMixOutput.empty() || !strLocalOutput.empty();
    m_captureRing.Reset();
    m_wideCaptureRing.Reset();
    HRESULT hr = m_capture.Start(EffectiveCaptureSource(), m_captureRing,
                                 m_bWideCapture ? &m_wideCaptureRing : nullptr);
    if (FAILED(hr))
        return hr;
    m_sendRing.Reset();
    m_captureKeeper.Reset();
    m_reader.Reset();
    m_wideReader.Reset();
    // The outputs are further listeners: their failures (posted by them)
    // leave the port running.
    if (!strMixOutput.empty())
        m_mixOutput.Start(strMixOutput);
    if (!strLocalOutput.empty())
        m_localOutput.Start(strLocalOutput);
    hr = m_pacing.Start(kPacingPeriod, [this] { OnTick(); });
    if (FAILED(hr)) {
        StopOutputs();
        m_capture.Stop();
        return hr;
    }
    m_bCapturing = true;
    m_bTransmitting.store(true);
    return S_OK;
}

void CCallfeedEngine::StopCapture()
{
    m_pacing.Stop(); // no tick runs once this returns
    m_bTransmitting.store(false);
    m_heardWait.Wake(); // an end of stream no longer waits for the mixer
    StopOutputs();
    m_capture.Stop();
    m_bCapturing = false;
}

// Both stop at once, so two stuck outputs cost one bounded wait, not two.
void CCallfeedEngine::StopOutputs()
{
    m_mixOutput.BeginStop();
    m_localOutput.BeginStop();
    m_mixOutput.EndStop();
    m_localOutput.EndStop();
}

void CCallfeedEngine::OnTick()
{
    const std::int64_t nCallStart = m_queue.Position();
    m_cbCallFed = 0;
    m_captureKeeper.OnTick(m_captureRing, m_bWideCapture ? &m_wideCaptureRing : nullptr);
    m_reader.OnPacingTick();
    const bool bCallMixed = m_queue.Position() != nCallStart;
    m_wideMixer.BeginTick(bCallMixed ? nCallStart : CPlaybackQueue::kNoPosition);
    if (m_bWideCapture) {
        m_wideReader.OnPacingTick();
        const std::vector<std::int16_t>& mix = m_wideMixer.Mix();
        const std::vector<std::int16_t>& playback = m_wideMixer.Playback();
        m_mixOutput.Push(mix.data(), mix.size());
        m_localOutput.Push(playback.data(), playback.size());
    } else {
        m_wideMixer.Skip(m_cbCallFed / 2 * kWideSamplesPerCallSample);
    }
    m_heardWait.Wake();
}

void CCallfeedEngine::WaitUntilHeard(bool bWideLinked)
{
    m_queue.SetEnded();
    m_heardWait.Wait([&] {
        if (!m_bTransmitting.load() || !m_bStreaming.load())
            return true;
        if (m_queue.Count() > 0)
            return false;
        return !bWideLinked || (m_wideQueue.IsEnded() && m_wideQueue.Count() == 0);
    });
}

void CCallfeedEngine::EndWide()
{
    m_wideQueue.SetEnded();
    m_heardWait.Wake();
}

void CCallfeedEngine::SetStreaming(bool bStreaming)
{
    m_bStreaming.store(bStreaming);
    m_heardWait.Abort();
}

void CCallfeedEngine::SetMixOutput(std::string strOutput)
{
    bool bChanged = false;
    {
        std::lock_guard lock(m_sourceMutex);
        bChanged = strOutput != m_strMixOutput;
        m_strMixOutput = strOutput;
    }
    std::lock_guard lock(m_controlMutex);
    // None stops a running one at once: its device may be about to go, and
    // a stream into a vanishing sink is moved to the user's speakers.
    if (strOutput.empty()) {
        m_mixOutput.Stop();
        return;
    }
    // Another one starts at once while the wide mix is made: its device may
    // have come up after the transmission started.
    if (bChanged && m_bCapturing && m_bWideCapture) {
        m_mixOutput.Stop();
        m_mixOutput.Start(strOutput);
    }
}

std::string CCallfeedEngine::GetMixOutput() const
{
    std::lock_guard lock(m_sourceMutex);
    return m_strMixOutput;
}

void CCallfeedEngine::SetLocalOutput(std::string strOutput)
{
    std::lock_guard lock(m_sourceMutex);
    m_strLocalOutput = std::move(strOutput);
}

std::string CCallfeedEngine::GetLocalOutput() const
{
    std::lock_guard lock(m_sourceMutex);
    return m_strLocalOutput;
}

void CCallfeedEngine::SetLocalVolume(double dVolume)
{
    std::lock_guard lock(m_sourceMutex);
    m_dLocalVolume.store(dVolume, std::memory_order_relaxed);
    m_localOutput.SetVolume(dVolume);
}

void CCallfeedEngine::SetCaptureSource(std::string strSource)
{
    std::lock_guard lock(m_sourceMutex);
    m_strCaptureSource = std::move(strSource);
}

std::string CCallfeedEngine::GetCaptureSource() const
{
    std::lock_guard lock(m_sourceMutex);
    return m_strCaptureSource;
}

std::string CCallfeedEngine::EffectiveCaptureSource() const
{
    const char* pszOverride = std::getenv(kCaptureSourceVariable);
    if (pszOverride != nullptr && *pszOverride != '\0')
        return pszOverride;
    return GetCaptureSource();
}
