// The Callfeed plugin as the registry sees it after scanning the build tree's
// plugin folder: factories, rank, pad templates, version, and creation of the
// elements by class id.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "voxreel/element_factory.h"

namespace {

// A private registry holding only what the test scans, so that nothing
// cached from elsewhere answers for the plugin.
class CPrivateDir {
public:
    CPrivateDir()
    {
        char szDir[] = "/tmp/callfeed-registry-XXXXXX";
        if (mkdtemp(szDir) != nullptr)
            m_path = szDir;
    }
    ~CPrivateDir()
    {
        if (!m_path.empty())
            std::filesystem::remove_all(m_path);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void InitPrivateRegistry()
{
    static CPrivateDir s_dir;
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    ASSERT_FALSE(s_dir.Path().empty());
    const std::string dir = s_dir.Path().string();
    g_setenv("GST_REGISTRY", (dir + "/registry.bin").c_str(), TRUE);
    g_setenv("GST_PLUGIN_SYSTEM_PATH_1_0", dir.c_str(), TRUE);
    g_setenv("GST_PLUGIN_PATH_1_0", dir.c_str(), TRUE);
    g_setenv("GST_REGISTRY_FORK", "no", TRUE);
    gst_init(nullptr, nullptr);
}

void ScanPluginFolder()
{
    InitPrivateRegistry();
    gst_registry_scan_path(gst_registry_get(), CALLFEED_PLUGIN_DIR);
}

struct FactoryCase {
    CLSID clsid;
    const char* pszFactory;
    const char* pszLongName;
};

std::vector<FactoryCase> RegisteredFactories()
{
    std::vector<FactoryCase> factories{
        {CLSID_CResampleFilter, kCallfeedResamplerFactory, "Audio Resampler"}};
#ifdef HAVE_CALLFEED_RENDERER
    factories.push_back({CLSID_CCallfeed, kCallfeedRendererFactory, "Voxreel Audio Renderer"});
#endif
    return factories;
}

TEST(CallfeedModule, UnscannedPluginGivesClassNotRegistered)
{
    InitPrivateRegistry();
    if (GstPlugin* pPlugin = gst_registry_find_plugin(gst_registry_get(), kCallfeedPluginName)) {
        gst_object_unref(pPlugin);
        GTEST_SKIP() << "another test in this process scanned the plugin already";
    }
    GstElement* pElement = reinterpret_cast<GstElement*>(1);
    EXPECT_EQ(CreateElementByClsid(CLSID_CResampleFilter, nullptr, &pElement), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(pElement, nullptr);
}

TEST(CallfeedModule, PluginIsVersion1_0InItsFolder)
{
    ScanPluginFolder();
    GstPlugin* pPlugin = gst_registry_find_plugin(gst_registry_get(), kCallfeedPluginName);
    ASSERT_NE(pPlugin, nullptr);
    EXPECT_STREQ(gst_plugin_get_version(pPlugin), "1.0");
    EXPECT_EQ(std::string(gst_plugin_get_filename(pPlugin)),
              std::string(CALLFEED_PLUGIN_DIR) + "/libgstcallfeed.so");
    gst_object_unref(pPlugin);
}

TEST(CallfeedModule, UnknownClassIdsAreNotRegistered)
{
    ScanPluginFolder();
    CLSID almost = CLSID_CResampleFilter;
    almost.Data1 ^= 1;
    for (const CLSID& clsid : {almost, IID_IVoxreelCallfeed}) {
        GstElement* pElement = reinterpret_cast<GstElement*>(1);
        EXPECT_EQ(CreateElementByClsid(clsid, nullptr, &pElement), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(pElement, nullptr);
    }
    EXPECT_EQ(CreateElementByClsid(CLSID_CResampleFilter, nullptr, nullptr), E_POINTER);
}

class CallfeedFactories : public testing::TestWithParam<FactoryCase> {};

TEST_P(CallfeedFactories, AreRegisteredWithRankNoneAndAudioPadTemplates)
{
    ScanPluginFolder();
    const FactoryCase& param = GetParam();
    GstElementFactory* pFactory = gst_element_factory_find(param.pszFactory);
    ASSERT_NE(pFactory, nullptr);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(pFactory)), GST_RANK_NONE);
    EXPECT_STREQ(gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(pFactory)),
                 kCallfeedPluginName);
    EXPECT_STREQ(gst_element_factory_get_metadata(pFactory, GST_ELEMENT_METADATA_LONGNAME),
                 param.pszLongName);

    // Both take 16 kHz mono 16-bit PCM and put it out.
    GstCaps* pWire =
        gst_caps_from_string("audio/x-raw,format=S16LE,layout=interleaved,rate=16000,channels=1");
    EXPECT_TRUE(gst_element_factory_can_sink_any_caps(pFactory, pWire));
    EXPECT_TRUE(gst_element_factory_can_src_any_caps(pFactory, pWire));
    gst_caps_unref(pWire);
    gst_object_unref(pFactory);
}

TEST_P(CallfeedFactories, CreateTheirElementByClassId)
{
    ScanPluginFolder();
    const FactoryCase& param = GetParam();
    GstElement* pElement = nullptr;
    ASSERT_EQ(CreateElementByClsid(param.clsid, "created", &pElement), S_OK);
    ASSERT_NE(pElement, nullptr);
    EXPECT_FALSE(g_object_is_floating(pElement));
    EXPECT_STREQ(GST_OBJECT_NAME(pElement), "created");
    GstElementFactory* pFactory = gst_element_get_factory(pElement);
    EXPECT_STREQ(GST_OBJECT_NAME(pFactory), param.pszFactory);
    gst_object_unref(pElement);
}

INSTANTIATE_TEST_SUITE_P(Registered, CallfeedFactories, testing::ValuesIn(RegisteredFactories()),
                         [](const testing::TestParamInfo<FactoryCase>& param) {
                             return std::string(param.param.pszFactory);
                         });

// The resampler takes any rate and channel count of 16-bit PCM, and nothing
// but 16-bit PCM.
TEST(CallfeedModule, ResamplerSinkTemplateTakes16BitPcmOfAnyLayoutOfRateAndChannels)
{
    ScanPluginFolder();
    GstElementFactory* pFactory = gst_element_factory_find(kCallfeedResamplerFactory);
    ASSERT_NE(pFactory, nullptr);
    const std::pair<const char*, bool> cases[] = {
        {"audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2", true},
        {"audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=6", true},
        {"audio/x-raw,format=F32LE,layout=interleaved,rate=44100,channels=2", false},
        {"audio/x-raw,format=U8,layout=interleaved,rate=44100,channels=2", false},
    };
    for (const auto& [pszCaps, bAccepted] : cases) {
        GstCaps* pCaps = gst_caps_from_string(pszCaps);
        EXPECT_EQ(gst_element_factory_can_sink_all_caps(pFactory, pCaps) != FALSE, bAccepted)
            << pszCaps;
        gst_caps_unref(pCaps);
    }
    gst_object_unref(pFactory);
}

} // namespace
