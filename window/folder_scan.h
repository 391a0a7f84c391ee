#pragma once
// The folder walk of "Add folder", run on a worker thread. Listing one folder is a single
// call that cannot yield (a flat folder of 100,000 files takes a quarter of a second), so the
// walk runs beside the window thread, which keeps handling events until the walk is done.

#include "filelist/contact_files.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::window {

using FolderScanResult = filelist::ContactFiles;

// Finds the .contact files under folder (filelist::contactFilesUnder), as "Add folder" does. Meanwhile, on the calling thread, calls letMessagesRun about every `interval` and,
// after each, stopRequested: when that says true, the walk ends at its next step. Rethrows
// on the calling thread whatever the walk threw.
FolderScanResult scanFolder(std::shared_ptr<filelist::FileSystem> fileSystem, const std::string& folder,
                            const std::function<void()>& letMessagesRun,
                            const std::function<bool()>& stopRequested,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(20));

} // namespace tressimo::window
