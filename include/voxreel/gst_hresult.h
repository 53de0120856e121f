// The one mapping from GStreamer errors to HRESULTs. Media failures take the
// codes the original design's media framework reported for the same cause,
// so that a missing file, an unreadable one, one that is not media and one
// with no decoder stay distinguishable in the status line.
#pragma once

#include <gst/gst.h>

#include "voxreel/hresult.h"

constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217);
constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHResult(0x80040218);
constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022E);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeHResult(0x8004022F);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHResult(0x80040240);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = MakeHResult(0x80040265);
constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = MakeHResult(0x80040256);

inline HRESULT HResultFromResourceError(gint code)
{
    switch (code) {
    case GST_RESOURCE_ERROR_NOT_FOUND:
        return HResultFromWin32(ERROR_FILE_NOT_FOUND);
    case GST_RESOURCE_ERROR_OPEN_READ:
    case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
    case GST_RESOURCE_ERROR_OPEN_WRITE:
        return E_ACCESSDENIED;
    case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
        return E_ACCESSDENIED;
    case GST_RESOURCE_ERROR_READ:
        return HResultFromWin32(ERROR_READ_FAULT);
    case GST_RESOURCE_ERROR_WRITE:
        return HResultFromWin32(ERROR_WRITE_FAULT);
    case GST_RESOURCE_ERROR_NO_SPACE_LEFT:
        return HResultFromWin32(ERROR_DISK_FULL);
    case GST_RESOURCE_ERROR_BUSY:
        return VFW_E_NO_AUDIO_HARDWARE;
    default:
        return E_FAIL;
    }
}

inline HRESULT HResultFromStreamError(gint code)
{
    switch (code) {
    case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        return VFW_E_UNKNOWN_FILE_TYPE;
    case GST_STREAM_ERROR_WRONG_TYPE:
        return VFW_E_UNSUPPORTED_STREAM;
    case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        return VFW_E_UNSUPPORTED_STREAM;
    case GST_STREAM_ERROR_DECODE:
    case GST_STREAM_ERROR_DEMUX:
    case GST_STREAM_ERROR_FORMAT:
        return VFW_E_INVALID_FILE_FORMAT;
    case GST_STREAM_ERROR_NOT_IMPLEMENTED:
        return E_NOTIMPL;
    default:
        return E_FAIL;
    }
}

inline HRESULT HResultFromGError(const GError* error)
{
    if (error == nullptr)
        return S_OK;
    if (error->domain == GST_RESOURCE_ERROR)
        return HResultFromResourceError(error->code);
    if (error->domain == GST_STREAM_ERROR)
        return HResultFromStreamError(error->code);
    if (error->domain == GST_CORE_ERROR) {
        if (error->code == GST_CORE_ERROR_MISSING_PLUGIN)
            return VFW_E_UNSUPPORTED_STREAM;
        if (error->code == GST_CORE_ERROR_NEGOTIATION)
            return VFW_E_CANNOT_CONNECT;
        return E_FAIL;
    }
    return E_FAIL;
}
