#include "filelist/file_list.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tressimo::filelist {
namespace {

using Strings = std::vector<std::string>;
const char* const kReset = "<reset>"; // a scenario step that clears the list

// A click handled while AddFileRow lets messages run may change the list under it: no file
// may be lost or overwritten, and no empty row may appear between files.
TEST(FileList, ChangesMadeWhileYieldingAreKept)
{
    // Rows before, whether the yield resets the list (else it adds "/nested"), rows after.
    const std::tuple<Strings, bool, Strings> cases[] = {
        {{}, false, {"/nested", "/outer"}},
        {{"/a"}, false, {"/a", "/nested", "/outer"}},
        {{"/a"}, true, {"/outer"}},
        {{"/a", "/b"}, true, {"/outer"}},
    };
    for (const auto& [before, resetInYield, rows] : cases) {
        FileList list;
        for (const std::string& path : before)
            list.AddFileRow(path);
        bool done = false;
        list.setYield([&] {
            if (!std::exchange(done, true))
                resetInYield ? list.ResetFileList() : list.AddFileRow("/nested");
        });
        list.AddFileRow("/outer");
        EXPECT_EQ(list.texts(), rows);
        EXPECT_EQ(list.countLabel(), std::to_string(rows.size()) + " Email Messages");
    }
}

TEST(FileList, ObserversSeeEachChangeWithTheStateAlreadyUpdated)
{
    FileList list;
    std::vector<std::pair<FileList::Change, int>> seen;
    Strings labels;
    list.addObserver([&](FileList::Change change, int row) {
        seen.emplace_back(change, row);
        labels.push_back(list.countLabel() + " " + std::to_string(list.columnWidth()));
    });
    for (const char* step : {"/a", "/b", kReset, "/c"})
        step == kReset ? list.ResetFileList() : list.AddFileRow(step);
    using C = FileList::Change;
    EXPECT_EQ(seen,
              (std::vector<std::pair<C, int>>{
                  {C::PlaceholderFilled, 0}, {C::RowAppended, 1}, {C::Reset, 0}, {C::PlaceholderFilled, 0}}));
    EXPECT_EQ(labels, (Strings{"1 Email Messages 10000", "2 Email Messages 10000", "0 files 10000",
                               "1 Email Messages 10000"}));
}

} // namespace
} // namespace tressimo::filelist
