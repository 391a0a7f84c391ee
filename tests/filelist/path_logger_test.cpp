#include "filelist/path_logger.h"
#include "shell/path_rules.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::filelist {
namespace {

using Strings = std::vector<std::string>;

// Paths are written with '/' and turned into the platform's separator.
Strings ps(Strings paths)
{
    for (std::string& path : paths)
        for (char& c : path)
            c = c == '/' ? shell::kPathSeparator : c;
    return paths;
}
std::string p(const std::string& path)
{
    return ps({path})[0];
}

Strings keys(Strings numbers)
{
    for (std::string& n : numbers)
        n.insert(0, 1, 'K');
    return numbers;
}

struct Scanner
{
    std::shared_ptr<MemoryFileSystem> fs = std::make_shared<MemoryFileSystem>();
    pathLogger logger{fs};
    std::vector<MessageBoxText> messages;

    explicit Scanner(const Strings& files = {})
    {
        for (const std::string& f : files)
            f.back() == '/' ? fs->addFolder(p(f)) : fs->addFile(p(f));
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
    Strings files; // a trailing '/' makes a folder
    Strings full;  // expected fullFileNames, in walking order
    Strings folders, folderKeys;
};

TEST(PathLogger, WalksBreadthFirstWithKeysInBothModes)
{
    const TreeCase cases[] = {
        {"root/a/b, one file each",
         {"/r/a/b/fb", "/r/a/fa", "/r/fr"},
         {"/r/fr", "/r/a/fa", "/r/a/b/fb"},
         {"/r/", "/r/a/", "/r/a/b/"},
         {"0", "2", "3"}},
        {"level by level",
         {"/r/x", "/r/a/c/c1", "/r/b/b1", "/r/a/a2", "/r/a/a1"},
         {"/r/x", "/r/a/a1", "/r/a/a2", "/r/b/b1", "/r/a/c/c1"},
         {"/r/", "/r/a/", "/r/b/", "/r/a/c/"},
         {"0", "2", "3", "4"}},
        {"empty start folder", {"/r/"}, {}, {"/r/"}, {"0"}},
    };
    for (const TreeCase& c : cases)
        for (bool fullOnly : {true, false})
            for (const char* start : {"/r", "/r/"}) {
                SCOPED_TRACE(std::string(c.name) + (fullOnly ? ", full paths only" : ", all lists") +
                             ", from " + start);
                Scanner s(c.files);
                s.scan(start, fullOnly);
                const auto full = s.logger.fullFileNames();
                const auto folders = s.logger.pathNames();
                Strings fileKeys;
                for (std::size_t n = 1; n <= c.full.size(); ++n)
                    fileKeys.push_back(std::to_string(n));
                EXPECT_EQ(full->values(), ps(c.full));
                EXPECT_EQ(full->keys(), keys(fileKeys));
                EXPECT_EQ(folders->values(), ps(c.folders));
                EXPECT_EQ(folders->keys(), keys(c.folderKeys));
                EXPECT_EQ(s.logger.Count(), static_cast<int>(c.full.size()) + 1);
                for (std::size_t n = 1; n <= full->size(); ++n)
                    EXPECT_EQ(full->positionOf(full->key(n)), n);
                for (const std::string& folder : c.folders)
                    EXPECT_EQ(s.fs->listCount(p(folder)), 1) << "each folder is listed once";

                const auto names = s.logger.fileNames();
                const auto pointers = s.logger.pathPointers();
                ASSERT_EQ(names->size(), fullOnly ? 0 : full->size());
                ASSERT_EQ(pointers->size(), names->size());
                for (std::size_t n = 1; n <= names->size(); ++n) {
                    EXPECT_EQ(names->key(n), full->key(n));
                    EXPECT_EQ(pointers->key(n), full->key(n));
                    const auto folder = static_cast<std::size_t>(pointers->item(n));
                    EXPECT_EQ(folders->item(folder) + names->item(n), full->item(n));
                }
                EXPECT_TRUE(s.messages.empty());
            }
}

// Lookups by key see entries added before and after the first lookup.
TEST(PathLogger, KeyedListFindsByKeyAndPosition)
{
    KeyedList<int> list;
    list.add("K1", 10);
    EXPECT_EQ(*list.find("K1"), 10);
    list.add("K3", 30);
    EXPECT_EQ(list.positionOf("K3"), 2u);
    EXPECT_EQ(list.find("K2"), nullptr);
    EXPECT_EQ(list.item(2), 30);
    EXPECT_THROW((void)list.item(3), std::out_of_range);
}

// The counter moves only when an existing folder is walked.
TEST(PathLogger, CountFollowsTheEntryCounter)
{
    Scanner s({"/r/a", "/r/s/b", "/empty/", "/file"});
    pathLogger& l = s.logger;
    l.LogPath(p("/r")); // not prepared by PathLogInit: nothing is walked
    EXPECT_EQ(l.Count(), 0);
    l.PathLogInit();
    for (const char* notAFolder : {"/missing", "/file", ""})
        l.LogPath(p(notAFolder));
    EXPECT_EQ(l.Count(), 0);
    EXPECT_TRUE(l.pathNames()->isEmpty());
    EXPECT_EQ(s.fs->listCount(p("/r")), 0);
    l.LogPath(p("/r"));
    EXPECT_EQ(l.Count(), 3);
    l.LogPath(p("/missing"));
    l.Terminate();
    l.PathLogInit();
    EXPECT_EQ(l.Count(), 3);
    l.LogPath(p("/empty"));
    EXPECT_EQ(l.Count(), 1);
    EXPECT_TRUE(s.messages.empty());
}

// A folder that cannot be read is skipped and the walk goes on; when files may have been
// missed (access denied, an I/O error) the user is told once, after the walk. A folder that
// vanished during the walk held nothing to miss.
TEST(PathLogger, UnreadableFoldersAreSkipped)
{
    const struct
    {
        Strings denied, failing, gone, full;
    } cases[] = {
        {{"/r/b"}, {}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
        {{"/r/b", "/r/a/d"}, {}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc"}},
        {{"/r"}, {}, {}, {}},
        {{}, {"/r/b"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
        {{"/r/a/d"}, {"/r/b"}, {}, {"/r/f0", "/r/a/fa", "/r/c/fc"}},
        {{}, {}, {"/r/b"}, {"/r/f0", "/r/a/fa", "/r/c/fc", "/r/a/d/fd"}},
    };
    for (const auto& c : cases) {
        Scanner s({"/r/f0", "/r/a/fa", "/r/b/fb", "/r/b/sub/fs", "/r/c/fc", "/r/a/d/fd"});
        for (const std::string& f : c.denied)
            s.fs->denyAccess(p(f));
        for (const std::string& f : c.failing)
            s.fs->failListing(p(f));
        for (const std::string& f : c.gone)
            s.fs->vanish(p(f));
        s.scan("/r");
        EXPECT_EQ(s.logger.fullFileNames()->values(), ps(c.full));
        EXPECT_EQ(s.logger.Count(), static_cast<int>(c.full.size()) + 1);
        EXPECT_EQ(s.logger.pathNames()->find("K6"), nullptr) << "nothing below b is known";
        EXPECT_EQ(s.logger.skippedFolders().size(), c.denied.size() + c.failing.size() + c.gone.size());
        ASSERT_EQ(s.messages.size(), c.denied.empty() && c.failing.empty() ? 0u : 1u);
        for (const MessageBoxText& m : s.messages) {
            EXPECT_EQ(m.text, "Please Select Correct Store Folder.");
            EXPECT_EQ(m.title, "Tressimo");
            EXPECT_EQ(m.icon, MessageIcon::Information);
        }
    }
}

TEST(PathLogger, ListsTakenEarlierOutliveTerminateAndLaterWalks)
{
    Scanner s({"/r/a", "/r/s/b", "/q/c"});
    s.scan("/r", false);
    const auto taken = s.logger.fullFileNames();
    s.logger.LogPath(p("/q")); // a second walk gets lists of its own: its keys start again
    EXPECT_EQ(s.logger.fullFileNames()->values(), ps({"/q/c"}));
    EXPECT_EQ(s.logger.pathNames()->values(), ps({"/q/"}));
    s.logger.Terminate();
    EXPECT_TRUE(s.logger.fullFileNames()->isEmpty());
    EXPECT_TRUE(s.logger.pathNames()->isEmpty());
    EXPECT_FALSE(s.logger.fullFileNamesOnly());
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
            s.scan("/r", false);
            EXPECT_EQ(s.logger.fullFileNames()->values(), action == 1 ? ps({"/q/x"}) : Strings{});
            if (action == 1) {
                EXPECT_EQ(s.logger.Count(), 2) << "the stopped walk must not count on";
            }
        }
}

} // namespace
} // namespace tressimo::filelist
