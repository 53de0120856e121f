// The playlist model over the one playlist: Qt's model checker watches every
// change, and the rows, the marks and the playlist never disagree.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QStyle>

#include <gtest/gtest.h>

#include "playlist_model.h"

namespace {

// A model of entries "0" ... "<nCount - 1>" (bare file names, shown as
// titles), ids 0 ... nCount - 1, watched by Qt's model checker.
struct CheckedModel {
    explicit CheckedModel(int nCount)
    {
        std::vector<PlaylistItem> items;
        for (int i = 0; i < nCount; ++i)
            items.push_back({-1, std::to_string(i) + ".wav", "", 60 * i});
        model.Append(std::move(items));
    }
    // The rows' titles, "|" between them, the marked row's after a "*".
    std::string Rows() const
    {
        std::string text;
        for (int nRow = 0; nRow < model.rowCount(); ++nRow) {
            const QModelIndex index = model.index(nRow, 0);
            text += (nRow > 0 ? "|" : "") +
                    std::string(index.data(Qt::DecorationRole).isNull() ? "" : "*") +
                    index.data().toString().toStdString();
        }
        return text;
    }

    CPlaylist playlist;
    CPlaylistModel model{playlist, QApplication::style()->standardIcon(QStyle::SP_MediaPlay)};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

// Rows go in any order and in runs; the playing mark stays with its entry,
// and goes when the entry goes; what the entries learn shows in their rows.
TEST(PlaylistRows, FollowTheirEntriesAndTheMarkFollowsItsEntry)
{
    const std::pair<std::vector<int>, std::string> cases[] = {{{0}, "1|2|*3|4|5"},
                                                              {{4, 1, 0, 4, 9, -1}, "2|*3|5"},
                                                              {{2, 3, 4}, "0|1|5"},
                                                              {{}, "0|1|2|*3|4|5"}};
    for (const auto& [rows, strLeft] : cases) {
        SCOPED_TRACE(strLeft);
        CheckedModel m(6);
        m.model.SetPlayingId(3);
        QSignalSpy changes(&m.model, &CPlaylistModel::entriesChanged);
        m.model.RemoveRows(rows);
        EXPECT_EQ(m.Rows(), strLeft);
        EXPECT_EQ(m.playlist.GetItems().size(), static_cast<std::size_t>(m.model.rowCount()));
        EXPECT_EQ(m.model.PlayingId(), strLeft.find('*') == std::string::npos ? -1 : 3);
        EXPECT_EQ(changes.count(), rows.empty() ? 0 : 1); // once, however many runs
    }

    // A title or a length learnt later shows in its row and is announced; the
    // mark alone is not a change of the entries.
    CheckedModel m(3);
    QSignalSpy changes(&m.model, &CPlaylistModel::entriesChanged);
    QSignalSpy rows(&m.model, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(m.model.FillIn({1, "1.wav", "Artist : Song", 185}));
    EXPECT_FALSE(m.model.FillIn({7, "7.wav", "Gone", 3}));
    m.playlist.Find(0)->duration = 3725; // a length the player found
    m.model.EntryChanged(0);
    EXPECT_EQ(m.Rows(), "0|Artist : Song|2");
    EXPECT_EQ(m.model.index(0, 1).data().toString(), "62:05");
    EXPECT_EQ(m.model.index(1, 1).data().toString(), "01:00"); // it knew its length
    ASSERT_EQ(rows.count(), 2);
    EXPECT_EQ(rows[1][0].toModelIndex().row(), 0);
    for (const auto& [id, pszRows] : {std::pair{2, "0|Artist : Song|*2"},
                                      {-1, "0|Artist : Song|2"},
                                      {0, "*0|Artist : Song|2"},
                                      {9, "0|Artist : Song|2"}}) {
        m.model.SetPlayingId(id);
        EXPECT_EQ(m.Rows(), pszRows) << id;
    }
    EXPECT_EQ(changes.count(), 2);
}
