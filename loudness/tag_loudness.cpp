#include "tag_loudness.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace loudness {
namespace {

// ReplayGain 2 brings a track to 89 dB SPL, which it equates with -18 LUFS.
constexpr double kReplayGainReferenceSpl = 89.0;
constexpr double kReplayGainReferenceLufs = -18.0;
// The R128 gains of Opus refer to -23 LUFS, stored in 1/256 dB.
constexpr double kR128ReferenceLufs = -23.0;
constexpr const char* kR128TrackGain = "R128_TRACK_GAIN=";

std::optional<double> R128TrackGain(const GstTagList* pTags)
{
    const guint nCount = gst_tag_list_get_tag_size(pTags, GST_TAG_EXTENDED_COMMENT);
    const std::size_t nPrefix = std::strlen(kR128TrackGain);
    for (guint i = 0; i < nCount; ++i) {
        const gchar* pszComment = nullptr;
        if (!gst_tag_list_peek_string_index(pTags, GST_TAG_EXTENDED_COMMENT, i, &pszComment) ||
            g_ascii_strncasecmp(pszComment, kR128TrackGain, nPrefix) != 0)
            continue;
        char* pEnd = nullptr;
        const long nQ78 = std::strtol(pszComment + nPrefix, &pEnd, 10);
        if (pEnd != pszComment + nPrefix && *pEnd == '\0')
            return static_cast<double>(nQ78) / 256.0;
    }
    return std::nullopt;
}

} // namespace

std::optional<TrackLoudness> LoudnessFromTags(const GstTagList* pTags)
{
    if (pTags == nullptr)
        return std::nullopt;
    TrackLoudness loudness;
    loudness.origin = Origin::Tags;
    gdouble dGain = 0.0;
    if (gst_tag_list_get_double(pTags, GST_TAG_TRACK_GAIN, &dGain)) {
        gdouble dReference = kReplayGainReferenceSpl;
        gst_tag_list_get_double(pTags, GST_TAG_REFERENCE_LEVEL, &dReference);
        loudness.dLufs = kReplayGainReferenceLufs + (dReference - kReplayGainReferenceSpl) - dGain;
        gdouble dPeak = 0.0;
        if (gst_tag_list_get_double(pTags, GST_TAG_TRACK_PEAK, &dPeak) && dPeak > 0.0)
            loudness.peakDb = 20.0 * std::log10(dPeak);
        return loudness;
    }
    if (const std::optional<double> r128 = R128TrackGain(pTags)) {
        loudness.dLufs = kR128ReferenceLufs - *r128;
        return loudness;
    }
    return std::nullopt;
}

} // namespace loudness
