// Paths cut to their folder and turned into file URLs; paths are written with '/' and turned
// into this platform's separator, names keep bytes that are not UTF-8 as they are.

#include "shell/file_url.h"
#include "shell/folder_of_path.h"
#include "shell/path_rules.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace tressimo::shell {
namespace {

std::string native(std::string path)
{
    for (char& c : path)
        c = c == '/' ? kPathSeparator : c;
    return path;
}

TEST(FolderOfPath, KeepsEverythingUpToTheLastSeparatorOfThisPlatform)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/home/ann/Contacts/a.contact", "/home/ann/Contacts/"},
        {"/home/ann/Contacts/", "/home/ann/Contacts/"},
        {"a.contact", ""},
        {"/a.contact", "/"},
        {"/", "/"},
        {"//server//a.contact", "//server//"},
        {"/home/\xFF\xFE/a.contact", "/home/\xFF\xFE/"}};
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderOfPath(native(path)), native(folder)) << path;
    EXPECT_EQ(FolderOfPath(kPathSeparator == '/' ? "a\\b\\x.contact" : "a/b/x.contact"), "");
    EXPECT_THROW(FolderOfPath(""), std::invalid_argument);
}

// A name's own '#', '%', '?' and blanks must never be read as URL syntax.
TEST(FileUrl, EncodesEveryByteThatIsNotPlain)
{
    // Where paths have drives, "C:\\..." becomes "file:///C:/...".
    const std::string root = kPathsHaveDrives ? "file:///C:" : "file://";
    const auto drive = [](std::string path) { return (kPathsHaveDrives ? "C:" : "") + native(path); };
    EXPECT_EQ(fileUrl(drive("/opt/Tressimo 3/docs/manual.html"), "troubleshooting"),
              root + "/opt/Tressimo%203/docs/manual.html#troubleshooting");
    EXPECT_EQ(fileUrl(drive("/a/caf\xc3\xa9#1%?.html")), root + "/a/caf%C3%A9%231%25%3F.html");
    EXPECT_EQ(fileUrl(drive("/odd/\xff\xfe name.contact")), root + "/odd/%FF%FE%20name.contact");
    EXPECT_EQ(fileUrl(drive("/")), root + "/");
}

} // namespace
} // namespace tressimo::shell
