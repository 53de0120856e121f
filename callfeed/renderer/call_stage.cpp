#include "call_stage.h"

CCallStage::CCallStage(int nRate, int nChannels, const CCallOptions& options, CLevelBoard* pBoard)
    : m_nChannels(nChannels), m_options(options), m_talkOver(nRate), m_limiter(nRate, nChannels)
{
    if (pBoard != nullptr) {
        m_pMicMeter = std::make_unique<CLevelMeter>(nRate, *pBoard, CLevelBoard::Meter::Microphone);
        m_pMixMeter =
            std::make_unique<CLevelMeter>(nRate * nChannels, *pBoard, CLevelBoard::Meter::Call);
    }
}

void CCallStage::Listen(const std::int16_t* pMic, std::uint32_t nFrames)
{
    m_bLowered = m_talkOver.Follow(pMic, nFrames, m_options.TalkOver(), m_options.TalkOverDepthDb(),
                                   m_gains);
    if (m_pMicMeter)
        m_pMicMeter->Measure(pMic, nFrames);
}

const std::uint8_t* CCallStage::Playback(const std::uint8_t* pPlayback, std::uint32_t nFrames)
{
    if (!m_bLowered)
        return pPlayback;
    m_lowered.resize(static_cast<std::size_t>(nFrames) * m_nChannels);
    CTalkOver::Lower(m_lowered.data(), pPlayback, m_gains.data(), nFrames, m_nChannels);
    return reinterpret_cast<const std::uint8_t*>(m_lowered.data());
}

void CCallStage::Finish(std::int16_t* pMix, std::uint32_t nFrames)
{
    if (m_options.Limiter())
        m_limiter.Process(pMix, nFrames);
    else
        m_limiter.Reset();
    if (m_pMixMeter)
        m_pMixMeter->Measure(pMix, nFrames * static_cast<std::uint32_t>(m_nChannels));
}
