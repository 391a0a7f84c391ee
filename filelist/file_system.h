#pragma once
// What the folder scanner needs from a file system: does a folder exist, and what does it
// hold. Paths and names are byte strings exactly as the system gives them (on Linux any
// bytes but '/' and NUL, valid UTF-8 or not); nothing here converts or replaces them.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tressimo::filelist {

enum class ListStatus {
    Ok,
    // The folder's contents may not be read (EACCES/EPERM); the user can pick another folder.
    AccessDenied,
    // The folder is not there any more (removed or replaced while the walk went on): nothing
    // in it can be missed.
    Gone,
    // Anything else, such as an I/O error: files in it are missed.
    Failed,
};

struct FolderListing
{
    ListStatus status = ListStatus::Ok;
    // Names only (no folder part), each list sorted by its bytes so walks are repeatable.
    std::vector<std::string> subFolders;
    std::vector<std::string> files;
    // Why the listing failed, for a report; empty when status is Ok.
    std::string error;
};

// Sorts names by their bytes, as std::string compares them, faster than a sort that compares
// whole names when many share a long start (a folder of "Contact 000123.contact").
void sortByBytes(std::vector<std::string>& names);

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    virtual bool folderExists(const std::string& path) = 0;
    // Lists one folder. Symbolic links to folders are neither sub-folders nor files, so a
    // walk cannot loop through them.
    virtual FolderListing listFolder(const std::string& path) = 0;
};

// The real file system through std::filesystem.
//
// Sub-folders are real directories only. Files are regular files, symbolic links to regular
// files, and symbolic links whose target cannot be resolved (dangling, looping or
// unreachable): those are listed so that whoever reads them later reports why, instead of a
// file silently missing. FIFOs, sockets and devices are not files here (opening a FIFO would
// block the reader).
class DiskFileSystem : public FileSystem
{
public:
    bool folderExists(const std::string& path) override;
    FolderListing listFolder(const std::string& path) override;
};

// A file system in memory for tests: folders and files by path, with folders that can be
// made unreadable (tests run as root, where permissions deny nothing) or failing.
// Paths use the platform separator; a trailing separator names the same folder.
class MemoryFileSystem : public FileSystem
{
public:
    // Creates the folder and every folder above it.
    void addFolder(const std::string& path);
    // Creates the file and every folder above it.
    void addFile(const std::string& path);
    void denyAccess(const std::string& folder);
    void failListing(const std::string& folder);
    // The folder stays a sub-folder of its parent but is gone when listed.
    void vanish(const std::string& folder);

    bool folderExists(const std::string& path) override;
    FolderListing listFolder(const std::string& path) override;

    // How often each folder was listed, to check that a walk visits each folder once.
    int listCount(const std::string& folder) const;

private:
    struct Folder
    {
        std::set<std::string> subFolders;
        std::set<std::string> files;
        ListStatus status = ListStatus::Ok;
        int listed = 0;
    };
    static std::string normalise(const std::string& path);
    Folder& ensureFolder(const std::string& path);

    std::map<std::string, Folder> m_folders;
};

} // namespace tressimo::filelist
