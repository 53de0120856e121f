// The playlist as the window's view, the default playlist file and the
// desktop's media interface all see it: a table over the window's one
// CPlaylist, and the only way the window changes its entries, so that a
// title or a length learnt at any time reaches every one of them at once.
// Columns: the title (the file's name for an entry without one) and the
// duration; the playing entry's title carries a mark, and each row's tooltip
// the gain its file plays with. UI thread only.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <vector>

#include "playlist/playlist.h"

class CPlaylistModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kIdRole = Qt::UserRole;

    // The playlist must outlive the model and change only through it, apart
    // from its current id and an entry's fields announced with EntryChanged.
    CPlaylistModel(CPlaylist& playlist, QIcon playingMark, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends described files (their ids are ignored); returns the ids they
    // were given, in order.
    std::vector<std::int32_t> Append(std::vector<PlaylistItem> items);
    // Takes what a description of an entry learnt (CPlaylist::FillIn); false
    // when that changed nothing, also when the entry is gone.
    bool FillIn(const PlaylistItem& described);
    // The entry's title or duration was changed in the playlist itself.
    void EntryChanged(std::int32_t id);
    // The entry's track gain was changed in the playlist itself (shown in
    // the row's tooltip; not kept in the playlist file).
    void GainChanged(std::int32_t id);
    // Removes the rows (any order, duplicates and rows out of range ignored).
    void RemoveRows(std::vector<int> rows);

    // The row of entry id, or -1.
    int RowOf(std::int32_t id) const;
    // The entry id of a row, or -1.
    std::int32_t IdAt(int nRow) const;
    // Marks the entry as the one playing (-1: none); an entry without a row
    // leaves no mark.
    void SetPlayingId(std::int32_t id);
    std::int32_t PlayingId() const { return m_nPlayingId; }

signals:
    // Entries were added or removed, or one shows something new: whatever
    // keeps or shows the entries has to catch up. The playing mark alone
    // does not count.
    void entriesChanged();

private:
    void ShowRowChanged(int nRow, int nRole);

    CPlaylist& m_playlist;
    QIcon m_playingMark;
    std::int32_t m_nPlayingId = -1;
};
