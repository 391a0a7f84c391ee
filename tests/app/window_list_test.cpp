// The file list's commands from the window: clearing, adding files, adding a folder, drops,
// and what the window allows while an add is under way.

#include "tests/app/app_test_support.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

namespace tressimo::app::testing {
namespace {

using Rows = std::vector<std::string>;

QString q(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

Message okMessage(const char* text, const char* title = "Tressimo", MessageIcon icon = MessageIcon::None)
{
    Message message;
    message.text = QString::fromLatin1(text);
    message.title = QString::fromLatin1(title);
    message.icon = icon;
    return message;
}

void expectMessages(const std::vector<Message>& shown, const std::vector<Message>& expected)
{
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].text, expected[i].text);
        EXPECT_EQ(shown[i].title, expected[i].title);
        EXPECT_EQ(shown[i].icon, expected[i].icon);
        EXPECT_EQ(shown[i].buttons, expected[i].buttons);
    }
}

// ---------------------------------------------------------------------------------------
// Clear file(s)...

class ClearList : public WindowTest
{
};

TEST_F(ClearList, AsksOnlyForAFullListAndEmptiesItOnYes)
{
    const struct
    {
        Rows before;
        std::deque<MessageAnswer> answers;
        bool asked;
        Rows after;
        const char* label;
    } cases[] = {
        {{}, {}, false, {""}, "0 files"},
        {{"/d/a.contact", "/d/b.contact"},
         {MessageAnswer::No},
         true,
         {"/d/a.contact", "/d/b.contact"},
         "2 Email Messages"},
        {{"/d/a.contact", "/d/b.contact"}, {MessageAnswer::Yes}, true, {""}, "0 files"},
    };
    for (const auto& c : cases) {
        makeWindow();
        boxes.shown.clear();
        boxes.answers = c.answers;
        if (!c.before.empty()) {
            dialog.answers.push_back([&] {
                QStringList names;
                for (const std::string& path : c.before)
                    names << q(path);
                return names;
            });
            win().cmdAdd_Click();
        }
        ASSERT_EQ(convertEnabled(), !c.before.empty());
        win().cmdClear1_Click();
        if (c.asked) {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text,
                      QStringLiteral("Do you want to clear all the files in the list\r\n Proceed?"));
            EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tressimo"));
            EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Question);
            EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNo);
        } else {
            EXPECT_TRUE(boxes.shown.empty());
        }
        EXPECT_EQ(rows(), c.after);
        EXPECT_EQ(shownRows().size(), static_cast<qsizetype>(c.after.size()));
        EXPECT_EQ(countLabel(), QString::fromLatin1(c.label));
        // Nothing to convert once the list is empty.
        EXPECT_EQ(convertEnabled(), !c.after.front().empty());
    }
}

// ---------------------------------------------------------------------------------------
// Add .contact file(s)...

class AddFiles : public WindowTest
{
};

