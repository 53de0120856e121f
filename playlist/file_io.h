// File access for the playlist: reading only from regular files (a FIFO or a
// device must never block the user-interface thread) and replacing a file so
// that a failed write leaves the previous contents intact.
#pragma once

#include "voxreel/hresult.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace voxreel::io {

// An open regular file; closes on destruction.
class CRegularFile {
public:
    CRegularFile() = default;
    ~CRegularFile();
    CRegularFile(const CRegularFile&) = delete;
    CRegularFile& operator=(const CRegularFile&) = delete;

    // Opens without blocking and refuses anything that is not a regular file
    // (after following symbolic links).
    HRESULT Open(const std::filesystem::path& path);
    std::uint64_t Size() const { return m_nSize; }
    // Reads up to length bytes at offset; fewer only at the end of the file.
    HRESULT ReadAt(std::uint64_t offset, std::size_t length, std::string& out) const;

private:
    int m_fd = -1;
    std::uint64_t m_nSize = 0;
};

// Reads a whole regular file of at most maxBytes.
HRESULT ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                        std::string& out);

// Writes the contents to a new file beside path, flushes it to disk and renames
// it over path. On any failure path is left as it was and the new file removed.
HRESULT ReplaceFile(const std::filesystem::path& path, const std::string& contents);

} // namespace voxreel::io
