#include "filelist/contact_files.h"

#include "filelist/contact_name.h"

namespace tressimo::filelist {

ContactFiles contactFilesUnder(std::shared_ptr<FileSystem> fileSystem, const std::string& folder,
                               const std::function<bool()>& stopRequested)
{
    ContactFiles found;
    pathLogger logger(std::move(fileSystem));
    logger.setYield([&] {
        if (!found.stopped && stopRequested && stopRequested()) {
            found.stopped = true;
            logger.Terminate();
        }
    });
    logger.PathLogInit();
    logger.setFullFileNamesOnly(true);
    logger.LogPath(folder);
    if (found.stopped)
        return found;
    found.skippedFolders = logger.skippedFolders();
    found.missedFiles = logger.missedFiles();
    for (const auto& entry : *logger.fullFileNames()) {
        if (isContactFileName(entry.value))
            found.paths.push_back(entry.value);
    }
    logger.Terminate();
    return found;
}

} // namespace tressimo::filelist
