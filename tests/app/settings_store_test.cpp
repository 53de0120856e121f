// The settings file under the XDG config folder: values kept across stores,
// and the default for what is missing or malformed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../playlist/test_files.h"
#include "QtSettingsStore.h"

TEST(SettingsStore, KeepsValuesInTheSettingsSectionAndDefaultsTheRest)
{
    const testfiles::CTempFolder dir;
    setenv("XDG_CONFIG_HOME", dir.m_path.c_str(), 1);
    {
        CQtSettingsStore store;
        EXPECT_EQ(store.GetProfileString("DefaultPlaylist", "none"), "none");
        EXPECT_TRUE(store.WriteProfileInt("LocalVolume", -1200));
        EXPECT_TRUE(store.WriteProfileString("DefaultPlaylist", "/tmp/l\xC3\xA4ist.m3u"));
        EXPECT_TRUE(store.WriteProfileString("Balance", "not a number"));
        EXPECT_TRUE(store.Flush());
    }
    CQtSettingsStore store;
    EXPECT_EQ(store.GetProfileInt("LocalVolume", 0), -1200);
    EXPECT_EQ(store.GetProfileString("DefaultPlaylist", ""), "/tmp/l\xC3\xA4ist.m3u");
    EXPECT_EQ(store.GetProfileInt("Balance", 7), 7);
    EXPECT_NE(testfiles::ReadFile(dir / "Kelmora/Voxreel.conf").find("[Settings]"),
              std::string::npos);
}
