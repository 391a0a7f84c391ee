#include "pst/io/sink.h"
// The file sink on Linux and other POSIX systems.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tressimo::pst {

namespace {
constexpr std::uint64_t kStartWritingEvery = 1 << 20;
} // namespace

std::unique_ptr<FileSink> FileSink::createNew(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        int err = errno;
        throw IoError("Cannot create \"" + path.string() + "\": " + std::strerror(err));
    }
    return std::unique_ptr<FileSink>(new FileSink(path, fd));
}

std::unique_ptr<FileSink> FileSink::createUnnamed(const std::filesystem::path& path)
{
#ifdef O_TMPFILE
    struct stat existing;
    if (::lstat(path.c_str(), &existing) == 0)
        throw IoError("Cannot create \"" + path.string() + "\": " + std::strerror(EEXIST));
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (fd < 0) {
        int err = errno;
        // Kernels and file systems without unnamed files say so in one of these ways.
        if (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)
            return nullptr;
        throw IoError("Cannot create \"" + path.string() + "\": " + std::strerror(err));
    }
    return std::unique_ptr<FileSink>(new FileSink(path, fd));
#else
    (void)path;
    return nullptr;
#endif
}

void FileSink::linkAs(const std::filesystem::path& path)
{
    // Linking a descriptor by itself needs a privilege; its /proc name does not.
    if (::linkat(m_fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) != 0) {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            int err = errno;
            throw IoError("Cannot create \"" + path.string() + "\": " + std::strerror(err));
        }
    }
    m_path = path;
    // The name lasts through a power cut once the folder is on disk. Best effort: the file
    // has its name now, and should the sync fail, a power cut at worst takes the name away
    // again, which is no reason to give up a complete store.
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    m_folderSynced = true;
}

FileSink::FileSink(std::filesystem::path path, int fd) : m_path(std::move(path)), m_fd(fd) {}

FileSink::~FileSink()
{
    ::close(m_fd);
}

std::string FileSink::name() const
{
    return m_path.string();
}

void FileSink::fail(const char* what, int err) const
{
    throw IoError(std::string("Cannot ") + what + " \"" + m_path.string() + "\": " + std::strerror(err));
}

void FileSink::writeAt(std::uint64_t offset, ByteView data)
{
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::pwrite(m_fd, p, left, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("write to", errno);
        }
        if (n == 0)
            fail("write to", ENOSPC);
        p += n;
        offset += static_cast<std::uint64_t>(n);
        left -= static_cast<std::size_t>(n);
    }
    if (offset > m_size)
        m_size = offset;
#ifdef __linux__
    // Every megabyte the disk is asked to start writing what came so far, without waiting:
    // the sync at the next commit or growth of the file then finds little left to write. (A hint only;
    // durability still rests on that sync.)
    m_unsent += data.size();
    if (m_unsent >= kStartWritingEvery) {
        m_unsent = 0;
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#endif
}

void FileSink::resize(std::uint64_t size)
{
    // posix_fallocate reserves the blocks, so a full disk shows here rather than later.
    if (size > m_size) {
        int err = ::posix_fallocate(m_fd, 0, static_cast<off_t>(size));
        if (err == EOPNOTSUPP || err == EINVAL)
            err = ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
        if (err != 0)
            fail("extend", err);
    } else if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
        fail("resize", errno);
    }
    m_size = size;
}

void FileSink::sync()
{
    if (::fdatasync(m_fd) != 0)
        fail("sync", errno);
    // A new file exists for good only once its folder's entry is on disk too.
    if (!m_folderSynced) {
        std::filesystem::path folder = m_path.parent_path().empty() ? "." : m_path.parent_path();
        int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || ::fsync(dir) != 0) {
            int err = errno;
            if (dir >= 0)
                ::close(dir);
            fail("sync the folder of", err);
        }
        ::close(dir);
        m_folderSynced = true;
    }
}

namespace {

// Writes all of `data` at `offset`; 0 or the error number.
int writeFully(int fd, std::uint64_t offset, ByteView data)
{
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, left, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        p += n;
        offset += static_cast<std::uint64_t>(n);
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

struct GrowthSteps
{
    int fd;
    std::uint64_t from;
    std::uint64_t size;
    const std::vector<Sink::Piece>* pieces;
    Sink::Piece last;
    // What went wrong: the step and its error number.
    const char* failedStep = nullptr;
    int error = 0;
};

// Only system calls, so that a child sharing the parent's memory can run it.
void takeGrowthSteps(GrowthSteps& g)
{
    auto failed = [&](const char* step, int err) {
        g.failedStep = step;
        g.error = err;
        return err != 0;
    };
    int err = ::posix_fallocate(g.fd, static_cast<off_t>(g.from), static_cast<off_t>(g.size - g.from));
    if (err == EOPNOTSUPP || err == EINVAL)
        err = ::ftruncate(g.fd, static_cast<off_t>(g.size)) == 0 ? 0 : errno;
    if (err != 0 && failed("extend", err))
        return;
    for (const Sink::Piece& piece : *g.pieces) {
        if ((err = writeFully(g.fd, piece.offset, piece.bytes)) != 0 && failed("write to", err))
            return;
    }
    if (::fdatasync(g.fd) != 0 && failed("sync", errno))
        return;
    if ((err = writeFully(g.fd, g.last.offset, g.last.bytes)) != 0 && failed("write to", err))
        return;
    if (::fdatasync(g.fd) != 0)
        failed("sync", errno);
}

} // namespace

void FileSink::growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last)
{
    GrowthSteps steps{m_fd, m_size, size, &pieces, last};
#ifdef __linux__
    // vfork: the parent waits, the child shares its memory and reports there. Should no
    // child be possible, the parent takes the steps itself.
    const pid_t child = ::vfork();
    if (child == 0) {
        takeGrowthSteps(steps);
        ::_exit(0);
    }
    // The parent resumes once the child is gone, its steps taken; waiting only reaps it.
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    } else {
        takeGrowthSteps(steps);
    }
#else
    takeGrowthSteps(steps);
#endif
    if (steps.failedStep)
        fail(steps.failedStep, steps.error);
    m_size = std::max(m_size, size);
}

} // namespace tressimo::pst
