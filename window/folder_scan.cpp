#include "window/folder_scan.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tressimo::window {

using filelist::MessageBoxText;
using filelist::pathLogger;

FolderScanResult scanFolder(std::shared_ptr<filelist::FileSystem> fileSystem, const std::string& folder,
                            const std::function<void()>& letMessagesRun,
                            const std::function<bool()>& stopRequested, std::chrono::milliseconds interval)
{
    FolderScanResult result;
    std::exception_ptr failure;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;

    // Everything the worker writes (result, failure) is read here only after join().
    std::thread worker([&] {
        try {
            pathLogger logger(fileSystem);
            // The scanner's yield runs on this thread: it only looks for a stop.
            logger.setYield([&] {
                if (stop.load(std::memory_order_relaxed))
                    logger.Terminate();
            });
            logger.setMessageBox([&](const MessageBoxText& message) { result.messages.push_back(message); });
            logger.PathLogInit();
            logger.setFullFileNamesOnly(true);
            logger.LogPath(folder);
            result.fullFileNames = logger.fullFileNames();
            logger.Terminate();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex);
            done = true;
        }
        finished.notify_one();
    });

    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (finished.wait_for(lock, interval, [&] { return done; }))
                break;
        }
        try {
            if (letMessagesRun)
                letMessagesRun();
            if (stopRequested && stopRequested())
                stop.store(true, std::memory_order_relaxed);
        } catch (...) {
            stop.store(true, std::memory_order_relaxed);
            worker.join();
            throw;
        }
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    result.stopped = stop.load(std::memory_order_relaxed);
    if (result.stopped)
        result.fullFileNames = std::make_shared<pathLogger::TextList>();
    return result;
}

} // namespace tressimo::window
