// The Callfeed plugin as a registry sees it after scanning the build tree's
// plugin folder, and creation of its elements by class id.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "voxreel/element_factory.h"
#include "voxreel/gst_handle.h"

namespace {

TEST(CallfeedModule, ElementsAreCreatedByClassIdAsRegistered)
{
    // A registry of its own that knows only the scanned folder, so nothing
    // cached from elsewhere answers for the plugin; loaded in this process, as a
    // forked scanner lacks the sanitizer runtime that a sanitized plugin needs.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("callfeed-registry-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const char* pszVariable : {"GST_PLUGIN_SYSTEM_PATH_1_0", "GST_PLUGIN_PATH_1_0"})
        g_setenv(pszVariable, dir.c_str(), TRUE);
    g_setenv("GST_REGISTRY", (dir / "registry.bin").c_str(), TRUE);
    g_setenv("GST_REGISTRY_FORK", "no", TRUE);
    gst_init(nullptr, nullptr);
    gst_registry_scan_path(gst_registry_get(), CALLFEED_PLUGIN_DIR);

    for (const auto& [clsid, pszFactory] : {
#ifdef HAVE_CALLFEED_RENDERER
             std::pair{CLSID_CCallfeed, kCallfeedRendererFactory},
#endif
             std::pair{CLSID_CResampleFilter, kCallfeedResamplerFactory}}) {
        GstElement* pCreated = nullptr;
        ASSERT_EQ(CreateElementByClsid(clsid, "created", &pCreated), S_OK) << pszFactory;
        const CElementPtr pElement(pCreated);
        EXPECT_FALSE(g_object_is_floating(pCreated));
        EXPECT_STREQ(GST_OBJECT_NAME(pCreated), "created");
        GstElementFactory* pFactory = gst_element_get_factory(pCreated);
        EXPECT_STREQ(GST_OBJECT_NAME(pFactory), pszFactory);
        const CGstObjectPtr<GstPlugin> pPlugin(
            gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(pFactory)));
        EXPECT_STREQ(gst_plugin_get_name(pPlugin.get()), kCallfeedPluginName);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
