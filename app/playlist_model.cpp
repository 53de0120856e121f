#include "playlist_model.h"

#include <QLocale>

#include <algorithm>

#include "playlist/media_info.h"
#include "rules/time_text.h"

namespace {
QString TitleText(const PlaylistItem& item)
{
    return QString::fromStdString(ShownTitle(item));
}

QString DurationText(const PlaylistItem& item)
{
    return QString::fromStdString(FormatMinutesSeconds(static_cast<std::uint32_t>(item.duration)));
}

// The row's tooltip: the gain the file plays with, "..." while it is measured.
QVariant GainText(const TrackGain& gain)
{
    switch (gain.state) {
    case TrackGain::State::Measuring:
        return CPlaylistModel::tr("Track gain: ...");
    case TrackGain::State::Known:
        return CPlaylistModel::tr("Track gain: %1 dB")
            .arg(QLocale().toString(gain.dDb, 'f', 1).prepend(gain.dDb >= 0.05 ? "+" : ""));
    case TrackGain::State::Failed:
        return CPlaylistModel::tr("Track gain: none (the file could not be measured)");
    case TrackGain::State::None:
        break;
    }
    return {};
}
} // namespace

CPlaylistModel::CPlaylistModel(CPlaylist& playlist, QIcon playingMark, QObject* pParent)
    : QAbstractTableModel(pParent), m_playlist(playlist), m_playingMark(std::move(playingMark))
{
}

int CPlaylistModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_playlist.GetItems().size());
}

int CPlaylistModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CPlaylistModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PlaylistItem& item = m_playlist.GetItems()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return index.column() == 0 ? TitleText(item) : DurationText(item);
    if (role == Qt::DecorationRole && index.column() == 0 && item.id == m_nPlayingId)
        return m_playingMark;
    if (role == kIdRole)
        return item.id;
    if (role == Qt::ToolTipRole)
        return GainText(item.gain);
    return {};
}

QVariant CPlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? tr("Title") : tr("Duration");
}

std::vector<std::int32_t> CPlaylistModel::Append(std::vector<PlaylistItem> items)
{
    std::vector<std::int32_t> ids;
    if (items.empty())
        return ids;
    ids.reserve(items.size());
    const int nFirst = rowCount();
    beginInsertRows({}, nFirst, nFirst + static_cast<int>(items.size()) - 1);
    for (PlaylistItem& item : items)
        ids.push_back(m_playlist.AddDescribed(std::move(item)));
    endInsertRows();
    emit entriesChanged();
    return ids;
}

bool CPlaylistModel::FillIn(const PlaylistItem& described)
{
    if (!m_playlist.FillIn(described))
        return false;
    EntryChanged(described.id);
    return true;
}

void CPlaylistModel::EntryChanged(std::int32_t id)
{
    const int nRow = RowOf(id);
    if (nRow == -1)
        return;
    emit dataChanged(index(nRow, 0), index(nRow, 1), {Qt::DisplayRole});
    emit entriesChanged();
}

void CPlaylistModel::GainChanged(std::int32_t id)
{
    const int nRow = RowOf(id);
    if (nRow != -1)
        emit dataChanged(index(nRow, 0), index(nRow, 1), {Qt::ToolTipRole});
}

void CPlaylistModel::RemoveRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int r) { return r < 0 || r >= rowCount(); });
    if (rows.empty())
        return;
    // Contiguous runs from the bottom up, so the rows above stay where they are.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        beginRemoveRows({}, rows[begin], rows[end - 1]);
        m_playlist.RemoveRange(static_cast<std::size_t>(rows[begin]), end - begin);
        endRemoveRows();
        end = begin;
    }
    if (RowOf(m_nPlayingId) == -1)
        m_nPlayingId = -1;
    emit entriesChanged();
}

int CPlaylistModel::RowOf(std::int32_t id) const
{
    return static_cast<int>(m_playlist.IndexOf(id));
}

std::int32_t CPlaylistModel::IdAt(int nRow) const
{
    return nRow >= 0 && nRow < rowCount() ? m_playlist.GetItems()[static_cast<std::size_t>(nRow)].id
                                          : -1;
}

void CPlaylistModel::SetPlayingId(std::int32_t id)
{
    const int nOld = RowOf(m_nPlayingId);
    const int nNew = RowOf(id);
    m_nPlayingId = nNew == -1 ? -1 : id;
    for (int nRow : {nOld, nNew}) {
        if (nRow != -1)
            ShowRowChanged(nRow, Qt::DecorationRole);
    }
}

void CPlaylistModel::ShowRowChanged(int nRow, int nRole)
{
    emit dataChanged(index(nRow, 0), index(nRow, 0), {nRole});
}
