#pragma once
// The .contact files under a folder, as "Add folder" and the command line find them.

#include "filelist/file_system.h"
#include "filelist/path_logger.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::filelist {

struct ContactFiles
{
    // Full paths, breadth first, folders and files in byte order.
    std::vector<std::string> paths;
    // Folders that could not be read, in walking order.
    std::vector<SkippedFolder> skippedFolders;
    // One of them could have held files (see pathLogger::missedFiles).
    bool missedFiles = false;
    // The walk was stopped before its end; nothing is listed.
    bool stopped = false;
};

// Walks folder and every folder below it with a pathLogger and keeps the files that
// isContactFileName accepts. stopRequested, if given, is polled at every step of the walk.
ContactFiles contactFilesUnder(std::shared_ptr<FileSystem> fileSystem, const std::string& folder,
                               const std::function<bool()>& stopRequested = {});

} // namespace tressimo::filelist
