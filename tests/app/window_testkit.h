// The real main window on the offscreen platform, over the in-process link
// channel (whose clock the tests set) and settings held in memory.
#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <memory>

#include "app_testkit.h"
#include "in_process_channel.h"
#include "voxreel/callfeed_control.h"
#include "voxreel_dlg.h"

namespace apptest {

// A 100 ms timer from construction on: the longest gap between its ticks is
// how long the event loop, and so the window, stood still.
class CStallProbe {
public:
    CStallProbe()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_since.start();
        m_sinceTick.start();
        m_timer.start(100);
    }
    qint64 ElapsedMs() const { return m_since.elapsed(); }
    // The longest gap, the one still open counted too; no ticks after it.
    qint64 Stop()
    {
        Tick();
        m_timer.stop();
        return m_nLongestGapMs;
    }

private:
    void Tick() { m_nLongestGapMs = std::max(m_nLongestGapMs, m_sinceTick.restart()); }

    QTimer m_timer;
    QElapsedTimer m_since, m_sinceTick;
    qint64 m_nLongestGapMs = 0;
};

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

} // namespace apptest
