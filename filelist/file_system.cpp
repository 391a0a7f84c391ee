#include "filelist/file_system.h"
#include "platform/path_text.h"

#include "shell/path_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <system_error>
#ifndef _WIN32
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace tressimo::filelist {

namespace fs = std::filesystem;
using shell::kPathSeparator;

namespace {

fs::path toPath(const std::string& text)
{
    return platform::pathFromText(text);
}

bool isAccessDenied(const std::error_code& ec)
{
    return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted;
}

FolderListing failure(const std::string& folder, const std::error_code& ec)
{
    FolderListing out;
    const bool gone = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
    out.status = isAccessDenied(ec) ? ListStatus::AccessDenied : gone ? ListStatus::Gone : ListStatus::Failed;
    out.error = "cannot read folder " + folder + ": " + ec.message();
    return out;
}

enum class EntryKind { SubFolder, File, Other };

#ifdef _WIN32
// The name of a listed entry, without building a second path object for it.
std::string nameOf(const fs::directory_entry& entry)
{
    const std::u8string u8 = entry.path().filename().u8string();
    return std::string(u8.begin(), u8.end());
}

// Uses the type the directory listing already gave where it can: one stat per entry would
// dominate the walk.
EntryKind classify(const fs::directory_entry& entry)
{
    std::error_code ec;
    const bool link = entry.is_symlink(ec);
    if (ec)
        return EntryKind::Other; // removed between listing and looking
    if (!link) {
        if (entry.is_directory(ec))
            return EntryKind::SubFolder;
        return entry.is_regular_file(ec) ? EntryKind::File : EntryKind::Other;
    }
    const fs::file_status target = entry.status(ec);
    if (fs::is_directory(target))
        return EntryKind::Other; // never followed: a link to an ancestor would loop
    if (ec || fs::is_regular_file(target) || target.type() == fs::file_type::not_found)
        return EntryKind::File;
    return EntryKind::Other;
}
#else
// What a link leads to: a folder is never followed (a link to an ancestor would loop); a file,
// a link that leads nowhere or round in a circle is listed, so the conversion can say why it
// fails; anything else (a FIFO, a device) is not a file.
EntryKind classifyLinkTarget(int folder, const char* name)
{
    struct stat target{};
    if (::fstatat(folder, name, &target, 0) != 0)
        return EntryKind::File;
    if (S_ISDIR(target.st_mode))
        return EntryKind::Other;
    return S_ISREG(target.st_mode) ? EntryKind::File : EntryKind::Other;
}

// Uses the type the listing already gave where it can: one stat per entry would dominate the
// walk. Only links, and file systems that give no type, are looked at.
EntryKind classify(int folder, const dirent& entry)
{
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        struct stat status{};
        if (::fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryKind::Other; // removed between listing and looking
        type = IFTODT(status.st_mode);
    }
    switch (type) {
    case DT_DIR:
        return EntryKind::SubFolder;
    case DT_REG:
        return EntryKind::File;
    case DT_LNK:
        return classifyLinkTarget(folder, entry.d_name);
    default:
        return EntryKind::Other;
    }
}
#endif

} // namespace

bool DiskFileSystem::folderExists(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_directory(toPath(path), ec);
}

FolderListing DiskFileSystem::listFolder(const std::string& path)
{
    FolderListing out;
#ifdef _WIN32
    std::error_code ec;
    fs::directory_iterator it(toPath(path), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        switch (classify(*it)) {
        case EntryKind::SubFolder:
            out.subFolders.push_back(nameOf(*it));
            break;
        case EntryKind::File:
            out.files.push_back(nameOf(*it));
            break;
        case EntryKind::Other:
            break;
        }
    }
    if (ec)
        return failure(path, ec);
#else
    // The system's own listing: the library's builds a path object for every entry, which
    // costs more than the listing itself in a folder of many thousand contacts.
    DIR* const folder = ::opendir(toPath(path).c_str());
    if (!folder)
        return failure(path, std::error_code(errno, std::generic_category()));
    const struct Closer
    {
        DIR* folder;
        ~Closer() { ::closedir(folder); }
    } closer{folder};
    const int folderFd = ::dirfd(folder);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry) {
            if (errno != 0)
                return failure(path, std::error_code(errno, std::generic_category()));
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        switch (classify(folderFd, *entry)) {
        case EntryKind::SubFolder:
            out.subFolders.emplace_back(name);
            break;
        case EntryKind::File:
            out.files.emplace_back(name);
            break;
        case EntryKind::Other:
            break;
        }
    }
#endif
    // Directory order on Linux depends on the file system's hashing; sort for repeatable walks.
    sortByBytes(out.subFolders);
    sortByBytes(out.files);
    return out;
}

