// Reads arbitrary bytes as an MP3 file: tags, frames and playing time.
#include "playlist/media_info.h"
#include "playlist/text_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

class CMemorySource final : public voxreel::media::IByteSource {
public:
    explicit CMemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    std::string Read(std::uint64_t offset, std::size_t length) const override
    {
        if (offset >= m_bytes.size()) {
            return {};
        }
        return std::string(m_bytes.substr(static_cast<std::size_t>(offset), length));
    }

private:
    std::string_view m_bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const CMemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const voxreel::media::Mp3Info info = voxreel::media::ReadMp3Info(source);
    const std::string title = voxreel::media::ComposeTitle("name", info.texts);
    if (!voxreel::text::IsValidUtf8(title) || info.duration < 0) {
        std::abort();
    }
    return 0;
}
