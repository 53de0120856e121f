#include "mpris_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "mpris_adaptors.h"
#include "playlist/media_info.h"
#include "rules/window_ids.h"
#include "voxreel_dlg.h"

namespace {
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr qlonglong kUsPerSecond = 1000000;
} // namespace

CMprisService::CMprisService(CVoxreelDlg& dlg, std::function<void()> quit)
    : m_dlg(dlg), m_quit(std::move(quit))
{
    new CMprisRootAdaptor(this);
    new CMprisPlayerAdaptor(this);
    connect(&m_dlg, &CVoxreelDlg::playbackStateChanged, this, &CMprisService::Notify);
    connect(&m_dlg, &CVoxreelDlg::currentEntryChanged, this, &CMprisService::Notify);
    connect(&m_dlg, &CVoxreelDlg::playlistChanged, this, &CMprisService::Notify);
    connect(&m_dlg, &CVoxreelDlg::localVolumeChanged, this, &CMprisService::Notify);
    connect(&m_dlg, &CVoxreelDlg::positionJumped, this, &CMprisService::SendSeeked);
}

CMprisService::~CMprisService()
{
    if (m_bRegistered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(QString::fromLatin1(kServiceName));
    }
}

bool CMprisService::Register()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_bRegistered = bus.isConnected() && bus.registerService(QString::fromLatin1(kServiceName)) &&
                    bus.registerObject(QString::fromLatin1(kObjectPath), this);
    if (m_bRegistered) {
        m_lastPlayer.clear();
        Notify();
    }
    return m_bRegistered;
}

void CMprisService::Raise()
{
    m_dlg.show();
    m_dlg.raise();
    m_dlg.activateWindow();
}

void CMprisService::Quit()
{
    m_quit();
}

void CMprisService::Command(int nCommandId)
{
    m_dlg.RunCommand(nCommandId);
}

// Play resumes a paused file as the pause button does, and otherwise plays
// as the play button does; PlayPause also pauses a playing one.
void CMprisService::PlayOrResume(bool bToggle)
{
    const CVoxreelDlg::PlaybackState state = m_dlg.State();
    if (state == CVoxreelDlg::PlaybackState::Paused ||
        (bToggle && state == CVoxreelDlg::PlaybackState::Playing))
        m_dlg.RunCommand(ID_PAUSE);
    else if (state != CVoxreelDlg::PlaybackState::Playing)
        m_dlg.RunCommand(ID_PLAY);
}

void CMprisService::Pause()
{
    if (m_dlg.State() == CVoxreelDlg::PlaybackState::Playing)
        m_dlg.RunCommand(ID_PAUSE);
}

void CMprisService::Seek(qlonglong nOffsetUs)
{
    const qlonglong nTarget = std::max<qlonglong>(0, Position() + nOffsetUs);
    if (nTarget > static_cast<qlonglong>(m_dlg.Player().GetDuration()) * kUsPerSecond) {
        Command(ID_NEXT_FILE);
        return;
    }
    m_dlg.SeekTo(static_cast<int>(nTarget / kUsPerSecond));
}

void CMprisService::SetPosition(const QString& strTrackId, qlonglong nPositionUs)
{
    if (strTrackId != TrackId() || nPositionUs < 0 ||
        nPositionUs > static_cast<qlonglong>(m_dlg.Player().GetDuration()) * kUsPerSecond)
        return;
    m_dlg.SeekTo(static_cast<int>(nPositionUs / kUsPerSecond));
}

void CMprisService::OpenUri(const QString& strUri)
{
    const QUrl url(strUri);
    if (!url.isLocalFile())
        return; // only local files can be played
    m_dlg.AddPaths({QFile::encodeName(url.toLocalFile()).toStdString()}, true);
}

QString CMprisService::PlaybackStatus() const
{
    switch (m_dlg.State()) {
    case CVoxreelDlg::PlaybackState::Playing:
        return QStringLiteral("Playing");
    case CVoxreelDlg::PlaybackState::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QString CMprisService::TrackId() const
{
    const std::int32_t id = m_dlg.Playlist().GetCurrentId();
    return id < 0 || m_dlg.Playlist().Find(id) == nullptr
               ? QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")
               : QStringLiteral("/com/kelmora/Voxreel/Track/%1").arg(id);
}

QVariantMap CMprisService::Metadata() const
{
    QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(TrackId()))}};
    const PlaylistItem* pItem = m_dlg.Playlist().Find(m_dlg.Playlist().GetCurrentId());
    if (pItem == nullptr)
        return metadata;
    const QString path = QFile::decodeName(QByteArray::fromStdString(pItem->path.native()));
    metadata.insert("xesam:title", QString::fromStdString(ShownTitle(*pItem)));
    metadata.insert("xesam:url", QUrl::fromLocalFile(path).toString());
    metadata.insert("mpris:length", static_cast<qlonglong>(pItem->duration) * kUsPerSecond);
    return metadata;
}

qlonglong CMprisService::Position() const
{
    return static_cast<qlonglong>(m_dlg.Player().GetPosition()) * kUsPerSecond;
}

// The local volume slider has 0 at the top, the loudest.
double CMprisService::Volume() const
{
    return (255 - m_dlg.LocalVolume()) / 255.0;
}

void CMprisService::SetVolume(double dVolume)
{
    const double dClamped = std::isnan(dVolume) ? 1.0 : std::clamp(dVolume, 0.0, 1.0);
    m_dlg.SetLocalVolume(static_cast<int>(std::lround((1.0 - dClamped) * 255)));
}

bool CMprisService::HasTracks() const
{
    return !m_dlg.Playlist().GetItems().empty();
}

bool CMprisService::CanSeek() const
{
    return m_dlg.Player().GetDuration() > 0;
}

void CMprisService::Notify()
{
    const QVariantMap now{{"PlaybackStatus", PlaybackStatus()},
                          {"Metadata", Metadata()},
                          {"Volume", Volume()},
                          {"CanGoNext", HasTracks()},
                          {"CanGoPrevious", HasTracks()},
                          {"CanPlay", HasTracks()},
                          {"CanPause", HasTracks()},
                          {"CanSeek", CanSeek()}};
    Changed(QString::fromLatin1(kPlayerInterface), now, m_lastPlayer);
}

// A seek, or the file starting again: the position went elsewhere than
// playing takes it. The player may not report the new position yet.
void CMprisService::SendSeeked(std::uint32_t nSeconds)
{
    if (m_bRegistered)
        emit findChild<CMprisPlayerAdaptor*>()->Seeked(static_cast<qlonglong>(nSeconds) *
                                                       kUsPerSecond);
}

void CMprisService::Changed(const QString& strInterface, const QVariantMap& now, QVariantMap& last)
{
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (last.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    last = now;
    if (changed.isEmpty() || !m_bRegistered)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << strInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
