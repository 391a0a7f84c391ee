// The scanner on the real file system: what only a real disk can show (symbolic links, names
// that are not UTF-8, the order of a real directory).

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "filelist/contact_name.h"
#include "filelist/path_logger.h"

namespace tressimo::filelist {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class DiskScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tressimo-scan-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_root / "locked", fs::perms::owner_all, ec);
        fs::remove_all(m_root, ec);
    }

    // Relative names, '/'-separated, as bytes.
    void file(const std::string& relative)
    {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    void folder(const std::string& relative) { fs::create_directories(m_root / relative); }
    std::string at(const std::string& relative = "") const
    {
        return relative.empty() ? m_root.native() : (m_root / relative).native();
    }

    struct Result
    {
        Strings full;
        Strings folders;
        int messages = 0;
    };
    Result scan(const std::string& start)
    {
        pathLogger logger;
        Result r;
        logger.setMessageBox([&](const MessageBoxText&) { ++r.messages; });
        logger.PathLogInit();
        logger.LogPath(start);
        r.full = logger.fullFileNames()->values();
        r.folders = logger.pathNames()->values();
        logger.Terminate();
        return r;
    }

    fs::path m_root;
};

TEST_F(DiskScan, ListsInByteOrderBreadthFirst)
{
    for (const char* f : {"z.contact", "b/y.contact", "a/x.contact", "a/c/w.contact", "A.contact", "a/\xc3\xa9.txt"})
        file(f);
    const Result r = scan(at());
    const std::string root = at() + "/";
    EXPECT_EQ(r.folders, (Strings{root, root + "a/", root + "b/", root + "a/c/"}));
    EXPECT_EQ(r.full, (Strings{root + "A.contact", root + "z.contact", root + "a/x.contact", root + "a/\xc3\xa9.txt",
                               root + "b/y.contact", root + "a/c/w.contact"}));
    // With and without a trailing separator the walk is the same.
    const Result again = scan(root);
    EXPECT_EQ(again.full, r.full);
    EXPECT_EQ(again.folders, r.folders);
}

TEST_F(DiskScan, NamesThatAreNotUtf8AreKeptByteForByte)
{
    const Strings names = {"\xff\xfe\xfd.contact", "bad\x80\x81name.CONTACT", "half\xc3.contact"};
    for (const std::string& name : names)
        file("\xe9t\xe9/" + name); // Latin-1 folder name as well
    const Result r = scan(at());
    ASSERT_EQ(r.full.size(), names.size());
    for (const std::string& path : r.full) {
        EXPECT_TRUE(isContactFileName(path)) << path;
        EXPECT_TRUE(fs::is_regular_file(fs::path(path))) << "path no longer names the file: " << path;
    }
    EXPECT_EQ(r.full[0], at() + "/\xe9t\xe9/bad\x80\x81name.CONTACT");
}

// Links to folders are not followed (a link to an ancestor would walk forever); a link to a
// file is a file; a link that leads nowhere is listed so the conversion can say why it fails.
TEST_F(DiskScan, SymbolicLinksNeverLoop)
{
    file("real.contact");
    file("a/inner.contact");
    fs::create_directory_symlink("..", m_root / "a" / "up");
    fs::create_directory_symlink(".", m_root / "self");
    fs::create_directory_symlink(m_root / "a", m_root / "alias");
    fs::create_symlink(m_root / "real.contact", m_root / "link.contact");
    fs::create_symlink(m_root / "gone.contact", m_root / "dangling.contact");
    fs::create_symlink(m_root / "loop1", m_root / "loop2");
    fs::create_symlink(m_root / "loop2", m_root / "loop1");
    ASSERT_EQ(::mkfifo((m_root / "pipe.contact").c_str(), 0600), 0);

    const Result r = scan(at());
    const std::string root = at() + "/";
    EXPECT_EQ(r.folders, (Strings{root, root + "a/"}));
    EXPECT_EQ(r.full, (Strings{root + "dangling.contact", root + "link.contact", root + "loop1", root + "loop2",
                               root + "real.contact", root + "a/inner.contact"}));
    EXPECT_EQ(r.messages, 0);

    // A start folder that is itself a link is walked: the user chose it.
    const Result viaLink = scan(at("alias"));
    EXPECT_EQ(viaLink.full, Strings{at("alias") + "/inner.contact"});
}

TEST_F(DiskScan, MissingStartRecordsNothing)
{
    file("only.contact");
    for (const std::string& start : {at("missing"), at("only.contact"), std::string()}) {
        const Result r = scan(start);
        EXPECT_TRUE(r.full.empty()) << start;
        EXPECT_TRUE(r.folders.empty()) << start;
        EXPECT_EQ(r.messages, 0);
    }
}

// Only meaningful where permissions deny something; as root they deny nothing and the
// memory file system covers this case.
TEST_F(DiskScan, UnreadableFolderIsSkippedWithOneMessage)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    file("a.contact");
    file("locked/hidden.contact");
    file("open/b.contact");
    fs::permissions(m_root / "locked", fs::perms::none);
    const Result r = scan(at());
    EXPECT_EQ(r.full, (Strings{at("a.contact"), at("open/b.contact")}));
    EXPECT_EQ(r.messages, 1);
}

} // namespace
} // namespace tressimo::filelist
