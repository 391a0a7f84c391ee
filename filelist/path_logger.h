#pragma once
// The folder scanner: walks a folder and every folder below it, breadth-first and without
// recursion, and records every file it finds, whatever its extension.
//
// Results are keyed lists shared with the caller: a list taken from the scanner stays valid
// after Terminate (or a later walk), which give the scanner new, empty lists of its own.

#include "filelist/file_system.h"
#include "filelist/keyed_list.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::filelist {

// A folder the last walk could not read, and why.
struct SkippedFolder
{
    std::string path;
    ListStatus status = ListStatus::Failed;
    std::string error;
};

class pathLogger
{
public:
    using TextList = KeyedList<std::string>;
    using PointerList = KeyedList<std::int32_t>;

    // fileSystem is what PathLogInit takes up; the real disk unless a test passes another.
    explicit pathLogger(std::shared_ptr<FileSystem> fileSystem = std::make_shared<DiskFileSystem>());

    // Lets pending window messages run; called after every folder and file recorded.
    void setYield(std::function<void()> yield) { m_yield = std::move(yield); }

    // Takes up the file system, records full paths only, and starts with new, empty lists.
    void PathLogInit();
    // Walks strPARENT and everything below it. A folder that does not exist records nothing.
    // A folder that cannot be read is skipped and the walk goes on (see missedFiles). Never
    // throws for anything the file system reports. Without PathLogInit (or after Terminate) it does
    // nothing.
    void LogPath(const std::string& strPARENT);
    // The number the next file entry gets: 0 before any walk of an existing folder; after
    // one, one more than the files it recorded.
    std::int32_t Count() const { return m_count; }
    // Lets go of the file system and the lists; Count and fullFileNamesOnly keep their values.
    void Terminate();

    // True: record fullFileNames only. False: also fileNames and pathPointers.
    bool fullFileNamesOnly() const { return m_fullFileNamesOnly; }
    void setFullFileNamesOnly(bool fullPath) { m_fullFileNamesOnly = fullPath; }

    // Bare file names, keys "K1", "K2", ... from the entry counter.
    std::shared_ptr<const TextList> fileNames() const { return m_fileNames; }
    // Every folder visited, ending with the separator; the start folder "K0", then "K2", ...
    std::shared_ptr<const TextList> pathNames() const { return m_pathNames; }
    // For each file, the 1-based position in pathNames of the folder holding it.
    std::shared_ptr<const PointerList> pathPointers() const { return m_pathPointers; }
    // Folder path followed by file name, for each file.
    std::shared_ptr<const TextList> fullFileNames() const { return m_fullFileNames; }

    // The folders the last walk skipped because they could not be read, in walking order.
    const std::vector<SkippedFolder>& skippedFolders() const { return m_skipped; }
    // Whether one of them could have held files: it was denied or failed, not removed
    // meanwhile ("Add folder" then says "Please Select Correct Store Folder.").
    bool missedFiles() const;

private:
    static std::string EnsureBackslash(const std::string& path);
    void newLists();
    // Runs the yield; false when the yield started another walk, PathLogInit or Terminate on
    // this object, which ends the walk under way.
    bool letMessagesRun(const std::function<void()>& yield, std::uint64_t walk) const;

    std::shared_ptr<FileSystem> m_source;
    std::shared_ptr<FileSystem> m_fileSystem;
    std::int32_t m_count = 0;
    bool m_fullFileNamesOnly = false;
    std::shared_ptr<TextList> m_fileNames;
    std::shared_ptr<PointerList> m_pathPointers;
    std::shared_ptr<TextList> m_pathNames;
    std::shared_ptr<TextList> m_fullFileNames;
    std::vector<SkippedFolder> m_skipped;
    std::function<void()> m_yield;
    // Changes whenever a walk starts or the object is re-prepared or terminated.
    std::uint64_t m_generation = 0;
};

} // namespace tressimo::filelist
