#include "wav_writer.h"

#include <array>
#include <limits>

namespace {

constexpr std::size_t kHeaderSize = 44;

void PutLE(std::array<unsigned char, kHeaderSize>& header, std::size_t offset, std::uint32_t value,
           int bytes)
{
    for (int i = 0; i < bytes; ++i)
        header[offset + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

std::unique_ptr<CWavWriter> CWavWriter::Create(const std::filesystem::path& path)
{
    std::FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr)
        return nullptr;
    std::unique_ptr<CWavWriter> pWriter(new CWavWriter(pFile));
    if (!pWriter->WriteHeader())
        return nullptr;
    return pWriter;
}

bool CWavWriter::WriteHeader()
{
    // RIFF sizes are 32-bit; a recording beyond 4 GiB keeps the largest size.
    constexpr std::uint64_t kMaxData = std::numeric_limits<std::uint32_t>::max() - kHeaderSize;
    const auto dataBytes = static_cast<std::uint32_t>(std::min(m_dataBytes, kMaxData));
    constexpr std::uint32_t kBlockAlign = kChannels * kBitsPerSample / 8;

    std::array<unsigned char, kHeaderSize> header{'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                                  'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    PutLE(header, 4, 36 + dataBytes, 4);
    PutLE(header, 16, 16, 4);
    PutLE(header, 20, 1, 2); // PCM
    PutLE(header, 22, kChannels, 2);
    PutLE(header, 24, kSampleRate, 4);
    PutLE(header, 28, kSampleRate * kBlockAlign, 4);
    PutLE(header, 32, kBlockAlign, 2);
    PutLE(header, 34, kBitsPerSample, 2);
    header[36] = 'd';
    header[37] = 'a';
    header[38] = 't';
    header[39] = 'a';
    PutLE(header, 40, dataBytes, 4);

    std::FILE* pFile = m_pFile.get();
    return std::fseek(pFile, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), pFile) == header.size() &&
           std::fseek(pFile, 0, SEEK_END) == 0 && std::fflush(pFile) == 0;
}

bool CWavWriter::Append(const char* pData, std::size_t size)
{
    if (size == 0)
        return true;
    if (std::fwrite(pData, 1, size, m_pFile.get()) != size)
        return false;
    m_dataBytes += size;
    return WriteHeader();
}
