// Titles and durations of files, from real encoded MP3 audio behind ID3 tags
// built byte by byte (and one tag written by GStreamer's muxer).
#include "playlist/media_info.h"
#include "playlist/playlist.h"
#include "test_files.h"
#include "voxreel_test_support.h"

#include <zlib.h>

#include <cstdint>
#include <map>
#include <sys/stat.h>

namespace {

using namespace testfiles;

// `seconds` of a tone encoded by GStreamer: by default MPEG-1 layer III (44.1
// kHz mono, 64 kbit/s CBR), behind an ID3v2 tag from its muxer when tags
// ("artist=...,title=...") are given.
std::string Encoded(int seconds, const std::string& tags = "", int rate = 44100,
                    const std::string& encoder = "target=bitrate bitrate=64 cbr=true")
{
    voxreel::test::InitGstInProcess();
    CTempFolder folder;
    const std::string description =
        "audiotestsrc num-buffers=" + std::to_string(seconds * 10) +
        " samplesperbuffer=" + std::to_string(rate / 10) +
        " ! audio/x-raw,channels=1,rate=" + std::to_string(rate) + " ! lamemp3enc " + encoder +
        " ! " + (tags.empty() ? "" : "taginject tags=\"" + tags + "\" ! id3v2mux ! ") +
        "filesink location=\"" + (folder / "a.mp3").string() + "\"";
    EXPECT_TRUE(voxreel::test::RunLaunch(description)) << description;
    return ReadFile(folder / "a.mp3");
}

// Untagged audio, encoded once per length and process.
const std::string& Audio(int seconds = 3)
{
    static std::map<int, std::string> s_mapCache;
    if (!s_mapCache.contains(seconds))
        s_mapCache[seconds] = Encoded(seconds);
    return s_mapCache[seconds];
}

// Big-endian bytes of `bits` bits each (7 for ID3v2's synchsafe integers).
std::string BigEndian(std::uint32_t value, int bytes, int bits = 8)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (bits * i)) & ((1u << bits) - 1)));
    return out;
}

// ID3v2 frames and tags; frame sizes as the version requires (24-bit for 2,
// 32-bit for 3, synchsafe for 4).
std::string Frame(int major, std::string_view id, std::string_view body, std::uint16_t flags = 0)
{
    const auto size = static_cast<std::uint32_t>(body.size());
    if (major == 2)
        return std::string(id) + BigEndian(size, 3) + std::string(body);
    const std::string sizeBytes = BigEndian(size, 4, major == 4 ? 7 : 8);
    return std::string(id) + sizeBytes + BigEndian(flags, 2) + std::string(body);
}

std::string Tag(int major, const std::string& frames, std::uint8_t flags = 0)
{
    return std::string("ID3") + static_cast<char>(major) + '\0' + static_cast<char>(flags) +
           BigEndian(static_cast<std::uint32_t>(frames.size()), 4, 7) + frames;
}

// Text frame bodies: the encoding byte, then the text.
const auto Latin1Text = [](std::string_view text) { return '\0' + std::string(text); };
const auto Utf8Text = [](std::string_view text) { return '\x03' + std::string(text); };
std::string Utf16Text(std::u16string_view text, bool bigEndian) // 2 without a BOM, or 1
{
    return bigEndian ? '\x02' + Utf16(text, true).substr(2) : '\x01' + Utf16(text, false);
}

// A frame body compressed as ID3v2.3 does it: decompressed size, then zlib data.
std::string CompressedBody(std::string_view body)
{
    uLongf length = compressBound(static_cast<uLong>(body.size()));
    std::string packed(length, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &length,
             reinterpret_cast<const Bytef*>(body.data()), static_cast<uLong>(body.size()));
    return BigEndian(static_cast<std::uint32_t>(body.size()), 4) + packed.substr(0, length);
}

std::string Tagged(int major, std::string_view artistBody, std::string_view titleBody)
{
    const bool v22 = major == 2;
    return Tag(major,
               (artistBody.empty() ? "" : Frame(major, v22 ? "TP1" : "TPE1", artistBody)) +
                   (titleBody.empty() ? "" : Frame(major, v22 ? "TT2" : "TIT2", titleBody))) +
           Audio();
}