TEST_F(AddFiles, AppendsTheSelectionInTheDialogsOrder)
{
    const std::function<QStringList()> cancel = [] { return QStringList(); };
    const auto select = [](QStringList names) { return [names] { return names; }; };
    const struct
    {
        const char* name;
        std::vector<std::function<QStringList()>> openings;
        Rows rows;
        const char* label;
        bool convert;
        std::vector<Message> messages;
    } cases[] = {
        {"one", {select({"/c/Ann Lee.contact"})}, {"/c/Ann Lee.contact"}, "1 Email Messages", true, {}},
        {"several, kept in the dialog's order",
         {select({"/c/z.contact", "/c/a.contact", "/c/ leading blank.contact"})},
         {"/c/z.contact", "/c/a.contact", "/c/ leading blank.contact"},
         "3 Email Messages",
         true,
         {}},
        {"cancel", {cancel}, {""}, "0 files", false, {}},
        {"a file already listed",
         {select({"/c/a.contact"}), select({"/c/b.contact", "/c/a.contact"})},
         {"/c/a.contact", "/c/b.contact", "/c/a.contact"},
         "3 Email Messages",
         true,
         {}},
        {"cancel after files",
         {select({"/c/a.contact"}), cancel},
         {"/c/a.contact"},
         "1 Email Messages",
         true,
         {}},
        {"a dialog error",
         {[]() -> QStringList { throw DialogError(32755, "The dialog could not open"); }},
         {""},
         "0 files",
         false,
         {okMessage("32755:The dialog could not open", "Tressimo", MessageIcon::Exclamation)}},
        {"a selection too long for the dialog",
         {[]() -> QStringList { throw SelectionTooLong(1000); }},
         {""},
         "0 files",
         false,
         {okMessage("Please select only 1000 files at a time", "Tressimo", MessageIcon::Exclamation)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeWindow();
        boxes.shown.clear();
        dialog.filters.clear();
        for (const auto& opening : c.openings) {
            dialog.answers.push_back(opening);
            win().cmdAdd_Click();
        }
        EXPECT_EQ(rows(), c.rows);
        QStringList expectedShown;
        for (const std::string& row : c.rows)
            expectedShown << q(row);
        EXPECT_EQ(shownRows(), expectedShown);
        EXPECT_EQ(countLabel(), QString::fromLatin1(c.label));
        EXPECT_EQ(convertEnabled(), c.convert);
        expectMessages(boxes.shown, c.messages);
        EXPECT_EQ(dialog.filters,
                  std::vector<QString>(c.openings.size(), QStringLiteral("Windows Contacts (*.contact)")));
        // From the first file on, the column is 10000 twips wide.
        EXPECT_EQ(win().controls().grdFiles1->columnWidth(0), (c.rows.front().empty() ? 50000 : 10000) / 15);
        // The window is idle again: every command as the list allows.
        EXPECT_EQ(commandStates(), (std::vector<bool>{true, true, true, c.convert, true, true}));
    }
}

// While the dialog is open and the rows go in, nothing else may change the list or start
// a run; Help and Exit stay usable.
TEST_F(AddFiles, OtherCommandsWaitUntilTheAddIsDone)
{
    std::vector<std::vector<bool>> seen;
    dialog.onOpen = [&] {
        seen.push_back(commandStates());
        win().cmdClear1_Click();     // refused: no question
        win().CmdAddFolder_Click();  // refused: no chooser
        win().CmdExtractDBX_Click(); // refused
    };
    dialog.answers.push_back([] { return QStringList{"/c/a.contact"}; });
    win().fileList().addObserver([&](filelist::FileList::Change, int) { seen.push_back(commandStates()); });
    win().cmdAdd_Click();
    const std::vector<bool> busy{false, false, false, false, true, true};
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], busy);
    EXPECT_EQ(seen[1], busy);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(chooser.titles.empty());
    EXPECT_EQ(rows(), Rows{"/c/a.contact"});
    EXPECT_EQ(commandStates(), (std::vector<bool>{true, true, true, true, true, true}));
}

// ---------------------------------------------------------------------------------------
// Add folder having .contact file(s)...

class AddFolder : public WindowTest
{
protected:
    TempDir dir;
};

