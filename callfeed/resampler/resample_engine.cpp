// CResampleEngine's streaming: mixdown, conversion and block delivery.
#include "resample_engine.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "input samples are read as native 16-bit little-endian values");

namespace {

std::int32_t LoadSample(const guint8* pBytes)
{
    std::int16_t nValue = 0;
    std::memcpy(&nValue, pBytes, sizeof nValue);
    return nValue;
}

} // namespace

CResampleEngine::CResampleEngine(GstElement* pElement, GstPad* pSinkPad, GstPad* pSrcPad)
    : m_pElement(pElement), m_pSinkPad(pSinkPad), m_pSrcPad(pSrcPad)
{
    int nError = 0;
    m_pConverter = src_new(SRC_SINC_BEST_QUALITY, 1, &nError);
}

CResampleEngine::~CResampleEngine()
{
    m_pPending.reset();
    SetPool(nullptr);
    if (m_pConverter != nullptr)
        src_delete(m_pConverter);
}

void CResampleEngine::SetSegment(const GstSegment& segment)
{
    m_tSegmentStart = segment.format == GST_FORMAT_TIME ? segment.start : 0;
}

GstFlowReturn CResampleEngine::Receive(GstBuffer* pBuffer)
{
    CBufferPtr pInput(pBuffer);
    if (!m_bHaveInput)
        return GST_FLOW_NOT_NEGOTIATED;
    if (!GetPool()) {
        // A restart drops the pool; the input format is still known.
        if (NegotiateOutput() != S_OK)
            return GST_FLOW_NOT_NEGOTIATED;
    }
    if (GST_BUFFER_FLAG_IS_SET(pBuffer, GST_BUFFER_FLAG_DISCONT)) {
        // The audio before the break ends here: what the converter holds of
        // it is written out before the converter starts afresh.
        const GstFlowReturn ret = DrainConverter();
        if (ret != GST_FLOW_OK)
            return ret;
    }
    if (m_tBase == GST_CLOCK_TIME_NONE)
        m_tBase = GST_BUFFER_PTS_IS_VALID(pBuffer) ? GST_BUFFER_PTS(pBuffer) : m_tSegmentStart;

    CBufferMap input(pBuffer, GST_MAP_READ);
    if (!input.IsMapped())
        return GST_FLOW_ERROR;
    const std::uint32_t cbFrame = GST_AUDIO_INFO_BPF(&m_inInfo);
    const gsize nFrames = input.Size() / cbFrame;
    GstFlowReturn ret = GST_FLOW_OK;
    for (gsize nDone = 0; nDone < nFrames;) {
        const auto nChunk =
            static_cast<std::uint32_t>(std::min<gsize>(nFrames - nDone, m_inBuffer.size()));
        MixDown(input.Data() + nDone * cbFrame, nChunk);
        ret = ConvertChunk(nChunk);
        if (ret != GST_FLOW_OK)
            break;
        nDone += nChunk;
    }
    return ret;
}

// Mono floats in -1..1 from a run of frames: the mean of all channels. Two
// channels sum exactly into 32 bits and scale by a power of two.
void CResampleEngine::MixDown(const guint8* pFrames, std::uint32_t nFrames)
{
    float* pOut = m_inBuffer.data();
    const std::uint32_t nChannels = GST_AUDIO_INFO_CHANNELS(&m_inInfo);
    const std::uint32_t cbFrame = GST_AUDIO_INFO_BPF(&m_inInfo);
    if (nChannels == 1) {
        for (std::uint32_t i = 0; i < nFrames; ++i)
            pOut[i] = static_cast<float>(LoadSample(pFrames + 2 * i)) / 32768.0f;
    } else if (nChannels == 2) {
        for (std::uint32_t i = 0; i < nFrames; ++i) {
            const std::int32_t nSum = LoadSample(pFrames + 4 * i) + LoadSample(pFrames + 4 * i + 2);
            pOut[i] = static_cast<float>(nSum) / 65536.0f;
        }
    } else {
        const double dScale = 1.0 / (32768.0 * nChannels);
        for (std::uint32_t i = 0; i < nFrames; ++i) {
            const guint8* pFrame = pFrames + std::size_t{i} * cbFrame;
            std::int64_t nSum = 0;
            for (std::uint32_t c = 0; c < nChannels; ++c)
                nSum += LoadSample(pFrame + 2 * c);
            pOut[i] = static_cast<float>(static_cast<double>(nSum) * dScale);
        }
    }
}

double CResampleEngine::Ratio() const
{
    return static_cast<double>(kResampleTargetRate) / GST_AUDIO_INFO_RATE(&m_inInfo);
}

// Runs one chunk through the converter. The converter is asked again until it
// has taken the whole chunk, so no input is lost even if it ran short of room.
GstFlowReturn CResampleEngine::ConvertChunk(std::uint32_t nFrames)
{
    SRC_DATA data{};
    data.data_in = m_inBuffer.data();
    data.input_frames = nFrames;
    data.data_out = m_outBuffer.data();
    data.output_frames = static_cast<long>(m_outBuffer.size());
    data.end_of_input = 0;
    data.src_ratio = Ratio();
    while (data.input_frames > 0) {
        const int nError = src_process(m_pConverter, &data);
        if (nError != 0 || (data.input_frames_used == 0 && data.output_frames_gen == 0)) {
            GST_ELEMENT_ERROR(m_pElement, STREAM, FAILED, ("Sample rate conversion failed."),
                              ("libsamplerate: %s", src_strerror(nError)));
            return GST_FLOW_ERROR;
        }
        const GstFlowReturn ret =
            WriteOutput(m_outBuffer.data(), static_cast<std::size_t>(data.output_frames_gen));
        if (ret != GST_FLOW_OK)
            return ret;
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
    }
    return GST_FLOW_OK;
}

