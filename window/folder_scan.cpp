#include "window/folder_scan.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tressimo::window {

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
            result = filelist::contactFilesUnder(fileSystem, folder,
                                                 [&] { return stop.load(std::memory_order_relaxed); });
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
    // A stop asked for after the walk's last step still drops what it found.
    if (stop.load(std::memory_order_relaxed) && !result.stopped)
        result = FolderScanResult{{}, {}, false, true};
    return result;
}

} // namespace tressimo::window
