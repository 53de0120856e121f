// The playlist model: ids, the current entry, and the default playlist file.
#include "playlist/playlist.h"
#include "test_files.h"
#include "voxreel/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace {

using testfiles::CTempFolder;

// A playlist of the files "0.wav", "1.wav", ... (titles from their names).
void AddFiles(CPlaylist& playlist, int count)
{
    for (int i = 0; i < count; ++i)
        playlist.AddFile(std::to_string(i) + ".wav");
}

// Ranges are cut by position and clamped to the list, single ids by id; the ids left
// still find their items, the current id is left alone and no id is given out again.
TEST(PlaylistModel, RemovingKeepsTheRestFindableAndNeverReusesIds)
{
    struct {
        std::size_t first, count;
        std::int32_t id; // >= 0: removed by id instead
        std::vector<std::int32_t> left;
    } const cases[] = {{2, 3, -1, {0, 1, 5}},          {4, 9, -1, {0, 1, 2, 3}},
                       {6, 1, -1, {0, 1, 2, 3, 4, 5}}, {1, 0, -1, {0, 1, 2, 3, 4, 5}},
                       {0, 0, 3, {0, 1, 2, 4, 5}},     {0, 0, 7, {0, 1, 2, 3, 4, 5}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " from " << c.first << ", id " << c.id);
        CPlaylist playlist;
        AddFiles(playlist, 6);
        playlist.SetCurrentId(3);
        if (c.id >= 0)
            playlist.Remove(c.id);
        else
            playlist.RemoveRange(c.first, c.count);
        std::vector<std::int32_t> left;
        for (const PlaylistItem& item : playlist.GetItems())
            left.push_back(item.id);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(playlist.GetCurrentId(), 3);
        for (std::int32_t id = -1; id <= 6; ++id) {
            const auto at = std::find(left.begin(), left.end(), id);
            const std::ptrdiff_t expected = at == left.end() ? -1 : at - left.begin();
            EXPECT_EQ(playlist.IndexOf(id), expected) << id;
            EXPECT_EQ(playlist.Find(id) != nullptr, expected != -1) << id;
        }
        EXPECT_EQ(playlist.AddFile("x.wav"), 6);
    }
}

// A current id that is gone (removed, or never there) moves to the first item.
TEST(PlaylistModel, NextWrapsAndPreviousStopsAtTheFirst)
{
    struct {
        int count, current;
        bool forward;
        int expected;
    } const cases[] = {{3, 1, true, 2},  {3, 2, true, 0},   {3, 1, false, 0},
                       {3, 0, false, 0}, {3, 2, false, 1},  {3, 9, true, 0},
                       {3, 9, false, 0}, {0, -1, true, -1}, {0, 4, false, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items, from " << c.current
                                        << (c.forward ? " next" : " previous"));
        CPlaylist playlist;
        AddFiles(playlist, c.count);
        playlist.SetCurrentId(c.current);
        EXPECT_EQ(c.forward ? playlist.Next() : playlist.Previous(), c.expected);
        EXPECT_EQ(playlist.GetCurrentId(), c.expected);
    }
}

// A description fills an entry's gaps; what the entry knows stays.
TEST(PlaylistModel, FillInTakesOnlyWhatTheEntryLacks)
{
    struct {
        const char* title;
        int duration;
        const char* describedTitle;
        int describedDuration;
        bool changed;
        const char* expectedTitle;
        int expectedDuration;
    } const cases[] = {{"", 0, "A : T", 12, true, "A : T", 12},
                       {"Listed", 0, "A : T", 12, true, "Listed", 12},
                       {"", 7, "", 12, false, "", 7},
                       {"", -1, "", 12, false, "", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.title << "\" " << c.duration);
        CPlaylist playlist;
        const std::int32_t id = playlist.AddDescribed({-1, "a.mp3", c.title, c.duration});
        EXPECT_EQ(playlist.FillIn({id, "a.mp3", c.describedTitle, c.describedDuration}), c.changed);
        EXPECT_EQ(playlist.Find(id)->title, c.expectedTitle);
        EXPECT_EQ(playlist.Find(id)->duration, c.expectedDuration);
        EXPECT_FALSE(playlist.FillIn({id + 1, "a.mp3", "X", 3})); // no such entry
    }
}

// Unset, the list lives in the data folder (pointed at a private one, left set so that
// nothing writes to the real one) and comes back; a set path wins, a missing file there is
// created at exit, and one that is no playlist (a FIFO) neither blocks nor is replaced.
TEST(DefaultPlaylist, LivesInTheDataFolderUnlessSetAndIsSavedAtExitIfReadable)
{
    CTempFolder folder;
    ::setenv("XDG_DATA_HOME", folder.m_path.c_str(), 1);
    const auto dataFile = folder / "Kelmora/Voxreel/playlist.m3u";
    CMemorySettings settings;
    CPlaylist(settings).AddFile("/music/a.wav");
    EXPECT_TRUE(std::filesystem::exists(dataFile));
    EXPECT_EQ(settings.GetProfileString("DefaultPlaylist", "unset"), "unset");
    CPlaylist reloaded(settings);
    ASSERT_EQ(reloaded.GetItems().size(), 1u);
    EXPECT_EQ(reloaded.GetItems()[0].path, "/music/a.wav");
    EXPECT_EQ(reloaded.GetCurrentId(), 0);

    const std::string strDataFile = testfiles::ReadFile(dataFile);
    settings.WriteProfileString("DefaultPlaylist", (folder / "mine.m3u").string());
    CPlaylist(settings).AddFile("b.wav");
    EXPECT_NE(testfiles::ReadFile(folder / "mine.m3u").find("\r\nb.wav\r\n"), std::string::npos);
    EXPECT_EQ(testfiles::ReadFile(dataFile), strDataFile);

    ASSERT_EQ(::mkfifo((folder / "fifo.m3u").c_str(), 0600), 0);
    settings.WriteProfileString("DefaultPlaylist", (folder / "fifo.m3u").string());
    {
        CPlaylist playlist(settings);
        playlist.AddFile("c.wav");
        EXPECT_TRUE(FAILED(playlist.SaveDefault()));
    }
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "fifo.m3u"));
}

} // namespace
