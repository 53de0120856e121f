// The status line's texts: printf-style formats with the two directives the
// program uses ("%08X" for codes, "%S" for the call client's 8-bit text), the
// one-line form the field shows, and when a text has stood long enough.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// One argument of a status format: a 32-bit value for "%08X" or 8-bit text
// for "%S".
class CStatusArg {
public:
    CStatusArg(std::uint32_t nValue) : m_nValue(nValue) {}
    CStatusArg(std::int32_t nValue) : m_nValue(static_cast<std::uint32_t>(nValue)) {}
    CStatusArg(std::string_view strText) : m_strText(strText), m_bText(true) {}
    CStatusArg(const char* pszText) : CStatusArg(std::string_view(pszText)) {}
    CStatusArg(const std::string& strText) : CStatusArg(std::string_view(strText)) {}

    std::uint32_t Value() const { return m_nValue; }
    std::string_view Text() const { return m_strText; }
    bool IsText() const { return m_bText; }

private:
    std::uint32_t m_nValue = 0;
    std::string_view m_strText;
    bool m_bText = false;
};

// Formats a status text (UTF-8). Directives: "%08X", "%S", "%d", "%%";
// arguments are taken in order, a missing one formats as nothing.
std::string FormatStatus(std::string_view strFormat, std::initializer_list<CStatusArg> args = {});

// Text from the call client, which sends 8-bit bytes without naming their
// encoding: kept as it is when it is valid UTF-8, else read as Latin-1.
std::string EightBitToUtf8(std::string_view bytes);

// A status text with the reason for it appended ("<text> - <reason>"), in
// one line; the text alone when there is no reason.
std::string WithReason(std::string_view strText, std::string_view strReason);

// What the one-line status field shows of a text: the line breaks that end
// some texts are left off.
std::string_view StatusLineText(std::string_view strText);

// How long a status text stands before the tick clears it.
constexpr std::uint32_t kStatusLifetimeMs = 7000;

// True once more than kStatusLifetimeMs have passed since dwWritten. The
// difference of two wrapping 32-bit tick counts stays right across the wrap.
constexpr bool IsStatusExpired(std::uint32_t dwNow, std::uint32_t dwWritten)
{
    return static_cast<std::uint32_t>(dwNow - dwWritten) > kStatusLifetimeMs;
}
