// CResampleEngine's negotiation: which input it takes, the output it offers,
// the output pool it fills, and the working arrays sized for the input.
#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "resample_engine.h"
#include "resampler_debug.h"

namespace {

// The converter's input chunk: buffers in a stream have no fixed size.
constexpr std::size_t kChunkFrames = 8192;
// Slack in the output array beyond a chunk at the conversion ratio.
constexpr std::size_t kOutSlackFrames = 256;
constexpr guint kBytesPerSample = 2;
// Blocks in the pool when downstream asks for no particular count, and their
// size when it asks for no particular size: half a second.
constexpr guint kDefaultBlockCount = 2;
constexpr guint kDefaultBlockBytes = kBytesPerSample * kResampleTargetRate / 2;

// Sizes an array to nFrames floats unless it is already at least as large.
HRESULT GrowArray(std::vector<float>& array, std::size_t nFrames)
{
    if (nFrames <= array.size())
        return S_OK;
    try {
        array.resize(nFrames);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

GstCaps* NewOutputCaps()
{
    return gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                               G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                               static_cast<int>(kResampleTargetRate), "channels", G_TYPE_INT, 1,
                               nullptr);
}

// Channel positions do not matter to a mixdown to mono, and caps of more than
// two channels may come without them, which GstAudioInfo would refuse: such
// channels are read as unpositioned.
bool ReadAudioInfo(GstCaps* pCaps, GstAudioInfo* pInfo)
{
    if (pCaps == nullptr || gst_caps_get_size(pCaps) != 1)
        return false;
    CCapsPtr pCopy(gst_caps_copy(pCaps));
    GstStructure* pStructure = gst_caps_get_structure(pCopy.get(), 0);
    int nChannels = 0;
    if (gst_structure_get_int(pStructure, "channels", &nChannels) && nChannels > 2 &&
        !gst_structure_has_field(pStructure, "channel-mask"))
        gst_structure_set(pStructure, "channel-mask", GST_TYPE_BITMASK, guint64{0}, nullptr);
    return gst_audio_info_from_caps(pInfo, pCopy.get());
}

// 16-bit interleaved samples at a rate whose ratio to 16 kHz the converter
// takes (1/256 to 256); any channel count, mixed down to mono.
bool IsUsableInput(const GstAudioInfo& info)
{
    if (GST_AUDIO_INFO_FORMAT(&info) != GST_AUDIO_FORMAT_S16 ||
        GST_AUDIO_INFO_LAYOUT(&info) != GST_AUDIO_LAYOUT_INTERLEAVED ||
        GST_AUDIO_INFO_CHANNELS(&info) <= 0 || GST_AUDIO_INFO_RATE(&info) <= 0)
        return false;
    return src_is_valid_ratio(static_cast<double>(kResampleTargetRate) /
                              GST_AUDIO_INFO_RATE(&info)) != 0;
}

// The block count and size downstream asked for in its answer to the
// allocation query (0 where it asked for nothing), with its alignment and
// prefix.
struct BlockRequest {
    guint nCount = 0;
    guint cbSize = 0;
    GstAllocationParams params;
};

BlockRequest RequestFromAnswer(GstQuery* pAnswer)
{
    BlockRequest request;
    gst_allocation_params_init(&request.params);
    if (pAnswer == nullptr)
        return request;
    if (gst_query_get_n_allocation_pools(pAnswer) > 0)
        gst_query_parse_nth_allocation_pool(pAnswer, 0, nullptr, &request.cbSize, &request.nCount,
                                            nullptr);
    if (gst_query_get_n_allocation_params(pAnswer) > 0)
        gst_query_parse_nth_allocation_param(pAnswer, 0, nullptr, &request.params);
    return request;
}

// Sets the pool's configuration; a pool that amends it gets the amended one.
// Returns the buffer size the pool grants, or 0 when it refuses.
guint ApplyConfig(GstBufferPool* pPool, GstStructure* pConfig)
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

HRESULT CResampleEngine::SetInputCaps(GstCaps* pCaps)
{
    GstAudioInfo info;
    if (!ReadAudioInfo(pCaps, &info) || !IsUsableInput(info))
        return S_FALSE;
    m_inInfo = info;
    m_bHaveInput = true;
    const HRESULT hr = SizeArrays();
    if (FAILED(hr)) {
        m_bHaveInput = false;
        return hr;
    }
    return GetPool() ? S_OK : NegotiateOutput();
}

GstCaps* CResampleEngine::QueryOutputCaps(GstCaps* pFilter)
{
    GstCaps* pOffered = NewOutputCaps();
    if (pFilter == nullptr)
        return pOffered;
    GstCaps* pResult = gst_caps_intersect_full(pFilter, pOffered, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(pOffered);
    return pResult;
}

// The arrays only grow: a chunk of input, and its converted output at the
// ratio with some slack, so the converter never runs short of room.
HRESULT CResampleEngine::SizeArrays()
{
    const HRESULT hr = GrowArray(m_inBuffer, kChunkFrames);
    if (FAILED(hr))
        return hr;
    const std::size_t nOutFrames =
        std::size_t{kResampleTargetRate} * m_inBuffer.size() / GST_AUDIO_INFO_RATE(&m_inInfo) +
        kOutSlackFrames;
    return GrowArray(m_outBuffer, nOutFrames);
}

HRESULT CResampleEngine::NegotiateOutput()
{
    CCapsPtr pCaps(NewOutputCaps());
    if (!gst_pad_set_caps(m_pSrcPad, pCaps.get()))
        return S_FALSE;
    CQueryPtr pQuery(gst_query_new_allocation(pCaps.get(), TRUE));
    const bool bAnswered = gst_pad_peer_query(m_pSrcPad, pQuery.get());
    CBufferPoolPtr pPool(gst_buffer_pool_new());
    const HRESULT hr = ConfigurePool(pPool.get(), pCaps.get(), bAnswered ? pQuery.get() : nullptr);
    if (FAILED(hr)) {
        GST_WARNING("output pool refused: 0x%08X", static_cast<unsigned>(hr));
        return hr;
    }
    if (!gst_buffer_pool_set_active(pPool.get(), TRUE)) {
        GST_WARNING("output pool did not start");
        return E_OUTOFMEMORY;
    }
    GST_INFO("output blocks of %u bytes", static_cast<unsigned>(m_cbBlock));
    SetPool(std::move(pPool));
    return S_OK;
}

// A fixed number of blocks of downstream's size (rounded down to whole
// samples) or half a second; a block that cannot hold one sample would never
// fill, and a pool that grants less than asked is refused.
HRESULT CResampleEngine::ConfigurePool(GstBufferPool* pPool, GstCaps* pCaps, GstQuery* pAnswer)
{
    BlockRequest request = RequestFromAnswer(pAnswer);
    if (request.nCount == 0)
        request.nCount = kDefaultBlockCount;
    if (request.cbSize == 0)
        request.cbSize = kDefaultBlockBytes;
    request.cbSize -= request.cbSize % kBytesPerSample;
    if (request.cbSize < kBytesPerSample)
        return E_FAIL;

    GstStructure* pConfig = gst_buffer_pool_get_config(pPool);
    gst_buffer_pool_config_set_params(pConfig, pCaps, request.cbSize, request.nCount,
                                      request.nCount);
    gst_buffer_pool_config_set_allocator(pConfig, nullptr, &request.params);
    if (ApplyConfig(pPool, pConfig) < request.cbSize)
        return E_FAIL;
    m_cbBlock = request.cbSize;
    return S_OK;
}

void CResampleEngine::SetPool(CBufferPoolPtr pPool)
{
    CBufferPoolPtr pOld;
    {
        std::lock_guard lock(m_poolLock);
        pOld = std::exchange(m_pPool, std::move(pPool));
    }
    if (pOld)
        gst_buffer_pool_set_active(pOld.get(), FALSE);
}

CBufferPoolPtr CResampleEngine::GetPool() const
{
    std::lock_guard lock(m_poolLock);
    if (!m_pPool)
        return nullptr;
    return CBufferPoolPtr(GST_BUFFER_POOL(gst_object_ref(m_pPool.get())));
}

void CResampleEngine::SetPoolFlushing(bool bFlushing) const
{
    if (CBufferPoolPtr pPool = GetPool())
        gst_buffer_pool_set_flushing(pPool.get(), bFlushing);
}
