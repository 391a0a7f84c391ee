// The pieces under the window: file names between Qt and the system's bytes, the shell
// helpers, drops, the event pump, the grid's model, finding the manual, the folder walk.

#include "app/dropped_paths.h"
#include "app/event_pump.h"
#include "app/file_list_model.h"
#include "app/folder_scan.h"
#include "shell/browse_for_folder.h"
#include "shell/native_path.h"
#include "shell/open_document.h"
#include "tests/app/app_test_support.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace tressimo::app::testing {
namespace {

namespace fs = std::filesystem;

QString q(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// ---------------------------------------------------------------------------------------
// File names

TEST(NativePath, RecoversTheBytesOfNamesQtCannotSpell)
{
    application();
    TempDir dir;
    const std::string odd = dir / "Kontakte \xFF/Zo\xEB.contact";
    const std::string twin = dir / "Kontakte \xFF/Zo\xEC.contact"; // shown alike: U+FFFD
    const std::string plain = dir / "Gr\xC3\xBC\xC3\x9F"
                                    "e/a b.contact";
    writeFile(odd, "");
    writeFile(twin, "");
    writeFile(plain, "");
    const struct
    {
        const char* name;
        QString given;
        std::string expected;
    } cases[] = {
        {"valid UTF-8 comes back as it is", q(plain), plain},
        {"a folder and a file Qt cannot spell; of two alike, the first in byte order", q(odd), odd},
        {"a folder alone", q(dir / "Kontakte \xFF"), dir / "Kontakte \xFF"},
        {"with a trailing separator", q(dir / "Kontakte \xFF/"), dir / "Kontakte \xFF/"},
        {"a name that is nowhere stays in Qt's spelling", q(dir / "gone \xFF.contact"),
         (dir / "gone ") + "\xEF\xBF\xBD.contact"},
        {"empty", QString(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shell::nativePathOf(c.given), c.expected);
    }
    EXPECT_EQ(shell::displayTextOf(odd), q(odd));
}

// ---------------------------------------------------------------------------------------
// OpenDocument and BrowseForFolder

TEST(OpenDocument, OpensAddressesAsTheyAreAndPathsAsFileUrls)
{
    application();
    const struct
    {
        std::string document;
        const char* url; // nullptr: nothing is opened
    } cases[] = {
        {"", nullptr},
        {"https://example.com/help?page=1#top", "https://example.com/help?page=1#top"},
        {"mailto:help@example.com", "mailto:help@example.com"},
        {"file:///usr/share/doc/tressimo/manual.html#use", "file:///usr/share/doc/tressimo/manual.html#use"},
        {"/usr/share/doc/tressimo/manual.html", "file:///usr/share/doc/tressimo/manual.html"},
        {"/home/ann/My Contacts/Zo\xEB #1?.html", "file:///home/ann/My%20Contacts/Zo%EB%20%231%3F.html"},
        {"/home/ann/Zo\xC3\xAB.html", "file:///home/ann/Zo%C3%AB.html"},
    };
    for (const auto& c : cases) {
        FakeOpener opener;
        shell::OpenDocument(c.document, opener);
        if (!c.url) {
            EXPECT_TRUE(opener.opened.empty()) << c.document;
            continue;
        }
        ASSERT_EQ(opener.opened.size(), 1u) << c.document;
        EXPECT_EQ(opener.opened[0].toEncoded(), QByteArray(c.url));
    }
    // A relative path is taken from the current folder.
    FakeOpener opener;
    shell::OpenDocument("docs/manual.html", opener);
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].toLocalFile(), QDir::current().filePath(QStringLiteral("docs/manual.html")));
}

struct ThrowingChooser : shell::FolderChooser
{
    QString chooseFolder(QWidget*, const QString&) override { throw std::runtime_error("no desktop"); }
};

TEST(BrowseForFolder, ReturnsTheChoiceUnchangedOrEmpty)
{
    application();
    TempDir dir;
    fs::create_directories(dir / "Kontakte \xFF");
    const struct
    {
        QString answer;
        std::string result;
    } cases[] = {
        {QString(), ""}, // cancel
        {q(dir.path()), dir.path()},
        {q(dir.path() + "/"), dir.path() + "/"}, // no separator added or removed
        {QStringLiteral("/"), "/"},
        {q(dir / "Kontakte \xFF"), dir / "Kontakte \xFF"},
    };
    for (const auto& c : cases) {
        FakeFolderChooser chooser;
        chooser.answers.push_back(c.answer);
        EXPECT_EQ(shell::BrowseForFolder(nullptr, "Choose Folder to Save...", chooser), c.result);
        EXPECT_EQ(chooser.titles, std::vector<QString>{QStringLiteral("Choose Folder to Save...")});
    }
    ThrowingChooser broken;
    EXPECT_EQ(shell::BrowseForFolder(nullptr, "t", broken), "");
}

// ---------------------------------------------------------------------------------------
// Drops

TEST(DroppedPaths, TakesLocalFilesByTheirBytes)
{
    const struct
    {
        std::string uriList;
        std::vector<std::string> paths;
    } cases[] = {
        {"file:///home/ann/a.contact\r\nfile:///home/ann/b.contact\r\n",
         {"/home/ann/a.contact", "/home/ann/b.contact"}},
        {"file:///home/ann/Zo%EB%20Ba%C3%AF.contact", {"/home/ann/Zo\xEB Ba\xC3\xAF.contact"}},
        {"# comment\r\n\r\nfile://localhost/tmp/x.contact\nFILE:///tmp/y\r\n", {"/tmp/x.contact", "/tmp/y"}},
        {"file:/tmp/one-slash.contact", {"/tmp/one-slash.contact"}},
        {"file:///tmp/a%23b.contact#fragment", {"/tmp/a#b.contact"}},
        {"file:///tmp/100%.contact", {"/tmp/100%.contact"}},
        // An escaped NUL names no file (it would stop the name at /tmp).
        {std::string("file:///tmp%00/x.contact\r\nfile:///tmp/b.contact"), {"/tmp/b.contact"}},
        {"file://otherhost/tmp/x.contact\r\nhttps://example.com/x.contact\r\nsmb://s/x\r\nfile:relative", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(localPathsOfUriList(c.uriList), c.paths) << c.uriList;
}

// ---------------------------------------------------------------------------------------
// The event pump

TEST(EventPump, RunsTheEventLoopOnlyOnceTheIntervalHasPassed)
{
    application();
    int delivered = 0;
    QObject receiver;
    const auto post = [&] {
        QMetaObject::invokeMethod(
            &receiver, [&] { ++delivered; }, Qt::QueuedConnection);
    };

    EventPump patient(std::chrono::hours(1));
    post();
    for (int i = 0; i < 1000; ++i)
        patient.yield(); // within the interval: no events run
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(patient.eventRuns(), 0);
    patient.yieldNow();
    EXPECT_EQ(delivered, 1);

    EventPump eager(std::chrono::milliseconds(1));
    int before = 0;
    eager.setBeforeEvents([&] { ++before; });
    post();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    eager.yield();
    EXPECT_EQ(delivered, 2);
    EXPECT_EQ(before, 1); // the views are brought up to date before the events run
    EXPECT_EQ(eager.eventRuns(), 1);
}

// ---------------------------------------------------------------------------------------
// The grid's model

TEST(FileListModel, ShowsAppendedRowsAtTheNextFlushAndResetsAtOnce)
{
    application();
    filelist::FileList list;
    FileListModel model(list);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const auto shown = [&] {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.data(model.index(row, 0)).toString();
        return out;
    };
    EXPECT_EQ(shown(), QStringList{QString()});

    list.AddFileRow("/a/first.contact"); // fills the placeholder: shown at once
    EXPECT_EQ(shown(), QStringList{QStringLiteral("/a/first.contact")});
    EXPECT_EQ(changed.size(), 1);
    for (int i = 0; i < 1000; ++i)
        list.AddFileRow("/a/Zo\xEB.contact");
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.pendingRows(), 1000);
    model.flush();
    EXPECT_EQ(inserted.size(), 1); // one notice for the whole batch
    EXPECT_EQ(model.rowCount(), 1001);
    EXPECT_EQ(model.data(model.index(1000, 0)).toString(), q("/a/Zo\xEB.contact"));
    EXPECT_EQ(model.data(model.index(1000, 0), Qt::ToolTipRole).toString(), q("/a/Zo\xEB.contact"));
    EXPECT_FALSE(model.data(model.index(5000, 0)).isValid());

    list.AddFileRow("/a/pending.contact");
    list.ResetFileList(); // a reset reaches the view at once, pending rows and all
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(shown(), QStringList{QString()});
    model.flush();
    EXPECT_EQ(model.rowCount(), 1);
}

// ---------------------------------------------------------------------------------------
// The manual

TEST(FindManual, NextToTheProgramThenWhereItIsInstalled)
{
    application();
    TempDir dir;
    fs::create_directories(dir / "prefix/bin");
    EXPECT_EQ(findManual(q(dir / "prefix/bin")), "");
    writeFile(dir / "prefix/share/doc/tressimo/manual.html", "installed");
    EXPECT_EQ(findManual(q(dir / "prefix/bin")), dir / "prefix/share/doc/tressimo/manual.html");
    writeFile(dir / "prefix/bin/manual.html", "built");
    EXPECT_EQ(findManual(q(dir / "prefix/bin")), dir / "prefix/bin/manual.html");
    // The build puts it next to the program.
    EXPECT_TRUE(fs::is_regular_file(TRESSIMO_BINARY_DIR "/manual.html"));
}

// ---------------------------------------------------------------------------------------
// The folder walk beside the window thread

class FailingFileSystem : public filelist::MemoryFileSystem
{
public:
    filelist::FolderListing listFolder(const std::string&) override { throw std::bad_alloc(); }
};

TEST(FolderScan, KeepsTheWindowThreadRunningAndStopsOnRequest)
{
    application();
    auto memory = std::make_shared<filelist::MemoryFileSystem>();
    memory->addFile("/c/a.contact");
    memory->addFile("/c/sub/b.contact");
    memory->denyAccess("/c/locked");
    int pumped = 0;
    FolderScanResult done = scanFolder(
        memory, "/c/", [&] { ++pumped; }, [] { return false; });
    ASSERT_NE(done.fullFileNames, nullptr);
    EXPECT_EQ(done.fullFileNames->values(), (std::vector<std::string>{"/c/a.contact", "/c/sub/b.contact"}));
    ASSERT_EQ(done.messages.size(), 1u);
    EXPECT_EQ(done.messages[0].text, "Please Select Correct Store Folder.");
    EXPECT_FALSE(done.stopped);

    // A walk that takes a while: the window thread is pumped meanwhile, and a stop ends it.
    class Slow : public filelist::MemoryFileSystem
    {
    public:
        filelist::FolderListing listFolder(const std::string& path) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return MemoryFileSystem::listFolder(path);
        }
    };
    auto slow = std::make_shared<Slow>();
    for (int i = 0; i < 200; ++i)
        slow->addFile("/s/f" + std::to_string(1000 + i) + "/x.contact");
    pumped = 0;
    FolderScanResult stopped = scanFolder(
        slow, "/s/", [&] { ++pumped; }, [&] { return pumped >= 3; }, std::chrono::milliseconds(5));
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.fullFileNames->isEmpty());
    EXPECT_GE(pumped, 3);
    EXPECT_EQ(slow->listCount("/s/f1199"), 0);

    // What the walk throws reaches the window thread.
    auto failing = std::make_shared<FailingFileSystem>();
    failing->addFolder("/f");
    EXPECT_THROW(scanFolder(failing, "/f/", {}, {}), std::bad_alloc);
}

} // namespace
} // namespace tressimo::app::testing
