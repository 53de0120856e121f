// The rows of the playlist view: title (the file's name for an entry without
// one), duration text, the entry's id, and the playing mark. Rows match
// playlist entries only through the id.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <vector>

#include "playlist/playlist.h"

class CPlaylistRows final : public QAbstractTableModel {
public:
    static constexpr int kIdRole = Qt::UserRole;

    explicit CPlaylistRows(QIcon playingMark, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void AppendRows(const std::vector<PlaylistItem>& items);
    // Shows the entry's title and duration anew in its rows.
    void UpdateRow(const PlaylistItem& item);
    // The first row showing entry id, or -1.
    int FindRow(std::int32_t id) const;
    std::int32_t IdAt(int nRow) const;
    void SetPlayingMark(int nRow);
    void ClearPlayingMarks();
    // Removes the rows (any order) and returns their ids, top row first.
    std::vector<std::int32_t> RemoveRows(std::vector<int> rows);

private:
    struct Row {
        std::int32_t id;
        QString strTitle;
        QString strDuration;
        bool bPlaying = false;
    };
    std::vector<Row> m_rows;
    QIcon m_playingMark;
};
