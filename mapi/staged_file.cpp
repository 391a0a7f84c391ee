#include "mapi/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tressimo::mapi {

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

[[noreturn]] void failCreate(const std::filesystem::path& path, int err)
{
    throw pst::IoError("Cannot create \"" + path.string() + "\": " + std::strerror(err));
}

// Passes everything to the staged file, and says the final name in what it reports.
class StagedSink : public pst::Sink
{
public:
    StagedSink(std::unique_ptr<pst::Sink> inner, std::string stagingName, std::string finalName)
        : m_inner(std::move(inner)), m_stagingName(std::move(stagingName)), m_finalName(std::move(finalName))
    {
    }

    void writeAt(std::uint64_t offset, pst::ByteView data) override
    {
        named([&] { m_inner->writeAt(offset, data); });
    }
    void resize(std::uint64_t size) override
    {
        named([&] { m_inner->resize(size); });
    }
    void sync() override
    {
        named([&] { m_inner->sync(); });
    }
    void growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last) override
    {
        named([&] { m_inner->growAndCommit(size, pieces, last); });
    }
    std::uint64_t size() const override { return m_inner->size(); }
    std::string name() const override { return m_finalName; }

private:
    template <class F> void named(F&& f)
    {
        try {
            f();
        } catch (const pst::IoError& e) {
            throw pst::IoError(replaceAll(e.what(), m_stagingName, m_finalName));
        }
    }

    std::unique_ptr<pst::Sink> m_inner;
    std::string m_stagingName;
    std::string m_finalName;
};

// Passes everything to a file that publishing also holds.
class SharedSink : public pst::Sink
{
public:
    explicit SharedSink(std::shared_ptr<pst::Sink> file) : m_file(std::move(file)) {}
    void writeAt(std::uint64_t offset, pst::ByteView data) override { m_file->writeAt(offset, data); }
    void resize(std::uint64_t size) override { m_file->resize(size); }
    void sync() override { m_file->sync(); }
    void growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last) override
    {
        m_file->growAndCommit(size, pieces, last);
    }
    std::uint64_t size() const override { return m_file->size(); }
    std::string name() const override { return m_file->name(); }

private:
    std::shared_ptr<pst::Sink> m_file;
};

// A rename lasts through a power cut only once the folder is on disk. Best effort: the rename
// has happened, and should the sync fail, a power cut at worst brings back the hidden name with
// the whole store under it.
void syncFolderOf(const std::filesystem::path& path)
{
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void publishStagedFile(const std::filesystem::path& stagingPath, const std::filesystem::path& finalPath);

// The hidden file beside the final one.
StagedFile createHiddenFile(const std::filesystem::path& finalPath)
{
    struct stat existing;
    if (::lstat(finalPath.c_str(), &existing) == 0)
        failCreate(finalPath, EEXIST);

    std::random_device device;
    const std::filesystem::path folder = finalPath.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".%06x", static_cast<unsigned>(device() & 0xFFFFFF));
        std::string hidden = ".";
        hidden += finalPath.filename().string();
        hidden += suffix;
        const std::filesystem::path staging = folder / hidden;
        struct stat taken;
        if (::lstat(staging.c_str(), &taken) == 0)
            continue; // left behind by a run that was killed
        try {
            auto file = pst::FileSink::createNew(staging);
            return {std::make_unique<StagedSink>(std::move(file), staging.string(), finalPath.string()),
                    [staging, finalPath] { publishStagedFile(staging, finalPath); },
                    [staging] {
                        std::error_code ignored;
                        std::filesystem::remove(staging, ignored);
                    }};
        } catch (const pst::IoError& e) {
            throw pst::IoError(replaceAll(e.what(), staging.string(), finalPath.string()));
        }
    }
    failCreate(finalPath, EEXIST);
}

void publishStagedFile(const std::filesystem::path& stagingPath, const std::filesystem::path& finalPath)
{
    if (::renameat2(AT_FDCWD, stagingPath.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE) == 0) {
        syncFolderOf(finalPath);
        return;
    }
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        // A file system without an exclusive rename: a hard link is exclusive too.
        if (::link(stagingPath.c_str(), finalPath.c_str()) == 0) {
            ::unlink(stagingPath.c_str());
            syncFolderOf(finalPath);
            return;
        }
        err = errno;
        if (err == EPERM || err == ENOTSUP || err == ENOSYS) {
            // Nor hard links (FAT): look, then rename; only a file made in between is at risk.
            struct stat existing;
            if (::lstat(finalPath.c_str(), &existing) == 0)
                failCreate(finalPath, EEXIST);
            if (::rename(stagingPath.c_str(), finalPath.c_str()) == 0) {
                syncFolderOf(finalPath);
                return;
            }
            err = errno;
        }
    }
    failCreate(finalPath, err);
}

} // namespace

StagedFile createStagedFile(const std::filesystem::path& finalPath, bool unnamed)
{
    std::shared_ptr<pst::FileSink> file = unnamed ? pst::FileSink::createUnnamed(finalPath) : nullptr;
    if (!file)
        return createHiddenFile(finalPath);
    // Publishing needs the file open, however soon its store lets go of the sink.
    return {std::make_unique<SharedSink>(file), [file, finalPath] { file->linkAs(finalPath); }, [] {}};
}

} // namespace tressimo::mapi
