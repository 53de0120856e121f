#include "track_gains.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdlib>
#include <sstream>

#include "playlist/media_info.h"
#include "playlist_model.h"
#include "rules/settings_keys.h"
#include "voxreel/settings.h"

namespace {

// Targets beyond these are typing mistakes, not loudness anyone plays at.
constexpr double kLowestTarget = -40.0;
constexpr double kHighestTarget = -5.0;
// From this many files on, measuring shows its progress in the status line.
constexpr std::size_t kProgressThreshold = 5;
constexpr const char* kOff = "Off";

QString Translate(const char* pszText)
{
    return QCoreApplication::translate("CTrackGains", pszText);
}

} // namespace

std::optional<double> ParseLoudnessTarget(const std::string& strText)
{
    if (strText == kOff)
        return std::nullopt;
    std::istringstream in(strText);
    in.imbue(std::locale::classic());
    double dTarget = 0.0;
    if (!(in >> dTarget) || dTarget < kLowestTarget || dTarget > kHighestTarget)
        return loudness::kDefaultTargetLufs;
    return dTarget;
}

std::string LoudnessTargetText(std::optional<double> target)
{
    if (!target)
        return kOff;
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << *target;
    return out.str();
}

std::optional<double> LoudnessTargetSetting(const ISettingsStore& settings)
{
    if (const char* pszOverride = std::getenv("VOXREEL_LOUDNESS_TARGET"))
        return ParseLoudnessTarget(pszOverride);
    return ParseLoudnessTarget(settings.GetProfileString(
        kSettingLoudnessTarget, LoudnessTargetText(loudness::kDefaultTargetLufs)));
}

void ApplyLoudnessTarget(ISettingsStore& settings, CTrackGains& gains, const std::string& strText)
{
    const std::optional<double> target = ParseLoudnessTarget(strText);
    settings.WriteProfileString(kSettingLoudnessTarget, LoudnessTargetText(target));
    if (std::getenv("VOXREEL_LOUDNESS_TARGET") == nullptr)
        gains.SetTarget(target);
}

std::filesystem::path LoudnessCacheFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return folder.isEmpty() ? std::filesystem::path() : std::filesystem::path(folder.toStdString());
}

CTrackGains::CTrackGains(CPlaylist& playlist, CPlaylistModel& model, std::optional<double> target,
                         std::filesystem::path cacheFolder, StatusFn showStatus)
    : m_playlist(playlist), m_model(model), m_target(target), m_showStatus(std::move(showStatus)),
      m_service(
          std::move(cacheFolder),
          [this](CLoudnessService::Result&& result) { OnResult(std::move(result)); },
          [this](std::size_t nDone, std::size_t nAsked) { OnProgress(nDone, nAsked); })
{
}

void CTrackGains::Measure(const std::vector<std::int32_t>& ids)
{
    if (!m_target)
        return;
    for (std::int32_t id : ids) {
        const PlaylistItem* pItem = m_playlist.Find(id);
        if (pItem == nullptr || pItem->gain.state == TrackGain::State::Measuring)
            continue;
        SetGain(id, {TrackGain::State::Measuring, loudness::kSafeDefaultGainDb});
        m_service.Request(id, pItem->path);
    }
}

void CTrackGains::MeasureAll()
{
    std::vector<std::int32_t> ids;
    ids.reserve(m_playlist.GetItems().size());
    for (const PlaylistItem& item : m_playlist.GetItems())
        ids.push_back(item.id);
    Measure(ids);
}

void CTrackGains::SetTarget(std::optional<double> target)
{
    if (target == m_target)
        return;
    m_target = target;
    if (!m_target) {
        m_service.CancelQueued();
        for (const PlaylistItem& item : m_playlist.GetItems())
            SetGain(item.id, {});
        return;
    }
    // What is known already takes the new target at once; the rest is asked
    // for (the cache answers for what was measured before).
    std::vector<std::int32_t> unknown;
    for (const PlaylistItem& item : m_playlist.GetItems()) {
        const auto it = m_known.find(item.id);
        if (it != m_known.end())
            SetGain(item.id, {TrackGain::State::Known, loudness::GainFor(it->second, *m_target)});
        else if (item.gain.state != TrackGain::State::Measuring)
            unknown.push_back(item.id);
    }
    Measure(unknown);
}

void CTrackGains::OnResult(CLoudnessService::Result&& result)
{
    const PlaylistItem* pItem = m_playlist.Find(result.id);
    if (pItem == nullptr || pItem->gain.state != TrackGain::State::Measuring)
        return; // removed meanwhile, or normalisation turned off
    if (!result.loudness) {
        SetGain(result.id, {TrackGain::State::Failed, 0.0});
        m_showStatus(
            Translate(QT_TRANSLATE_NOOP("CTrackGains", "Cannot measure the loudness of %1: %2"))
                .arg(QString::fromStdString(ShownTitle(*pItem)),
                     QString::fromStdString(result.strError))
                .toStdString());
        return;
    }
    m_known[result.id] = *result.loudness;
    SetGain(result.id, {TrackGain::State::Known,
                        m_target ? loudness::GainFor(*result.loudness, *m_target) : 0.0});
}

void CTrackGains::OnProgress(std::size_t nDone, std::size_t nAsked)
{
    if (nAsked < kProgressThreshold)
        return;
    const QString text =
        nDone < nAsked
            ? Translate(QT_TRANSLATE_NOOP("CTrackGains", "Measuring loudness: %1 of %2 files"))
                  .arg(nDone)
                  .arg(nAsked)
            : Translate(QT_TRANSLATE_NOOP("CTrackGains", "Loudness measured: %1 files"))
                  .arg(nAsked);
    m_showStatus(text.toStdString());
}

void CTrackGains::SetGain(std::int32_t id, TrackGain gain)
{
    PlaylistItem* pItem = m_playlist.Find(id);
    if (pItem == nullptr)
        return;
    pItem->gain = gain;
    m_model.GainChanged(id);
}
