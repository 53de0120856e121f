#include "callfeed_engine.h"

#include <chrono>
#include <cstdlib>

#include "voxreel/ids.h"

namespace {
constexpr std::chrono::milliseconds kPacingPeriod{100};
}

CCallfeedEngine::CCallfeedEngine(PostFn post)
    : m_notifier(std::move(post)), m_nPort(kDefaultCallfeedPort),
      m_server([this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_mixer(
          m_queue, m_sendRing, m_levels,
          [this](SendBlock& block) {
              m_mixOutput.Push(block.m_aData.data(), block.m_nFilled);
              m_server.Submit(block);
          },
          [this](int nCode, std::uint32_t nValue) { Notify(nCode, nValue); }),
      m_reader(m_captureRing,
               [this](const std::int16_t* pCapture, std::uint32_t cbLength) {
                   m_mixer.FeedBlocks(pCapture, cbLength);
               }),
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

void CCallfeedEngine::SetNotifyWindow(std::uint64_t nWindow, std::uint32_t nMessage)
{
    m_notifier.SetTarget(nWindow, nMessage);
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
    m_queue.Flush();
}

HRESULT CCallfeedEngine::StartCapture()
{
    m_captureRing.Reset();
    HRESULT hr = m_capture.Start(EffectiveCaptureSource(), m_captureRing);
    if (FAILED(hr))
        return hr;
    m_sendRing.Reset();
    m_reader.Reset();
    hr = m_pacing.Start(kPacingPeriod, [this] { m_reader.OnPacingTick(); });
    if (FAILED(hr)) {
        m_capture.Stop();
        return hr;
    }
    m_bCapturing = true;
    // The mix output is a second listener: its failure leaves the port running.
    if (const std::string strOutput = GetMixOutput(); !strOutput.empty()) {
        hr = m_mixOutput.Start(strOutput);
        if (FAILED(hr))
            Notify(NOTIFY_ERROR, static_cast<std::uint32_t>(hr));
    }
    return S_OK;
}

void CCallfeedEngine::StopCapture()
{
    m_pacing.Stop(); // no tick runs once this returns
    m_mixOutput.Stop();
    m_capture.Stop();
    m_bCapturing = false;
}

void CCallfeedEngine::SetMixOutput(std::string strOutput)
{
    std::lock_guard lock(m_sourceMutex);
    m_strMixOutput = std::move(strOutput);
}

std::string CCallfeedEngine::GetMixOutput() const
{
    std::lock_guard lock(m_sourceMutex);
    return m_strMixOutput;
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
