// The scanner on the real disk: what only a real file system shows (directory order, links,
// names that are not UTF-8, permissions).

#include "filelist/path_logger.h"
#include "tests/support/support.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tressimo::filelist {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class DiskScan : public ::testing::Test
{
protected:
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_root / "locked", fs::perms::owner_all, ec);
    }
    void files(const Strings& relative)
    {
        for (const std::string& name : relative)
            m_temp.write(name, "x");
    }
    Strings at(const Strings& relative) const
    {
        Strings out;
        for (const std::string& name : relative)
            out.push_back(m_root.native() + "/" + name);
        return out;
    }
    // Full paths found under start; a walk that loops is cut off so the test fails, not hangs.
    Strings scan(const std::string& start, Strings* folders = nullptr, int* messages = nullptr)
    {
        pathLogger logger;
        int yields = 0;
        logger.setYield([&] {
            if (++yields == 100000)
                logger.Terminate();
        });
        logger.PathLogInit();
        logger.LogPath(start);
        EXPECT_LT(yields, 100000) << "the walk did not end";
        if (messages)
            *messages = logger.missedFiles() ? 1 : 0;
        if (folders)
            *folders = logger.pathNames()->values();
        return logger.fullFileNames()->values();
    }

    tressimo::testing::TempDir m_temp{"scan"};
    fs::path m_root = m_temp.path();
};

// Names are listed as bytes, sorted by bytes, and still name the file they came from. Links to
// folders are not followed (a link to an ancestor would loop); a link to a file is a file; a
// link that leads nowhere is listed so the conversion can say why it fails; a FIFO is not a
// file (reading it would block).
TEST_F(DiskScan, ListsBytesInByteOrderAndNeverLoops)
{
    files({"z.contact", "a/\xff\xfe.contact", "A.contact", "\xe9t\xe9/half\xc3.CONTACT", "a/x.contact"});
    fs::create_directory_symlink("..", m_root / "a" / "up");
    fs::create_directory_symlink(".", m_root / "self");
    fs::create_symlink(m_root / "z.contact", m_root / "link.contact");
    fs::create_symlink(m_root / "gone.contact", m_root / "dangling.contact");
    fs::create_symlink(m_root / "loop1", m_root / "loop2");
    fs::create_symlink(m_root / "loop2", m_root / "loop1");
    ASSERT_EQ(::mkfifo((m_root / "pipe.contact").c_str(), 0600), 0);
    Strings folders;
    const Strings found = scan(m_root.native(), &folders);
    EXPECT_EQ(found, at({"A.contact", "dangling.contact", "link.contact", "loop1", "loop2", "z.contact",
                         "a/x.contact", "a/\xff\xfe.contact", "\xe9t\xe9/half\xc3.CONTACT"}));
    EXPECT_EQ(folders, at({"", "a/", "\xe9t\xe9/"}));
    EXPECT_TRUE(fs::is_regular_file(found[6]) && fs::is_regular_file(found[7]) &&
                fs::is_regular_file(found[8]));
    EXPECT_EQ(scan(at({"self"})[0]).size(), found.size()) << "a start folder that is a link is walked";
}

// The listing's fast sort orders names exactly as comparing them whole does: names that share
// a long start, names that end inside the eight bytes it reads or are the start of another,
// bytes of 0x80 and above, names alike in those eight bytes, and a folder of few names.
TEST(SortByBytes, OrdersNamesAsWholeNamesCompare)
{
    std::minstd_rand random(5);
    const std::string letters[] = {"0", "1", "9", "a", "A", ".", " ", "\xc3\xa9", "\xff", "z"};
    for (const std::size_t count : {3u, 200u, 5000u}) {
        Strings names;
        for (std::size_t i = 0; i < count; ++i) {
            std::string name = i % 3 == 0 ? "Contact 0" : "Contact 0000";
            for (std::size_t n = random() % 14; n > 0; --n)
                name += letters[random() % std::size(letters)];
            names.push_back(name + (i % 2 ? ".contact" : ""));
        }
        Strings expected = names;
        std::sort(expected.begin(), expected.end());
        sortByBytes(names);
        EXPECT_EQ(names, expected) << count << " names";
    }
}

// A folder removed or replaced by a file while the walk goes on held nothing to miss.
TEST_F(DiskScan, AFolderThatIsNoLongerThereIsGone)
{
    files({"now-a-file"});
    DiskFileSystem disk;
    for (const char* name : {"missing", "now-a-file"}) {
        const FolderListing listing = disk.listFolder((m_root / name).native() + "/");
        EXPECT_EQ(listing.status, ListStatus::Gone) << name << ": " << listing.error;
        EXPECT_NE(listing.error.find(name), std::string::npos);
    }
}

TEST_F(DiskScan, UnreadableFolderIsSkippedWithOneMessage)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder; the memory file system covers this";
    files({"a.contact", "locked/hidden.contact", "open/b.contact"});
    fs::permissions(m_root / "locked", fs::perms::none);
    int messages = 0;
    EXPECT_EQ(scan(m_root.native(), nullptr, &messages), at({"a.contact", "open/b.contact"}));
    EXPECT_EQ(messages, 1);
}

} // namespace
} // namespace tressimo::filelist
