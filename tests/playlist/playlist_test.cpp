// The playlist model: ids, the current entry, and the default playlist file.
#include "playlist/playlist.h"
#include "test_files.h"
#include "voxreel/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

using testfiles::CTempFolder;

// A playlist of the files "0.wav", "1.wav", ... (titles from their names).
void AddFiles(CPlaylist& playlist, int count)
{
    for (int i = 0; i < count; ++i) {
        playlist.AddFile(std::to_string(i) + ".wav");
    }
}

TEST(PlaylistModel, IdsGrowAndAreNeverReused)
{
    CPlaylist playlist;
    AddFiles(playlist, 3);
    EXPECT_EQ(playlist.GetCurrentId(), 0);
    playlist.Remove(1);
    playlist.Remove(7); // no such id: nothing happens
    EXPECT_EQ(playlist.AddFile("x.wav"), 3);
    ASSERT_EQ(playlist.GetItems().size(), 3u);
    EXPECT_EQ(playlist.GetItems()[1].id, 2);
    EXPECT_EQ(playlist.GetItems().back().title, "x");
    EXPECT_EQ(playlist.GetCurrentId(), 0);
    EXPECT_EQ(playlist.Find(1), nullptr);
    ASSERT_NE(playlist.Find(2), nullptr);
    EXPECT_EQ(playlist.Find(2)->path, "2.wav");
}

struct MoveCase {
    const char* name;
    int current;
    bool forward;
    int expected;
};

void PrintTo(const MoveCase& c, std::ostream* out)
{
    *out << c.name;
}

class PlaylistMoves : public testing::TestWithParam<MoveCase> {};

TEST_P(PlaylistMoves, NextWrapsPreviousStops)
{
    CPlaylist playlist;
    AddFiles(playlist, 3);
    playlist.SetCurrentId(GetParam().current);
    const int result = GetParam().forward ? playlist.Next() : playlist.Previous();
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(playlist.GetCurrentId(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PlaylistMoves,
                         testing::Values(MoveCase{"NextMiddle", 1, true, 2},
                                         MoveCase{"NextWraps", 2, true, 0},
                                         MoveCase{"PreviousMiddle", 1, false, 0},
                                         MoveCase{"PreviousStaysAtFirst", 0, false, 0},
                                         MoveCase{"PreviousFromLast", 2, false, 1},
                                         MoveCase{"NextFromUnknown", 9, true, 0},
                                         MoveCase{"PreviousFromUnknown", 9, false, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(PlaylistModel, RemovedCurrentMovesToFirstAndEmptyGivesMinusOne)
{
    CPlaylist playlist;
    AddFiles(playlist, 3);
    playlist.SetCurrentId(1);
    playlist.Remove(1);
    EXPECT_EQ(playlist.GetCurrentId(), 1); // Remove leaves the current id alone
    EXPECT_EQ(playlist.Next(), 0);
    playlist.SetCurrentId(1);
    EXPECT_EQ(playlist.Previous(), 0);

    CPlaylist empty;
    EXPECT_EQ(empty.Next(), -1);
    empty.SetCurrentId(4);
    EXPECT_EQ(empty.Previous(), -1);
    EXPECT_EQ(empty.GetCurrentId(), -1);
}

// Each test points the data folder at a private one and restores it after.
class DefaultPlaylist : public testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_DATA_HOME");
        m_strOldDataHome = old ? old : "";
        m_bHadDataHome = old != nullptr;
        ::setenv("XDG_DATA_HOME", m_folder.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_bHadDataHome) {
            ::setenv("XDG_DATA_HOME", m_strOldDataHome.c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
    }
    std::filesystem::path DataFile() const { return m_folder / "Kelmora/Voxreel/playlist.m3u"; }

    CTempFolder m_folder;
    CMemorySettings m_settings;
    std::string m_strOldDataHome;
    bool m_bHadDataHome = false;
};

TEST_F(DefaultPlaylist, EmptySettingKeepsTheListInTheDataFolder)
{
    {
        CPlaylist playlist(m_settings);
        EXPECT_TRUE(playlist.GetItems().empty());
        playlist.AddFile("/music/a.wav");
    }
    EXPECT_TRUE(std::filesystem::exists(DataFile()));
    EXPECT_EQ(m_settings.GetProfileString("DefaultPlaylist", "unset"), "unset");

    CPlaylist reloaded(m_settings);
    ASSERT_EQ(reloaded.GetItems().size(), 1u);
    EXPECT_EQ(reloaded.GetItems()[0].path, "/music/a.wav");
    EXPECT_EQ(reloaded.GetCurrentId(), 0);
}

TEST_F(DefaultPlaylist, SetValueWinsAndAMissingFileIsCreatedAtExit)
{
    const auto path = m_folder / "mine.m3u";
    m_settings.WriteProfileString("DefaultPlaylist", path.string());
    {
        CPlaylist playlist(m_settings);
        EXPECT_TRUE(playlist.GetItems().empty());
        playlist.AddFile("b.wav");
    }
    EXPECT_NE(testfiles::ReadFile(path).find("\r\nb.wav\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(DataFile()));
}

TEST_F(DefaultPlaylist, AnUnreadableListIsNotOverwrittenAtExit)
{
    // A FIFO exists but is no playlist file: it must neither block nor be replaced.
    const auto path = m_folder / "fifo.m3u";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    m_settings.WriteProfileString("DefaultPlaylist", path.string());
    {
        CPlaylist playlist(m_settings);
        playlist.AddFile("c.wav");
        EXPECT_TRUE(FAILED(playlist.SaveDefault()));
    }
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

} // namespace
