// CResampleFilter's negotiation: which input it takes, which output it offers,
// the output pool it fills, and the working arrays sized for the input.
#include <gst/audio/audio.h>

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "resample_filter.h"

namespace {

// The converter's input chunk never shrinks below this many frames.
constexpr std::uint32_t kMinChunkFrames = 8192;
// Slack in the output array beyond a chunk at the conversion ratio.
constexpr std::uint64_t kOutSlackFrames = 256;
constexpr std::int32_t kDefaultBufferCount = 2;
constexpr std::int32_t kBytesPerSample = 2;

// Sizes an array to nFrames floats unless it is already at least as large.
HRESULT GrowArray(std::vector<float>& array, std::uint32_t& nCapacity, std::uint64_t nFrames)
{
    if (!array.empty() && nFrames <= nCapacity)
        return S_OK;
    if (nFrames * sizeof(float) > std::numeric_limits<std::uint32_t>::max())
        return E_OUTOFMEMORY;
    try {
        std::vector<float> fresh(nFrames);
        array.swap(fresh);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    nCapacity = static_cast<std::uint32_t>(nFrames);
    return S_OK;
}

// What downstream asked for in its answer to the allocation query; zeros
// where it asked for nothing.
ALLOCATOR_PROPERTIES RequestFromQuery(GstQuery* pQuery)
{
    ALLOCATOR_PROPERTIES request;
    if (gst_query_get_n_allocation_pools(pQuery) > 0) {
        guint cbSize = 0;
        guint nMin = 0;
        guint nMax = 0;
        gst_query_parse_nth_allocation_pool(pQuery, 0, nullptr, &cbSize, &nMin, &nMax);
        const guint nLimit = std::numeric_limits<std::int32_t>::max();
        request.cbBuffer = static_cast<std::int32_t>(std::min(cbSize, nLimit));
        request.cBuffers = static_cast<std::int32_t>(std::min(nMin, nLimit));
    }
    if (gst_query_get_n_allocation_params(pQuery) > 0) {
        GstAllocationParams params;
        gst_query_parse_nth_allocation_param(pQuery, 0, nullptr, &params);
        request.cbAlign = static_cast<std::int32_t>(std::min<gsize>(params.align + 1, 1u << 20));
        request.cbPrefix = static_cast<std::int32_t>(std::min<gsize>(params.prefix, 1u << 20));
    }
    return request;
}

// Sets the pool's configuration; a pool that amends it gets the amended one.
// Returns the buffer size the pool grants, or 0 when it refuses.
guint ConfigurePool(GstBufferPool* pPool, GstStructure* pConfig)
{
    if (!gst_buffer_pool_set_config(pPool, pConfig)) {
        pConfig = gst_buffer_pool_get_config(pPool);
        if (!gst_buffer_pool_set_config(pPool, pConfig))
            return 0;
    }
    GstStructure* pGranted = gst_buffer_pool_get_config(pPool);
    guint cbGranted = 0;
    guint nMax = 0;
    const bool bRead =
        gst_buffer_pool_config_get_params(pGranted, nullptr, &cbGranted, nullptr, &nMax);
    gst_structure_free(pGranted);
    // An unbounded pool would let upstream run ahead of a stalled consumer.
    return bRead && nMax != 0 ? cbGranted : 0;
}

} // namespace

HRESULT CResampleFilter::CheckInputType(const WAVEFORMATEX& wfxIn)
{
    if (wfxIn.wFormatTag != WAVE_FORMAT_PCM || wfxIn.wBitsPerSample != 16)
        return S_FALSE;
    // The conversion divides by both; a channel count that disagrees with the
    // block alignment would read frames out of step.
    if (wfxIn.nChannels == 0 || wfxIn.nSamplesPerSec == 0 ||
        wfxIn.nBlockAlign != wfxIn.nChannels * kBytesPerSample)
        return S_FALSE;
    // Rates whose ratio to 16 kHz the converter refuses would fail every buffer.
    const double dRatio = 16000.0 / wfxIn.nSamplesPerSec;
    return src_is_valid_ratio(dRatio) ? S_OK : S_FALSE;
}

HRESULT CResampleFilter::GetMediaType(int iPosition, GstCaps** ppCaps) const
{
    if (ppCaps == nullptr)
        return E_POINTER;
    if (iPosition != 0)
        return VFW_S_NO_MORE_ITEMS;
    *ppCaps = gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
        "rate", G_TYPE_INT, static_cast<int>(m_nTargetRate), "channels", G_TYPE_INT, 1, nullptr);
    return *ppCaps != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CResampleFilter::CheckTransform(const WAVEFORMATEX& wfxIn, std::uint32_t cbInSample,
                                        const WAVEFORMATEX& wfxOut, std::uint32_t cbOutSample) const
{
    if (wfxIn.wFormatTag != WAVE_FORMAT_PCM || wfxOut.wFormatTag != WAVE_FORMAT_PCM)
        return S_FALSE;
    if (wfxOut.wBitsPerSample != 16 || wfxOut.nSamplesPerSec != m_nTargetRate ||
        wfxIn.nSamplesPerSec == 0)
        return S_FALSE;
    const std::uint64_t cbNeeded =
        std::uint64_t{cbInSample} * wfxOut.nSamplesPerSec / wfxIn.nSamplesPerSec;
    return cbOutSample >= cbNeeded ? S_OK : S_FALSE;
}

HRESULT CResampleFilter::DecideBufferSize(GstBufferPool* pPool, ALLOCATOR_PROPERTIES* pRequest,
                                          GstCaps* pCaps)
{
    if (pPool == nullptr || pRequest == nullptr)
        return E_POINTER;
    if (pRequest->cBuffers == 0)
        pRequest->cBuffers = kDefaultBufferCount;
    if (pRequest->cbBuffer == 0)
        pRequest->cbBuffer = static_cast<std::int32_t>(m_cbOutSample);
    // Blocks hold whole samples; one that cannot hold a single sample would
    // never fill.
    pRequest->cbBuffer -= pRequest->cbBuffer % kBytesPerSample;
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < kBytesPerSample || pRequest->cbAlign < 0 ||
        pRequest->cbPrefix < 0)
        return E_FAIL;

