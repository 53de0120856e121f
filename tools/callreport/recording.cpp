#include "recording.h"

#include <cstdio>
#include <cstring>

namespace callreport {

namespace {

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
           (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool ReadBytes(const std::string& strPath, std::vector<std::uint8_t>& bytes)
{
    std::FILE* pFile = std::fopen(strPath.c_str(), "rb");
    if (pFile == nullptr)
        return false;
    bytes.clear();
    std::uint8_t chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pFile)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(pFile);
    return true;
}

bool Supported(int nRate, int nChannels)
{
    return nRate >= 8000 && nRate <= 192000 && nChannels >= 1 && nChannels <= 8;
}

} // namespace

std::vector<std::int16_t> FoldChannels(const std::uint8_t* pBytes, std::size_t cb, int nChannels)
{
    const std::size_t cbFrame = 2 * static_cast<std::size_t>(nChannels);
    std::vector<std::int16_t> samples;
    samples.reserve(cb / cbFrame);
    for (std::size_t at = 0; at + cbFrame <= cb; at += cbFrame) {
        int nSum = 0;
        for (int c = 0; c < nChannels; ++c)
            nSum += static_cast<std::int16_t>(Le16(pBytes + at + 2 * static_cast<std::size_t>(c)));
        samples.push_back(static_cast<std::int16_t>(nSum / nChannels));
    }
    return samples;
}

std::string ReadRaw(const std::string& strPath, int nRate, int nChannels, CRecording& recording)
{
    if (!Supported(nRate, nChannels))
        return "unsupported rate or channel count";
    std::vector<std::uint8_t> bytes;
    if (!ReadBytes(strPath, bytes))
        return "cannot read " + strPath;
    recording.m_nRate = nRate;
    recording.m_nChannels = nChannels;
    recording.m_samples = FoldChannels(bytes.data(), bytes.size(), nChannels);
    return {};
}

std::string ReadWav(const std::string& strPath, CRecording& recording)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadBytes(strPath, bytes))
        return "cannot read " + strPath;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return strPath + " is not a WAV file";
    int nRate = 0, nChannels = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint8_t* pChunk = bytes.data() + at;
        const std::size_t cbChunk = Le32(pChunk + 4);
        if (std::memcmp(pChunk, "fmt ", 4) == 0 && at + 24 <= bytes.size()) {
            if (Le16(pChunk + 8) != 1 || Le16(pChunk + 22) != 16)
                return strPath + " is not 16-bit PCM";
            nChannels = Le16(pChunk + 10);
            nRate = static_cast<int>(Le32(pChunk + 12));
            if (!Supported(nRate, nChannels))
                return strPath + " has an unsupported rate or channel count";
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            if (nRate == 0)
                return strPath + " has its data before its format";
            const std::size_t cbLeft = bytes.size() - at - 8;
            const std::size_t cbData = cbChunk == 0 || cbChunk > cbLeft ? cbLeft : cbChunk;
            recording.m_nRate = nRate;
            recording.m_nChannels = nChannels;
            recording.m_samples = FoldChannels(pChunk + 8, cbData, nChannels);
            return {};
        }
        at += 8 + cbChunk + (cbChunk & 1);
    }
    return strPath + " has no audio data";
}

} // namespace callreport
