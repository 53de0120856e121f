#include "playlist/mpeg_duration.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace voxreel::mpeg {

namespace {

enum Version { kMpeg25 = 0, kMpeg2 = 2, kMpeg1 = 3 };

struct FrameHeader {
    int nVersion;
    int nLayer;             // 1, 2 or 3
    std::uint32_t nBitrate; // bits per second
    std::uint32_t nSampleRate;
    std::uint32_t nSamples; // per frame
    std::uint32_t nLength;  // bytes, header included
    bool bMono;
};

constexpr std::uint16_t kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 layers II, III
};
constexpr std::uint32_t kSampleRates[3] = {44100, 48000, 32000}; // MPEG-1; halved per version

std::uint32_t Byte(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

std::uint32_t BigEndian32(std::string_view s, std::size_t at)
{
    return Byte(s, at) << 24 | Byte(s, at + 1) << 16 | Byte(s, at + 2) << 8 | Byte(s, at + 3);
}

// Decodes the four bytes at pos; none for anything that is not a frame header
// (free-format streams included: their length cannot be known from the header).
std::optional<FrameHeader> ParseHeader(std::string_view s, std::size_t pos)
{
    if (pos + 4 > s.size()) {
        return std::nullopt;
    }
    const std::uint32_t h = BigEndian32(s, pos);
    const int version = static_cast<int>((h >> 19) & 3);
    const int layerBits = static_cast<int>((h >> 17) & 3);
    const std::uint32_t bitrateIndex = (h >> 12) & 15;
    const std::uint32_t rateIndex = (h >> 10) & 3;
    if ((h & 0xFFE00000u) != 0xFFE00000u || version == 1 || layerBits == 0 || bitrateIndex == 0 ||
        bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    FrameHeader f{};
    f.nVersion = version;
    f.nLayer = 4 - layerBits;
    const int table = version == kMpeg1 ? f.nLayer - 1 : (f.nLayer == 1 ? 3 : 4);
    f.nBitrate = kBitrates[table][bitrateIndex] * 1000u;
    f.nSampleRate = kSampleRates[rateIndex] >> (version == kMpeg1 ? 0 : version == kMpeg2 ? 1 : 2);
    f.nSamples = f.nLayer == 1 ? 384 : (f.nLayer == 3 && version != kMpeg1) ? 576 : 1152;
    const std::uint32_t padding = (h >> 9) & 1;
    f.nLength = f.nLayer == 1 ? (12 * f.nBitrate / f.nSampleRate + padding) * 4
                              : f.nSamples / 8 * f.nBitrate / f.nSampleRate + padding;
    f.bMono = ((h >> 6) & 3) == 3;
    return f;
}

// A header is trusted when the next frame, if it lies inside data, starts with
// a header of the same kind: random bytes rarely pass both.
bool IsConfirmed(std::string_view s, std::size_t pos, const FrameHeader& f)
{
    const std::size_t next = pos + f.nLength;
    if (next + 4 > s.size()) {
        return true;
    }
    auto following = ParseHeader(s, next);
    return following && following->nVersion == f.nVersion && following->nLayer == f.nLayer &&
           following->nSampleRate == f.nSampleRate;
}

// The frame count of a Xing/Info or VBRI header in the first frame, or none.
std::optional<std::uint32_t> VbrFrameCount(std::string_view s, std::size_t pos,
                                           const FrameHeader& f)
{
    const std::size_t sideInfo = f.nVersion == kMpeg1 ? (f.bMono ? 17 : 32) : (f.bMono ? 9 : 17);
    const std::size_t xing = pos + 4 + sideInfo;
    if (xing + 12 <= s.size()) {
        const std::string_view tag = s.substr(xing, 4);
        if ((tag == "Xing" || tag == "Info") && (BigEndian32(s, xing + 4) & 1)) {
            return BigEndian32(s, xing + 8);
        }
    }
    const std::size_t vbri = pos + 36;
    if (vbri + 18 <= s.size() && s.substr(vbri, 4) == "VBRI") {
        return BigEndian32(s, vbri + 14);
    }
    return std::nullopt;
}

bool IsSameStream(const FrameHeader& a, const FrameHeader& b)
{
    return a.nVersion == b.nVersion && a.nLayer == b.nLayer && a.nSampleRate == b.nSampleRate;
}

// True when the frames that follow the first one inside data all share its
// bit rate: a stream without a VBR header is then taken as constant.
bool HasConstantBitrate(std::string_view s, std::size_t pos, const FrameHeader& first)
{
    for (pos += first.nLength; pos + 4 <= s.size();) {
        const std::optional<FrameHeader> f = ParseHeader(s, pos);
        if (!f || !IsSameStream(*f, first)) {
            break;
        }
        if (f->nBitrate != first.nBitrate) {
            return false;
        }
        pos += f->nLength;
    }
    return true;
}

// Counts the frames from pos to the end of the audio, reading it in chunks,
// until something that is not a frame of the same stream.
std::uint64_t CountFrames(const AudioReader& read, std::uint64_t pos, std::uint64_t end,
                          const FrameHeader& first)
{
    constexpr std::size_t kChunkBytes = 64 * 1024;
    std::string chunk;
    std::uint64_t chunkStart = 0;
    std::uint64_t frames = 0;
    while (pos + 4 <= end) {
        if (pos < chunkStart || pos + 4 > chunkStart + chunk.size()) {
            chunkStart = pos;
            chunk = read(pos,
                         static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, end - pos)));
        }
        const std::optional<FrameHeader> f =
            ParseHeader(chunk, static_cast<std::size_t>(pos - chunkStart));
        if (!f || !IsSameStream(*f, first)) {
            break;
        }
        ++frames;
        pos += f->nLength;
    }
    return frames;
}

} // namespace

std::int32_t DurationSeconds(std::string_view data, std::uint64_t audioBytes,
                             const AudioReader& read)
{
    for (std::size_t pos = 0; pos + 4 <= data.size(); ++pos) {
        if (Byte(data, pos) != 0xFF) {
            continue;
        }
        const std::optional<FrameHeader> f = ParseHeader(data, pos);
        if (!f || !IsConfirmed(data, pos, *f)) {
            continue;
        }
        std::uint64_t seconds = 0;
        if (auto frames = VbrFrameCount(data, pos, *f)) {
            seconds = std::uint64_t{*frames} * f->nSamples / f->nSampleRate;
        } else if (HasConstantBitrate(data, pos, *f)) {
            const std::uint64_t bytes = audioBytes > pos ? audioBytes - pos : 0;
            seconds = bytes * 8 / f->nBitrate;
        } else {
            seconds = CountFrames(read, pos, audioBytes, *f) * f->nSamples / f->nSampleRate;
        }
        return static_cast<std::int32_t>(std::min<std::uint64_t>(seconds, INT32_MAX));
    }
    return 0;
}

} // namespace voxreel::mpeg
