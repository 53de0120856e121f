// Why a file failed to play, in words for the status line: which file could
// not be read, which decoder is missing and the Debian package that has it.
// GStreamer's own texts are written for developers; these are for the user.
#pragma once

#include <gst/gst.h>

#include <string>

// A decoder GStreamer looked for and did not find: its description as
// GStreamer's base plugins word it and the caps it should have decoded.
struct MissingDecoder {
    std::string strDescription; // e.g. "Free Lossless Audio Codec (FLAC) decoder"
    std::string strCapsName;    // e.g. "audio/x-flac"
    int nMpegVersion = 0;       // for audio/mpeg: 1 is MP3 and its layers, 2 and 4 are AAC
};

// The missing decoder a bus message reports, if it is GStreamer's
// missing-plugin element message for a decoder.
bool ParseMissingDecoder(GstMessage* pMessage, MissingDecoder* pMissing);

// The Debian 12 package that installs a decoder for the caps, or nullptr when
// the table does not know it.
const char* DebianPackageForDecoder(const MissingDecoder& missing);

// True for an error that names no cause: a general stream error or a failed
// state change, which bins post besides (and sometimes before) the error of
// the element that knows what went wrong.
bool IsGenericError(const GError* pError);

// The reason for an error, naming strFileName (the file's name, without its
// folder) and the missing decoder when there was one (pMissing may be null).
std::string FailureReason(const GError* pError, const std::string& strFileName,
                          const MissingDecoder* pMissing);
