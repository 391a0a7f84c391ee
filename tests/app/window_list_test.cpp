// The file list's commands from the window: clearing, adding files, adding a folder, drops,
// and what the window allows while an add is under way.

#include "tests/app/app_test_support.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <thread>

namespace tressimo::app::testing {
namespace {

const std::string kAsked = "Tressimo|Q?|Do you want to clear all the files in the list\r\n Proceed?";

std::string found(int count)
{
    return "Tressimo|N|" + std::to_string(count) + " Email Messages Found.";
}

// Drags a URI list over the window and drops it; whether it was taken, and the actions the
// window answered to the enter, a move and the drop.
std::pair<bool, std::vector<Qt::DropAction>> drag(QWidget& window, const QByteArray& uriList,
                                                  Qt::DropActions offered = Qt::CopyAction,
                                                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    std::vector<Qt::DropAction> answers;
    QMimeData mime;
    mime.setData("text/uri-list", uriList);
    QDragEnterEvent enter(QPoint(100, 200), offered, &mime, Qt::LeftButton, modifiers);
    QDragMoveEvent move(QPoint(105, 205), offered, &mime, Qt::LeftButton, modifiers);
    QDropEvent dropped(QPointF(100, 200), offered, &mime, Qt::LeftButton, modifiers);
    for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), static_cast<QDropEvent*>(&move), &dropped}) {
        QApplication::sendEvent(&window, event);
        if (!event->isAccepted())
            return {false, answers};
        answers.push_back(event->dropAction());
    }
    QCoreApplication::processEvents(); // the drop is added once it is over
    return {true, answers};
}

QByteArray url(const std::filesystem::path& path)
{
    return "file://" + QByteArray::fromStdString(path.string()).toPercentEncoding("/") + "\r\n";
}

Rows split(const std::string& text)
{
    Rows parts;
    for (const QByteArray& part : QByteArray::fromStdString(text).split('|'))
        parts.push_back(part.toStdString());
    return parts;
}

class ListTest : public WindowTest
{
protected:
    void addFolders(const std::vector<QString>& choices)
    {
        for (const QString& choice : choices) {
            chooser.answers.push_back(choice);
            button("CmdAddFolder")->click();
        }
    }
    // The list, the grid, the count and Convert all agree on these rows.
    void expectRows(const Rows& expected)
    {
        EXPECT_EQ(rows(), expected);
        QStringList shown;
        for (const std::string& row : expected)
            shown << q(row);
        EXPECT_EQ(shownRows(), shown);
        const bool any = !expected.front().empty();
        EXPECT_EQ(countLabel(), any ? QString::number(expected.size()) + " Email Messages" : "0 files");
        EXPECT_EQ(convertEnabled(), any);
    }

    TempDir dir{"app"};
};