    GstStructure* pConfig = gst_buffer_pool_get_config(pPool);
    const auto nCount = static_cast<guint>(pRequest->cBuffers);
    gst_buffer_pool_config_set_params(pConfig, pCaps, static_cast<guint>(pRequest->cbBuffer),
                                      nCount, nCount);
    GstAllocationParams params;
    gst_allocation_params_init(&params);
    params.align = pRequest->cbAlign > 1 ? static_cast<gsize>(pRequest->cbAlign - 1) : 0;
    params.prefix = static_cast<gsize>(pRequest->cbPrefix);
    gst_buffer_pool_config_set_allocator(pConfig, nullptr, &params);

    const guint cbGranted = ConfigurePool(pPool, pConfig);
    if (static_cast<gint64>(cbGranted) < pRequest->cbBuffer)
        return E_FAIL;
    m_cbBlock = static_cast<gsize>(pRequest->cbBuffer);
    return S_OK;
}

HRESULT CResampleFilter::StartStreaming(const WAVEFORMATEX& wfxIn)
{
    if (wfxIn.nSamplesPerSec == 0 || wfxIn.nBlockAlign == 0)
        return E_FAIL;
    m_wfxIn = wfxIn;
    // Buffers in a stream have no fixed size, so the chunk is the minimum.
    HRESULT hr = GrowArray(m_inBuffer, m_nInCapacity, kMinChunkFrames);
    if (FAILED(hr))
        return hr;
    const std::uint64_t nOutFrames =
        std::uint64_t{m_nTargetRate} * m_nInCapacity / wfxIn.nSamplesPerSec + kOutSlackFrames;
    return GrowArray(m_outBuffer, m_nOutCapacity, nOutFrames);
}

HRESULT CResampleFilter::SetInputCaps(GstCaps* pCaps)
{
    WAVEFORMATEX wfxIn;
    if (WaveFormatFromCaps(pCaps, &wfxIn) != S_OK)
        return S_FALSE;
    HRESULT hr = CheckInputType(wfxIn);
    if (hr != S_OK)
        return hr;
    hr = StartStreaming(wfxIn);
    if (FAILED(hr))
        return hr;
    m_bHaveInput = true;
    return GetPool() ? S_OK : NegotiateOutput();
}

GstCaps* CResampleFilter::QueryOutputCaps(GstCaps* pFilter) const
{
    GstCaps* pOffered = gst_caps_new_empty();
    GstCaps* pType = nullptr;
    for (int i = 0; GetMediaType(i, &pType) == S_OK; ++i)
        pOffered = gst_caps_merge(pOffered, pType);
    if (pFilter == nullptr)
        return pOffered;
    GstCaps* pResult = gst_caps_intersect_full(pFilter, pOffered, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(pOffered);
    return pResult;
}

HRESULT CResampleFilter::NegotiateOutput()
{
    GstCaps* pRaw = nullptr;
    HRESULT hr = GetMediaType(0, &pRaw);
    if (FAILED(hr))
        return hr;
    CCapsPtr pCaps(pRaw);
    WAVEFORMATEX wfxOut;
    if (WaveFormatFromCaps(pCaps.get(), &wfxOut) != S_OK ||
        CheckTransform(m_wfxIn, 0, wfxOut, m_cbOutSample) != S_OK)
        return S_FALSE;
    if (!gst_pad_set_caps(m_pSrcPad, pCaps.get()))
        return S_FALSE;
    m_wfxOut = wfxOut;

    CQueryPtr pQuery(gst_query_new_allocation(pCaps.get(), TRUE));
    ALLOCATOR_PROPERTIES request;
    if (gst_pad_peer_query(m_pSrcPad, pQuery.get()))
        request = RequestFromQuery(pQuery.get());
    CBufferPoolPtr pPool(gst_buffer_pool_new());
    hr = DecideBufferSize(pPool.get(), &request, pCaps.get());
    if (FAILED(hr))
        return hr;
    if (!gst_buffer_pool_set_active(pPool.get(), TRUE))
        return E_OUTOFMEMORY;
    SetPool(std::move(pPool));
    return S_OK;
}

void CResampleFilter::SetPool(CBufferPoolPtr pPool)
{
    CBufferPoolPtr pOld;
    {
        std::lock_guard lock(m_poolLock);
        pOld = std::exchange(m_pPool, std::move(pPool));
    }
    if (pOld)
        gst_buffer_pool_set_active(pOld.get(), FALSE);
}

CBufferPoolPtr CResampleFilter::GetPool() const
{
    std::lock_guard lock(m_poolLock);
    if (!m_pPool)
        return nullptr;
    return CBufferPoolPtr(GST_BUFFER_POOL(gst_object_ref(m_pPool.get())));
}

void CResampleFilter::SetPoolFlushing(bool bFlushing) const
{
    if (CBufferPoolPtr pPool = GetPool())
        gst_buffer_pool_set_flushing(pPool.get(), bFlushing);
}
