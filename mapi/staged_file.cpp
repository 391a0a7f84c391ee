#include "mapi/staged_file.h"

#include "platform/files.h"
#include "platform/path_text.h"
#include "platform/process.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

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
    throw pst::IoError("Cannot create \"" + platform::textOfPath(path) + "\": " + platform::errorText(err));
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

void publishStagedFile(const std::filesystem::path& stagingPath, const std::filesystem::path& finalPath);

bool nameTaken(const std::filesystem::path& path)
{
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
}

// The process that made a hidden staging file, from its name ".NAME.PID.XXXXXX" (X hex); 0
// when the name is not one this layer gives.
int stagingProcess(const std::string& name)
{
    const std::size_t random = name.rfind('.'), id = random == 0 ? 0 : name.rfind('.', random - 1);
    if (name.size() < 2 || name[0] != '.' || random != name.size() - 7 || id == std::string::npos || id < 2 ||
        id + 1 == random || random - id > 10)
        return 0;
    for (std::size_t i = id + 1; i < name.size(); ++i)
        if (i != random && !(i < random ? std::isdigit(static_cast<unsigned char>(name[i]))
                                        : std::isxdigit(static_cast<unsigned char>(name[i]))))
            return 0;
    return std::stoi(name.substr(id + 1, random - id - 1));
}

// Removes the hidden files a killed run left in the folder: a name this layer gives, its
// process gone, and in it the start of a store, or nothing yet (a store is sized before its
// header is written). Best effort.
void removeStaleStagingFiles(const std::filesystem::path& folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const int process = stagingProcess(platform::textOfPath(entry->path().filename()));
        if (process == 0 || platform::processMayHaveMade(process, entry->path()) || !entry->is_regular_file(error))
            continue;
        char magic[4] = {};
        std::ifstream(entry->path(), std::ios::binary).read(magic, sizeof magic);
        std::error_code ignored;
        if (std::string(magic, 4) == "!BDN" || std::string(magic, 4) == std::string(4, '\0'))
            std::filesystem::remove(entry->path(), ignored);
    }
}

// The hidden file beside the final one, named for this process.
StagedFile createHiddenFile(const std::filesystem::path& finalPath)
{
    if (nameTaken(finalPath))
        failCreate(finalPath, EEXIST);

    std::random_device device;
    const std::filesystem::path folder = finalPath.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%d.%06x", platform::processId(),
                      static_cast<unsigned>(device() & 0xFFFFFF));
        std::string hidden = ".";
        hidden += platform::textOfPath(finalPath.filename());
        hidden += suffix;
        const std::filesystem::path staging = folder / platform::pathFromText(hidden);
        if (nameTaken(staging))
            continue;
        const std::string stagingText = platform::textOfPath(staging);
        const std::string finalText = platform::textOfPath(finalPath);
        try {
            auto file = pst::FileSink::createNew(staging);
            platform::setHidden(staging, true);
            return {std::make_unique<StagedSink>(std::move(file), stagingText, finalText),
                    [staging, finalPath] { publishStagedFile(staging, finalPath); },
                    [staging] {
                        std::error_code ignored;
                        std::filesystem::remove(staging, ignored);
                    }};
        } catch (const pst::IoError& e) {
            throw pst::IoError(replaceAll(e.what(), stagingText, finalText));
        }
    }
    failCreate(finalPath, EEXIST);
}

void publishStagedFile(const std::filesystem::path& stagingPath, const std::filesystem::path& finalPath)
{
    if (const int err = platform::renameNoReplace(stagingPath, finalPath))
        failCreate(finalPath, err);
    platform::setHidden(finalPath, false);
    // Best effort: the rename has happened, and should the sync fail, a power cut at worst
    // brings back the hidden name with the whole store under it.
    platform::syncFolderOf(finalPath);
}

} // namespace

StagedFile createStagedFile(const std::filesystem::path& finalPath, bool unnamed)
{
    removeStaleStagingFiles(finalPath.parent_path());
    std::shared_ptr<pst::FileSink> file = unnamed ? pst::FileSink::createUnnamed(finalPath) : nullptr;
    if (!file)
        return createHiddenFile(finalPath);
    // Publishing needs the file open, however soon its store lets go of the sink.
    return {std::make_unique<SharedSink>(file), [file, finalPath] { file->linkAs(finalPath); }, [] {}};
}

} // namespace tressimo::mapi
