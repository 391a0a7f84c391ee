// The pieces under the window, where the window tests cannot reach them.

#include "app/dropped_paths.h"
#include "app/file_list_model.h"
#include "shell/browse_for_folder.h"
#include "shell/native_path.h"
#include "shell/open_document.h"
#include "tests/app/app_test_support.h"
#include "window/event_pump.h"
#include "window/folder_scan.h"

#include <QDir>
#include <QSignalSpy>
#include <stdexcept>
#include <thread>

namespace tressimo::app::testing {
namespace {

// The window tests cover valid names, a name Qt cannot spell, a folder and a cancel.
TEST(NativePath, RecoversTheBytesOfNamesQtCannotSpell)
{
    TempDir dir("app");
    const std::string root = dir.write("Kontakte \xFF/Zo\xEB.contact", "").parent_path().string();
    dir.write("Kontakte \xFF/Zo\xEC.contact", ""); // shown alike: U+FFFD
    // The name as Qt got it, and the bytes it stands for.
    const std::pair<std::string, std::string> cases[] = {
        {root + "/Zo\xEB.contact", root + "/Zo\xEB.contact"}, // of two alike, the first in byte order
        {root + "/", root + "/"},
        {dir.path().string() + "/gone \xFF",
         dir.path().string() + "/gone \xEF\xBF\xBD"}, // nowhere: Qt's spelling
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(shell::nativePathOf(q(given)), expected) << given;
    EXPECT_EQ(shell::displayTextOf(cases[0].second), q(cases[0].second));
}

TEST(OpenDocument, OpensAddressesAsTheyAreAndPathsAsFileUrls)
{
    // The document, and the URL opened for it.
    const std::pair<std::string, QByteArray> cases[] = {
        {"", ""},
        {"https://example.com/help?page=1#top", "https://example.com/help?page=1#top"},
        {"/home/ann/My Contacts/Zo\xEB #1?.html", "file:///home/ann/My%20Contacts/Zo%EB%20%231%3F.html"},
        {"docs/manual.html", QUrl::fromLocalFile(QDir::current().filePath("docs/manual.html")).toEncoded()},
    };
    for (const auto& [document, url] : cases) {
        FakeOpener opener;
        shell::OpenDocument(document, opener);
        EXPECT_EQ(opener.opened, url.isEmpty() ? std::vector<QUrl>{} : std::vector{QUrl::fromEncoded(url)})
            << document;
    }
}

// A choice comes back by its bytes (checked through Convert); a broken chooser is a cancel.
TEST(BrowseForFolder, AChooserThatFailsIsACancel)
{
    struct : shell::FolderChooser
    {
        QString chooseFolder(QWidget*, const QString&) override { throw std::runtime_error("no desktop"); }
    } broken;
    EXPECT_EQ(shell::BrowseForFolder(nullptr, "t", broken), "");
}

TEST(DroppedPaths, TakesLocalFilesByTheirBytes)
{
    const std::pair<std::string, Rows> cases[] = {
        {"file:///home/ann/a.contact\r\nfile:///home/ann/b.contact\r\n",
         {"/home/ann/a.contact", "/home/ann/b.contact"}},
        {"file:///home/ann/Zo%EB%20Ba%C3%AF.contact", {"/home/ann/Zo\xEB Ba\xC3\xAF.contact"}},
        {"# comment\r\n\r\nfile://localhost/tmp/x.contact\nFILE:///tmp/y\r\n", {"/tmp/x.contact", "/tmp/y"}},
        {"file:/tmp/one-slash.contact", {"/tmp/one-slash.contact"}},
        {"file:///tmp/a%23b.contact#fragment", {"/tmp/a#b.contact"}},
        {"file:///tmp/100%.contact", {"/tmp/100%.contact"}},
        // An escaped NUL names no file (it would stop the name at /tmp).
        {"file:///tmp%00/x.contact\r\nfile:///tmp/b.contact", {"/tmp/b.contact"}},
        {"file://otherhost/tmp/x.contact\r\nhttps://example.com/x.contact\r\nsmb://s/x\r\nfile:relative", {}},
        {"", {}},
    };
    for (const auto& [uriList, paths] : cases)
        EXPECT_EQ(localPathsOfUriList(uriList), paths) << uriList;
}

TEST(EventPump, RunsTheEventLoopOnlyOnceTheIntervalHasPassed)
{
    int delivered = 0, before = 0;
    const auto runEvents = [&] { ++delivered; };
    window::EventPump patient(runEvents, std::chrono::hours(1));
    for (int i = 0; i < 1000; ++i)
        patient.yield(); // within the interval: no events run
    EXPECT_EQ(std::pair(delivered, patient.eventRuns()), std::pair(0, 0LL));

    window::EventPump eager(runEvents, std::chrono::milliseconds(1));
    eager.setBeforeEvents([&] { ++before; }); // the views are brought up to date first
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    eager.yield();
    EXPECT_EQ(std::tuple(delivered, before, eager.eventRuns()), std::tuple(1, 1, 1LL));
    patient.yieldNow();
    EXPECT_EQ(std::pair(delivered, patient.eventRuns()), std::pair(2, 1LL));
}

// Appends wait for one notice per batch; a row's tool tip.
TEST(FileListModel, ShowsAppendedRowsAtTheNextFlushInOneNotice)
{
    filelist::FileList list;
    FileListModel model(list);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1001; ++i)
        list.AddFileRow("/a/Zo\xEB.contact"); // the first fills the placeholder
    EXPECT_EQ(std::pair(model.rowCount(), model.pendingRows()), std::pair(1, 1000));
    model.flush();
    EXPECT_EQ(std::pair(model.rowCount(), inserted.size()), std::pair(1001, qsizetype(1)));
    EXPECT_EQ(model.data(model.index(1000, 0), Qt::ToolTipRole).toString(), q("/a/Zo\xEB.contact"));
    EXPECT_FALSE(model.data(model.index(5000, 0)).isValid());
}

TEST(FindManual, NextToTheProgramThenWhereItIsInstalled)
{
    TempDir dir("app");
    const QString bin = q((dir / "prefix/bin").string());
    std::filesystem::create_directories(dir / "prefix/bin");
    EXPECT_EQ(findManual(bin), "");
    EXPECT_EQ(findManual(bin), dir.write("prefix/share/doc/tressimo/manual.html", "installed"));
    EXPECT_EQ(findManual(bin), dir.write("prefix/bin/manual.html", "built"));
    EXPECT_TRUE(std::filesystem::is_regular_file(TRESSIMO_BINARY_DIR "/manual.html")); // built there
}

class FailingFileSystem : public filelist::MemoryFileSystem
{
public:
    filelist::FolderListing listFolder(const std::string&) override { throw std::bad_alloc(); }
};

// What the walk finds, its stop and its pumping are checked through the window.
TEST(FolderScan, RethrowsWhatTheWalkThrew)
{
    auto failing = std::make_shared<FailingFileSystem>();
    failing->addFolder("/f");
    EXPECT_THROW(window::scanFolder(failing, "/f/", {}, {}), std::bad_alloc);
}

} // namespace
} // namespace tressimo::app::testing
