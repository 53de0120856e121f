// Creating a Callfeed element by class id: the GStreamer registry stands in for
// COM's class registration, so a class id resolves to an element factory name
// and the registry creates the element.
#pragma once

#include <gst/gst.h>

#include "voxreel/hresult.h"
#include "voxreel/ids.h"

// Creates the element that clsid stands for and stores it in *ppElement with
// one full (non-floating) reference that the caller owns. pszName names the
// element instance; nullptr lets GStreamer choose. Results: S_OK; E_POINTER
// for a null ppElement; REGDB_E_CLASSNOTREG for a class id the plugin does
// not provide or whose factory the registry does not know (plugin not found);
// E_FAIL when the factory exists but cannot create the element (for example
// its plugin fails to load).
inline HRESULT CreateElementByClsid(const CLSID& clsid, const char* pszName, GstElement** ppElement)
{
    if (ppElement == nullptr)
        return E_POINTER;
    *ppElement = nullptr;
    const char* pszFactory = FactoryNameFromClsid(clsid);
    if (pszFactory == nullptr)
        return REGDB_E_CLASSNOTREG;
    GstElementFactory* pFactory = gst_element_factory_find(pszFactory);
    if (pFactory == nullptr)
        return REGDB_E_CLASSNOTREG;
    GstElement* pElement = gst_element_factory_create(pFactory, pszName);
    gst_object_unref(pFactory);
    if (pElement == nullptr)
        return E_FAIL;
    *ppElement = GST_ELEMENT(gst_object_ref_sink(pElement));
    return S_OK;
}
