#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "filelist/path_logger.h"
#include "shell/path_rules.h"

namespace tressimo::filelist {
namespace {

using Strings = std::vector<std::string>;

// Test paths are written with '/' and turned into the platform's separator.
std::string p(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = shell::kPathSeparator;
    return path;
}

Strings ps(Strings paths)
{
    for (std::string& path : paths)
        path = p(path);
    return paths;
}

std::string key(std::size_t n)
{
    std::string k = "K";
    k += std::to_string(n);
    return k;
}

// File keys K1, K2, ...; folder keys K0, K2, K3, ... (there is no K1).
Strings fileKeys(std::size_t count)
{
    Strings out;
    for (std::size_t i = 1; i <= count; ++i)
        out.push_back(key(i));
    return out;
}

Strings folderKeys(std::size_t count)
{
    Strings out;
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(key(i == 0 ? 0 : i + 1));
    return out;
}

struct Scanner
{
    std::shared_ptr<MemoryFileSystem> fs = std::make_shared<MemoryFileSystem>();
    pathLogger logger{fs};
    std::vector<MessageBoxText> messages;

    Scanner()
    {
        logger.setMessageBox([this](const MessageBoxText& m) { messages.push_back(m); });
    }
    void scan(const std::string& folder, bool fullOnly = true)
    {
        logger.PathLogInit();
        logger.setFullFileNamesOnly(fullOnly);
        logger.LogPath(p(folder));
    }
};

struct TreeCase
{
    const char* name;
    Strings files;   // and folders, when ending in '/'
    Strings full;    // fullFileNames in walking order
    Strings folders; // pathNames in walking order
};

TEST(PathLogger, WalksBreadthFirstInListingOrderWithKeys)
{
    const TreeCase cases[] = {
        {"root/a/b, one file each",
         {"/r/a/b/fb", "/r/a/fa", "/r/fr"},
         {"/r/fr", "/r/a/fa", "/r/a/b/fb"},
         {"/r/", "/r/a/", "/r/a/b/"}},
        {"level by level",
         {"/r/x", "/r/a/c/c1", "/r/b/b1", "/r/a/a1", "/r/a/a2"},
         {"/r/x", "/r/a/a1", "/r/a/a2", "/r/b/b1", "/r/a/c/c1"},
         {"/r/", "/r/a/", "/r/b/", "/r/a/c/"}},
        {"empty start folder", {"/r/"}, {}, {"/r/"}},
        {"empty sub-folders are still visited", {"/r/e/", "/r/f/g/", "/r/z"}, {"/r/z"},
         {"/r/", "/r/e/", "/r/f/", "/r/f/g/"}},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scanner s;
        for (const std::string& f : c.files) {
            if (f.back() == '/')
                s.fs->addFolder(p(f));
            else
                s.fs->addFile(p(f));
        }
        s.scan("/r");
        const auto full = s.logger.fullFileNames();
        const auto folders = s.logger.pathNames();
        EXPECT_EQ(full->values(), ps(c.full));
        EXPECT_EQ(full->keys(), fileKeys(c.full.size()));
        EXPECT_EQ(folders->values(), ps(c.folders));
        EXPECT_EQ(folders->keys(), folderKeys(c.folders.size()));
        EXPECT_TRUE(s.logger.fileNames()->isEmpty());
        EXPECT_TRUE(s.logger.pathPointers()->isEmpty());
        EXPECT_EQ(s.logger.Count(), static_cast<int>(c.full.size()) + 1);
        for (const std::string& folder : c.folders)
            EXPECT_EQ(s.fs->listCount(p(folder)), 1) << folder;
        EXPECT_TRUE(s.messages.empty());
    }
}

TEST(PathLogger, FullModeRecordsNamesAndFolderPositionsUnderSharedKeys)
{
    Scanner s;
    for (const char* f : {"/r/one", "/r/a/two", "/r/a/three", "/r/b/four", "/r/a/c/five"})
        s.fs->addFile(p(f));
    s.scan("/r", false);
    const auto names = s.logger.fileNames();
    const auto pointers = s.logger.pathPointers();
    const auto full = s.logger.fullFileNames();
    const auto folders = s.logger.pathNames();

    EXPECT_EQ(names->values(), (Strings{"one", "three", "two", "four", "five"}));
    EXPECT_EQ(pointers->values(), (std::vector<std::int32_t>{1, 2, 2, 3, 4}));
    ASSERT_EQ(full->size(), names->size());
    ASSERT_EQ(pointers->size(), names->size());
    for (std::size_t n = 1; n <= full->size(); ++n) {
        EXPECT_EQ(names->key(n), full->key(n));
        EXPECT_EQ(pointers->key(n), full->key(n));
        EXPECT_EQ(folders->item(static_cast<std::size_t>(pointers->item(n))) + names->item(n), full->item(n));
    }
    EXPECT_EQ(*full->find("K3"), p("/r/a/two"));
    EXPECT_EQ(s.logger.Count(), 6);
}

TEST(PathLogger, TrailingSeparatorGivesIdenticalLists)
{
    for (bool fullOnly : {true, false}) {
        Scanner without, with;
        for (Scanner* s : {&without, &with})
            for (const char* f : {"/r/x", "/r/a/y", "/r/a/b/z"})
                s->fs->addFile(p(f));
        without.scan("/r", fullOnly);
        with.scan("/r/", fullOnly);
        EXPECT_EQ(without.logger.pathNames()->values(), with.logger.pathNames()->values());
        EXPECT_EQ(without.logger.pathNames()->keys(), with.logger.pathNames()->keys());
        EXPECT_EQ(without.logger.fullFileNames()->values(), with.logger.fullFileNames()->values());
        EXPECT_EQ(without.logger.fileNames()->values(), with.logger.fileNames()->values());
        EXPECT_EQ(without.logger.pathPointers()->values(), with.logger.pathPointers()->values());
        EXPECT_EQ(with.logger.pathNames()->item(1), p("/r/"));
    }
}

// Count in each situation: the counter only moves when an existing folder is walked.
TEST(PathLogger, CountFollowsTheEntryCounter)
{
    Scanner s;
    s.fs->addFile(p("/r/a"));
    s.fs->addFile(p("/r/s/b"));
    s.fs->addFolder(p("/empty"));
    pathLogger& l = s.logger;

    EXPECT_EQ(l.Count(), 0); // new object
    l.LogPath(p("/r"));      // not prepared: nothing walked
    EXPECT_EQ(l.Count(), 0);
    l.PathLogInit();
    l.LogPath(p("/missing"));
    EXPECT_EQ(l.Count(), 0);
    l.LogPath(p("/r"));
    EXPECT_EQ(l.Count(), 3);
    l.LogPath(p("/missing")); // keeps the value
    EXPECT_EQ(l.Count(), 3);
    l.Terminate();
    EXPECT_EQ(l.Count(), 3);
    l.PathLogInit();
    EXPECT_EQ(l.Count(), 3);
    l.LogPath(p("/empty"));
    EXPECT_EQ(l.Count(), 1);
}

TEST(PathLogger, MissingOrUnpreparedStartRecordsNothingSilently)
{
    Scanner s;
    s.fs->addFile(p("/r/a"));
    s.fs->addFile(p("/r/file"));
    struct
    {
        const char* name;
        bool prepare;
        const char* folder;
    } const cases[] = {
        {"missing folder", true, "/nowhere"},
        {"a file, not a folder", true, "/r/file"},
        {"empty path", true, ""},
        {"walk without PathLogInit", false, "/r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pathLogger logger(s.fs);
        logger.setMessageBox([&](const MessageBoxText& m) { s.messages.push_back(m); });
        if (c.prepare)
            logger.PathLogInit();
        logger.LogPath(p(c.folder));
        EXPECT_TRUE(logger.pathNames()->isEmpty());
        EXPECT_TRUE(logger.fullFileNames()->isEmpty());
        EXPECT_EQ(logger.Count(), 0);
        EXPECT_TRUE(s.messages.empty());
    }
    EXPECT_EQ(s.fs->listCount(p("/r")), 0);
}

// A folder that cannot be read is skipped; the files before and after it are found, and a
// denied folder is reported once, after the walk.
struct FailureCase
{
    const char* name;
    Strings denied;
    Strings failing;
    Strings full;
    bool message;
};

TEST(PathLogger, UnreadableFoldersAreSkippedAndTheWalkGoesOn)
{
    const FailureCase cases[] = {
        {"one denied", {"/r/b"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}, true},
        {"two denied, one message", {"/r/b", "/r/a/d"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc"}, true},
        {"denied start folder", {"/r"}, {}, {}, true},
        {"other failure is silent", {}, {"/r/b"}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}, false},
        {"both", {"/r/a/d"}, {"/r/b"}, {"/r/f0", "/r/a/fa", "/r/c/fc"}, true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scanner s;
        for (const char* f : {"/r/f0", "/r/a/fa", "/r/b/fb", "/r/b/sub/fs", "/r/c/fc", "/r/a/d/fd"})
            s.fs->addFile(p(f));
        for (const std::string& f : c.denied)
            s.fs->denyAccess(p(f));
        for (const std::string& f : c.failing)
            s.fs->failListing(p(f));
        s.scan("/r");
        EXPECT_EQ(s.logger.fullFileNames()->values(), ps(c.full));
        EXPECT_EQ(s.logger.fullFileNames()->keys(), fileKeys(c.full.size()));
        EXPECT_EQ(s.logger.Count(), static_cast<int>(c.full.size()) + 1);
        // Nothing below an unreadable folder is known, so nothing below it is queued.
        EXPECT_EQ(s.logger.pathNames()->find("K6"), nullptr);
        EXPECT_EQ(s.logger.skippedFolders().size(), c.denied.size() + c.failing.size());
        if (c.message) {
            ASSERT_EQ(s.messages.size(), 1u);
            EXPECT_EQ(s.messages[0].text, "Please Select Correct Store Folder.");
            EXPECT_EQ(s.messages[0].title, "Tressimo");
            EXPECT_EQ(s.messages[0].icon, MessageIcon::Information);
        } else {
            EXPECT_TRUE(s.messages.empty());
        }
    }
}

TEST(PathLogger, ListsTakenEarlierOutliveTerminateAndLaterWalks)
{
    Scanner s;
    s.fs->addFile(p("/r/a"));
    s.fs->addFile(p("/r/s/b"));
    s.fs->addFile(p("/q/c"));
    s.scan("/r", false);
    const auto taken = s.logger.fullFileNames();
    const auto takenFolders = s.logger.pathNames();

    // A second walk on the same object gets lists of its own.
    s.logger.LogPath(p("/q"));
    EXPECT_EQ(s.logger.fullFileNames()->values(), ps({"/q/c"}));
    EXPECT_EQ(s.logger.fileNames()->values(), Strings{"c"});
    EXPECT_EQ(s.logger.pathNames()->values(), ps({"/q/"}));

    s.logger.Terminate();
    EXPECT_NE(s.logger.fullFileNames(), taken);
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
    EXPECT_TRUE(s.logger.fileNames()->isEmpty());
    EXPECT_TRUE(s.logger.pathPointers()->isEmpty());
    EXPECT_TRUE(s.logger.pathNames()->isEmpty());
    EXPECT_FALSE(s.logger.fullFileNamesOnly()); // kept, as is Count
    EXPECT_EQ(taken->values(), ps({"/r/a", "/r/s/b"}));
    EXPECT_EQ(takenFolders->values(), ps({"/r/", "/r/s/"}));

    // Terminated: no file system any more, so a walk does nothing.
    s.logger.LogPath(p("/r"));
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
}

// The yield runs window messages, which may reach this scanner again; the walk under way
// must stop cleanly, without touching freed state (the sanitizer build watches this).
TEST(PathLogger, WalkStopsWhenAYieldTerminatesOrRestartsIt)
{
    for (int action = 0; action < 3; ++action) {
        for (int at = 1; at <= 12; ++at) {
            SCOPED_TRACE("action " + std::to_string(action) + " at yield " + std::to_string(at));
            Scanner s;
            for (const char* f : {"/r/f0", "/r/a/fa", "/r/b/fb", "/r/a/d/fd", "/q/x"})
                s.fs->addFile(p(f));
            int yields = 0;
            s.logger.setYield([&] {
                if (++yields != at)
                    return;
                if (action == 0)
                    s.logger.Terminate();
                else if (action == 1)
                    s.logger.LogPath(p("/q"));
                else
                    s.logger.PathLogInit();
            });
            s.scan("/r", false);
            const auto full = s.logger.fullFileNames();
            if (action == 1) {
                EXPECT_EQ(full->values(), ps({"/q/x"}));
                EXPECT_EQ(s.logger.Count(), 2);
            } else {
                EXPECT_TRUE(full->isEmpty());
            }
        }
    }
}

} // namespace
} // namespace tressimo::filelist
