#include "playlist/id3v2_scan.h"

#include "playlist/text_codec.h"

#include <zlib.h>

namespace voxreel::id3 {

namespace {

// No artist or title is this long; a larger inflated frame is treated as hostile.
constexpr std::size_t kMaxInflatedFrame = 1u << 20;

// Text bytes decoded per frame (even, so that UTF-16 is cut between units).
constexpr std::size_t kMaxTextBytes = 2048;

enum class Slot { None, Artist, Title };

std::uint32_t Byte(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

std::uint32_t BigEndian(std::string_view s, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = value << 8 | Byte(s, i);
    }
    return value;
}

// A 28-bit "synchsafe" integer: four bytes of seven bits each.
std::optional<std::uint32_t> SyncSafe(std::string_view s)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (Byte(s, i) & 0x80) {
            return std::nullopt;
        }
        value = value << 7 | Byte(s, i);
    }
    return value;
}

// Undoes unsynchronisation: every FF 00 becomes FF.
std::string RemoveUnsync(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        out.push_back(s[i]);
        if (Byte(s, i) == 0xFF && i + 1 < s.size() && s[i + 1] == '\0') {
            ++i;
        }
    }
    return out;
}

// Inflates a zlib stream completely, or gives none when it is malformed,
// truncated or would grow beyond kMaxInflatedFrame.
std::optional<std::string> Inflate(std::string_view compressed)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return std::nullopt;
    }
    std::string out(4096, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (stream.total_out == out.size()) {
            if (out.size() >= kMaxInflatedFrame) {
                break;
            }
            out.resize(out.size() * 2);
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        rc = inflate(&stream, Z_NO_FLUSH);
    }
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return rc == Z_STREAM_END ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

Slot SlotOf(std::string_view id)
{
    if (id == "TPE1" || id == "TP1") {
        return Slot::Artist;
    }
    if (id == "TIT2" || id == "TT2") {
        return Slot::Title;
    }
    return Slot::None;
}

bool IsFrameId(std::string_view id)
{
    for (char c : id) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// The payload of an ID3v2.3 frame: the extra header bytes its flags announce
// are skipped, compression undone, encrypted frames refused.
std::optional<std::string> PayloadV3(std::uint32_t flags, std::string_view data)
{
    const bool compressed = flags & 0x0080;
    if (flags & 0x0040) {
        return std::nullopt;
    }
    std::size_t skip = (compressed ? 4 : 0) + ((flags & 0x0020) ? 1 : 0);
    if (skip > data.size()) {
        return std::nullopt;
    }
    data.remove_prefix(skip);
    return compressed ? Inflate(data) : std::string(data);
}

// The same for ID3v2.4, where unsynchronisation is per frame.
std::optional<std::string> PayloadV4(std::uint32_t flags, bool tagUnsync, std::string_view data)
{
    if (flags & 0x0004) {
        return std::nullopt;
    }
    std::size_t skip = ((flags & 0x0040) ? 1 : 0) + ((flags & 0x0001) ? 4 : 0);
    if (skip > data.size()) {
        return std::nullopt;
    }
    data.remove_prefix(skip);
    std::string payload = (tagUnsync || (flags & 0x0002)) ? RemoveUnsync(data) : std::string(data);
    return (flags & 0x0008) ? Inflate(payload) : std::optional<std::string>(std::move(payload));
}

// Skips an extended header; false, leaving body alone, when it does not fit.
bool SkipExtendedHeader(int major, std::string_view& body)
{
    if (body.size() < 4) {
        return false;
    }
    std::uint64_t length = 0;
    if (major == 3) {
        length = 4ull + BigEndian(body, 4);
    } else {
        auto size = SyncSafe(body);
        if (!size || *size < 6) {
            return false;
        }
        length = *size;
    }
    if (length > body.size()) {
        return false;
    }
    body.remove_prefix(static_cast<std::size_t>(length));
    return true;
}

void StoreText(TagTexts& texts, Slot slot, std::optional<std::string> text)
{
    if (!text) {
        return;
    }
    auto& target = slot == Slot::Artist ? texts.artist : texts.title;
    if (!target) {
        target = std::move(text);
    }
}

// Walks the frames until padding, garbage or the end of the body.
void WalkFrames(const Id3v2Header& header, std::string_view body, TagTexts& texts)
{
    const int major = header.nMajor;
    const std::size_t idLength = major == 2 ? 3 : 4;
    const std::size_t headerLength = major == 2 ? 6 : 10;
    const bool tagUnsync = major == 4 && (header.nFlags & 0x80);
    while (body.size() >= headerLength && !(texts.artist && texts.title)) {
        const std::string_view id = body.substr(0, idLength);
        if (!IsFrameId(id)) {
            return;
        }
        std::optional<std::uint32_t> size = major == 2   ? BigEndian(body.substr(3), 3)
                                            : major == 3 ? BigEndian(body.substr(4), 4)
                                                         : SyncSafe(body.substr(4));
        if (!size || *size > body.size() - headerLength) {
            return;
        }
        const std::uint32_t flags = major == 2 ? 0 : BigEndian(body.substr(8), 2);
        const std::string_view data = body.substr(headerLength, *size);
        body.remove_prefix(headerLength + *size);
        const Slot slot = SlotOf(id);
        if (slot == Slot::None) {
            continue;
        }
        std::optional<std::string> payload = major == 2   ? std::string(data)
                                             : major == 3 ? PayloadV3(flags, data)
                                                          : PayloadV4(flags, tagUnsync, data);
        if (payload) {
            StoreText(texts, slot, DecodeTextPayload(*payload, major == 4));
        }
    }
}

// Where text's first terminator starts: a zero byte, or for UTF-16 a zero
// code unit (so U+4E00, whose low byte is zero, does not end it); npos when
// there is none.
std::size_t TerminatorAt(std::string_view text, bool wide)
{
    if (!wide) {
        return text.find('\0');
    }
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        if (text[i] == '\0' && text[i + 1] == '\0') {
            return i;
        }
    }
    return std::string_view::npos;
}

// One value of a text frame, without its terminator. A UTF-16 byte order
// mark sets bigEndian for this value and those after it.
std::string DecodeValue(char encoding, std::string_view text, bool& bigEndian)
{
    switch (encoding) {
    case 0:
        return text::Latin1ToUtf8(text);
    case 1:
    case 2:
        if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
            bigEndian = text[0] == '\xFE';
            text.remove_prefix(2);
        }
        return text::Utf16ToUtf8(text, bigEndian);
    default:
        if (text.starts_with("\xEF\xBB\xBF")) {
            text.remove_prefix(3);
        }
        return text::SanitizeUtf8(text);
    }
}

} // namespace

