// Files in the real window: drops, lengths read or learnt by playing, the
// default playlist kept current, and a file whose source stalls.
#include <QAbstractItemModelTester>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "rules/window_ids.h"
#include "window_testkit.h"

using namespace apptest;

// Dropped files, folders and playlists are added in the order dropped, a
// folder's audio files sorted (a thousand of them, made in reverse order), a
// playlist's entries with their titles and lengths, and saved. A file named
// itself is added whatever its name. Then rows picked here and there go.
TEST_F(WindowTest, DropAddsFilesAndFoldersInOrderAndSavesThem)
{
    fs::create_directories(m_folder / "album" / "cd2");
    fs::create_directories(m_folder / "many");
    for (const char* name :
         {"b.txt", "a.wav", "album/02.mp3", "album/01.FLAC", "album/cover.jpg", "album/cd2/01.ogg"})
        std::ofstream(m_folder / name) << "x";
    std::ofstream(m_folder / "list.M3U")
        << "#EXTM3U\n#EXTINF:61,Kept title\nalbum/02.mp3\n/abs/x.mp3\nhttp://host/s.mp3\n";
    for (int i = 999; i >= 0; --i)
        std::ofstream(m_folder / "many" / QString::asprintf("%04d.mp3", i).toStdString()) << "x";
    CVoxreelDlg& dlg = Open();
    // Qt's checker watches every change of the rows through the scene.
    new QAbstractItemModelTester(Rows(), QAbstractItemModelTester::FailureReportingMode::Fatal,
                                 Rows());
    QList<QUrl> urls{QUrl("https://example.org/x.mp3")};
    for (const char* name : {"b.txt", "a.wav", "album", "list.M3U", "many"})
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString((m_folder / name).string())));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &drop);
    EXPECT_EQ(Text(1019), "Only local files can be added: 1 ignored");
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 1008 && !dlg.IsAddingFiles(); }, 60s));
    std::string strFirst; // folders sorted, subfolders last, only audio files
    for (int nRow = 0; nRow < 9; ++nRow)
        strFirst += RowText(nRow) + " ";
    EXPECT_EQ(strFirst, "b a 01 02 01 Kept title x s 0000 ");
    EXPECT_EQ(RowText(5, 1), "01:01");
    for (int nRow : {500, 1007})
        EXPECT_EQ(RowText(nRow), QString::asprintf("%04d", nRow - 8).toStdString());
    EXPECT_EQ(Text(1019), "Added 1008 files");
    // Saved once the adds are over: the last file is in the default playlist.
    EXPECT_TRUE(WaitFor([&] {
        return ReadText(m_folder / "default.m3u").find("many/0999.mp3") != std::string::npos;
    }));

    // Removing rows picked in any order, runs and single rows.
    for (int nRow : {1007, 2, 0, 1})
        Control<QTreeView>(1000)->selectionModel()->select(
            Rows()->index(nRow, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dlg.OnRemoveFiles();
    ASSERT_EQ(Rows()->rowCount(), 1004);
    EXPECT_EQ(RowText(0) + " " + RowText(1003), "02 0998");
}

// Entries with bare paths show their names at once; an MP3 file's length is
// read from it later, a WAV file's learnt by playing it, whether loaded or
// handed over to play (--play). Only a handed-over file gets a saved title.
// Then a file whose source stalls (a FIFO nobody writes yet): the window goes
// on answering and says that the file is opening; once data comes, it plays.
// A stop while the next such file opens is announced at once.
TEST_F(WindowTest, LengthsAreLearntAndSavedAndAStalledSourceLeavesTheWindowAnswering)
{
    const fs::path voice = MakeTone(m_folder / "voice.wav", 2.0);
    const fs::path greeting = MakeTone(m_folder / "greeting.wav", 2.0);
    const fs::path song = m_folder / "Song One.mp3";
    voxreel::test::RunLaunch(
        "audiotestsrc samplesperbuffer=4410 num-buffers=30 ! "
        "audio/x-raw,rate=44100,channels=1 ! lamemp3enc ! filesink location=\"" +
        song.string() + "\"");
    std::ofstream(m_folder / "default.m3u") << voice.string() << "\n" << song.string() << "\n";
    CVoxreelDlg& dlg = Open();
    std::set<int> redrawn; // the rows whose texts the view is told changed
    QObject::connect(Rows(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex&, const QList<int>& roles) {
                         if (roles.contains(Qt::DisplayRole))
                             redrawn.insert(from.row());
                     });
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0) + "|" + RowText(1), "voice|Song One");
    EXPECT_EQ(RowText(0, 1), "00:00");
    EXPECT_TRUE(WaitFor([&] { return RowText(1, 1) == "00:03"; })) << RowText(1, 1);
    dlg.RunCommand(ID_PLAY); // the current entry: the first
    EXPECT_TRUE(WaitFor([&] { return RowText(0, 1) == "00:02"; })) << RowText(0, 1);
    dlg.AddPaths({greeting}, true); // handed over: saved with its title
    for (const auto& [strExtInf, path] :
         {std::pair{"#EXTINF:2,", voice}, {"#EXTINF:3,", song}, {"#EXTINF:2,greeting", greeting}}) {
        const std::string strEntry = std::string(strExtInf) + "\r\n" + path.string() + "\r\n";
        EXPECT_TRUE(WaitFor([&] {
            return ReadText(m_folder / "default.m3u").find(strEntry) != std::string::npos;
        })) << ReadText(m_folder / "default.m3u");
    }
    EXPECT_EQ(redrawn, (std::set<int>{0, 1, 2})); // the lengths learnt show in their rows

    const fs::path fifo = m_folder / "stalled.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ::signal(SIGPIPE, SIG_IGN); // a reader may leave before the write
    m_statusTexts.clear();
    dlg.AddPaths({fifo}, true);
    // Only a window that answers gets to say so: the status comes from its tick.
    ASSERT_TRUE(WaitFor([&] { return Showed("Opening ..."); }));
    EXPECT_FALSE(dlg.Player().IsRunning());
    // GStreamer opens a FIFO twice (to learn that it cannot seek, then to
    // read): each reader that waits gets the whole file (< a pipe's 64 KiB).
    const std::string strTone = ReadText(voice);
    const auto feed = [&](const fs::path& path) {
        return WaitFor([&] {
            if (const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                (void)!::write(fd, strTone.data(), strTone.size());
                ::close(fd);
            }
            return !dlg.Player().IsOpening();
        });
    };
    ASSERT_TRUE(feed(fifo));
    EXPECT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    EXPECT_EQ(Text(1019), "");

    // Stopped while the next file opens: those who follow playback hear of it.
    std::vector<CVoxreelDlg::PlaybackState> states;
    QObject::connect(&dlg, &CVoxreelDlg::playbackStateChanged,
                     [&](CVoxreelDlg::PlaybackState state) { states.push_back(state); });
    const fs::path next = m_folder / "stalled too.wav";
    ASSERT_EQ(mkfifo(next.c_str(), 0600), 0);
    dlg.AddPaths({next}, true);
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsOpening(); }));
    dlg.RunCommand(ID_STOP);
    EXPECT_EQ(states, std::vector{CVoxreelDlg::PlaybackState::Stopped});
    ASSERT_TRUE(feed(next));
    EXPECT_EQ(states, std::vector{CVoxreelDlg::PlaybackState::Stopped});
}
