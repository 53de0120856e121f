// The playlist model over the one playlist: Qt's model checker watches every
// change, and the rows, the marks and the playlist never disagree.
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "playlist_model.h"

namespace {

// Entries "0" ... "5" (bare file names: the rows show them as titles), ids 0 ... 5.
void Fill(CPlaylistModel& model, int nCount)
{
    std::vector<PlaylistItem> items;
    for (int i = 0; i < nCount; ++i)
        items.push_back({-1, std::to_string(i) + ".wav", "", 60 * i});
    model.Append(std::move(items));
}

std::vector<std::string> Titles(const CPlaylistModel& model)
{
    std::vector<std::string> titles;
    for (int nRow = 0; nRow < model.rowCount(); ++nRow)
        titles.push_back(model.index(nRow, 0).data().toString().toStdString());
    return titles;
}

int MarkedRow(const CPlaylistModel& model)
{
    for (int nRow = 0; nRow < model.rowCount(); ++nRow) {
        if (!model.index(nRow, 0).data(Qt::DecorationRole).isNull())
            return nRow;
    }
    return -1;
}

QIcon Mark()
{
    QPixmap pixmap(4, 4);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

} // namespace

// Rows go in any order and in runs; the playing mark stays with its entry,
// and goes when the entry goes.
TEST(PlaylistRows, RemovedRowsTakeTheirEntriesAndTheMarkFollowsItsEntry)
{
    const struct {
        std::vector<int> rows;
        std::vector<std::string> left;
        int nMarkedRow; // entry 3 is marked
    } cases[] = {{{0}, {"1", "2", "3", "4", "5"}, 2},
                 {{4, 1, 0, 4, 9, -1}, {"2", "3", "5"}, 1},
                 {{2, 3, 4}, {"0", "1", "5"}, -1},
                 {{5}, {"0", "1", "2", "3", "4"}, 3},
                 {{}, {"0", "1", "2", "3", "4", "5"}, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows.size() << " rows, first left " << c.left[0]);
        CPlaylist playlist;
        CPlaylistModel model(playlist, Mark());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        Fill(model, 6);
        model.SetPlayingId(3);
        QSignalSpy changes(&model, &CPlaylistModel::entriesChanged);
        model.RemoveRows(c.rows);
        EXPECT_EQ(Titles(model), c.left);
        EXPECT_EQ(playlist.GetItems().size(), c.left.size());
        EXPECT_EQ(MarkedRow(model), c.nMarkedRow);
        EXPECT_EQ(model.PlayingId(), c.nMarkedRow == -1 ? -1 : 3);
        EXPECT_EQ(changes.count(), c.left.size() < 6 ? 1 : 0); // once, however many runs
    }
}

// A title or a length learnt later shows in its row and is announced; the
// mark alone is not a change of the entries.
TEST(PlaylistRows, WhatTheEntriesLearnShowsInTheirRows)
{
    CPlaylist playlist;
    CPlaylistModel model(playlist, Mark());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Fill(model, 3);
    QSignalSpy changes(&model, &CPlaylistModel::entriesChanged);
    QSignalSpy rows(&model, &QAbstractItemModel::dataChanged);

    EXPECT_TRUE(model.FillIn({1, "1.wav", "Artist : Song", 185}));
    EXPECT_EQ(Titles(model)[1], "Artist : Song");
    EXPECT_EQ(model.index(1, 1).data().toString(), "01:00"); // it knew its length
    EXPECT_FALSE(model.FillIn({7, "7.wav", "Gone", 3}));

    playlist.Find(0)->duration = 3725; // a length the player found
    model.EntryChanged(0);
    EXPECT_EQ(model.index(0, 1).data().toString(), "62:05");
    EXPECT_EQ(changes.count(), 2);
    ASSERT_EQ(rows.count(), 2);
    EXPECT_EQ(rows[1][0].toModelIndex().row(), 0);

    const struct {
        std::int32_t id;
        int nMarkedRow;
    } marks[] = {{2, 2}, {0, 0}, {9, -1}, {-1, -1}};
    for (const auto& m : marks) {
        model.SetPlayingId(m.id);
        EXPECT_EQ(MarkedRow(model), m.nMarkedRow) << m.id;
    }
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(model.IdAt(1), 1);
    EXPECT_EQ(model.IdAt(3), -1);
    EXPECT_EQ(model.index(2, 0).data(CPlaylistModel::kIdRole).toInt(), 2);
}
