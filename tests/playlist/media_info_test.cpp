// Titles and durations of added files, from real encoded MP3 audio behind
// ID3 tags built byte by byte (and one tag written by GStreamer's muxer).
#include "playlist/media_info.h"
#include "playlist/playlist.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace testfiles;

struct DescribeCase {
    const char* name;
    std::string fileName;
    std::string bytes;
    std::string title;
    int duration;
};

void PrintTo(const DescribeCase& c, std::ostream* out)
{
    *out << c.name;
}

class Describe : public testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, GivesTitleAndDuration)
{
    CTempFolder folder;
    WriteFile(folder / GetParam().fileName, GetParam().bytes);
    PlaylistItem item;
    DescribeFile(folder / GetParam().fileName, item);
    EXPECT_EQ(item.title, GetParam().title);
    EXPECT_EQ(item.duration, GetParam().duration);
}

const std::string& Audio()
{
    return EncodedMp3(3);
}

std::string Tagged(int major, std::string_view artistBody, std::string_view titleBody,
                   const std::string& audio = Audio())
{
    std::vector<std::string> frames;
    if (!artistBody.empty()) {
        frames.push_back(Frame(major, major == 2 ? "TP1" : "TPE1", artistBody));
    }
    if (!titleBody.empty()) {
        frames.push_back(Frame(major, major == 2 ? "TT2" : "TIT2", titleBody));
    }
    return Tag(major, frames) + audio;
}

// An MPEG-1 layer III frame whose Xing header counts 1000 frames (26.1 s).
std::string XingFrame()
{
    std::string frame = "\xFF\xFB\x90\x64" + std::string(32, '\0') + "Xing" +
                        std::string("\0\0\0\x01\0\0\x03\xE8", 8);
    frame.resize(417, '\0');
    return frame;
}

const auto kName = [](const auto& param) { return std::string(param.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Titles, Describe,
    testing::Values(
        DescribeCase{"ArtistAndTitle", "Song.mp3",
                     Tagged(3, Latin1Text("Artist"), Latin1Text("Name")), "Artist : Name", 3},
        DescribeCase{"ArtistOnly", "Song.mp3", Tagged(3, Latin1Text("Artist"), ""), "Artist", 3},
        DescribeCase{"TitleOnly", "Song.mp3", Tagged(3, "", Latin1Text("Name")), "Song : Name", 3},
        DescribeCase{"NoTag", "Song.mp3", Audio(), "Song", 3},
        DescribeCase{"UpperCaseExtension", "A.MP3", Tagged(3, "", Latin1Text("N")), "A : N", 3},
        DescribeCase{"BareMp3NameIsNoMp3", ".mp3", Tagged(3, "", Latin1Text("N")), ".mp3", 0},
        DescribeCase{"NoExtension", "track", Audio(), "track", 0},
        DescribeCase{"WavKeepsItsName", "x.wav", Tagged(3, "", Latin1Text("N")), "x", 0},
        DescribeCase{"WmaKeepsItsName", "y.z.wma", Audio(), "y.z", 0},
        DescribeCase{"ShortFileHasADuration", "s.mp3", EncodedMp3(1), "s", 1},
        DescribeCase{"XingFrameCount", "v.mp3", XingFrame() + Audio(), "v", 26}),
    kName);

INSTANTIATE_TEST_SUITE_P(
    Encodings, Describe,
    testing::Values(
        DescribeCase{"Latin1", "a.mp3", Tagged(3, Latin1Text("Caf\xE9"), ""), "Caf\xC3\xA9", 3},
        DescribeCase{"Utf16WithBom", "a.mp3",
                     Tagged(3, Utf16Text(u"\u65e5\u672c\u306e\u6b4c\u624b Zo\u00eb", false),
                            Utf16Text(u"Longer than sixteen bytes \U0001F3B5", false)),
                     "日本の歌手 Zoë : Longer than sixteen bytes 🎵", 3},
        DescribeCase{"Utf16BigEndianV24", "a.mp3", Tagged(4, Utf16Text(u"\u0416", true), ""), "Ж",
                     3},
        DescribeCase{"Utf8V24LongFrame", "a.mp3",
                     Tagged(4, "", Utf8Text(std::string(200, 'x') + "ü")),
                     "a : " + std::string(200, 'x') + "ü", 3},
        DescribeCase{"V22Frames", "a.mp3", Tagged(2, Latin1Text("Old"), Latin1Text("Two")),
                     "Old : Two", 3},
        DescribeCase{"V23Unsynchronised", "a.mp3",
                     Tag(3, {Unsynchronise(Frame(3, "TIT2", Latin1Text("\xFF\xE9")))}, 0x80) +
                         Audio(),
                     "a : ÿé", 3},
        DescribeCase{"Id3v1Only", "a.mp3", Audio() + Id3v1("V1 Title", "V1 Artist"),
                     "V1 Artist : V1 Title", 3},
        DescribeCase{"Id3v2FramesBeforeId3v1Fields", "a.mp3",
                     Tagged(3, "", Latin1Text("V2 Title")) + Id3v1("V1 Title", "V1 Artist"),
                     "V1 Artist : V2 Title", 3}),
    kName);

// Inputs on which id3lib itself crashes, overflows or throws: each must give
// a title and leave the process intact (this runs under the sanitizers).
INSTANTIATE_TEST_SUITE_P(
    Hostile, Describe,
    testing::Values(
        DescribeCase{"ValidCompressedFrame", "Song.mp3",
                     Tag(3, {Frame(3, "TIT2", CompressedBody(Latin1Text("Packed")), 0x80)}) +
                         Audio(),
                     "Song : Packed", 3},
        DescribeCase{
            "MalformedCompressedFrame", "Song.mp3",
            Tag(3, {Frame(3, "TIT2", std::string("\0\0\0\x20\x78\x9C\xFF\xFF\0", 9), 0x80)}) +
                Audio(),
            "Song", 3},
        DescribeCase{
            "HugeDeclaredDecompressedSize", "Song.mp3",
            Tag(3, {Frame(3, "TIT2", "\xFF\xFF\xFF\xF0" + CompressedBody("x").substr(4), 0x80)}) +
                Audio(),
            "Song", 3},
        DescribeCase{"CompressedFrameBomb", "Song.mp3",
                     Tag(3, {Frame(3, "TIT2", CompressedBody(std::string(4 << 20, 'b')), 0x80)}) +
                         Audio(),
                     "Song", 3},
        DescribeCase{"V22CdmFrame", "Song.mp3",
                     Tag(2, {Frame(2, "CDM", std::string("z\0\0\0\x64\x78\x9C", 7)),
                             Frame(2, "TT2", Latin1Text("Two"))}) +
                         Audio(),
                     "Song : Two", 3},
        DescribeCase{"EncryptedFrame", "Song.mp3",
                     Tag(3, {Frame(3, "TIT2", "\x80" + Latin1Text("secret"), 0x40)}) + Audio(),
                     "Song", 3},
        DescribeCase{"FrameLongerThanTag", "Song.mp3",
                     Tag(3, {"TIT2" + std::string("\0\x10\0\0\0\0", 6)}) + Audio(), "Song", 3},
        DescribeCase{"TagLongerThanFile", "Song.mp3",
                     std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) +
                         Frame(3, "TIT2", Latin1Text("Cut")),
                     "Song : Cut", 0},
        DescribeCase{"EmptyFile", "Song.mp3", "", "Song", 0}),
    kName);

