// M3U files: the bytes written, the lines read, and saving without loss.
#include "playlist/playlist.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using testfiles::CTempFolder;
using testfiles::ReadFile;
using testfiles::WriteFile;

struct Entry {
    std::string title;
    int duration;
    std::string path;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(const CPlaylist& playlist)
{
    std::vector<Entry> entries;
    for (const PlaylistItem& item : playlist.GetItems())
        entries.push_back({item.title, item.duration, item.path.string()});
    return entries;
}

// Items set directly, as the main window does with the durations it learns.
void Fill(CPlaylist& playlist, const std::vector<Entry>& entries)
{
    for (const Entry& entry : entries) {
        PlaylistItem* item = playlist.Find(playlist.AddFile(entry.path));
        item->title = entry.title;
        item->duration = entry.duration;
    }
}

// Line breaks in titles and paths, and paths that would read as comments or
// lose their blanks, cannot add or change items on reload.
TEST(M3UFile, WritesTheLayoutAndReadsBackEveryItemIncludingOddOnes)
{
    CTempFolder folder;
    std::vector<Entry> entries = {
        {"Artist : Song", 185, "M:/Music/a.mp3"},
        {"", 0, "D:/b.wav"},
        {"Stream", -1, "http://radio/stream"},
        {"Ünïcode 日本, with comma", 61, "/música/日本.mp3"},
        {"", 0, std::string(1500, 'p')},
        {"Hash", 3, "./#1 hit.mp3"},
        {"", 2, "/m/L\xE9gende.mp3"}, // not UTF-8: the bytes are kept
    };
    CPlaylist playlist;
    playlist.AddFile("bad\npath.mp3");
    Fill(playlist, entries);
    Fill(playlist, {{"two\r\nlines\n", 1, "a.mp3"}, {"", 3, "# hash.mp3"}, {"", 4, " b.mp3"}});
    entries.insert(entries.end(),
                   {{"two  lines", 1, "a.mp3"}, {"", 3, "./# hash.mp3"}, {"", 4, "./ b.mp3"}});
    ASSERT_EQ(playlist.SaveM3U(folder / "out.m3u"), S_OK);
    const std::string layout = "\xEF\xBB\xBF#EXTM3U\r\n\r\n#EXTINF:185,Artist : Song\r\n"
                               "M:/Music/a.mp3\r\n#EXTINF:0,\r\nD:/b.wav\r\n#EXTINF:-1,Stream\r\n";
    EXPECT_EQ(ReadFile(folder / "out.m3u").substr(0, layout.size()), layout);
    CPlaylist reloaded;
    reloaded.AddFile("already.wav");
    ASSERT_TRUE(reloaded.LoadM3U(folder / "out.m3u"));
    std::vector<Entry> got = Entries(reloaded);
    EXPECT_EQ(reloaded.GetCurrentId(), 0); // loading keeps an existing current item
    EXPECT_EQ(reloaded.GetItems().back().id, 10);
    got.erase(got.begin());
    EXPECT_EQ(got, entries);
}

TEST(M3UFile, ReadsTheLinesItKnowsAndSkipsTheRest)
{
    // U+4E00 has a zero low byte, U+0100 a zero high byte and U+0A0D the bytes
    // of a line end: none may end a line or split a character.
    const std::u16string_view text = u"#EXTINF:4,Caf\u00e9 \u4e00\u0100\r\n/m/\u0a0d.mp3";
    const std::vector<Entry> utf16Entries = {
        {"Caf\xC3\xA9 \xE4\xB8\x80\xC4\x80", 4, "/m/\xE0\xA8\x8D.mp3"}};
    struct ReadCase {
        const char* name;
        std::string bytes;
        std::vector<Entry> expected;
    } const cases[] = {
        {"BlanksTrimmed",
         "\n  \r\n#EXTINF:7,  Padded title \t\r\n   /a b.mp3  \r\n\r\n",
         {{"Padded title", 7, "/a b.mp3"}}},
        {"SecondExtinfWinsButKeepsTitleWithoutComma",
         "#EXTINF:5,First\n#EXTINF:9\na.mp3\n#EXTINF:1,One\n#EXTINF:2,Two\nb.mp3\n",
         {{"First", 9, "a.mp3"}, {"Two", 2, "b.mp3"}}},
        {"OtherTagsIgnored", "#EXTM3U\n#EXTGRP:g\n#extinf:3,lower\nc.mp3\n", {{"", 0, "c.mp3"}}},
        {"NumberParsing",
         "#EXTINF: +42 , t\na\n#EXTINF:,NoNumber\nb\n#EXTINF:x,NoComma\nc\n"
         "#EXTINF:99999999999,Big\nd\n",
         {{"t", 42, "a"}, {"NoNumber", 0, "b"}, {"", 0, "c"}, {"Big", -1, "d"}}},
        {"Utf8WithoutBom",
         "#EXTINF:1,Caf\xC3\xA9\n/m/\xC3\xA9.mp3",
         {{"Caf\xC3\xA9", 1, "/m/\xC3\xA9.mp3"}}},
        {"Utf16LittleEndian", testfiles::Utf16(text, false), utf16Entries},
        {"Utf16BigEndian", testfiles::Utf16(text, true), utf16Entries}};
    CTempFolder folder;
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(folder / "in.m3u", c.bytes);
        CPlaylist playlist;
        EXPECT_TRUE(playlist.LoadM3U(folder / "in.m3u"));
        EXPECT_EQ(Entries(playlist), c.expected);
    }
}

// Saving replaces the old file whole or not at all, and keeps its mode and a
// symbolic link pointing at it.
TEST(M3UFile, SavingReplacesOnlyTheContentsAndAFailureNothing)
{
    CTempFolder folder;
    const auto path = folder / "list.m3u";
    WriteFile(path, "old contents");
    ::chmod(path.c_str(), 0640);
    std::filesystem::create_symlink(path, folder / "link.m3u");
    CPlaylist playlist;
    playlist.AddFile("a.wav");
    ASSERT_EQ(playlist.SaveM3U(folder / "link.m3u"), S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.m3u"));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));

    // A write that fails part-way (here: the file size limit, as a full disk
    // would) must not touch the old file.
    const std::string saved = ReadFile(path);
    EXPECT_NE(saved.find("a.wav"), std::string::npos);
    for (int i = 0; i < 200; ++i)
        playlist.AddFile("/a/long/enough/path/" + std::to_string(i) + ".wav");
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{1000, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const HRESULT hr = playlist.SaveM3U(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(ReadFile(path), saved);

    EXPECT_TRUE(FAILED(playlist.SaveM3U(folder / "no/such/folder.m3u")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.m_path), {}), 2);
}

} // namespace
