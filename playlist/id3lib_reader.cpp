#include "playlist/id3lib_reader.h"

#include "playlist/text_codec.h"

#include <id3/readers.h>
#include <id3/tag.h>

namespace voxreel::id3 {

namespace {

void AppendBigEndian32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

// Text as id3lib reads it: encoding byte 0 and ISO-8859-1 when every character
// fits, else encoding byte 1, a byte order mark and UTF-16 LE.
std::string EncodeFramePayload(const std::string& utf8)
{
    std::u32string codePoints;
    text::ForEachCodePoint(utf8, [&](char32_t cp) { codePoints.push_back(cp); });
    bool latin1 = true;
    for (char32_t cp : codePoints) {
        latin1 = latin1 && cp <= 0xFF;
    }
    std::string payload(1, latin1 ? '\0' : '\1');
    if (!latin1) {
        payload += "\xFF\xFE";
    }
    auto appendUnit = [&](char32_t unit) {
        payload.push_back(static_cast<char>(unit & 0xFF));
        payload.push_back(static_cast<char>(unit >> 8));
    };
    for (char32_t cp : codePoints) {
        if (latin1) {
            payload.push_back(static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            appendUnit(0xD800 + ((cp - 0x10000) >> 10));
            appendUnit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            appendUnit(cp);
        }
    }
    return payload;
}

void AppendFrame(std::string& out, const char* id, const std::string& utf8)
{
    const std::string payload = EncodeFramePayload(utf8);
    out.append(id, 4);
    AppendBigEndian32(out, static_cast<std::uint32_t>(payload.size()));
    out.append(2, '\0');
    out += payload;
}

// The frame's text field, decoded from its raw bytes.
std::optional<std::string> FrameText(const ID3_Tag& tag, ID3_FrameID id)
{
    const ID3_Frame* frame = tag.Find(id);
    const ID3_Field* field = frame ? frame->GetField(ID3FN_TEXT) : nullptr;
    if (!field) {
        return std::nullopt;
    }
    std::string text;
    const std::size_t size = field->Size();
    if (ID3TE_IS_DOUBLE_BYTE_ENC(field->GetEncoding())) {
        // id3lib keeps UTF-16 as big-endian bytes and counts its size in bytes.
        const auto* raw = reinterpret_cast<const char*>(field->GetRawUnicodeText());
        if (raw) {
            text = text::Utf16ToUtf8(std::string_view(raw, size & ~std::size_t{1}), true);
        }
    } else if (const char* raw = field->GetRawText()) {
        const std::string_view bytes(raw, size);
        text = text::Latin1ToUtf8(bytes.substr(0, bytes.find('\0')));
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back(); // ID3v1 fields are padded with blanks
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

} // namespace

bool IsId3v1Tag(std::string_view bytes)
{
    return bytes.size() == 128 && bytes.starts_with("TAG");
}

std::string BuildCleanTag(const TagTexts& texts)
{
    std::string frames;
    if (texts.artist) {
        AppendFrame(frames, "TPE1", *texts.artist);
    }
    if (texts.title) {
        AppendFrame(frames, "TIT2", *texts.title);
    }
    if (frames.empty()) {
        return frames;
    }
    std::string tag = std::string("ID3\x03\x00\x00", 6);
    const auto size = static_cast<std::uint32_t>(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.push_back(static_cast<char>((size >> shift) & 0x7F));
    }
    return tag + frames;
}

TagTexts ReadTagsWithId3lib(std::string_view cleanTag, std::string_view id3v1)
{
    TagTexts texts;
    std::string buffer(cleanTag);
    if (IsId3v1Tag(id3v1)) {
        buffer += id3v1;
    }
    if (buffer.empty()) {
        return texts;
    }
    try {
        ID3_MemoryReader reader(buffer.data(), buffer.size());
        ID3_Tag tag;
        tag.Link(reader, ID3TT_ID3V2 | ID3TT_ID3V1);
        texts.artist = FrameText(tag, ID3FID_LEADARTIST);
        texts.title = FrameText(tag, ID3FID_TITLE);
    } catch (...) {
        // id3lib reports allocation failures by exception; the file keeps its name.
        return {};
    }
    return texts;
}

} // namespace voxreel::id3
