#include "status_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at the start of s (0 when it is not one):
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view s)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0)
        n = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        n = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    constexpr std::uint32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool IsValidUtf8(std::string_view s)
{
    while (!s.empty()) {
        const std::size_t n = Utf8SequenceLength(s);
        if (n == 0)
            return false;
        s.remove_prefix(n);
    }
    return true;
}

void AppendArgument(std::string& out, char directive, const CStatusArg* pArg)
{
    if (pArg == nullptr)
        return;
    char buffer[16];
    switch (directive) {
    case 'X':
        std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(pArg->Value()));
        out += buffer;
        break;
    case 'd':
        std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(pArg->Value()));
        out += buffer;
        break;
    case 'S':
        out += EightBitToUtf8(pArg->Text());
        break;
    default:
        break;
    }
}

} // namespace

std::string EightBitToUtf8(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string FormatStatus(std::string_view strFormat, std::initializer_list<CStatusArg> args)
{
    std::string out;
    auto next = args.begin();
    const auto take = [&]() -> const CStatusArg* {
        return next == args.end() ? nullptr : &*next++;
    };
    for (std::size_t i = 0; i < strFormat.size(); ++i) {
        if (strFormat[i] != '%' || i + 1 == strFormat.size()) {
            out += strFormat[i];
        } else if (strFormat.substr(i, 4) == "%08X") {
            AppendArgument(out, 'X', take());
            i += 3;
        } else if (strFormat[i + 1] == 'S' || strFormat[i + 1] == 'd') {
            AppendArgument(out, strFormat[i + 1], take());
            ++i;
        } else {
            out += strFormat[i + 1]; // "%%" and anything unknown: the character itself
            ++i;
        }
    }
    return out;
}

std::string WithReason(std::string_view strText, std::string_view strReason)
{
    std::string out(StatusLineText(strText));
    if (!strReason.empty())
        out.append(" - ").append(strReason);
    return out;
}

std::string_view StatusLineText(std::string_view strText)
{
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r'))
        strText.remove_suffix(1);
    return strText;
}
