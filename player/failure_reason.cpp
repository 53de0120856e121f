#include "failure_reason.h"

#include <gst/pbutils/pbutils.h>

#include <cstring>

#include "voxreel/gst_handle.h"

namespace {

// Where Debian 12 ships a decoder for each kind of sound (and for the
// containers decodebin looks into before a decoder). audio/mpeg is looked
// up by its version first.
struct PackageRow {
    const char* pszCapsName;
    const char* pszPackage;
};
constexpr PackageRow kDecoderPackages[] = {
    {"audio/x-flac", "gstreamer1.0-plugins-good"},
    {"audio/x-wavpack", "gstreamer1.0-plugins-good"},
    {"audio/x-speex", "gstreamer1.0-plugins-good"},
    {"audio/x-wav", "gstreamer1.0-plugins-good"},
    {"application/x-id3", "gstreamer1.0-plugins-good"},
    {"application/x-apetag", "gstreamer1.0-plugins-good"},
    {"video/quicktime", "gstreamer1.0-plugins-good"},
    {"audio/x-m4a", "gstreamer1.0-plugins-good"},
    {"video/x-matroska", "gstreamer1.0-plugins-good"},
    {"audio/x-vorbis", "gstreamer1.0-plugins-base"},
    {"audio/x-opus", "gstreamer1.0-plugins-base"},
    {"application/ogg", "gstreamer1.0-plugins-base"},
    {"audio/x-wma", "gstreamer1.0-libav"},
    {"audio/x-alac", "gstreamer1.0-libav"},
    {"audio/x-ape", "gstreamer1.0-libav"},
    {"audio/x-ac3", "gstreamer1.0-libav"},
    {"audio/x-eac3", "gstreamer1.0-libav"},
    {"audio/x-musepack", "gstreamer1.0-libav"},
    {"audio/x-ms-asf", "gstreamer1.0-plugins-ugly"},
    {"video/x-ms-asf", "gstreamer1.0-plugins-ugly"},
    {"audio/AMR", "gstreamer1.0-plugins-ugly"},
    {"audio/AMR-WB", "gstreamer1.0-plugins-ugly"},
    {"audio/x-aiff", "gstreamer1.0-plugins-bad"},
    {"audio/midi", "gstreamer1.0-plugins-bad"},
};

std::string TheFile(const std::string& strFileName)
{
    return strFileName.empty() ? "The file" : "The file \"" + strFileName + "\"";
}

std::string MissingDecoderReason(const std::string& strFileName, const MissingDecoder* pMissing)
{
    if (pMissing == nullptr || pMissing->strDescription.empty())
        return "No decoder for the sound in " +
               (strFileName.empty() ? std::string("the file") : "\"" + strFileName + "\"") +
               " is installed.";
    std::string strReason = "The " + pMissing->strDescription + " is not installed";
    if (const char* pszPackage = DebianPackageForDecoder(*pMissing))
        strReason += std::string(" (Debian package ") + pszPackage + ")";
    return strReason + ".";
}

std::string ResourceReason(gint nCode, const std::string& strFileName)
{
    switch (nCode) {
    case GST_RESOURCE_ERROR_NOT_FOUND:
        return TheFile(strFileName) + " does not exist.";
    case GST_RESOURCE_ERROR_OPEN_READ:
    case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
    case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
        return TheFile(strFileName) + " cannot be opened for reading.";
    case GST_RESOURCE_ERROR_READ:
    case GST_RESOURCE_ERROR_SEEK:
        return TheFile(strFileName) + " could not be read to the end.";
    default:
        return {};
    }
}

std::string StreamReason(gint nCode, const std::string& strFileName)
{
    switch (nCode) {
    case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        return TheFile(strFileName) + " is not in a sound format Voxreel knows.";
    case GST_STREAM_ERROR_WRONG_TYPE: // a known format whose contents do not follow it
    case GST_STREAM_ERROR_DECODE:
    case GST_STREAM_ERROR_DEMUX:
    case GST_STREAM_ERROR_FORMAT:
        return TheFile(strFileName) + " is damaged or incomplete.";
    default:
        return {};
    }
}

} // namespace

