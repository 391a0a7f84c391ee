#pragma once
// Reading a .contact file whole, with a reason a user can act on when it fails.

#include <filesystem>
#include <string>
#include <vector>

namespace tressimo::contacts {

// Reads the file by its path's own bytes (never converted) into `bytes`. Returns empty, or
// why it could not, e.g. `Cannot open "a.contact": No such file or directory`. Only regular
// files are read.
std::string readContactFile(const std::filesystem::path& path, std::vector<char>& bytes);

// A file opened some files before it is read, so that the system can be asked meanwhile to
// bring its bytes from the disk: a reader that keeps the next few files opened so does not
// wait for one disk read after another when they are not in memory. Reading it gives what
// readContactFile gives for its path, a failure to open included. Where the system takes no
// such request (Windows), the file is opened when read.
class OpenedContactFile
{
public:
    explicit OpenedContactFile(std::filesystem::path path);
    OpenedContactFile(OpenedContactFile&& other) noexcept;
    OpenedContactFile& operator=(OpenedContactFile&& other) noexcept;
    ~OpenedContactFile();

    const std::filesystem::path& path() const { return m_path; }
    // Asks the system to start reading the file from the disk, where it is not in memory.
    void askAhead();
    // Reads the whole file into `bytes` and closes it; see readContactFile.
    std::string read(std::vector<char>& bytes);
    // After read(): reading took long enough that the bytes came from the disk.
    bool waitedForDisk() const { return m_waitedForDisk; }

private:
    void close();

    std::filesystem::path m_path;
    int m_fd = -1;
    int m_openError = 0;
    bool m_waitedForDisk = false;
};

} // namespace tressimo::contacts
