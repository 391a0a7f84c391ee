#include "filelist/path_logger.h"
#include "shell/path_rules.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace tressimo::filelist {
namespace {

using Strings = std::vector<std::string>;

// Paths are written with '/' and turned into the platform's separator.
std::string p(std::string path)
{
    std::replace(path.begin(), path.end(), '/', shell::kPathSeparator);
    return path;
}
Strings ps(Strings paths)
{
    std::transform(paths.begin(), paths.end(), paths.begin(), p);
    return paths;
}

struct Scanner
{
    std::shared_ptr<MemoryFileSystem> fs = std::make_shared<MemoryFileSystem>();
    pathLogger logger{fs};

    explicit Scanner(const Strings& files = {})
    {
        for (const std::string& f : files)
            f.back() == '/' ? fs->addFolder(p(f)) : fs->addFile(p(f));
    }
    void scan(const std::string& folder)
    {
        logger.PathLogInit();
        logger.setFullFileNamesOnly(true);
        logger.LogPath(p(folder));
    }
};

// Breadth-first, files of a folder before its sub-folders, each level in name order, each
// folder listed once, whether the start has a trailing separator or not. (The lists of names
// and keys beyond the full paths serve no caller.)
TEST(PathLogger, WalksBreadthFirst)
{
    const std::tuple<const char*, Strings, Strings> cases[] = {
        {"level by level",
         {"/r/x", "/r/a/c/c1", "/r/b/b1", "/r/a/a2", "/r/a/a1"},
         {"/r/x", "/r/a/a1", "/r/a/a2", "/r/b/b1", "/r/a/c/c1"}},
        {"empty start folder", {"/r/"}, {}},
    };
    for (const auto& [name, files, full] : cases)
        for (const char* start : {"/r", "/r/"}) {
            SCOPED_TRACE(std::string(name) + ", from " + start);
            Scanner s(files);
            s.scan(start);
            EXPECT_EQ(s.logger.fullFileNames()->values(), ps(full));
            for (const std::string& folder : s.logger.pathNames()->values())
                EXPECT_EQ(s.fs->listCount(folder), 1) << "each folder is listed once";
            EXPECT_FALSE(s.logger.missedFiles());
        }
    // Nothing is walked before PathLogInit, nor from a start that is not a folder.
    Scanner s({"/r/a", "/file"});
    s.logger.LogPath(p("/r"));
    s.logger.PathLogInit();
    for (const char* notAFolder : {"/missing", "/file", ""})
        s.logger.LogPath(p(notAFolder));
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
    EXPECT_EQ(s.fs->listCount(p("/r")), 0);
}

// A folder that cannot be read is skipped and the walk goes on; when files may have been
// missed (access denied, an I/O error) the user is told once, after the walk. A folder that
// vanished during the walk held nothing to miss.
TEST(PathLogger, UnreadableFoldersAreSkipped)
{
    const std::tuple<Strings, Strings, Strings, Strings> cases[] = {
        // denied, failing, gone, found
        {{"/r/b"}, {}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
        {{"/r"}, {}, {}, {}},
        {{}, {"/r/b"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
        {{"/r/a/d"}, {"/r/b"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc"}},
        {{}, {}, {"/r/b"}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
    };
    for (const auto& [denied, failing, gone, found] : cases) {
        Scanner s({"/r/f0", "/r/a/fa", "/r/b/fb", "/r/b/sub/fs", "/r/c/fc", "/r/a/d/fd"});
        for (const std::string& f : denied)
            s.fs->denyAccess(p(f));
        for (const std::string& f : failing)
            s.fs->failListing(p(f));
        for (const std::string& f : gone)
            s.fs->vanish(p(f));
        s.scan("/r");
        EXPECT_EQ(s.logger.fullFileNames()->values(), ps(found));
        EXPECT_EQ(s.logger.skippedFolders().size(), denied.size() + failing.size() + gone.size());
        EXPECT_EQ(s.logger.missedFiles(), !denied.empty() || !failing.empty());
    }
}

TEST(PathLogger, ListsTakenEarlierOutliveTerminateAndLaterWalks)
{
    Scanner s({"/r/a", "/r/s/b", "/q/c"});
    s.scan("/r");
    const auto taken = s.logger.fullFileNames();
    s.logger.LogPath(p("/q")); // a second walk gets lists of its own
    EXPECT_EQ(s.logger.fullFileNames()->values(), ps({"/q/c"}));
    s.logger.Terminate();
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
    EXPECT_EQ(taken->values(), ps({"/r/a", "/r/s/b"}));
    s.logger.LogPath(p("/r")); // terminated: no file system to walk with
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
}

// Window messages run in the yield and may reach this scanner again: the walk under way must
// stop without touching replaced state (the sanitizer build watches this).
TEST(PathLogger, WalkStopsWhenAYieldRestartsTheScanner)
{
    for (int action = 0; action < 3; ++action)
        for (int at = 1; at <= 12; ++at) {
            SCOPED_TRACE("action " + std::to_string(action) + " at yield " + std::to_string(at));
            Scanner s({"/r/f0", "/r/a/fa", "/r/b/fb", "/r/a/d/fd", "/q/x"});
            int yields = 0;
            s.logger.setYield([&] {
                if (++yields != at)
                    return;
                action == 0   ? s.logger.Terminate()
                : action == 1 ? s.logger.LogPath(p("/q"))
                              : s.logger.PathLogInit();
            });
            s.scan("/r");
            EXPECT_EQ(s.logger.fullFileNames()->values(), action == 1 ? ps({"/q/x"}) : Strings{});
        }
}

} // namespace
} // namespace tressimo::filelist
