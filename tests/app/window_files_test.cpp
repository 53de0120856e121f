// Adding and removing files in the real window: drops, the add dialog, keys,
// and the default playlist kept current.
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>

#include "rules/window_ids.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

void Drop(QWidget* pTarget, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &drop);
}

QUrl FileUrl(const fs::path& path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

// An untagged MP3 file of a tone, whose length the playlist reads itself.
fs::path MakeMp3(const fs::path& path, int nSeconds)
{
    voxreel::test::RunLaunch(
        "audiotestsrc samplesperbuffer=4410 num-buffers=" + std::to_string(nSeconds * 10) +
        " ! audio/x-raw,rate=44100,channels=1 ! lamemp3enc ! filesink "
        "location=\"" +
        path.string() + "\"");
    return path;
}

// The default playlist's text: "#EXTINF:<duration>,<title>" and the path of an entry.
bool Saved(const fs::path& file, const std::string& strExtInf, const fs::path& entry)
{
    return ReadText(file).find(strExtInf + "\r\n" + entry.string() + "\r\n") != std::string::npos;
}

} // namespace

TEST_F(WindowTest, DropAddsFilesAndFolderContentsInOrder)
{
    fs::create_directories(m_folder / "album" / "cd2");
    for (const char* name :
         {"b.mp3", "a.wav", "album/02.mp3", "album/01.flac", "album/cover.jpg", "album/cd2/01.ogg"})
        std::ofstream(m_folder / name) << "x";
    CVoxreelDlg& dlg = Open();
    Drop(&dlg, {FileUrl(m_folder / "b.mp3"), FileUrl(m_folder / "a.wav"),
                QUrl("https://example.org/x.mp3"), FileUrl(m_folder / "album")});
    EXPECT_EQ(Text(1019), "Only local files can be added: 1 ignored");
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 5; }));
    std::vector<fs::path> paths;
    for (const PlaylistItem& item : dlg.Playlist().GetItems())
        paths.push_back(item.path);
    const std::vector<fs::path> expected = {m_folder / "b.mp3", m_folder / "a.wav",
                                            m_folder / "album/01.flac", m_folder / "album/02.mp3",
                                            m_folder / "album/cd2/01.ogg"};
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(RowText(0), "b");
}

TEST_F(WindowTest, AThousandFilesKeepTheirOrderAndReachTheDefaultPlaylist)
{
    fs::create_directories(m_folder / "many");
    std::vector<fs::path> files;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%04d.mp3", 999 - i); // made in reverse order
        std::ofstream(m_folder / "many" / name) << "x";
    }
    CVoxreelDlg& dlg = Open();
    Drop(&dlg, {FileUrl(m_folder / "many")});
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 1000 && !dlg.IsAddingFiles(); }, 60s));
    for (int nRow : {0, 1, 500, 999})
        EXPECT_EQ(RowText(nRow),
                  QStringLiteral("%1").arg(nRow, 4, 10, QLatin1Char('0')).toStdString());
    EXPECT_EQ(Text(1019), "Added 1000 files");
    const auto savedEntries = [&] {
        const std::string text = ReadText(m_folder / "default.m3u");
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find("many/", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return savedEntries() == 1000; }, 10s)) << savedEntries();
}

TEST_F(WindowTest, InsertOpensTheDialogOnceAndDeleteRemovesTheSelection)
{
    CVoxreelDlg& dlg = Open();
    int nDialogs = 0;
    dlg.SetFileChooser([&](QWidget*) {
        ++nDialogs;
        return std::vector<fs::path>{m_folder / "1.mp3", m_folder / "2.mp3", m_folder / "3.mp3"};
    });
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    auto* pView = Control<QTreeView>(1000);
    pView->setFocus();
    QTest::keyClick(pView, Qt::Key_Insert);
    EXPECT_EQ(nDialogs, 1);
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3; }));

    for (int nRow : {0, 2})
        pView->selectionModel()->select(Rows()->index(nRow, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(pView, Qt::Key_Delete);
    ASSERT_EQ(Rows()->rowCount(), 1);
    EXPECT_EQ(RowText(0), "2");
    ASSERT_EQ(dlg.Playlist().GetItems().size(), 1u);
    EXPECT_EQ(dlg.Playlist().GetItems()[0].path, m_folder / "2.mp3");
}

// A playlist written elsewhere, with bare paths: the rows show the files'
// names at once, a length read from the file arrives later, and no made-up
// title is saved.
TEST_F(WindowTest, APlaylistWithoutTitlesShowsNamesThenLengths)
{
    const fs::path song = MakeMp3(m_folder / "Song One.mp3", 3);
    const fs::path voice = MakeTone(m_folder / "voice.wav", 2.0);
    std::ofstream(m_folder / "default.m3u") << song.string() << "\n" << voice.string() << "\n";
    CVoxreelDlg& dlg = Open();
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0), "Song One");
    EXPECT_EQ(RowText(1), "voice");
    EXPECT_TRUE(WaitFor([&] { return RowText(0, 1) == "00:03"; })) << RowText(0, 1);
    EXPECT_EQ(RowText(1, 1), "00:00"); // only playing it tells a WAV file's length
    EXPECT_EQ(dlg.Playlist().GetItems()[0].title, "");
    EXPECT_TRUE(WaitFor([&] { return Saved(m_folder / "default.m3u", "#EXTINF:3,", song); }))
        << ReadText(m_folder / "default.m3u");
}

// However a file comes to play, the length the player finds shows in its row
// and reaches the default playlist.
TEST_F(WindowTest, ALengthLearntByPlayingShowsInTheRow)
{
    const struct {
        const char* pszHow;
        bool bLoaded; // in the default playlist, else handed over to play
        const char* pszSaved;
    } cases[] = {{"play on a loaded entry without a title", true, "#EXTINF:2,"},
                 {"added to play (--play)", false, "#EXTINF:2,voice"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszHow);
        const fs::path voice = MakeTone(m_folder / "voice.wav", 2.0);
        std::ofstream(m_folder / "default.m3u") << (c.bLoaded ? voice.string() + "\n" : "");
        CVoxreelDlg& dlg = Open();
        if (c.bLoaded)
            dlg.RunCommand(ID_PLAY); // the current entry: the first
        else
            dlg.AddPaths({voice}, true);
        ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 1 && dlg.Player().IsRunning(); }));
        EXPECT_EQ(RowText(0, 1), "00:02");
        EXPECT_EQ(Text(1006), "voice");
        EXPECT_TRUE(WaitFor([&] { return Saved(m_folder / "default.m3u", c.pszSaved, voice); }))
            << ReadText(m_folder / "default.m3u");
        m_pDlg.reset();
    }
}
