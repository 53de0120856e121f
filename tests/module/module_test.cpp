// The Callfeed plugin as a registry sees it after scanning the build tree's
// plugin folder, and creation of its elements by class id.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "voxreel/element_factory.h"
#include "voxreel/gst_handle.h"

namespace {

// A registry of its own that knows only the scanned folder, so nothing cached
// from elsewhere answers for the plugin.
class CPluginRegistry : public testing::Environment {
    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() / ("callfeed-registry-" + std::to_string(getpid()));
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir);
        g_setenv("GST_REGISTRY", (m_dir / "registry.bin").c_str(), TRUE);
        g_setenv("GST_PLUGIN_SYSTEM_PATH_1_0", m_dir.c_str(), TRUE);
        g_setenv("GST_PLUGIN_PATH_1_0", m_dir.c_str(), TRUE);
        // Load in this process: a forked scanner lacks the sanitizer runtime
        // that a sanitized plugin needs.
        g_setenv("GST_REGISTRY_FORK", "no", TRUE);
        gst_init(nullptr, nullptr);
        gst_registry_scan_path(gst_registry_get(), CALLFEED_PLUGIN_DIR);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
};
const auto* g_pRegistry = testing::AddGlobalTestEnvironment(new CPluginRegistry);

TEST(CallfeedModule, ElementsAreCreatedByClassIdAsRegisteredAndUnknownIdsAreNot)
{
    for (const auto& [clsid, pszFactory] : {
#ifdef HAVE_CALLFEED_RENDERER
             std::pair{CLSID_CCallfeed, kCallfeedRendererFactory},
#endif
             std::pair{CLSID_CResampleFilter, kCallfeedResamplerFactory}}) {
        GstElement* pCreated = nullptr;
        ASSERT_EQ(CreateElementByClsid(clsid, "created", &pCreated), S_OK);
        const CElementPtr pElement(pCreated);
        EXPECT_FALSE(g_object_is_floating(pCreated));
        EXPECT_STREQ(GST_OBJECT_NAME(pCreated), "created");

        GstElementFactory* pFactory = gst_element_get_factory(pCreated);
        EXPECT_STREQ(GST_OBJECT_NAME(pFactory), pszFactory);
        const CGstObjectPtr<GstPlugin> pPlugin(
            gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(pFactory)));
        EXPECT_STREQ(gst_plugin_get_name(pPlugin.get()), kCallfeedPluginName);
        // Both pad templates carry the wire format: 16 kHz mono 16-bit PCM.
        const CCapsPtr pWire(gst_caps_from_string(
            "audio/x-raw,format=S16LE,layout=interleaved,rate=16000,channels=1"));
        EXPECT_TRUE(gst_element_factory_can_sink_any_caps(pFactory, pWire.get()));
        EXPECT_TRUE(gst_element_factory_can_src_any_caps(pFactory, pWire.get()));
    }
    CLSID almost = CLSID_CResampleFilter;
    almost.Data4[0] ^= 1;
    for (const CLSID& clsid : {almost, IID_IVoxreelCallfeed}) {
        GstElement* pElement = reinterpret_cast<GstElement*>(1);
        EXPECT_EQ(CreateElementByClsid(clsid, nullptr, &pElement), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(pElement, nullptr);
    }
    EXPECT_EQ(CreateElementByClsid(CLSID_CResampleFilter, nullptr, nullptr), E_POINTER);
}

} // namespace
