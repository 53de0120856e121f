// The two MPRIS 2 interfaces as D-Bus adaptors of CMprisService.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include "mpris_service.h"

class CMprisRootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ True)
    Q_PROPERTY(bool CanRaise READ True)
    Q_PROPERTY(bool Fullscreen READ False)
    Q_PROPERTY(bool CanSetFullscreen READ False)
    Q_PROPERTY(bool HasTrackList READ False)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    explicit CMprisRootAdaptor(CMprisService* pService);
    bool True() const { return true; }
    bool False() const { return false; }
    QString Identity() const { return QStringLiteral("Voxreel"); }
    QString DesktopEntry() const { return QStringLiteral("voxreel"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const;

public slots:
    void Raise() { m_service.Raise(); }
    void Quit() { m_service.Quit(); }

private:
    CMprisService& m_service;
};

class CMprisPlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ One WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ One)
    Q_PROPERTY(double MaximumRate READ One)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ HasTracks)
    Q_PROPERTY(bool CanGoPrevious READ HasTracks)
    Q_PROPERTY(bool CanPlay READ HasTracks)
    Q_PROPERTY(bool CanPause READ HasTracks)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ True)

public:
    explicit CMprisPlayerAdaptor(CMprisService* pService);
    QString PlaybackStatus() const { return m_service.PlaybackStatus(); }
    double One() const { return 1.0; }
    void SetRate(double) {}
    QVariantMap Metadata() const { return m_service.Metadata(); }
    double Volume() const { return m_service.Volume(); }
    void SetVolume(double dVolume) { m_service.SetVolume(dVolume); }
    qlonglong Position() const { return m_service.Position(); }
    bool HasTracks() const { return m_service.HasTracks(); }
    bool CanSeek() const { return m_service.CanSeek(); }
    bool True() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause() { m_service.Pause(); }
    void PlayPause() { m_service.PlayOrResume(true); }
    void Stop();
    void Play() { m_service.PlayOrResume(false); }
    void Seek(qlonglong Offset) { m_service.Seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
    {
        m_service.SetPosition(TrackId.path(), Position);
    }
    void OpenUri(const QString& Uri) { m_service.OpenUri(Uri); }

signals:
    void Seeked(qlonglong Position);

private:
    CMprisService& m_service;
};
