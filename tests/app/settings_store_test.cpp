// The settings file under the XDG config folder: values kept across stores,
// and the default for what is missing or malformed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "QtSettingsStore.h"

namespace fs = std::filesystem;

TEST(SettingsStore, KeepsValuesInTheSettingsSectionAndDefaultsTheRest)
{
    const fs::path dir =
        fs::temp_directory_path() / ("voxreel-settings-" + std::to_string(getpid()));
    fs::remove_all(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
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
    std::stringstream text;
    text << std::ifstream(dir / "Kelmora" / "Voxreel.conf").rdbuf();
    EXPECT_NE(text.str().find("[Settings]"), std::string::npos);
    fs::remove_all(dir);
}
