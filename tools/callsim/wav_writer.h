// A WAV file of 16 kHz mono 16-bit PCM that is valid after every append:
// the header's sizes are rewritten with each block, so a recording that is
// cut short (the process killed) still reads back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

class CWavWriter {
public:
    static constexpr std::uint32_t kSampleRate = 16000;
    static constexpr std::uint16_t kChannels = 1;
    static constexpr std::uint16_t kBitsPerSample = 16;

    // Creates (or truncates) the file and writes an empty recording.
    static std::unique_ptr<CWavWriter> Create(const std::filesystem::path& path);

    bool Append(const char* pData, std::size_t size);
    std::uint64_t GetDataBytes() const { return m_dataBytes; }

private:
    struct FileCloser {
        void operator()(std::FILE* pFile) const { std::fclose(pFile); }
    };

    explicit CWavWriter(std::FILE* pFile) : m_pFile(pFile) {}
    bool WriteHeader();

    std::unique_ptr<std::FILE, FileCloser> m_pFile;
    std::uint64_t m_dataBytes = 0;
};