// Rows with an entry listed (read from a playlist) describe only what it lacks; a file without
// tags then leaves its title empty, for the window to show the file's name in its place.
struct DescribeCase {
    const char* name;
    std::string fileName;
    std::string bytes;
    std::string title;
    int duration;
    const char* listedTitle = nullptr; // nullptr: a file added, described whole
    int listedDuration = 0;
    std::string shown = ""; // "": the title
    friend void PrintTo(const DescribeCase& c, std::ostream* out) { *out << c.name; }
};

std::vector<DescribeCase> Cases()
{
    // An ID3v1 tag: title and artist in fields of 30 bytes, no genre.
    std::string v1 = "TAGV1 Title";
    v1.resize(33, ' ');
    v1.append("V1 Artist").resize(63, ' ');
    v1.resize(127, '\0');
    v1 += '\xFF';
    // An MPEG-1 layer III frame whose Xing header counts 1000 frames (26.1 s).
    std::string xing = "\xFF\xFB\x90\x64" + std::string(32, '\0') + "Xing" +
                       std::string("\0\0\0\x01\0\0\x03\xE8", 8);
    xing.resize(417, '\0');
    const std::string extendedV24 = std::string("\0\0\0\x06\x01\x00", 6);
    const std::string extFrames =
        Frame(4, "TPE1", Latin1Text("Ext")) + Frame(4, "TIT2", Latin1Text("Header"));
    return {
        // Titles from tags and file names.
        {"ArtistOnlyInLatin1FirstValue", "Song.mp3",
         Tagged(3, Latin1Text(std::string("Caf\xE9\0B", 5)), ""), "Caf\xC3\xA9", 3},
        {"NoTagShortFile", "Song.mp3", Audio(1), "Song", 1},
        {"XingFrameCount", "v.mp3", xing + Audio(), "v", 26},
        // VBR: MPEG-2 (22.05 kHz) by its Xing header, MPEG-2.5 (8 kHz) frame by frame.
        {"Mpeg2VbrXing", "v.mp3", Encoded(4, "", 22050, "target=quality ! xingmux"), "v", 4},
        {"Mpeg25VbrNoXing", "v.mp3", Encoded(4, "", 8000, "target=quality"), "v", 4},
        {"Utf8NameAndGStreamersTag", "Música 日本.mp3",
         Encoded(2, "artist=\\\"Björk Ж\\\",title=\\\"日本 1\\\""), "Björk Ж : 日本 1", 2},
        // Text encodings and tag versions.
        // UTF-16 of 16 bytes or more: id3lib's wide getter overflows on it.
        {"Utf16WithBom", "a.mp3",
         Tagged(3, Utf16Text(u"\u65e5\u672c\u306e\u6b4c\u624b Zo\u00eb a\u4e00", false),
                Utf16Text(u"Longer than sixteen bytes \U0001F3B5", false)),
         "日本の歌手 Zoë a一 : Longer than sixteen bytes 🎵", 3},
        {"V24Utf16BigEndianAndUtf8", "a.mp3",
         Tagged(4, Utf16Text(u"\u0416\u4e00a", true), Utf8Text(std::string(200, 'x') + "ü")),
         "Ж一a : " + std::string(200, 'x') + "ü", 3},
        // Several values: all kept in ID3v2.4 (a BOM per UTF-16 value), the first before it.
        {"V24MultipleValues", "a.mp3",
         Tagged(4, Utf16Text(std::u16string_view(u"One\0\ufeffTwo", 8), false),
                Latin1Text(std::string("X\0Y\0", 4))),
         "One / Two : X / Y", 3},
        // An extended header is skipped; one flagged but absent is not there.
        {"V24ExtendedHeader", "a.mp3", Tag(4, extendedV24 + extFrames, 0x40) + Audio(),
         "Ext : Header", 3},
        {"V24ExtendedHeaderFlaggedButAbsent", "a.mp3", Tag(4, extFrames, 0x40) + Audio(),
         "Ext : Header", 3},
        {"V22FramesUpperCaseExtension", "a.MP3", Tagged(2, Latin1Text("Old"), Latin1Text("Two")),
         "Old : Two", 3},
        {"V23Unsynchronised", "a.mp3",
         Tag(3, "TIT2" + std::string("\0\0\0\x03\0\0\0\xFF\0\xE9", 10), 0x80) + Audio(), "a : ÿé",
         3},
        {"Id3v1Only", "a.mp3", Audio() + v1, "V1 Artist : V1 Title", 3},
        {"Id3v2FramesBeforeId3v1Fields", "a.mp3", Tagged(3, "", Latin1Text("V2 Title")) + v1,
         "V1 Artist : V2 Title", 3},
        // Inputs on which id3lib itself crashes, overflows or throws: each
        // must give a title and leave the process intact under the sanitizers.
        {"ValidCompressedFrame", "Song.mp3",
         Tag(3, Frame(3, "TIT2", CompressedBody(Latin1Text("Packed")), 0x80)) + Audio(),
         "Song : Packed", 3},
        {"MalformedCompressedFrame", "Song.mp3",
         Tag(3, Frame(3, "TIT2", std::string("\0\0\0\x20\x78\x9C\xFF\xFF\0", 9), 0x80)) + Audio(),
         "Song", 3},
        {"HugeDeclaredDecompressedSize", "Song.mp3",
         Tag(3, Frame(3, "TIT2", "\xFF\xFF\xFF\xF0" + CompressedBody("x").substr(4), 0x80)) +
             Audio(),
         "Song", 3},
        {"CompressedFrameBomb", "Song.mp3",
         Tag(3, Frame(3, "TIT2", CompressedBody(std::string(4 << 20, 'b')), 0x80)) + Audio(),
         "Song", 3},
        {"V22CdmFrame", "Song.mp3",
         Tag(2, Frame(2, "CDM", std::string("z\0\0\0\x64\x78\x9C", 7)) +
                    Frame(2, "TT2", Latin1Text("Two"))) +
             Audio(),
         "Song : Two", 3},
        {"EncryptedFrame", "Song.mp3",
         Tag(3, Frame(3, "TIT2", "\x80" + Latin1Text("secret"), 0x40)) + Audio(), "Song", 3},
        {"FrameLongerThanTag", "Song.mp3",
         Tag(3, "TIT2" + std::string("\0\x10\0\0\0\0", 6)) + Audio(), "Song", 3},
        {"TagLongerThanFile", "Song.mp3",
         std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) + Frame(3, "TIT2", Latin1Text("Cut")),
         "Song : Cut", 0},
        {"EmptyFile", "Song.mp3", "", "Song", 0},
        {"ListedUntaggedKeepsNoTitle", "a.b.mp3", Audio(), "", 3, "", 0, "a.b"},
        {"ListedTitleStays", "a.mp3", Tagged(3, Latin1Text("A"), ""), "Listed", 3, "Listed", 0},
        {"ListedDurationStays", "a.mp3", Tagged(3, Latin1Text("A"), ""), "A", 9, "", 9},
        {"ListedStreamLengthStays", "a.mp3", Audio(), "", -1, "", -1, "a"},
        // File names are native bytes: a non-UTF-8 one still gives a showable title.
        {"ListedOtherFormatGivesNothing", "L\xE9gende.wav", Audio(), "", 0, "", 0,
         "L\xEF\xBF\xBDgende"}};
}

class Describe : public testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, GivesTitleAndDuration)
{
    const DescribeCase& c = GetParam();
    CTempFolder folder;
    WriteFile(folder / c.fileName, c.bytes);
    PlaylistItem item{4, folder / c.fileName, c.listedTitle ? c.listedTitle : "", c.listedDuration};
    if (c.listedTitle != nullptr)
        DescribeMissing(item);
    else
        DescribeFile(item.path, item);
    EXPECT_EQ(item.title, c.title);
    EXPECT_EQ(item.duration, c.duration);
    EXPECT_EQ(ShownTitle(item), c.shown.empty() ? c.title : c.shown);
}

INSTANTIATE_TEST_SUITE_P(Files, Describe, testing::ValuesIn(Cases()),
                         [](const auto& param) { return std::string(param.param.name); });

// A FIFO blocks id3lib's open forever; no special file may be read.
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

} // namespace
