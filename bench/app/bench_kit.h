// What the window's benchmarks share: the offscreen platform, a silent
// microphone, GStreamer with the build tree's plugin, a scratch folder with
// the default playlist's place, and a tone to play.
#pragma once

#include <QApplication>

#include <gst/gst.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "dsplayer.h"
#include "voxreel/settings.h"
#include "voxreel_test_support.h"

class CBenchSetting {
public:
    CBenchSetting(int& argc, char** argv, const char* pszName)
        : m_app((Prepare(argc, argv), argc), argv), m_folder(MakeFolder(pszName))
    {
        ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
        m_settings.WriteProfileString("DefaultPlaylist", (m_folder / "default.m3u").string());
    }
    ~CBenchSetting() { std::filesystem::remove_all(m_folder); }

    // A tone of 500 Hz, about 46 s long.
    std::filesystem::path MakeTone() const
    {
        const std::filesystem::path tone = m_folder / "tone.wav";
        voxreel::test::RunLaunch("audiotestsrc freq=500 num-buffers=2000 ! "
                                 "audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=" +
                                 tone.string());
        return tone;
    }
    // A port per benchmark process, away from the default one.
    static int Port(int nBase) { return nBase + static_cast<int>(getpid() % 1000); }

    CMemorySettings m_settings;

private:
    static void Prepare(int& argc, char** argv)
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        gst_init(&argc, &argv);
    }
    static std::filesystem::path MakeFolder(const char* pszName)
    {
        std::string strTemplate =
            (std::filesystem::temp_directory_path() / (std::string(pszName) + ".XXXXXX")).string();
        return mkdtemp(strTemplate.data());
    }

    QApplication m_app;

public:
    const std::filesystem::path m_folder;
};
