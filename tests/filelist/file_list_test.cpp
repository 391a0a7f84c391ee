#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "filelist/file_list.h"

namespace tressimo::filelist {
namespace {

// One step of a scenario: a path to append, or kReset.
const char* const kReset = "<reset>";

struct ListCase
{
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> rows;
    std::string label;
    int width;
};

TEST(FileList, RowsLabelAndWidthFollowTheListRules)
{
    const std::string odd = " leading blank, several.dots.and \xff\xfe bytes.contact";
    const ListCase cases[] = {
        {"fresh", {}, {""}, "0 files", 50000},
        {"first file reuses the placeholder", {"/d/a.contact"}, {"/d/a.contact"}, "1 Email Messages", 10000},
        {"duplicates stay", {"/d/a.contact", "/d/a.contact"}, {"/d/a.contact", "/d/a.contact"},
         "2 Email Messages", 10000},
        {"reset keeps the width", {"/d/a", "/d/b", kReset}, {""}, "0 files", 10000},
        {"reset of an empty list", {kReset}, {""}, "0 files", 50000},
        {"append after reset reuses the placeholder", {"/d/a", "/d/b", kReset, "/d/c"}, {"/d/c"},
         "1 Email Messages", 10000},
        {"text kept byte for byte", {odd}, {odd}, "1 Email Messages", 10000},
        {"order kept", {"/z", "/a", "/m"}, {"/z", "/a", "/m"}, "3 Email Messages", 10000},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.name);
        FileList list;
        for (const std::string& step : c.steps) {
            if (step == kReset)
                list.ResetFileList();
            else
                list.AddFileRow(step);
        }
        EXPECT_EQ(list.texts(), c.rows);
        EXPECT_EQ(list.Rows(), static_cast<int>(c.rows.size()));
        EXPECT_EQ(list.countLabel(), c.label);
        EXPECT_EQ(list.columnWidth(), c.width);
        EXPECT_EQ(list.isEmpty(), c.rows.front().empty());
    }
}

TEST(FileList, CountLabelHasNoThousandsSeparator)
{
    FileList list;
    for (int i = 0; i < 1234; ++i)
        list.AddFileRow("/d/" + std::to_string(i) + ".contact");
    EXPECT_EQ(list.countLabel(), "1234 Email Messages");
    EXPECT_EQ(list.text(1233), "/d/1233.contact");
    EXPECT_THROW((void)list.text(1234), std::out_of_range);
}

// A click handled while AddFileRow lets messages run may change the list under it; no file
// may be lost or written over, and no empty row may appear between files.
struct ReentryCase
{
    const char* name;
    std::vector<std::string> before;
    bool resetInYield; // else: add "/nested" in the yield
    std::vector<std::string> rows;
};

TEST(FileList, ChangesMadeWhileYieldingAreKept)
{
    const ReentryCase cases[] = {
        {"add into an empty list", {}, false, {"/nested", "/outer"}},
        {"add into a list of one", {"/a"}, false, {"/a", "/nested", "/outer"}},
        {"clear a list of one", {"/a"}, true, {"/outer"}},
        {"clear a longer list", {"/a", "/b"}, true, {"/outer"}},
    };
    for (const ReentryCase& c : cases) {
        SCOPED_TRACE(c.name);
        FileList list;
        for (const std::string& path : c.before)
            list.AddFileRow(path);
        bool done = false;
        list.setYield([&] {
            if (done)
                return;
            done = true;
            if (c.resetInYield)
                list.ResetFileList();
            else
                list.AddFileRow("/nested");
        });
        list.AddFileRow("/outer");
        EXPECT_EQ(list.texts(), c.rows);
        EXPECT_EQ(list.countLabel(), std::to_string(c.rows.size()) + " Email Messages");
    }
}

TEST(FileList, ObserversSeeEachChangeWithTheStateAlreadyUpdated)
{
    FileList list;
    std::vector<std::pair<FileList::Change, int>> seen;
    std::vector<std::string> labels;
    std::vector<int> widths;
    list.addObserver([&](FileList::Change change, int row) {
        seen.emplace_back(change, row);
        labels.push_back(list.countLabel());
        widths.push_back(list.columnWidth());
    });
    int yields = 0;
    list.setYield([&] { ++yields; });

    list.AddFileRow("/a");
    list.AddFileRow("/b");
    list.ResetFileList();
    list.AddFileRow("/c");

    using C = FileList::Change;
    const std::vector<std::pair<C, int>> expected = {
        {C::PlaceholderFilled, 0}, {C::RowAppended, 1}, {C::Reset, 0}, {C::PlaceholderFilled, 0}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(labels, (std::vector<std::string>{"1 Email Messages", "2 Email Messages", "0 files",
                                                "1 Email Messages"}));
    EXPECT_EQ(widths, (std::vector<int>{10000, 10000, 10000, 10000}));
    EXPECT_GE(yields, 3); // every append lets the window repaint
}

} // namespace
} // namespace tressimo::filelist
