// Shared by the playlist tests: a private temporary folder, files written and
// read byte by byte, and UTF-16 text.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "voxreel_test_support.h"

namespace testfiles {

// A fresh folder, removed with its contents on destruction.
struct CTempFolder {
    ~CTempFolder() { std::filesystem::remove_all(m_path, m_ec); }
    std::filesystem::path operator/(const std::filesystem::path& name) const
    {
        return m_path / name;
    }
    const std::filesystem::path m_path = voxreel::test::MakeTempFolder("voxreel-playlist");
    std::error_code m_ec;
};

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) << path;
}

// UTF-16 in either byte order, after its byte-order mark.
inline std::string Utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

} // namespace testfiles