std::optional<Id3v2Header> ParseId3v2Header(std::string_view bytes)
{
    if (bytes.size() < 10 || !bytes.starts_with("ID3")) {
        return std::nullopt;
    }
    Id3v2Header header;
    header.nMajor = static_cast<int>(Byte(bytes, 3));
    header.nFlags = static_cast<std::uint8_t>(Byte(bytes, 5));
    auto size = SyncSafe(bytes.substr(6));
    if (header.nMajor < 2 || header.nMajor > 4 || Byte(bytes, 4) == 0xFF || !size) {
        return std::nullopt;
    }
    header.nBodySize = *size;
    const bool footer = header.nMajor == 4 && (header.nFlags & 0x10);
    header.nTotalSize = 10 + header.nBodySize + (footer ? 10 : 0);
    return header;
}

TagTexts ScanId3v2(std::string_view bytes)
{
    TagTexts texts;
    const std::optional<Id3v2Header> header = ParseId3v2Header(bytes);
    if (!header) {
        return texts;
    }
    std::string_view body = bytes.substr(10, header->nBodySize);
    std::string resynced;
    if (header->nMajor < 4 && (header->nFlags & 0x80)) {
        resynced = RemoveUnsync(body);
        body = resynced;
    }
    // An ID3v2.2 tag flagged as compressed has no defined scheme: nothing to read.
    if (header->nMajor == 2 && (header->nFlags & 0x40)) {
        return texts;
    }
    // Some writers set the extended-header flag without writing one: when the
    // declared header does not fit, the frames start right after the tag header.
    if (header->nMajor > 2 && (header->nFlags & 0x40)) {
        SkipExtendedHeader(header->nMajor, body);
    }
    WalkFrames(*header, body, texts);
    return texts;
}

std::optional<std::string> DecodeTextPayload(std::string_view payload, bool multipleValues)
{
    if (payload.empty() || static_cast<unsigned char>(payload[0]) > 3) {
        return std::nullopt;
    }
    const char encoding = payload[0];
    const bool wide = encoding == 1 || encoding == 2;
    bool bigEndian = encoding == 2;
    // Nothing shown in a playlist row is this long; a cap keeps hostile frames cheap.
    std::string_view text = payload.substr(1, kMaxTextBytes);
    std::string joined;
    while (!text.empty()) {
        const std::size_t end = TerminatorAt(text, wide);
        const std::string value = DecodeValue(encoding, text.substr(0, end), bigEndian);
        if (!value.empty()) {
            joined += joined.empty() ? value : " / " + value;
        }
        if (end == std::string_view::npos || !multipleValues) {
            break;
        }
        text.remove_prefix(end + (wide ? 2 : 1));
    }
    if (joined.empty()) {
        return std::nullopt;
    }
    return joined;
}

} // namespace voxreel::id3