// Signals the end of input so that the converter lets go of the audio its
// filter still holds (about 9 ms), writes that out, and resets the converter
// for whatever follows. Without it every stream would lose its last moments
// and a sound that ends at full level would end in a click.
GstFlowReturn CResampleEngine::DrainConverter()
{
    if (!m_bHaveInput || m_pConverter == nullptr)
        return GST_FLOW_OK;
    SRC_DATA data{};
    data.data_in = m_inBuffer.data(); // nothing is read, but it must not be null
    data.data_out = m_outBuffer.data();
    data.output_frames = static_cast<long>(m_outBuffer.size());
    data.end_of_input = 1;
    data.src_ratio = Ratio();
    GstFlowReturn ret = GST_FLOW_OK;
    do {
        if (src_process(m_pConverter, &data) != 0)
            break;
        ret = WriteOutput(m_outBuffer.data(), static_cast<std::size_t>(data.output_frames_gen));
    } while (ret == GST_FLOW_OK && data.output_frames_gen > 0);
    src_reset(m_pConverter);
    return ret;
}

GstFlowReturn CResampleEngine::WriteOutput(const float* pSamples, std::size_t nSamples)
{
    while (nSamples > 0) {
        if (IsInputFlushing()) {
            m_pPending.reset();
            return GST_FLOW_FLUSHING;
        }
        if (!m_pPending) {
            const GstFlowReturn ret = AcquireBlock();
            if (ret != GST_FLOW_OK)
                return ret;
        }
        const std::size_t nRoom = (m_cbBlock - m_cbPending) / 2;
        const std::size_t nWrite = std::min(nSamples, nRoom);
        {
            CBufferMap block(m_pPending.get(), GST_MAP_WRITE);
            if (!block.IsMapped() || block.Size() < m_cbBlock)
                return GST_FLOW_ERROR;
            auto* pOut = reinterpret_cast<short*>(block.Data() + m_cbPending);
            src_float_to_short_array(pSamples, pOut, static_cast<int>(nWrite));
        }
        pSamples += nWrite;
        nSamples -= nWrite;
        m_cbPending += 2 * nWrite;
        m_nSamplesOut += nWrite;
        if (m_cbPending == m_cbBlock) {
            const GstFlowReturn ret = DeliverPending();
            if (ret != GST_FLOW_OK)
                return ret;
        }
    }
    return GST_FLOW_OK;
}

// Waits for a free block when downstream holds all of them: that wait is what
// holds upstream back.
GstFlowReturn CResampleEngine::AcquireBlock()
{
    CBufferPoolPtr pPool = GetPool();
    if (!pPool)
        return GST_FLOW_NOT_NEGOTIATED;
    GstBuffer* pBlock = nullptr;
    const GstFlowReturn ret = gst_buffer_pool_acquire_buffer(pPool.get(), &pBlock, nullptr);
    if (ret != GST_FLOW_OK)
        return ret;
    m_pPending.reset(pBlock);
    m_cbPending = 0;
    m_nBlockFirst = m_nSamplesOut;
    return GST_FLOW_OK;
}

// Stamps the pending block from the count of samples written since the
// stream's base time, so consecutive blocks meet exactly, and pushes it.
GstFlowReturn CResampleEngine::DeliverPending()
{
    GstBuffer* pBlock = m_pPending.release();
    if (gst_buffer_get_size(pBlock) != m_cbPending)
        gst_buffer_set_size(pBlock, static_cast<gssize>(m_cbPending));
    const GstClockTime tStart =
        m_tBase + gst_util_uint64_scale_int(m_nBlockFirst, GST_SECOND, kResampleTargetRate);
    const GstClockTime tEnd =
        m_tBase + gst_util_uint64_scale_int(m_nSamplesOut, GST_SECOND, kResampleTargetRate);
    GST_BUFFER_PTS(pBlock) = tStart;
    GST_BUFFER_DTS(pBlock) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(pBlock) = tEnd - tStart;
    GST_BUFFER_OFFSET(pBlock) = m_nBlockFirst;
    GST_BUFFER_OFFSET_END(pBlock) = m_nSamplesOut;
    if (m_bDiscont)
        GST_BUFFER_FLAG_SET(pBlock, GST_BUFFER_FLAG_DISCONT);
    m_bDiscont = false;
    m_cbPending = 0;
    return gst_pad_push(m_pSrcPad, pBlock);
}

bool CResampleEngine::IsInputFlushing() const
{
    GST_OBJECT_LOCK(m_pSinkPad);
    const bool bFlushing = GST_PAD_IS_FLUSHING(m_pSinkPad);
    GST_OBJECT_UNLOCK(m_pSinkPad);
    return bFlushing;
}

void CResampleEngine::EndOfStream()
{
    if (DrainConverter() == GST_FLOW_OK && m_pPending && m_cbPending > 0)
        DeliverPending();
    m_pPending.reset();
    m_cbPending = 0;
}

void CResampleEngine::BeginFlush()
{
    SetPoolFlushing(true);
}

void CResampleEngine::EndFlush()
{
    ResetStream();
    SetPoolFlushing(false);
}

void CResampleEngine::StopStreaming()
{
    ResetStream();
    m_tSegmentStart = 0;
    SetPool(nullptr);
}

// Audio from before a flush or a stop must not reach the next stream: the
// half-filled block and the converter's history go, and the timeline restarts
// at the next buffer's time.
void CResampleEngine::ResetStream()
{
    m_pPending.reset();
    m_cbPending = 0;
    if (m_pConverter != nullptr)
        src_reset(m_pConverter);
    m_tBase = GST_CLOCK_TIME_NONE;
    m_nSamplesOut = 0;
    m_nBlockFirst = 0;
    m_bDiscont = true;
}
