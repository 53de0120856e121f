#include "playlist/file_io.h"

#include <atomic>
#include <string>
#include <utility>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voxreel::io {

namespace {

HRESULT LastError()
{
    return HResultFromErrno(errno);
}

// Closes a descriptor on every path out of a scope.
class CFdGuard {
public:
    explicit CFdGuard(int fd) : m_fd(fd) {}
    ~CFdGuard()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

HRESULT WriteAll(int fd, const std::string& contents)
{
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? LastError() : HResultFromWin32(ERROR_WRITE_FAULT);
        }
        done += static_cast<std::size_t>(n);
    }
    return S_OK;
}

// The file that a rename must replace: the target of a symbolic link, so that
// a linked playlist stays linked.
std::filesystem::path ResolveTarget(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) {
            return target;
        }
    }
    return path;
}

// Creates a new, unique file beside target with the mode the old file had
// (or 0666 less the umask when there is none).
int CreateSibling(const std::filesystem::path& target, std::filesystem::path& created)
{
    static std::atomic<unsigned> s_nCounter{0};
    struct stat old {};
    bool hasOld = ::stat(target.c_str(), &old) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = target;
        candidate +=
            ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCounter.fetch_add(1));
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (hasOld) {
                (void)::fchmod(fd, old.st_mode & 07777);
            }
            created = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

} // namespace

CRegularFile::~CRegularFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

HRESULT CRegularFile::Open(const std::filesystem::path& path)
{
    // O_NONBLOCK makes opening a FIFO return at once; the type check below then
    // refuses it before anything reads.
    CFdGuard fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) {
        return LastError();
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        return LastError();
    }
    if (!S_ISREG(st.st_mode)) {
        return E_INVALIDARG;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd.Release();
    m_nSize = static_cast<std::uint64_t>(st.st_size);
    return S_OK;
}

HRESULT CRegularFile::ReadAt(std::uint64_t offset, std::size_t length, std::string& out) const
{
    out.resize(length);
    std::size_t done = 0;
    while (done < length) {
        ssize_t n =
            ::pread(m_fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            out.clear();
            return LastError();
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return S_OK;
}

HRESULT ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::string& out)
{
    CRegularFile file;
    HRESULT hr = file.Open(path);
    if (FAILED(hr)) {
        return hr;
    }
    if (file.Size() > maxBytes) {
        return E_OUTOFMEMORY;
    }
    return file.ReadAt(0, static_cast<std::size_t>(file.Size()), out);
}

HRESULT ReplaceFile(const std::filesystem::path& path, const std::string& contents)
{
    const std::filesystem::path target = ResolveTarget(path);
    std::filesystem::path temp;
    CFdGuard fd(CreateSibling(target, temp));
    if (fd.Get() < 0) {
        return LastError();
    }
    HRESULT hr = WriteAll(fd.Get(), contents);
    if (SUCCEEDED(hr) && ::fsync(fd.Get()) != 0) {
        hr = LastError();
    }
    if (SUCCEEDED(hr) && ::close(fd.Release()) != 0) {
        hr = LastError();
    }
    if (SUCCEEDED(hr) && ::rename(temp.c_str(), target.c_str()) != 0) {
        hr = LastError();
    }
    if (FAILED(hr)) {
        ::unlink(temp.c_str());
    }
    return hr;
}

} // namespace voxreel::io
