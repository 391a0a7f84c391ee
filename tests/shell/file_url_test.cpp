// File URLs must carry any file name byte for byte, and never let a name's own characters
// ('#', '%', '?', blanks) be read as URL syntax.

#include "shell/file_url.h"

#include <gtest/gtest.h>

namespace tressimo::shell {
namespace {

TEST(FileUrl, EncodesEveryByteThatIsNotPlain)
{
    const struct
    {
        const char* path;
        const char* fragment;
        const char* url;
    } cases[] = {
        {"/opt/Tressimo 3/docs/manual.html", "troubleshooting",
         "file:///opt/Tressimo%203/docs/manual.html#troubleshooting"},
        {"/a/caf\xc3\xa9#1%?.html", "", "file:///a/caf%C3%A9%231%25%3F.html"},
        {"/odd/\xff\xfe name.contact", "", "file:///odd/%FF%FE%20name.contact"},
        {"/", "", "file:///"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileUrl(c.path, c.fragment), c.url) << c.path;
}

} // namespace
} // namespace tressimo::shell
