// The real main window on the offscreen platform, over the in-process link
// channel (whose clock the tests set) and settings held in memory.
#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSlider>
#include <QTreeView>

#include <algorithm>
#include <memory>

#include "app_testkit.h"
#include "in_process_channel.h"
#include "voxreel/callfeed_control.h"
#include "voxreel_dlg.h"

namespace apptest {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitMedia();
        m_folder = TempFolder("window");
        m_settings.WriteProfileString("DefaultPlaylist", (m_folder / "default.m3u").string());
        m_nPort = FreePort();
    }
    void TearDown() override
    {
        m_pDlg.reset();
        fs::remove_all(m_folder);
    }

    CVoxreelDlg& Open()
    {
        m_pDlg = std::make_unique<CVoxreelDlg>(
            CVoxreelDlg::Services{m_settings, m_channel, "own", kQuietSink, m_nPort});
        m_pDlg->show();
        WatchStatus();
        return *m_pDlg;
    }
    // Keeps every text the status line shows, since one can replace another
    // before a test looks.
    void WatchStatus()
    {
        QObject::connect(
            Control<QLineEdit>(1019), &QLineEdit::textChanged,
            [this](const QString& text) { m_statusTexts.push_back(text.toStdString()); });
    }
    bool Showed(const std::string& strText) const
    {
        return std::count(m_statusTexts.begin(), m_statusTexts.end(), strText) > 0;
    }
    bool ShowedPrefix(const std::string& strPrefix) const
    {
        return std::any_of(m_statusTexts.begin(), m_statusTexts.end(),
                           [&](const std::string& text) { return text.rfind(strPrefix, 0) == 0; });
    }
    template <typename T> T* Control(int nId) const
    {
        return qobject_cast<T*>(FindControl(m_pDlg.get(), nId));
    }
    // The text of a line edit or a label.
    std::string Text(int nId) const
    {
        return FindControl(m_pDlg.get(), nId)->property("text").toString().toStdString();
    }
    int Slider(int nId) const { return Control<QSlider>(nId)->value(); }
    QAbstractItemModel* Rows() const { return Control<QTreeView>(1000)->model(); }
    std::string RowText(int nRow, int nColumn = 0) const
    {
        return Rows()->index(nRow, nColumn).data().toString().toStdString();
    }
    // Runs the window's command with that id, as its button or key does.
    void TriggerCommand(int nId)
    {
        for (QAction* pAction : m_pDlg->findChildren<QAction*>())
            if (pAction->property("commandId").toInt() == nId)
                pAction->trigger();
    }
    // Posts a notification on the renderer's bus, as its threads do, and
    // runs the event loop once: the bus hands it over on this very thread,
    // so one pass delivers it.
    void Notify(int nCode, std::uint32_t nValue = 0)
    {
        GstElement* pRenderer = m_pDlg->Player().Renderer();
        gst_element_post_message(pRenderer, NewCallfeedNotification(nCode, nValue));
        QCoreApplication::processEvents();
    }

    fs::path m_folder;
    CMemorySettings m_settings;
    CInProcessSkypeChannel m_channel;
    int m_nPort = 0;
    std::unique_ptr<CVoxreelDlg> m_pDlg;
    std::vector<std::string> m_statusTexts;
};

// The window with the Voxreel microphone on, a test microphone tone of
// kMicFreq at a quarter of full scale, the loudest remote level and a
// recorder of the Voxreel microphone.
class MicrophoneWindowTest : public WindowTest {
protected:
    static constexpr int kMicFreq = 300;

    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("VOXREEL_VIRTUAL_MIC", "1", 1);
        setenv("VOXREEL_CAPTURE_SOURCE",
               ("audiotestsrc is-live=true volume=0.25 freq=" + std::to_string(kMicFreq)).c_str(),
               1);
        m_settings.WriteProfileInt("RemoteVolume", 0); // level 255
    }
    void TearDown() override
    {
        m_recorder.kill();
        m_recorder.waitForFinished();
        setenv("VOXREEL_VIRTUAL_MIC", "0", 1);
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        WindowTest::TearDown();
    }
    // Records as a call application would, at the microphone's own format
    // (48 kHz stereo): a channel carries the port's mono at its level (a mono
    // recording of it would take the server's downmix law along, 3 dB up on
    // PipeWire).
    void StartRecorder()
    {
        m_recorder.start("parec", {"-d", "voxreel_mic", "--rate=48000", "--channels=2",
                                   "--format=s16le", "--raw", "--latency-msec=20",
                                   QString::fromStdString(MicRecording().string())});
    }
    fs::path MicRecording() const { return m_folder / "mic.raw"; }

    QProcess m_recorder;
};

} // namespace apptest
