#pragma once
// The folder walk of "Add folder", run on a worker thread. Listing one folder is a single
// call that cannot yield (a flat folder of 100,000 files takes a quarter of a second), so the
// walk runs beside the window thread, which keeps handling events until the walk is done.

#include "filelist/path_logger.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::window {

struct FolderScanResult
{
    // Every file found, breadth-first, keys "K1", "K2", ...
    std::shared_ptr<const filelist::pathLogger::TextList> fullFileNames;
    // The scanner's messages ("Please Select Correct Store Folder."), for the window thread to
    // show once the walk is over.
    std::vector<filelist::MessageBoxText> messages;
    // The walk was stopped before its end; what it found is dropped.
    bool stopped = false;
};

// Walks folder with a pathLogger over fileSystem (full file names only), as "Add folder"
// does. Meanwhile, on the calling thread, calls letMessagesRun about every `interval` and,
// after each, stopRequested: when that says true, the walk ends at its next step. Rethrows
// on the calling thread whatever the walk threw.
FolderScanResult scanFolder(std::shared_ptr<filelist::FileSystem> fileSystem, const std::string& folder,
                            const std::function<void()>& letMessagesRun,
                            const std::function<bool()>& stopRequested,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(20));

} // namespace tressimo::window
