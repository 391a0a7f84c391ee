#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressimo::platform {

namespace {
bool nameTaken(const std::filesystem::path& path)
{
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}
} // namespace

int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
#else
    errno = ENOSYS;
#endif
    int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP)
        return err;
    // A file system without an exclusive rename: a hard link is exclusive too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    err = errno;
    if (err != EPERM && err != ENOTSUP && err != ENOSYS)
        return err;
    // Nor hard links (FAT): look, then rename; only a file made in between is at risk.
    if (nameTaken(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void setHidden(const std::filesystem::path&, bool) {}

void syncFolderOf(const std::filesystem::path& path)
{
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

int lastSystemError()
{
    return errno;
}

std::string errorText(int err)
{
    return std::strerror(err);
}

} // namespace tressimo::platform
