// The Callfeed plugin as a registry sees it after scanning the build tree's
// plugin folder, and creation of its elements by class id.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "voxreel/element_factory.h"

namespace {

// A registry of its own that knows only the scanned folder, so nothing cached
// from elsewhere answers for the plugin.
class CPluginRegistry : public testing::Environment {
public:
    void SetUp() override
    {
        char szDir[] = "/tmp/callfeed-registry-XXXXXX";
        ASSERT_NE(mkdtemp(szDir), nullptr);
        m_dir = szDir;
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

private:
    std::filesystem::path m_dir;
};
const auto* g_pRegistry = testing::AddGlobalTestEnvironment(new CPluginRegistry);

TEST(CallfeedModule, PluginIsVersion1_0FromItsFolder)
{
    GstPlugin* pPlugin = gst_registry_find_plugin(gst_registry_get(), kCallfeedPluginName);
    ASSERT_NE(pPlugin, nullptr);
    EXPECT_STREQ(gst_plugin_get_version(pPlugin), "1.0");
    EXPECT_EQ(std::string(gst_plugin_get_filename(pPlugin)),
              std::string(CALLFEED_PLUGIN_DIR) + "/libgstcallfeed.so");
    gst_object_unref(pPlugin);
}

TEST(CallfeedModule, UnknownClassIdsAreNotRegistered)
{
    CLSID almost = CLSID_CResampleFilter;
    almost.Data4[0] ^= 1;
    for (const CLSID& clsid : {almost, IID_IVoxreelCallfeed}) {
        GstElement* pElement = reinterpret_cast<GstElement*>(1);
        EXPECT_EQ(CreateElementByClsid(clsid, nullptr, &pElement), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(pElement, nullptr);
    }
    EXPECT_EQ(CreateElementByClsid(CLSID_CResampleFilter, nullptr, nullptr), E_POINTER);
}

struct FactoryCase {
    CLSID clsid;
    const char* pszFactory;
    const char* pszLongName;
};

std::vector<FactoryCase> BuiltFactories()
{
    std::vector<FactoryCase> factories{
        {CLSID_CResampleFilter, kCallfeedResamplerFactory, "Audio Resampler"}};
#ifdef HAVE_CALLFEED_RENDERER
    factories.push_back({CLSID_CCallfeed, kCallfeedRendererFactory, "Voxreel Audio Renderer"});
#endif
    return factories;
}

class CallfeedFactory : public testing::TestWithParam<FactoryCase> {};

TEST_P(CallfeedFactory, IsRegisteredAsDeclaredAndCreatedByClassId)
{
    const FactoryCase& param = GetParam();
    GstElement* pElement = nullptr;
    ASSERT_EQ(CreateElementByClsid(param.clsid, "created", &pElement), S_OK);
    EXPECT_FALSE(g_object_is_floating(pElement));
    EXPECT_STREQ(GST_OBJECT_NAME(pElement), "created");

    GstElementFactory* pFactory = gst_element_get_factory(pElement);
    EXPECT_STREQ(GST_OBJECT_NAME(pFactory), param.pszFactory);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(pFactory)), GST_RANK_NONE);
    EXPECT_STREQ(gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(pFactory)),
                 kCallfeedPluginName);
    EXPECT_STREQ(gst_element_factory_get_metadata(pFactory, GST_ELEMENT_METADATA_LONGNAME),
                 param.pszLongName);
    // Both pad templates carry the wire format: 16 kHz mono 16-bit PCM.
    GstCaps* pWire =
        gst_caps_from_string("audio/x-raw,format=S16LE,layout=interleaved,rate=16000,channels=1");
    EXPECT_TRUE(gst_element_factory_can_sink_any_caps(pFactory, pWire));
    EXPECT_TRUE(gst_element_factory_can_src_any_caps(pFactory, pWire));
    gst_caps_unref(pWire);
    gst_object_unref(pElement);
}

INSTANTIATE_TEST_SUITE_P(Built, CallfeedFactory, testing::ValuesIn(BuiltFactories()),
                         [](const testing::TestParamInfo<FactoryCase>& param) {
                             return std::string(param.param.pszFactory);
                         });

} // namespace
