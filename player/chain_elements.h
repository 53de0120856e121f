// Small helpers for building the player's per-file chain.
#pragma once

#include <gst/gst.h>

#include "voxreel/gst_handle.h"

// A new element owned by the returned handle, or an empty handle when the
// factory is not installed.
inline CElementPtr MakeElement(const char* pszFactory, const char* pszName)
{
    GstElement* pElement = gst_element_factory_make(pszFactory, pszName);
    return CElementPtr(pElement != nullptr ? GST_ELEMENT(gst_object_ref_sink(pElement)) : nullptr);
}

// Adds the element to the bin (which takes its own reference).
inline bool AddToBin(GstElement* pBin, const CElementPtr& pElement)
{
    return pElement && gst_bin_add(GST_BIN(pBin), pElement.get()) != FALSE;
}

inline void SetCaps(GstElement* pCapsFilter, const char* pszCaps)
{
    CCapsPtr pCaps(gst_caps_from_string(pszCaps));
    g_object_set(pCapsFilter, "caps", pCaps.get(), nullptr);
}