void sortByBytes(std::vector<std::string>& names)
{
    constexpr std::size_t kFewNames = 64;
    if (names.size() < kFewNames) {
        std::sort(names.begin(), names.end());
        return;
    }
    // The start every name shares says nothing about their order. The eight bytes after it,
    // read as one big-endian number (zeros past a name's end), order the names as their bytes
    // do where the numbers differ; names with the same number are compared whole.
    const std::string& first = names.front();
    std::size_t shared = first.size();
    for (const std::string& name : names) {
        std::size_t same = 0;
        while (same < shared && same < name.size() && name[same] == first[same])
            ++same;
        shared = same;
    }
    struct Keyed
    {
        std::uint64_t key;
        std::uint32_t index;
    };
    std::vector<Keyed> keyed(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint64_t key = 0;
        for (std::size_t b = shared; b < shared + 8; ++b)
            key = (key << 8) | (b < names[i].size() ? static_cast<unsigned char>(names[i][b]) : 0u);
        keyed[i] = {key, static_cast<std::uint32_t>(i)};
    }
    // By the numbers a byte at a time, lowest first, each pass keeping the order of the last
    // (a comparison sort spends its time in branches it mispredicts); a byte every name has
    // alike needs no pass.
    std::vector<Keyed> spare(keyed.size());
    for (unsigned shift = 0; shift < 64; shift += 8) {
        std::array<std::size_t, 257> starts{};
        for (const Keyed& k : keyed)
            ++starts[((k.key >> shift) & 0xFF) + 1];
        if (std::find(starts.begin(), starts.end(), keyed.size()) != starts.end())
            continue;
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        for (const Keyed& k : keyed)
            spare[starts[(k.key >> shift) & 0xFF]++] = k;
        keyed.swap(spare);
    }
    for (auto alike = keyed.begin(); alike != keyed.end();) {
        const auto end =
            std::find_if(alike, keyed.end(), [&](const Keyed& k) { return k.key != alike->key; });
        std::sort(alike, end,
                  [&](const Keyed& a, const Keyed& b) { return names[a.index] < names[b.index]; });
        alike = end;
    }
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const Keyed& k : keyed)
        sorted.push_back(std::move(names[k.index]));
    names = std::move(sorted);
}

std::string MemoryFileSystem::normalise(const std::string& path)
{
    std::string out = path;
    while (out.size() > 1 && out.back() == kPathSeparator)
        out.pop_back();
    return out;
}

MemoryFileSystem::Folder& MemoryFileSystem::ensureFolder(const std::string& path)
{
    const std::string key = normalise(path);
    const auto found = m_folders.find(key);
    if (found != m_folders.end())
        return found->second;
    const std::size_t cut = key.rfind(kPathSeparator);
    if (cut != std::string::npos && key.size() > 1) {
        const std::string parent = cut == 0 ? key.substr(0, 1) : key.substr(0, cut);
        ensureFolder(parent).subFolders.insert(key.substr(cut + 1));
    }
    return m_folders[key];
}

void MemoryFileSystem::addFolder(const std::string& path)
{
    ensureFolder(path);
}

void MemoryFileSystem::addFile(const std::string& path)
{
    const std::size_t cut = path.rfind(kPathSeparator);
    const std::string parent = cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
    ensureFolder(cut == std::string::npos ? std::string(1, '.') : parent).files.insert(path.substr(cut + 1));
}

void MemoryFileSystem::denyAccess(const std::string& folder)
{
    ensureFolder(folder).status = ListStatus::AccessDenied;
}

void MemoryFileSystem::failListing(const std::string& folder)
{
    ensureFolder(folder).status = ListStatus::Failed;
}

void MemoryFileSystem::vanish(const std::string& folder)
{
    ensureFolder(folder).status = ListStatus::Gone;
}

bool MemoryFileSystem::folderExists(const std::string& path)
{
    return !path.empty() && m_folders.contains(normalise(path));
}

FolderListing MemoryFileSystem::listFolder(const std::string& path)
{
    FolderListing out;
    const auto found = m_folders.find(normalise(path));
    if (found == m_folders.end()) {
        out.status = ListStatus::Gone;
        out.error = "cannot read folder " + path + ": no such folder";
        return out;
    }
    Folder& folder = found->second;
    ++folder.listed;
    out.status = folder.status;
    if (folder.status == ListStatus::AccessDenied) {
        out.error = "cannot read folder " + path + ": access denied";
        return out;
    }
    if (folder.status == ListStatus::Failed) {
        out.error = "cannot read folder " + path + ": input/output error";
        return out;
    }
    if (folder.status == ListStatus::Gone) {
        out.error = "cannot read folder " + path + ": no such folder";
        return out;
    }
    out.subFolders.assign(folder.subFolders.begin(), folder.subFolders.end());
    out.files.assign(folder.files.begin(), folder.files.end());
    return out;
}

int MemoryFileSystem::listCount(const std::string& folder) const
{
    const auto found = m_folders.find(normalise(folder));
    return found == m_folders.end() ? 0 : found->second.listed;
}

} // namespace tressimo::filelist