TEST(DescribeSpecialFiles, NeverBlockOrReadThem)
{
    CTempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo.mp3").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder / "zero.mp3");
    std::filesystem::create_directory(folder / "dir.mp3");
    for (const char* name : {"fifo.mp3", "zero.mp3", "dir.mp3", "missing.mp3"}) {
        PlaylistItem item;
        item.duration = 5;
        DescribeFile(folder / name, item);
        EXPECT_EQ(item.title, std::filesystem::path(name).stem()) << name;
        EXPECT_EQ(item.duration, 0) << name;
    }
}

// File names are native bytes: UTF-8 or not, the file is read and its path
// saved and reloaded unchanged; a non-UTF-8 name still gives a showable title.
TEST(DescribeRealTags, PathsAndTextsSurviveTagAndPlaylist)
{
    CTempFolder folder;
    const auto utf8Path = folder / "Música 日本.mp3";
    const auto latin1Path = folder / "L\xE9gende.mp3";
    WriteTaggedMp3(utf8Path, "Björk Ж", "日本 1");
    WriteFile(latin1Path, Tagged(3, "", Latin1Text("T")));

    CPlaylist playlist;
    playlist.AddFile(utf8Path);
    playlist.AddFile(latin1Path);
    ASSERT_EQ(playlist.SaveM3U(folder / "list.m3u"), S_OK);
    CPlaylist reloaded;
    ASSERT_TRUE(reloaded.LoadM3U(folder / "list.m3u"));
    for (const CPlaylist* list : {&playlist, &reloaded}) {
        ASSERT_EQ(list->GetItems().size(), 2u);
        EXPECT_EQ(list->GetItems()[0].path, utf8Path);
        EXPECT_EQ(list->GetItems()[0].title, "Björk Ж : 日本 1");
        EXPECT_EQ(list->GetItems()[0].duration, 2);
        EXPECT_EQ(list->GetItems()[1].path, latin1Path);
        EXPECT_EQ(list->GetItems()[1].title, "L\xEF\xBF\xBDgende : T");
    }
}

} // namespace
