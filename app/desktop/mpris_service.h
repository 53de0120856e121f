// The desktop's media player interface (MPRIS 2) on the session bus: media
// keys, applets and playerctl drive the window through it, and see what it
// plays. Each method does what the window's matching command does; what
// changes is sent as the window's signals report it.
#pragma once

#include <QObject>
#include <QVariantMap>

#include <cstdint>
#include <functional>

class CVoxreelDlg;

class CMprisService final : public QObject {
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.voxreel";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    CMprisService(CVoxreelDlg& dlg, std::function<void()> quit);
    ~CMprisService() override;
    // Takes the bus name and exports the object; false when either fails.
    bool Register();

    // org.mpris.MediaPlayer2
    void Raise();
    void Quit();
    // org.mpris.MediaPlayer2.Player
    void Command(int nCommandId);
    void PlayOrResume(bool bToggle);
    void Pause();
    void Seek(qlonglong nOffsetUs);
    void SetPosition(const QString& strTrackId, qlonglong nPositionUs);
    void OpenUri(const QString& strUri);
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    qlonglong Position() const;
    double Volume() const;
    void SetVolume(double dVolume);
    bool HasTracks() const;
    bool CanSeek() const;

private:
    // Sends PropertiesChanged for what changed since the last call.
    void Notify();
    void SendSeeked(std::uint32_t nSeconds);
    QString TrackId() const;
    void Changed(const QString& strInterface, const QVariantMap& now, QVariantMap& last);

    CVoxreelDlg& m_dlg;
    std::function<void()> m_quit;
    QVariantMap m_lastPlayer;
    bool m_bRegistered = false;
};
