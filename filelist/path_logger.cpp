#include "filelist/path_logger.h"

#include "shell/path_rules.h"
#include "text/ascii.h"

#include <limits>

namespace tressimo::filelist {

using shell::kPathSeparator;

namespace {

std::string keyOf(std::int32_t n)
{
    std::string key(1, 'K');
    key += std::to_string(n);
    return key;
}

} // namespace

pathLogger::pathLogger(std::shared_ptr<FileSystem> fileSystem) : m_source(std::move(fileSystem))
{
    newLists();
}

void pathLogger::newLists()
{
    m_fileNames = std::make_shared<TextList>();
    m_pathPointers = std::make_shared<PointerList>();
    m_pathNames = std::make_shared<TextList>();
    m_fullFileNames = std::make_shared<TextList>();
}

void pathLogger::PathLogInit()
{
    ++m_generation;
    m_fileSystem = m_source;
    m_fullFileNamesOnly = true;
    newLists();
    m_skipped.clear();
}

void pathLogger::Terminate()
{
    ++m_generation;
    m_fileSystem.reset();
    newLists();
    m_skipped.clear();
}

std::string pathLogger::EnsureBackslash(const std::string& path)
{
    return text::endingWith(path, kPathSeparator);
}

bool pathLogger::letMessagesRun(const std::function<void()>& yield, std::uint64_t walk) const
{
    if (yield)
        yield();
    return m_generation == walk;
}

void pathLogger::LogPath(const std::string& strPARENT)
{
    // Held for the whole walk: a Terminate from inside a yield must not pull it away.
    const std::shared_ptr<FileSystem> fileSystem = m_fileSystem;
    if (!fileSystem || !fileSystem->folderExists(strPARENT))
        return;
    const std::uint64_t walk = ++m_generation;
    const std::function<void()> yield = m_yield;
    // Each walk fills lists of its own. Carrying on in the previous walk's lists would
    // restart the keys at K0 and K1 and clash with the keys already there.
    newLists();
    m_skipped.clear();
    // Local owners: a yield that ends this walk may replace the members.
    const std::shared_ptr<TextList> pathNames = m_pathNames;
    const std::shared_ptr<TextList> fileNames = m_fileNames;
    const std::shared_ptr<TextList> fullFileNames = m_fullFileNames;
    const std::shared_ptr<PointerList> pathPointers = m_pathPointers;
    const bool fullOnly = m_fullFileNamesOnly;

    if (!letMessagesRun(yield, walk))
        return;
    std::int32_t j = 1;
    m_count = 1;
    pathNames->add("K0", EnsureBackslash(strPARENT));
    if (!letMessagesRun(yield, walk))
        return;

    bool missedFiles = false;
    // pathNames is the queue: position i is the folder being visited, j the last one queued.
    for (std::int32_t i = 1; i <= j; ++i) {
        const std::string folder = pathNames->item(static_cast<std::size_t>(i));
        FolderListing listing = fileSystem->listFolder(folder);
        if (listing.status != ListStatus::Ok) {
            // Skip the folder and walk on: stopping here would silently lose every file in
            // the folders not yet visited.
            missedFiles = missedFiles || listing.status != ListStatus::Gone;
            m_skipped.push_back(SkippedFolder{folder, listing.status, std::move(listing.error)});
            if (!letMessagesRun(yield, walk))
                return;
            continue;
        }
        if (!letMessagesRun(yield, walk))
            return;
        for (const std::string& name : listing.subFolders) {
            ++j;
            pathNames->add(keyOf(j), folder + name + kPathSeparator);
            if (!letMessagesRun(yield, walk))
                return;
        }
        if (!letMessagesRun(yield, walk))
            return;
        if (!fullOnly && !letMessagesRun(yield, walk))
            return;
        for (const std::string& name : listing.files) {
            if (m_count == std::numeric_limits<std::int32_t>::max())
                return; // the counter would overflow; what is recorded stays
            const std::string key = keyOf(m_count);
            if (!fullOnly) {
                fileNames->add(key, name);
                pathPointers->add(key, i);
            }
            fullFileNames->add(key, folder + name);
            ++m_count;
            if (!letMessagesRun(yield, walk))
                return;
        }
        if (fullOnly && !letMessagesRun(yield, walk))
            return;
    }

    if (missedFiles && m_messageBox)
        m_messageBox(
            MessageBoxText{"Please Select Correct Store Folder.", "Tressimo", MessageIcon::Information});
    letMessagesRun(yield, walk);
}

} // namespace tressimo::filelist
