#include "wave_format.h"

#include <gst/audio/audio.h>

#include <cstring>
#include <limits>

namespace {

std::uint16_t FormatTagOf(const GstAudioFormatInfo* pInfo, bool bInterleaved)
{
    if (!bInterleaved || pInfo->width != pInfo->depth)
        return WAVE_FORMAT_EXTENSIBLE;
    if (GST_AUDIO_FORMAT_INFO_IS_FLOAT(pInfo))
        return WAVE_FORMAT_IEEE_FLOAT;
    return WAVE_FORMAT_PCM;
}

bool IsBigEndianMultiByte(const GstAudioFormatInfo* pInfo)
{
    return pInfo->width > 8 && pInfo->endianness != G_LITTLE_ENDIAN;
}

} // namespace

HRESULT WaveFormatFromCaps(const GstCaps* pCaps, WAVEFORMATEX* pFormat)
{
    if (pCaps == nullptr || pFormat == nullptr)
        return E_POINTER;
    if (gst_caps_get_size(pCaps) != 1 || !gst_caps_is_fixed(pCaps))
        return S_FALSE;
    const GstStructure* pStructure = gst_caps_get_structure(pCaps, 0);
    if (!gst_structure_has_name(pStructure, "audio/x-raw"))
        return S_FALSE;

    const char* pszFormat = gst_structure_get_string(pStructure, "format");
    int nRate = 0;
    int nChannels = 0;
    if (pszFormat == nullptr || !gst_structure_get_int(pStructure, "rate", &nRate) ||
        !gst_structure_get_int(pStructure, "channels", &nChannels) || nRate < 0 || nChannels < 0)
        return S_FALSE;
    const GstAudioFormatInfo* pInfo =
        gst_audio_format_get_info(gst_audio_format_from_string(pszFormat));
    if (pInfo == nullptr || pInfo->format == GST_AUDIO_FORMAT_UNKNOWN ||
        IsBigEndianMultiByte(pInfo))
        return S_FALSE;

    const char* pszLayout = gst_structure_get_string(pStructure, "layout");
    const bool bInterleaved = pszLayout == nullptr || std::strcmp(pszLayout, "interleaved") == 0;
    const std::uint64_t nBlockAlign =
        static_cast<std::uint64_t>(nChannels) * static_cast<std::uint64_t>(pInfo->width / 8);
    const std::uint64_t nAvgBytes = nBlockAlign * static_cast<std::uint64_t>(nRate);
    if (nBlockAlign > std::numeric_limits<std::uint16_t>::max() ||
        nAvgBytes > std::numeric_limits<std::uint32_t>::max())
        return S_FALSE;

    WAVEFORMATEX format;
    format.wFormatTag = FormatTagOf(pInfo, bInterleaved);
    format.nChannels = static_cast<std::uint16_t>(nChannels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(nRate);
    format.nAvgBytesPerSec = static_cast<std::uint32_t>(nAvgBytes);
    format.nBlockAlign = static_cast<std::uint16_t>(nBlockAlign);
    format.wBitsPerSample = static_cast<std::uint16_t>(pInfo->width);
    *pFormat = format;
    return S_OK;
}
