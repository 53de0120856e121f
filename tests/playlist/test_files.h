// Fixtures for the playlist tests: a private temporary folder, files written
// byte by byte, ID3 tag builders and MP3 audio encoded at test time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testfiles {

// A fresh folder, removed with its contents on destruction.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder() { std::filesystem::remove_all(m_path, m_ec); }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const
    {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
    std::error_code m_ec;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// ID3v2 frames and tags; sizes as the version requires (24-bit for 2, 32-bit
// for 3, synchsafe for 4).
std::string Frame(int major, std::string_view id, std::string_view body, std::uint16_t flags = 0);
std::string Tag(int major, const std::vector<std::string>& frames, std::uint8_t flags = 0);
// Inserts a zero byte after every FF that could be read as an MPEG sync.
std::string Unsynchronise(std::string_view bytes);
// Text frame bodies: encoding byte, then the text.
std::string Latin1Text(std::string_view latin1);                 // 0
std::string Utf16Text(std::u16string_view text, bool bigEndian); // 1 with FF FE, or 2
std::string Utf8Text(std::string_view utf8);                     // 3
// A frame body compressed as ID3v2.3 does it: decompressed size, then zlib data.
std::string CompressedBody(std::string_view body);
std::string Id3v1(std::string_view title, std::string_view artist);

// MPEG-1 layer III audio (44.1 kHz mono, 64 kbit/s CBR) from GStreamer's
// encoder; made once per length and process.
const std::string& EncodedMp3(int seconds);
// An MP3 written by GStreamer's own ID3v2 muxer with the given tags.
void WriteTaggedMp3(const std::filesystem::path& path, const std::string& artist,
                    const std::string& title);

} // namespace testfiles
