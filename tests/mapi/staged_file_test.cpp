// A store's file under its final name only when published, never replacing a file; unnamed
// until then where the file system allows, hidden otherwise, and gone after a failure.

#include "mapi/staged_file.h"
#include "platform/path_text.h"
#include "platform/process.h"
#include "session_test_support.h"
#include "tests/support/support.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace tressimo::mapi {
namespace {

namespace fs = std::filesystem;

TEST(StagedFile, TakesItsNameOnlyWhenPublishedAndNeverAnotherFilesName)
{
    tressimo::testing::TempDir dir;
    const fs::path& folder = dir.path();
    // Windows has no unnamed files; there the store is always staged under a hidden name.
    const bool systemUnnames = pst::FileSink::createUnnamed(folder / "probe.pst") != nullptr;
    for (const bool unnamed : {true, false}) {
        for (const bool taken : {false, true}) {
            SCOPED_TRACE(std::string(unnamed ? "unnamed" : "hidden") +
                         (taken ? ", name taken meanwhile" : ""));
            // A name beyond ASCII, and the file still open when it is published.
            const fs::path path = folder / platform::pathFromText("Kontakte \xc3\xa9t\xc3\xa9.pst");
            StagedFile staged = createStagedFile(path, unnamed);
            staged.sink->writeAt(0, pst::Bytes{'P', 'S', 'T'});
            staged.sink->sync();
            EXPECT_FALSE(fs::exists(path)) << "named before it was published";
            EXPECT_EQ(test::filesIn(folder).size(), unnamed && systemUnnames ? 0u : 1u);
            if (taken)
                std::ofstream(path) << "another program's";
            try {
                staged.publish();
                EXPECT_FALSE(taken) << "replaced a file";
            } catch (const pst::IoError& e) {
                EXPECT_TRUE(taken) << e.what();
                EXPECT_EQ(std::string(e.what()), "Cannot create \"" + platform::textOfPath(path) + "\": File exists");
                staged.discard();
            }
            staged.sink.reset();
            EXPECT_EQ(test::filesIn(folder), std::vector<std::string>{platform::textOfPath(path.filename())})
                << "left behind";
            EXPECT_EQ(tressimo::testing::readWholeFile(path), taken ? "another program's" : "PST");
            EXPECT_THROW(createStagedFile(path, unnamed), pst::IoError)
                << "an existing name is refused at once";
            fs::remove(path);
        }
    }
}

// A run killed before publishing leaves its hidden file; the next store made in the folder
// removes it, and nothing a running process or anyone else owns.
TEST(StagedFile, RemovesOnlyTheHiddenFilesOfRunsThatEnded)
{
    tressimo::testing::TempDir dir;
    const std::string self = std::to_string(platform::processId()), gone = "999999999";
    const std::tuple<std::string, std::string, bool> files[] = {
        {".Contacts.pst." + gone + ".0a1b2c", "!BDN store", true},
        {".Contacts.pst." + gone + ".0a1b2d", std::string(512, '\0'), true}, // sized, no header yet
        {".Contacts.pst." + self + ".0a1b2c", "!BDN running", false},
        {".notes.txt." + gone + ".abcdef", "my notes", false},
        {".Contacts.pst." + gone + ".abcdeg", "!BDN", false},
        {".Contacts.pst." + gone + "0abcdef", "!BDN", false},
        {"Contacts.pst." + gone + ".abcdef", "!BDN", false},
        {"." + gone + ".abcdef", "!BDN", false},
    };
    for (const auto& [name, bytes, stale] : files)
        dir.write(name, bytes);
    createStagedFile(dir / "new.pst").discard();
    for (const auto& [name, bytes, stale] : files)
        EXPECT_EQ(fs::exists(dir / name), !stale) << name;
}

} // namespace
} // namespace tressimo::mapi
