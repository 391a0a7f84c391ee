// The file sink on Windows, through the system's own file calls.
#include "pst/io/sink.h"

#include "platform/files.h"
#include "platform/path_text.h"

#include <algorithm>
#include <io.h>
#include <windows.h>

namespace tressimo::pst {

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

std::unique_ptr<FileSink> FileSink::createNew(const std::filesystem::path& path)
{
    // Delete sharing lets the staged store be renamed to its final name while still open.
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int err = platform::lastSystemError();
        throw IoError("Cannot create \"" + platform::textOfPath(path) + "\": " + platform::errorText(err));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (fd < 0) {
        ::CloseHandle(file);
        throw IoError("Cannot create \"" + platform::textOfPath(path) + "\": " + platform::errorText(EMFILE));
    }
    return std::unique_ptr<FileSink>(new FileSink(path, fd));
}

// Windows has no unnamed files; the store is staged under a hidden name instead.
std::unique_ptr<FileSink> FileSink::createUnnamed(const std::filesystem::path&)
{
    return nullptr;
}

void FileSink::linkAs(const std::filesystem::path& path)
{
    fail("create", ENOSYS);
    (void)path;
}

FileSink::FileSink(std::filesystem::path path, int fd) : m_path(std::move(path)), m_fd(fd) {}

FileSink::~FileSink()
{
    ::_close(m_fd);
}

std::string FileSink::name() const
{
    return platform::textOfPath(m_path);
}

void FileSink::fail(const char* what, int err) const
{
    throw IoError(std::string("Cannot ") + what + " \"" + name() + "\": " + platform::errorText(err));
}

void FileSink::writeAt(std::uint64_t offset, ByteView data)
{
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handleOf(m_fd), p, chunk, &written, &at))
            fail("write to", platform::lastSystemError());
        if (written == 0)
            fail("write to", ENOSPC);
        p += written;
        offset += written;
        left -= written;
    }
    m_size = std::max(m_size, offset);
}

void FileSink::resize(std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handleOf(m_fd), FileEndOfFileInfo, &end, sizeof end))
        fail(size > m_size ? "extend" : "resize", platform::lastSystemError());
    m_size = size;
}

void FileSink::sync()
{
    if (!::FlushFileBuffers(handleOf(m_fd)))
        fail("sync", platform::lastSystemError());
    m_folderSynced = true;
}

// The steps in order, each synced; Windows has no vfork to finish them past the caller's death.
void FileSink::growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last)
{
    Sink::growAndCommit(std::max(m_size, size), pieces, last);
}

} // namespace tressimo::pst