TEST_F(AddFolder, AppendsEveryContactFileOfTheTreeBreadthFirst)
{
    const std::string root = dir.path();
    for (const char* file :
         {"tree/b.contact", "tree/a.contact", "tree/notes.txt", "tree/x.contacts", "tree/sub/Deep.CONTACT",
          "tree/sub/inner/c.Contact", "tree/aa/d.contact.bak", "empty/nothing/readme.txt"})
        writeFile(root + "/" + file, "");
    const std::string tree = root + "/tree/";
    const struct
    {
        const char* name;
        std::vector<QString> choices; // one per click
        Rows rows;
        std::vector<std::string> found; // the count of each "Found." message
        bool convert;
    } cases[] = {
        {"a tree without .contact files", {q(root + "/empty")}, {""}, {"0"}, false},
        {"a mixed tree, upper-case extensions kept",
         {q(root + "/tree")},
         {tree + "a.contact", tree + "b.contact", tree + "sub/Deep.CONTACT", tree + "sub/inner/c.Contact"},
         {"4"},
         true},
        {"a chosen folder ending with its separator gets no second one",
         {q(tree)},
         {tree + "a.contact", tree + "b.contact", tree + "sub/Deep.CONTACT", tree + "sub/inner/c.Contact"},
         {"4"},
         true},
        {"cancel", {QString()}, {""}, {}, false},
        {"the same folder twice lists every file twice",
         {q(tree + "sub"), q(tree + "sub")},
         {tree + "sub/Deep.CONTACT", tree + "sub/inner/c.Contact", tree + "sub/Deep.CONTACT",
          tree + "sub/inner/c.Contact"},
         {"2", "2"},
         true},
        // The files listed before stay convertible.
        {"a folder without .contact files after one with them",
         {q(tree + "sub"), q(root + "/empty")},
         {tree + "sub/Deep.CONTACT", tree + "sub/inner/c.Contact"},
         {"2", "0"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeWindow();
        boxes.shown.clear();
        chooser.titles.clear();
        for (const QString& choice : c.choices) {
            chooser.answers.push_back(choice);
            win().CmdAddFolder_Click();
        }
        EXPECT_EQ(chooser.titles, std::vector<QString>(c.choices.size(),
                                                       QStringLiteral("Choose Windows Contacts Folder...")));
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(shownRows().size(), static_cast<qsizetype>(c.rows.size()));
        std::vector<Message> expected;
        for (const std::string& count : c.found)
            expected.push_back(okMessage((count + " Email Messages Found.").c_str()));
        expectMessages(boxes.shown, expected);
        EXPECT_EQ(convertEnabled(), c.convert);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

// A folder that cannot be read is skipped with one message after the walk; the folders after
// it are still walked. The wait cursor is up during the walk and gone for the count.
TEST_F(AddFolder, AnUnreadableSubFolderIsReportedAndTheWalkGoesOn)
{
    auto memory = std::make_shared<filelist::MemoryFileSystem>();
    for (const char* file :
         {"/c/a.contact", "/c/locked/hidden.contact", "/c/zz/z.contact", "/c/zz/deeper/y.contact"})
        memory->addFile(file);
    memory->denyAccess("/c/locked");
    fileSystem = memory;
    makeWindow();
    std::vector<bool> waitCursor;
    std::vector<std::vector<bool>> states;
    boxes.onShow = [&](const Message&) {
        waitCursor.push_back(QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        states.push_back(commandStates());
    };
    chooser.answers.push_back(QStringLiteral("/c"));
    win().CmdAddFolder_Click();
    EXPECT_EQ(rows(), (Rows{"/c/a.contact", "/c/zz/z.contact", "/c/zz/deeper/y.contact"}));
    expectMessages(boxes.shown,
                   {okMessage("Please Select Correct Store Folder.", "Tressimo", MessageIcon::Information),
                    okMessage("3 Email Messages Found.")});
    EXPECT_EQ(waitCursor, (std::vector<bool>{true, false}));
    // Busy while the walk is reported; idle again for the count.
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0], (std::vector<bool>{false, false, false, false, true, true}));
    EXPECT_EQ(states[1], (std::vector<bool>{true, true, true, true, true, true}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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

// Closing the window (Exit or the close box) during an add stops it at its next step and
// ends the program; nothing more is shown.
TEST_F(AddFolder, ClosingTheWindowStopsTheWalkAndEndsTheProgram)
{
    auto slow = std::make_shared<SlowFileSystem>();
    for (int i = 0; i < 40; ++i)
        slow->addFile("/c/f" + std::to_string(100 + i) + "/x.contact");
    fileSystem = slow;
    makeWindow();
    win().show();
    chooser.answers.push_back(QStringLiteral("/c"));
    QTimer::singleShot(100, &win(), [this] { win().close(); });
    win().CmdAddFolder_Click();
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(win().isVisible());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(rows(), Rows{""});
    // The walk stopped long before its 41 listings were done.
    EXPECT_EQ(slow->listCount("/c/f139"), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AddFolder, ClosingTheWindowWhileRowsGoInStopsTheAppends)
{
    for (int i = 0; i < 10; ++i)
        writeFile(dir.path() + "/p" + std::to_string(i) + ".contact", "");
    boxes.answers.push_back(MessageAnswer::Yes);
    win().fileList().addObserver([&](filelist::FileList::Change, int) {
        if (win().fileList().Rows() == 3)
            win().cmdEnd_Click(); // Exit, answered Yes
    });
    chooser.answers.push_back(q(dir.path()));
    win().CmdAddFolder_Click();
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(programEnded, 1);
    ASSERT_EQ(boxes.shown.size(), 1u); // the exit question, and no count
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Are you sure you want to exit now?"));
}

// ---------------------------------------------------------------------------------------
// Drops

class Drops : public WindowTest
{
protected:
    struct DragResult
    {
        bool taken = false;
        // The actions the window answered to the drag's enter, move and drop, in that order.
        std::vector<Qt::DropAction> answers;
    };

    // Drags the URI list over the window (entering, moving once) and drops it, the source
    // offering `offered`, the user holding `modifiers`.
    DragResult drag(const QByteArray& uriList, Qt::DropActions offered,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        DragResult result;
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), uriList);
        const QPoint at(100, 200);
        QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&win(), &enter);
        if (!enter.isAccepted())
            return result;
        result.answers.push_back(enter.dropAction());
        QDragMoveEvent move(at + QPoint(5, 5), offered, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&win(), &move);
        if (!move.isAccepted())
            return result;
        result.answers.push_back(move.dropAction());
        QDropEvent dropped(QPointF(at), offered, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&win(), &dropped);
        QCoreApplication::processEvents(); // the drop is added once it is over
        result.taken = dropped.isAccepted();
        result.answers.push_back(dropped.dropAction());
        return result;
    }
    // Drags the URI list over the window and drops it as a copy; whether the window took it.
    bool drop(const QByteArray& uriList) { return drag(uriList, Qt::CopyAction).taken; }
    static QByteArray url(const std::string& path)
    {
        return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
    }

    TempDir dir;
};

TEST_F(Drops, ContactFilesAndFoldersAreAddedAsTheAddCommandsAddThem)
{
    writeFile(dir / "b.contact", "");
    writeFile(dir / "a.CONTACT", "");
    writeFile(dir / "notes.txt", "");
    writeFile(dir / "folder/x.contact", "");
    writeFile(dir / "folder/y.txt", "");
    writeFile(dir / "folder/sub/z.contact", "");
    writeFile(dir / "plain/readme.txt", "");
    const struct
    {
        const char* name;
        QByteArray uriList;
        bool taken;
        Rows rows;
        std::vector<std::string> found;
        bool convert;
    } cases[] = {
        {"files, in the drop's order",
         url(dir / "b.contact") + "\r\n" + url(dir / "a.CONTACT") + "\r\n",
         true,
         {dir / "b.contact", dir / "a.CONTACT"},
         {},
         true},
        {"a folder is scanned without the chooser",
         url(dir / "folder") + "\r\n",
         true,
         {dir / "folder/x.contact", dir / "folder/sub/z.contact"},
         {"2"},
         true},
        {"a folder without .contact files", url(dir / "plain") + "\r\n", true, {""}, {"0"}, false},
        {"a file that is no .contact file is refused",
         url(dir / "notes.txt") + "\r\n",
         false,
         {""},
         {},
         false},
        {"only the .contact files of a mixed drop",
         url(dir / "notes.txt") + "\r\n# a comment\r\n" + url(dir / "b.contact") + "\r\n" +
             "https://example.com/c.contact\r\n",
         true,
         {dir / "b.contact"},
         {},
         true},
        {"files before a folder go first",
         url(dir / "a.CONTACT") + "\r\n" + url(dir / "folder") + "\r\n",
         true,
         {dir / "a.CONTACT", dir / "folder/x.contact", dir / "folder/sub/z.contact"},
         {"2"},
         true},
        {"a file that is not there", url(dir / "gone.contact") + "\r\n", false, {""}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeWindow();
        boxes.shown.clear();
        EXPECT_EQ(drop(c.uriList), c.taken);
        EXPECT_EQ(rows(), c.rows);
        std::vector<Message> expected;
        for (const std::string& count : c.found)
            expected.push_back(okMessage((count + " Email Messages Found.").c_str()));
        expectMessages(boxes.shown, expected);
        EXPECT_EQ(convertEnabled(), c.convert);
        EXPECT_TRUE(chooser.titles.empty());
    }
}

// The files are only read, so a drop is always taken as a copy: a drop answered as a move
// tells the source to delete its files once the drop is over.
TEST_F(Drops, AreTakenAsCopiesNeverAsMoves)
{
    writeFile(dir / "a.contact", "");
    const auto copy = Qt::CopyAction;
    const struct
    {
        const char* name;
        Qt::DropActions offered;
        Qt::KeyboardModifiers modifiers;
        bool taken;
    } cases[] = {
        {"a copy", Qt::CopyAction, Qt::NoModifier, true},
        {"copy or move, the user asking for a move (Shift)", Qt::CopyAction | Qt::MoveAction,
         Qt::ShiftModifier, true},
        {"copy or link, the user asking for a link", Qt::CopyAction | Qt::LinkAction,
         Qt::ControlModifier | Qt::ShiftModifier, true},
        {"a source that can only move", Qt::MoveAction, Qt::NoModifier, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeWindow();
        const DragResult result = drag(url(dir / "a.contact"), c.offered, c.modifiers);
        EXPECT_EQ(result.taken, c.taken);
        if (c.taken) {
            EXPECT_EQ(result.answers, (std::vector<Qt::DropAction>{copy, copy, copy}));
        }
        EXPECT_EQ(rows(), c.taken ? Rows{dir / "a.contact"} : Rows{""});
    }
}

TEST_F(Drops, RefusedWhileAnAddIsUnderWay)
{
    writeFile(dir / "a.contact", "");
    bool takenWhileBusy = true;
    dialog.onOpen = [&] { takenWhileBusy = drop(url(dir / "a.contact")); };
    dialog.answers.push_back([] { return QStringList(); });
    win().cmdAdd_Click();
    EXPECT_FALSE(takenWhileBusy);
    EXPECT_EQ(rows(), Rows{""});
    EXPECT_TRUE(drop(url(dir / "a.contact")));
    EXPECT_EQ(rows(), Rows{dir / "a.contact"});
}

// ---------------------------------------------------------------------------------------
// Names that are not valid UTF-8 keep their bytes on every way into the list.

TEST_F(Drops, ANameThatIsNotUtf8KeepsItsBytesOnEveryWayIn)
{
    const std::string folder = dir / "Kontakte \xFF";
    const std::string file = folder + "/Zo\xEB Ba\xEF.contact";
    writeFile(file, "");
    const QString lossy = q(file);
    ASSERT_TRUE(lossy.contains(QChar(0xFFFD))); // Qt cannot name it

    // The file dialog hands back Qt's name for it.
    dialog.answers.push_back([&] { return QStringList{lossy}; });
    win().cmdAdd_Click();
    // The folder command walks the disk by its bytes.
    chooser.answers.push_back(q(folder));
    win().CmdAddFolder_Click();
    // A drop carries the bytes percent-encoded.
    EXPECT_TRUE(drop(url(file)));

    EXPECT_EQ(rows(), (Rows{file, file, file}));
    EXPECT_EQ(shownRows(), (QStringList{lossy, lossy, lossy}));
    expectMessages(boxes.shown, {okMessage("1 Email Messages Found.")});
}

} // namespace
} // namespace tressimo::app::testing
