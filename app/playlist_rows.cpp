#include "playlist_rows.h"

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
} // namespace

CPlaylistRows::CPlaylistRows(QIcon playingMark, QObject* pParent)
    : QAbstractTableModel(pParent), m_playingMark(std::move(playingMark))
{
}

int CPlaylistRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CPlaylistRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CPlaylistRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return index.column() == 0 ? row.strTitle : row.strDuration;
    if (role == Qt::DecorationRole && index.column() == 0 && row.bPlaying)
        return m_playingMark;
    if (role == kIdRole)
        return row.id;
    return {};
}

QVariant CPlaylistRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Title") : QStringLiteral("Duration");
}

void CPlaylistRows::AppendRows(const std::vector<PlaylistItem>& items)
{
    if (items.empty())
        return;
    const int nFirst = rowCount();
    beginInsertRows({}, nFirst, nFirst + static_cast<int>(items.size()) - 1);
    for (const PlaylistItem& item : items) {
        m_rows.push_back({item.id, TitleText(item), DurationText(item)});
    }
    endInsertRows();
}

void CPlaylistRows::UpdateRow(const PlaylistItem& item)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id != item.id)
            continue;
        m_rows[i].strTitle = TitleText(item);
        m_rows[i].strDuration = DurationText(item);
        const int nRow = static_cast<int>(i);
        emit dataChanged(index(nRow, 0), index(nRow, 1), {Qt::DisplayRole});
    }
}

int CPlaylistRows::FindRow(std::int32_t id) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

std::int32_t CPlaylistRows::IdAt(int nRow) const
{
    return nRow >= 0 && nRow < rowCount() ? m_rows[static_cast<std::size_t>(nRow)].id : -1;
}

void CPlaylistRows::SetPlayingMark(int nRow)
{
    if (nRow < 0 || nRow >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(nRow)].bPlaying = true;
    emit dataChanged(index(nRow, 0), index(nRow, 0), {Qt::DecorationRole});
}

void CPlaylistRows::ClearPlayingMarks()
{
    for (Row& row : m_rows)
        row.bPlaying = false;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

std::vector<std::int32_t> CPlaylistRows::RemoveRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int r) { return r < 0 || r >= rowCount(); });
    std::vector<std::int32_t> ids;
    ids.reserve(rows.size());
    for (int r : rows)
        ids.push_back(m_rows[static_cast<std::size_t>(r)].id);
    // Contiguous runs from the bottom up, so the indices above stay valid.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        beginRemoveRows({}, rows[begin], rows[end - 1]);
        m_rows.erase(m_rows.begin() + rows[begin], m_rows.begin() + rows[end - 1] + 1);
        endRemoveRows();
        end = begin;
    }
    return ids;
}
