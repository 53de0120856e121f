#include "playlist/media_info.h"

#include "playlist/file_io.h"
#include "playlist/id3lib_reader.h"
#include "playlist/mpeg_duration.h"
#include "playlist/playlist.h"
#include "playlist/text_codec.h"

#include <algorithm>
#include <new>

namespace voxreel::media {

namespace {

// The start of the file is read at once: it holds the usual ID3v2 tag and the
// first MPEG frames.
constexpr std::size_t kHeadBytes = 64 * 1024;
// Of a larger tag (cover art) only this much is scanned for the two text frames.
constexpr std::size_t kMaxTagBytes = 16 * 1024 * 1024;
// How far after the tag the first MPEG frame is looked for.
constexpr std::size_t kAudioProbeBytes = 16 * 1024;

class CFileSource final : public IByteSource {
public:
    explicit CFileSource(const io::CRegularFile& file) : m_file(file) {}
    std::uint64_t Size() const override { return m_file.Size(); }
    std::string Read(std::uint64_t offset, std::size_t length) const override
    {
        std::string bytes;
        (void)m_file.ReadAt(offset, length, bytes);
        return bytes;
    }

private:
    const io::CRegularFile& m_file;
};

// Bytes [offset, offset + length) from head when it holds them, else read.
std::string Slice(const IByteSource& source, const std::string& head, std::uint64_t offset,
                  std::size_t length)
{
    if (offset + length <= head.size()) {
        return head.substr(static_cast<std::size_t>(offset), length);
    }
    return source.Read(offset, length);
}

bool IsMp3Name(const std::filesystem::path& name)
{
    const std::string& s = name.native();
    if (s.size() <= 4) {
        return false;
    }
    std::string extension = s.substr(s.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension == ".mp3";
}

} // namespace

Mp3Info ReadMp3Info(const IByteSource& source)
{
    Mp3Info info;
    const std::uint64_t size = source.Size();
    const std::string head = source.Read(0, kHeadBytes);

    std::uint64_t audioStart = 0;
    id3::TagTexts v2;
    if (auto header = id3::ParseId3v2Header(head)) {
        audioStart = header->nTotalSize;
        v2 = id3::ScanId3v2(Slice(source, head, 0, std::min(header->nTotalSize, kMaxTagBytes)));
    }
    const std::string v1 = size >= 128 ? Slice(source, head, size - 128, 128) : std::string();
    const bool hasV1 = id3::IsId3v1Tag(v1) && size - 128 >= audioStart;

    const std::uint64_t audioEnd = hasV1 ? size - 128 : size;
    if (audioStart < audioEnd) {
        const auto probe = static_cast<std::size_t>(
            std::min<std::uint64_t>(kAudioProbeBytes, audioEnd - audioStart));
        const auto readAudio = [&](std::uint64_t offset, std::size_t length) {
            return Slice(source, head, audioStart + offset, length);
        };
        info.duration = mpeg::DurationSeconds(Slice(source, head, audioStart, probe),
                                              audioEnd - audioStart, readAudio);
    }
    info.texts = id3::ReadTagsWithId3lib(id3::BuildCleanTag(v2),
                                         hasV1 ? std::string_view(v1) : std::string_view());
    return info;
}

std::string ComposeTitle(std::string nameTitle, const id3::TagTexts& texts)
{
    std::string title = texts.artist ? *texts.artist : std::move(nameTitle);
    if (texts.title) {
        title = title.empty() ? *texts.title : title + " : " + *texts.title;
    }
    return title;
}

} // namespace voxreel::media

namespace {

// The tags and playing time of an MP3 file; nothing for other files and for
// files that cannot be opened or read.
std::optional<voxreel::media::Mp3Info> ReadMp3File(const std::filesystem::path& path)
{
    if (!voxreel::media::IsMp3Name(path.filename())) {
        return std::nullopt;
    }
    voxreel::io::CRegularFile file;
    if (FAILED(file.Open(path))) {
        return std::nullopt;
    }
    try {
        return ReadMp3Info(voxreel::media::CFileSource(file));
    } catch (const std::bad_alloc&) {
        // A tag too large for the memory left: the file keeps its name.
        return std::nullopt;
    }
}

} // namespace

std::string NameTitle(const std::filesystem::path& path)
{
    return voxreel::text::SanitizeUtf8(path.stem().native());
}

std::string ShownTitle(const PlaylistItem& item)
{
    return item.title.empty() ? NameTitle(item.path) : item.title;
}

void DescribeFile(const std::filesystem::path& path, PlaylistItem& item)
{
    item.title = NameTitle(path);
    item.duration = 0;
    if (const auto info = ReadMp3File(path)) {
        item.title = voxreel::media::ComposeTitle(item.title, info->texts);
        item.duration = info->duration;
    }
}

bool NeedsDescribing(const PlaylistItem& item)
{
    return item.title.empty() || item.duration == 0;
}

void DescribeMissing(PlaylistItem& item)
{
    if (!NeedsDescribing(item)) {
        return;
    }
    const auto info = ReadMp3File(item.path);
    if (!info) {
        return;
    }
    if (item.title.empty() && (info->texts.artist || info->texts.title)) {
        item.title = voxreel::media::ComposeTitle(NameTitle(item.path), info->texts);
    }
    if (item.duration == 0) {
        item.duration = info->duration;
    }
}