bool ParseMissingDecoder(GstMessage* pMessage, MissingDecoder* pMissing)
{
    if (!gst_is_missing_plugin_message(pMessage))
        return false;
    const GstStructure* pStructure = gst_message_get_structure(pMessage);
    const gchar* pszType = gst_structure_get_string(pStructure, "type");
    GstCaps* pCapsRaw = nullptr;
    if (pszType == nullptr || std::strcmp(pszType, "decoder") != 0 ||
        !gst_structure_get(pStructure, "detail", GST_TYPE_CAPS, &pCapsRaw, nullptr))
        return false;
    const CCapsPtr pCaps(pCapsRaw);
    MissingDecoder missing;
    gchar* pszDescription = gst_missing_plugin_message_get_description(pMessage);
    missing.strDescription = pszDescription != nullptr ? pszDescription : "";
    g_free(pszDescription);
    if (const GstStructure* pCapsStructure = gst_caps_get_structure(pCaps.get(), 0)) {
        missing.strCapsName = gst_structure_get_name(pCapsStructure);
        gst_structure_get_int(pCapsStructure, "mpegversion", &missing.nMpegVersion);
    }
    *pMissing = std::move(missing);
    return true;
}

const char* DebianPackageForDecoder(const MissingDecoder& missing)
{
    if (missing.strCapsName == "audio/mpeg") {
        // MP3 and MP2 are mpg123's, in the good plugins; AAC is libav's.
        if (missing.nMpegVersion == 1)
            return "gstreamer1.0-plugins-good";
        if (missing.nMpegVersion == 2 || missing.nMpegVersion == 4)
            return "gstreamer1.0-libav";
        return nullptr;
    }
    for (const PackageRow& row : kDecoderPackages)
        if (missing.strCapsName == row.pszCapsName)
            return row.pszPackage;
    return nullptr;
}

bool IsGenericError(const GError* pError)
{
    if (pError == nullptr)
        return true;
    if (pError->domain == GST_CORE_ERROR)
        return pError->code == GST_CORE_ERROR_FAILED || pError->code == GST_CORE_ERROR_STATE_CHANGE;
    if (pError->domain == GST_STREAM_ERROR)
        return pError->code == GST_STREAM_ERROR_FAILED;
    if (pError->domain == GST_RESOURCE_ERROR)
        return pError->code == GST_RESOURCE_ERROR_FAILED;
    return pError->domain == GST_LIBRARY_ERROR && pError->code == GST_LIBRARY_ERROR_FAILED;
}

std::string FailureReason(const GError* pError, const std::string& strFileName,
                          const MissingDecoder* pMissing)
{
    if (pError == nullptr)
        return {};
    std::string strReason;
    if ((pError->domain == GST_CORE_ERROR && pError->code == GST_CORE_ERROR_MISSING_PLUGIN) ||
        (pError->domain == GST_STREAM_ERROR && pError->code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        strReason = MissingDecoderReason(strFileName, pMissing);
    else if (pError->domain == GST_RESOURCE_ERROR)
        strReason = ResourceReason(pError->code, strFileName);
    else if (pError->domain == GST_STREAM_ERROR)
        strReason = StreamReason(pError->code, strFileName);
    else if (pError->domain == GST_CORE_ERROR && pError->code == GST_CORE_ERROR_NEGOTIATION)
        strReason = TheFile(strFileName) + " has no sound Voxreel can play.";
    // An error that names no cause still says which file; anything else
    // keeps GStreamer's message, which is meant for users too.
    if (strReason.empty() && IsGenericError(pError))
        strReason = TheFile(strFileName) + " could not be played.";
    if (strReason.empty() && pError->message != nullptr)
        strReason = pError->message;
    return strReason;
}
