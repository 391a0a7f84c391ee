#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <windows.h>

namespace tressimo::platform {

namespace {
int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return EINVAL;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}
} // namespace

int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target is refused; the source may be open,
    // since this layer opens files with delete sharing.
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    return errnoOf(::GetLastError());
}

void setHidden(const std::filesystem::path& path, bool hidden)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD wanted = hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (wanted != attributes)
        ::SetFileAttributesW(path.c_str(), wanted);
}

// NTFS journals its folder entries; MOVEFILE_WRITE_THROUGH has already waited for the rename.
void syncFolderOf(const std::filesystem::path&) {}

int lastSystemError()
{
    return errnoOf(::GetLastError());
}

std::string errorText(int err)
{
    return std::strerror(err);
}

} // namespace tressimo::platform
