#include "test_files.h"

#include <gst/gst.h>
#include <gst/tag/tag.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace testfiles {

namespace {

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
using CElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;

// Encodes `seconds` of a test tone into path, through the muxer when one is
// given (its tags are set before the pipeline starts).
void Encode(const std::filesystem::path& path, int seconds, const char* artist = nullptr,
            const char* title = nullptr)
{
    static const bool s_bInit = (gst_init(nullptr, nullptr), true);
    (void)s_bInit;
    const std::string description =
        "audiotestsrc num-buffers=" + std::to_string(seconds * 10) +
        " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=1 ! lamemp3enc "
        "target=bitrate bitrate=64 cbr=true ! " +
        (artist ? "id3v2mux name=mux ! " : "") + "filesink location=\"" + path.string() + "\"";
    CElementPtr pipeline(gst_parse_launch(description.c_str(), nullptr));
    ASSERT_TRUE(pipeline);
    if (artist) {
        CElementPtr mux(gst_bin_get_by_name(GST_BIN(pipeline.get()), "mux"));
        gst_tag_setter_add_tags(GST_TAG_SETTER(mux.get()), GST_TAG_MERGE_REPLACE, GST_TAG_ARTIST,
                                artist, GST_TAG_TITLE, title, nullptr);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    std::unique_ptr<GstBus, GstObjectUnref> bus(gst_element_get_bus(pipeline.get()));
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus.get(), 30 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool reachedEnd = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) {
        gst_message_unref(message);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    ASSERT_TRUE(reachedEnd) << description;
}

std::string BigEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string SyncSafe(std::uint32_t value)
{
    return BigEndian((value & 0x7F) | (value << 1 & 0x7F00) | (value << 2 & 0x7F0000) |
                         (value << 3 & 0x7F000000),
                     4);
}

} // namespace

CTempFolder::CTempFolder()
{
    std::string pattern = std::filesystem::temp_directory_path() / "voxreel-playlist-XXXXXX";
    m_path = ::mkdtemp(pattern.data()) ? pattern : "";
    EXPECT_FALSE(m_path.empty());
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Frame(int major, std::string_view id, std::string_view body, std::uint16_t flags)
{
    const auto size = static_cast<std::uint32_t>(body.size());
    if (major == 2) {
        return std::string(id) + BigEndian(size, 3) + std::string(body);
    }
    const std::string sizeBytes = major == 4 ? SyncSafe(size) : BigEndian(size, 4);
    return std::string(id) + sizeBytes + BigEndian(flags, 2) + std::string(body);
}

std::string Tag(int major, const std::vector<std::string>& frames, std::uint8_t flags)
{
    std::string body;
    for (const std::string& frame : frames) {
        body += frame;
    }
    return std::string("ID3") + static_cast<char>(major) + '\0' + static_cast<char>(flags) +
           SyncSafe(static_cast<std::uint32_t>(body.size())) + body;
}

std::string Unsynchronise(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        const char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
        if (bytes[i] == '\xFF' && (next == '\0' || (next & 0xE0) == 0xE0)) {
            out.push_back('\0');
        }
    }
    return out;
}

std::string Latin1Text(std::string_view latin1)
{
    return '\0' + std::string(latin1);
}
std::string Utf8Text(std::string_view utf8)
{
    return '\x03' + std::string(utf8);
}

std::string Utf16Text(std::u16string_view text, bool bigEndian)
{
    std::string out = bigEndian ? "\x02" : "\x01\xFF\xFE";
    for (char16_t unit : text) {
        out += BigEndian(bigEndian ? unit : ((unit & 0xFF) << 8 | unit >> 8), 2);
    }
    return out;
}

std::string CompressedBody(std::string_view body)
{
    uLongf length = compressBound(static_cast<uLong>(body.size()));
    std::string packed(length, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &length,
             reinterpret_cast<const Bytef*>(body.data()), static_cast<uLong>(body.size()));
    packed.resize(length);
    return BigEndian(static_cast<std::uint32_t>(body.size()), 4) + packed;
}

std::string Id3v1(std::string_view title, std::string_view artist)
{
    std::string tag = "TAG" + std::string(title).append(30 - title.size(), ' ') +
                      std::string(artist).append(30 - artist.size(), ' ');
    return tag.append(30, '\0').append("2001").append(30, '\0').append(1, '\xFF');
}

const std::string& EncodedMp3(int seconds)
{
    static std::map<int, std::string> s_mapCache;
    auto it = s_mapCache.find(seconds);
    if (it == s_mapCache.end()) {
        CTempFolder folder;
        Encode(folder / "audio.mp3", seconds);
        it = s_mapCache.emplace(seconds, ReadFile(folder / "audio.mp3")).first;
    }
    return it->second;
}

void WriteTaggedMp3(const std::filesystem::path& path, const std::string& artist,
                    const std::string& title)
{
    Encode(path, 2, artist.c_str(), title.c_str());
}

} // namespace testfiles
