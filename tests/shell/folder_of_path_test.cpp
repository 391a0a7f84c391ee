#include "shell/folder_of_path.h"
#include "shell/path_rules.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace tressimo::shell {
namespace {

// Written with '/' and turned into this platform's separator, so the same table holds on
// every platform.
std::string native(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = kPathSeparator;
    return path;
}

TEST(FolderOfPath, KeepsEverythingUpToTheLastSeparator)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/home/ann/Contacts/a.contact", "/home/ann/Contacts/"},
        {"/home/ann/Contacts/", "/home/ann/Contacts/"},
        {"a.contact", ""},
        {"Contacts/a.contact", "Contacts/"},
        {"/a.contact", "/"},
        {"/", "/"},
        {"//server//a.contact", "//server//"},
        {"/home/ann/My Contacts.old/Zo\xC3\xAB.contact", "/home/ann/My Contacts.old/"},
        {"/home/\xFF\xFE/a.contact", "/home/\xFF\xFE/"}, // bytes that are not UTF-8 stay as they are
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderOfPath(native(path)), native(folder)) << path;
}

TEST(FolderOfPath, CutsOnlyAtThisPlatformsSeparator)
{
    const std::string other = kPathSeparator == '/' ? "a\\b\\x.contact" : "a/b/x.contact";
    EXPECT_EQ(FolderOfPath(other), "");
}

TEST(FolderOfPath, EmptyPathIsAnError)
{
    EXPECT_THROW(FolderOfPath(""), std::invalid_argument);
}

} // namespace
} // namespace tressimo::shell
