#include "playlist/m3u.h"

#include "playlist/playlist.h"
#include "playlist/text_codec.h"

#include <cstring>

namespace voxreel::m3u {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kExtInf = "#EXTINF:";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The text of the file as UTF-8, in storage or converted.
std::string_view DecodeText(std::string_view bytes, std::string& storage)
{
    if (bytes.starts_with(kUtf8Bom)) {
        return bytes.substr(kUtf8Bom.size());
    }
    if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
        storage = text::Utf16ToUtf8(bytes.substr(2), bytes.starts_with(kUtf16BeBom));
        return storage;
    }
    return bytes;
}

// Reads "<number>" the way wcstoul does in base 10 (blanks, then an optional
// sign, then digits; an overflow gives the largest value) and returns the
// value taken as signed 32-bit. rest is what follows the number, or all of
// text when no digit was found.
std::int32_t ReadDuration(std::string_view text, std::string_view& rest)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t digits = pos;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + static_cast<unsigned>(text[pos] - '0');
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (pos == digits) {
        rest = text;
        return 0;
    }
    rest = text.substr(pos);
    std::uint32_t result = static_cast<std::uint32_t>(value);
    if (!overflow && negative) {
        result = 0u - result;
    }
    return static_cast<std::int32_t>(result);
}

void AppendTitle(std::string& out, const std::string& title)
{
    const std::size_t start = out.size();
    out += title;
    for (std::size_t i = start; i < out.size(); ++i) {
        if (out[i] == '\r' || out[i] == '\n') {
            out[i] = ' ';
        }
    }
}

bool CanStandOnOneLine(const std::string& path)
{
    // Two plain searches: find_first_of tests every byte against the set.
    return !path.empty() && path.find('\n') == std::string::npos &&
           path.find('\r') == std::string::npos;
}

} // namespace

void ParseM3U(std::string_view bytes, const EntrySink& onEntry)
{
    std::string storage;
    std::string_view text = DecodeText(bytes, storage);

    std::string pendingTitle;
    std::int32_t pendingDuration = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) {
            continue;
        }
        if (line.front() != '#') {
            onEntry(std::move(pendingTitle), pendingDuration, line);
            pendingTitle.clear();
            pendingDuration = 0;
        } else if (line.starts_with(kExtInf)) {
            std::string_view rest;
            pendingDuration = ReadDuration(line.substr(kExtInf.size()), rest);
            rest = Trim(rest);
            if (rest.starts_with(',')) {
                pendingTitle = Trim(rest.substr(1));
            }
        }
    }
}

std::string FormatM3U(const std::vector<PlaylistItem>& items)
{
    std::size_t estimate = 32;
    for (const PlaylistItem& item : items) {
        estimate += item.title.size() + item.path.native().size() + 32;
    }
    std::string out;
    out.reserve(estimate);
    out += kUtf8Bom;
    out += "#EXTM3U\r\n\r\n";
    for (const PlaylistItem& item : items) {
        const std::string& path = item.path.native();
        if (!CanStandOnOneLine(path)) {
            continue;
        }
        out += kExtInf;
        out += std::to_string(item.duration);
        out += ',';
        AppendTitle(out, item.title);
        out += "\r\n";
        if ((path.front() == '#' || IsBlank(path.front())) && item.path.is_relative()) {
            out += "./";
        }
        out += path;
        out += "\r\n";
    }
    return out;
}

} // namespace voxreel::m3u