// Every way into the list and out of it, each case a few user actions in turn: "files:a|b" (the
// file dialog selects these; none is a cancel), "fail:..." (the dialog fails), "folder:x" (the
// chooser picks x; none is a cancel), "drop:a|b" (dragged in; names with a colon or a hash go
// as they are), "refuse:a" (the same, refused), "moveonly:a" (from a source that can only move:
// refused), and "clear:yes" or "clear:no" (Clear, answered).
// Names are under the test folder; the rows are expected as "a|b" the same way.
TEST_F(ListTest, EachWayInAndClearingLeaveTheRowsAndSayWhatTheyDid)
{
    for (const char* file :
         {"b.contact", "a.CONTACT", "notes.txt", "tree/b.contact", "tree/a.contact", "tree/notes.txt",
          "tree/x.contacts", "tree/sub/Deep.CONTACT", "tree/sub/inner/c.Contact", "tree/aa/d.contact.bak",
          "empty/nothing/readme.txt", "K\xFF/Zo\xEB.contact"})
        dir.write(file, "");
    const std::string tree = "tree/a.contact|tree/b.contact|tree/sub/Deep.CONTACT|tree/sub/inner/c.Contact";
    const std::string sub = "tree/sub/Deep.CONTACT|tree/sub/inner/c.Contact";
    // Steps, the rows then, the messages shown.
    const std::tuple<Rows, std::string, Rows> cases[] = {
        {{"files:z.contact|a.contact| leading blank.contact"}, "z.contact|a.contact| leading blank.contact", {}},
        {{"files:"}, "", {}},
        {{"files:a.contact", "files:b.contact|a.contact"}, "a.contact|b.contact|a.contact", {}},
        {{"files:a.contact", "files:"}, "a.contact", {}},
        {{"fail:dialog"}, "", {"Tressimo|E|32755:The dialog could not open"}},
        {{"fail:too many"}, "", {"Tressimo|E|Please select only 1000 files at a time"}},
        {{"folder:empty"}, "", {found(0)}},
        {{"folder:tree"}, tree, {found(4)}}, // breadth-first, upper-case extensions kept
        {{"folder:"}, "", {}},
        {{"folder:tree/sub", "folder:empty"}, sub, {found(2), found(0)}},
        {{"drop:b.contact|a.CONTACT"}, "b.contact|a.CONTACT", {}},
        {{"drop:tree/sub"}, sub, {found(2)}},
        {{"refuse:notes.txt"}, "", {}},
        {{"refuse:gone.contact"}, "", {}},
        {{"moveonly:b.contact"}, "", {}},
        {{"drop:notes.txt|# a comment|b.contact|https://example.com/c.contact"}, "b.contact", {}},
        {{"drop:a.CONTACT|tree/sub"}, "a.CONTACT|" + sub, {found(2)}},
        // A name Qt cannot spell keeps its bytes on every way in.
        {{"files:K\xFF/Zo\xEB.contact", "folder:K\xFF", "drop:K\xFF/Zo\xEB.contact"},
         "K\xFF/Zo\xEB.contact|K\xFF/Zo\xEB.contact|K\xFF/Zo\xEB.contact", {found(1)}},
        {{"clear:yes"}, "", {}}, // nothing to clear: not asked
        {{"files:a.contact|b.contact", "clear:no"}, "a.contact|b.contact", {kAsked}},
        {{"files:a.contact|b.contact", "clear:yes"}, "", {kAsked}},
    };
    const auto at = [&](const std::string& name) { return name.empty() ? name : (dir / name).string(); };
    for (const auto& [steps, rowsThen, messages] : cases) {
        SCOPED_TRACE(steps.back());
        makeWindow();
        std::size_t openings = 0, choices = 0;
        for (const std::string& step : steps) {
            const std::string how = step.substr(0, step.find(':')), what = step.substr(how.size() + 1);
            if (how == "files" || how == "fail") {
                QStringList names;
                for (const std::string& name : split(what))
                    if (!name.empty())
                        names << q(at(name));
                dialog.answers.push_back([how, what, names]() -> QStringList {
                    if (how == "files")
                        return names;
                    if (what == "dialog")
                        throw DialogError(32755, "The dialog could not open");
                    throw SelectionTooLong(1000);
                });
                ++openings;
                button("cmdAdd")->click();
            } else if (how == "folder") {
                addFolders({q(at(what))});
                ++choices;
            } else if (how == "drop" || how == "refuse" || how == "moveonly") {
                QByteArray uriList;
                for (const std::string& name : split(what))
                    uriList += name.find_first_of(":#") != std::string::npos
                                   ? QByteArray::fromStdString(name + "\r\n")
                                   : url(at(name));
                // A drop is taken as a copy even when a move is asked for (Shift): a drop answered as
                // a move tells the source to delete its files once it is over.
                const auto [taken, answers] =
                    drag(win(), uriList, how == "moveonly" ? Qt::MoveAction : Qt::CopyAction | Qt::MoveAction,
                         Qt::ShiftModifier);
                EXPECT_EQ(taken, how == "drop");
                EXPECT_EQ(answers, std::vector<Qt::DropAction>(taken ? 3 : answers.size(), Qt::CopyAction));
            } else {
                boxes.answers = {what == "yes" ? MessageAnswer::Yes : MessageAnswer::No};
                button("cmdClear1")->click();
            }
        }
        Rows expected;
        for (const std::string& name : split(rowsThen))
            expected.push_back(at(name));
        expectRows(expected);
        EXPECT_EQ(boxes.log(), messages);
        EXPECT_EQ(dialog.filters, std::vector<QString>(openings, "Windows Contacts (*.contact)"));
        EXPECT_EQ(chooser.titles, std::vector<QString>(choices, "Choose Windows Contacts Folder..."));
        // From the first file on, the column is 10000 twips wide; clearing keeps that.
        EXPECT_EQ(win().controls().grdFiles1->columnWidth(0),
                  (rowsThen.empty() && steps.size() == 1 ? 50000 : 10000) / 15);
        EXPECT_EQ(commandStates(), (States{true, true, true, !rowsThen.empty(), true, true}));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

// While an add is under way, only Help and Exit can be used; no drop comes in.
TEST_F(ListTest, OtherCommandsAndDropsWaitUntilTheAddIsDone)
{
    dir.write("a.contact", "");
    std::vector<States> seen;
    bool dropTaken = true;
    dialog.onOpen = [&] {
        seen.push_back(commandStates());
        win().cmdClear1_Click();     // refused: no question
        win().CmdAddFolder_Click();  // refused: no chooser
        win().CmdExtractDBX_Click(); // refused
        dropTaken = drag(win(), url(dir / "a.contact")).first;
    };
    win().fileList().addObserver([&](filelist::FileList::Change, int) { seen.push_back(commandStates()); });
    dialog.answers.push_back([] { return QStringList{"/c/a.contact"}; });
    win().cmdAdd_Click();
    EXPECT_EQ(seen, (std::vector<States>{kBusy, kBusy}));
    EXPECT_FALSE(dropTaken);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(chooser.titles.empty());
    EXPECT_EQ(commandStates(), States(6, true));
    expectRows({"/c/a.contact"});
}

// A folder that cannot be read is skipped with one message after the walk; the folders after
// it are still walked. The wait cursor is up during the walk and gone for the count.
TEST_F(ListTest, AnUnreadableSubFolderIsReportedAndTheWalkGoesOn)
{
    auto memory = std::make_shared<filelist::MemoryFileSystem>();
    for (const char* file :
         {"/c/a.contact", "/c/locked/hidden.contact", "/c/zz/z.contact", "/c/zz/deeper/y.contact"})
        memory->addFile(file);
    memory->denyAccess("/c/locked");
    fileSystem = memory;
    makeWindow();
    std::vector<std::pair<bool, States>> whileShown; // the wait cursor, the commands
    boxes.onShow = [&](const Message&) {
        const QCursor* cursor = QApplication::overrideCursor();
        whileShown.emplace_back(cursor && cursor->shape() == Qt::WaitCursor, commandStates());
    };
    addFolders({"/c"});
    expectRows({"/c/a.contact", "/c/zz/z.contact", "/c/zz/deeper/y.contact"});
    EXPECT_EQ(boxes.log(), (Rows{"Tressimo|I|Please Select Correct Store Folder.", found(3)}));
    EXPECT_EQ(whileShown, (std::vector<std::pair<bool, States>>{{true, kBusy}, {false, States(6, true)}}));
}

// A file system whose listings take a while, as a large folder on a slow disk does.
class SlowFileSystem : public filelist::MemoryFileSystem
{
public:
    filelist::FolderListing listFolder(const std::string& path) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return MemoryFileSystem::listFolder(path);
    }
};

// Closing the window during an add stops the walk, or the appends, and ends the program.
TEST_F(ListTest, ClosingTheWindowStopsTheAddAndEndsTheProgram)
{
    auto slow = std::make_shared<SlowFileSystem>();
    for (int i = 0; i < 40; ++i)
        slow->addFile("/c/f" + std::to_string(100 + i) + "/x.contact");
    fileSystem = slow;
    makeWindow();
    win().show();
    QTimer::singleShot(100, &win(), [this] { win().close(); });
    addFolders({"/c"});
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(win().isVisible());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(rows(), Rows{""});
    EXPECT_EQ(slow->listCount("/c/f139"), 0); // stopped long before its 41 listings were done
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    fileSystem = std::make_shared<filelist::DiskFileSystem>();
    makeWindow();
    for (int i = 0; i < 10; ++i)
        dir.write(std::to_string(i) + ".contact", "");
    boxes.answers = {MessageAnswer::Yes};
    win().fileList().addObserver([&](filelist::FileList::Change, int) {
        if (win().fileList().Rows() == 3)
            win().cmdEnd_Click();
    });
    addFolders({q(dir.path().string())});
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(boxes.log(), Rows{"Tressimo|Q?|Are you sure you want to exit now?"}); // and no count
}

} // namespace
} // namespace tressimo::app::testing
