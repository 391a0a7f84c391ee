#include "contacts/contact_file.h"
#include "platform/path_text.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

namespace tressimo::contacts {

namespace {

std::string osReason(int error)
{
    return std::generic_category().message(error);
}

std::string cannotRead(const std::filesystem::path& path, std::string_view reason)
{
    return "Cannot read \"" + platform::textOfPath(path) + "\": " + std::string(reason);
}

#ifdef _WIN32
struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file; on failure returns the reason.
std::string readWholeFile(const std::filesystem::path& path, std::vector<char>& bytes)
{
    // Windows refuses to open a folder with "Permission denied"; say what it is instead.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return cannotRead(path, osReason(EISDIR));
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(path.c_str(), L"rb"));
    if (!file)
        return "Cannot open \"" + platform::textOfPath(path) + "\": " + osReason(errno ? errno : EIO);
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + kChunk);
        errno = 0;
        const std::size_t got = std::fread(bytes.data() + used, 1, kChunk, file.get());
        bytes.resize(used + got);
        if (got < kChunk) {
            if (std::ferror(file.get()))
                return cannotRead(path, osReason(errno ? errno : EIO));
            return {};
        }
    }
}
#else
// Only regular files are read: a FIFO or a device named like a contact would block the run or
// never end, so the open does not wait and anything else is refused.
int openToRead(const std::filesystem::path& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

std::string cannotOpen(const std::filesystem::path& path, int error)
{
    return "Cannot open \"" + platform::textOfPath(path) + "\": " + osReason(error);
}

// Reads the whole of the open file `fd`; on failure returns the reason.
std::string readWholeFile(const std::filesystem::path& path, int fd, std::vector<char>& bytes)
{
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        return cannotRead(path, osReason(errno));
    if (S_ISDIR(status.st_mode))
        return cannotRead(path, osReason(EISDIR));
    if (!S_ISREG(status.st_mode))
        return cannotRead(path, "not a regular file");

    // Sized to the file, with room to notice that it grew while being read.
    std::size_t used = 0;
    bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            bytes.clear();
            return cannotRead(path, osReason(error));
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
        // A regular file that gives less than asked, having given exactly the size it had, is
        // at its end: asking once more only to be told so costs a call per file. Any other
        // short read reads on until the end is reported.
        if (used < bytes.size() && used == static_cast<std::size_t>(status.st_size))
            break;
    }
    bytes.resize(used);
    return {};
}
#endif

} // namespace

std::string readContactFile(const std::filesystem::path& path, std::vector<char>& bytes)
{
    return OpenedContactFile(path).read(bytes);
}

OpenedContactFile::OpenedContactFile(std::filesystem::path path) : m_path(std::move(path))
{
#ifndef _WIN32
    m_fd = openToRead(m_path);
    if (m_fd < 0)
        m_openError = errno;
#endif
}

OpenedContactFile::OpenedContactFile(OpenedContactFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1)), m_openError(other.m_openError),
      m_waitedForDisk(other.m_waitedForDisk)
{
}

OpenedContactFile& OpenedContactFile::operator=(OpenedContactFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
        m_openError = other.m_openError;
        m_waitedForDisk = other.m_waitedForDisk;
    }
    return *this;
}

void OpenedContactFile::askAhead()
{
#ifndef _WIN32
    if (m_fd >= 0)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_WILLNEED);
#endif
}

OpenedContactFile::~OpenedContactFile()
{
    close();
}

void OpenedContactFile::close()
{
#ifndef _WIN32
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
}

std::string OpenedContactFile::read(std::vector<char>& bytes)
{
    try {
#ifdef _WIN32
        return readWholeFile(m_path, bytes);
#else
        if (m_fd < 0)
            return cannotOpen(m_path, m_openError);
        // A file in memory is read in microseconds; a tenth of a millisecond means the disk.
        constexpr std::chrono::microseconds kDiskRead{100};
        const auto start = std::chrono::steady_clock::now();
        std::string failure = readWholeFile(m_path, m_fd, bytes);
        m_waitedForDisk = std::chrono::steady_clock::now() - start >= kDiskRead;
        close();
        return failure;
#endif
    } catch (const std::bad_alloc&) {
        close();
        bytes = {};
        return cannotRead(m_path, "the file is too large for the memory available");
    }
}

} // namespace tressimo::contacts
