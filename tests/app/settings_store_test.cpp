#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "QtSettingsStore.h"

namespace {

namespace fs = std::filesystem;

// Points the XDG config folder at a fresh temporary folder for one test.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("voxreel-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string FileText() const
    {
        std::ifstream in(m_dir / "Kelmora" / "Voxreel.conf");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path m_dir;
};

TEST_F(SettingsStore, ValuesSurviveANewStoreInTheSettingsSection)
{
    {
        CQtSettingsStore store;
        EXPECT_TRUE(store.WriteProfileInt("LocalVolume", -1200));
        EXPECT_TRUE(store.WriteProfileString("DefaultPlaylist", "/tmp/l\xC3\xA4ist.m3u"));
        EXPECT_TRUE(store.Flush());
    }
    CQtSettingsStore store;
    EXPECT_EQ(store.GetProfileInt("LocalVolume", 0), -1200);
    EXPECT_EQ(store.GetProfileString("DefaultPlaylist", ""), "/tmp/l\xC3\xA4ist.m3u");
    EXPECT_NE(FileText().find("[Settings]"), std::string::npos);
}

TEST_F(SettingsStore, MissingOrMalformedValuesGiveTheDefault)
{
    CQtSettingsStore store;
    EXPECT_EQ(store.GetProfileInt("RemoteVolume", 255), 255);
    EXPECT_EQ(store.GetProfileString("DefaultPlaylist", "none"), "none");
    store.WriteProfileString("Balance", "not a number");
    EXPECT_EQ(store.GetProfileInt("Balance", 7), 7);
}

} // namespace
