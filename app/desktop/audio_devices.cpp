#include "audio_devices.h"

#include <gst/gst.h>

#include "voxreel/gst_handle.h"

namespace {

// A property value as gst-launch reads it: bare when it is a plain name,
// else in double quotes.
std::string LaunchValue(const std::string& strValue)
{
    const bool bPlain =
        !strValue.empty() &&
        strValue.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                   "0123456789._:-") == std::string::npos;
    if (bPlain)
        return strValue;
    std::string quoted = "\"";
    for (char c : strValue) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// "factory device=..." for an element that names its device by a property;
// just the factory for one that needs no device name.
std::string DescribeElement(GstElement* pElement)
{
    GstElementFactory* pFactory = gst_element_get_factory(pElement);
    if (pFactory == nullptr)
        return {};
    std::string description = GST_OBJECT_NAME(pFactory);
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(pElement), "device") == nullptr)
        return description;
    gchar* pszDevice = nullptr;
    g_object_get(pElement, "device", &pszDevice, nullptr);
    if (pszDevice != nullptr) {
        description += " device=" + LaunchValue(pszDevice);
        g_free(pszDevice);
    }
    return description;
}

} // namespace

std::vector<AudioDevice> ListAudioDevices(bool bSources)
{
    std::vector<AudioDevice> devices;
    GstDeviceMonitor* pMonitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(pMonitor, bSources ? "Audio/Source" : "Audio/Sink", nullptr);
    GList* pList = gst_device_monitor_get_devices(pMonitor);
    for (GList* pItem = pList; pItem != nullptr; pItem = pItem->next) {
        auto* pDevice = static_cast<GstDevice*>(pItem->data);
        CElementPtr pElement(gst_device_create_element(pDevice, nullptr));
        if (!pElement)
            continue;
        gchar* pszName = gst_device_get_display_name(pDevice);
        const std::string description = DescribeElement(pElement.get());
        if (!description.empty())
            devices.push_back({pszName != nullptr ? pszName : description, description});
        g_free(pszName);
    }
    g_list_free_full(pList, gst_object_unref);
    gst_object_unref(pMonitor);
    return devices;
}
