// The window as it opens: every control shown whole and uncovered, with its caption; the
// focus order, the access keys, Help, Exit and the close box.

#include "app/file_list_model.h"
#include "tests/app/app_test_support.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTableView>
#include <QTest>

namespace tressimo::app::testing {
namespace {

class StartUp : public WindowTest
{
};

// Not the layout table again: what a layout mistake would break. Every control is shown whole
// inside its parent, no command covers another control, and the commands say what they do.
TEST_F(StartUp, EveryControlIsShownWholeAndNoneCoversAnother)
{
    win().show();
    std::vector<const QWidget*> placed;
    for (const QWidget* w : win().findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->parentWidget() || w->isWindow())
            continue;
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->isVisible());
        const QString name = w->objectName();
        if (name == "Shape1" || name == "Picture3" || name == "Image1" || name == "LblProgessCurrent" ||
            w->parentWidget() != &win())
            continue; // the footer band and the banner run to the window's edges; the status line is clipped as designed
        EXPECT_TRUE(QRect(QPoint(), w->parentWidget()->size()).contains(w->geometry()));
        if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QLabel*>(w) || name == "grdFiles1" ||
            name == "ProgressBar1")
            placed.push_back(w);
    }
    EXPECT_GE(placed.size(), 9u);
    // A command covers nothing and is covered by nothing (texts may touch as designed).
    for (const QWidget* a : placed)
        for (const QWidget* b : placed)
            if (a != b && qobject_cast<const QPushButton*>(a)) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " and " << b->objectName().toStdString();
            }
    for (const auto& [name, text] : {std::pair{"cmdAdd", "Add .contact file(s)..."},
                                     {"CmdAddFolder", "Add folder having .contact file(s)..."},
                                     {"cmdClear1", "Clear file(s)..."}, {"CmdExtractDBX", "Convert"},
                                     {"CmdHelp", "&Help Manual"}, {"cmdEnd", "E&xit"}})
        EXPECT_EQ(button(name)->text(), QString::fromUtf8(text));
    EXPECT_EQ(win().windowTitle(), QStringLiteral("Tressimo v3.0"));
    EXPECT_EQ(win().size(), QSize(599, 498)); // 8985 x 7470 twips
    EXPECT_EQ(win().minimumSize(), win().maximumSize());
    EXPECT_FALSE(win().windowIcon().isNull());
}

TEST_F(StartUp, ListIsEmptyConvertDisabledAndTheColumnAtItsLoadWidth)
{
    EXPECT_EQ(rows(), std::vector<std::string>{""});
    EXPECT_EQ(shownRows(), QStringList{QString()});
    EXPECT_EQ(countLabel(), QStringLiteral("0 files"));
    EXPECT_EQ(commandStates(), (std::vector<bool>{true, true, true, false, true, true}));
    EXPECT_EQ(win().fileList().columnWidth(), 50000);
    const QTableView* grid = win().controls().grdFiles1;
    EXPECT_EQ(grid->columnWidth(0), 50000 / 15);
    EXPECT_EQ(grid->model()->columnCount(), 1);
    const QProgressBar* bar = win().controls().ProgressBar1;
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_LT(bar->value(), bar->minimum()); // empty: no value yet
}

TEST_F(StartUp, FontIsTahomaOrItsClosestSansSerifAt8Point25)
{
    const QFont font = win().font();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.weight(), QFont::Normal);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QStringLiteral("Tahoma") || family == QStringLiteral("DejaVu Sans"))
        << family.toStdString();
    // Every control, the grid too, draws in it.
    for (const QWidget* child : win().findChildren<QWidget*>())
        EXPECT_EQ(child->font(), font) << child->objectName().toStdString();
    // With the substitute narrowed to Tahoma's widths, the bar's caption is not cut.
    const QLabel* caption = win().controls().Label1;
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(QStringLiteral("Conversion Progress :")),
              caption->width());
}

// Tab walks the commands in the window's order, from the list commands through the grid and
// Convert to the footer, and back round.
TEST_F(StartUp, TabWalksTheFocusOrder)
{
    // A disabled button takes no focus; Convert is enabled as adding files enables it.
    button("CmdExtractDBX")->setEnabled(true);
    win().show();
    QApplication::setActiveWindow(&win());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
    button("cmdAdd")->setFocus();
    const char* order[] = {"cmdClear1", "CmdAddFolder", "grdFiles1", "CmdExtractDBX",
                           "cmdEnd",    "CmdHelp",      "cmdAdd"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

struct ExitCase
{
    const char* name;
    const char* how;
    MessageAnswer answer;
    bool asked, closed;
};

void PrintTo(const ExitCase& c, std::ostream* out)
{
    *out << c.name;
}

class ExitAndClose : public WindowTest, public ::testing::WithParamInterface<ExitCase>
{
};

TEST_P(ExitAndClose, ExitAsksFirstAndTheCloseBoxNever)
{
    const ExitCase& c = GetParam();
    win().show();
    QApplication::setActiveWindow(&win());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
    boxes.answers.push_back(c.answer);
    const std::string how = c.how;
    if (how == "click")
        QTest::mouseClick(button("cmdEnd"), Qt::LeftButton);
    else if (how == "Alt+X") {
        QTest::keyClick(&win(), Qt::Key_X, Qt::AltModifier);
        // An access key presses its button with a short animation, then clicks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 1000));
    } else
        win().close(); // the close box

    if (c.asked) {
        ASSERT_EQ(boxes.shown.size(), 1u);
        const Message& question = boxes.shown[0];
        EXPECT_EQ(question.text, QStringLiteral("Are you sure you want to exit now?"));
        EXPECT_EQ(question.title, QStringLiteral("Tressimo"));
        EXPECT_EQ(question.icon, MessageIcon::Question);
        EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    } else {
        EXPECT_TRUE(boxes.shown.empty());
    }
    EXPECT_EQ(win().isVisible(), !c.closed);
    EXPECT_EQ(programEnded, c.closed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Window, ExitAndClose,
                         ::testing::Values(ExitCase{"ExitYes", "click", MessageAnswer::Yes, true, true},
                                           ExitCase{"ExitNo", "click", MessageAnswer::No, true, false},
                                           ExitCase{"AltXYes", "Alt+X", MessageAnswer::Yes, true, true},
                                           ExitCase{"AltXNo", "Alt+X", MessageAnswer::No, true, false},
                                           ExitCase{"CloseBox", "close box", MessageAnswer::No, false, true}),
                         [](const ::testing::TestParamInfo<ExitCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StartUp, HelpOpensTheManualShippedWithTheProgram)
{
    win().show();
    QApplication::setActiveWindow(&win());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
    QTest::mouseClick(button("CmdHelp"), Qt::LeftButton);
    QTest::keyClick(&win(), Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return opener.opened.size() == 2; }, 1000));
    ASSERT_EQ(opener.opened.size(), 2u);
    for (const QUrl& url : opener.opened) {
        EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
        EXPECT_EQ(url.toLocalFile(), QStringLiteral(TRESSIMO_SOURCE_DIR "/docs/manual.html"));
    }
    EXPECT_TRUE(boxes.shown.empty());
    // The same manual's troubleshooting section is where a failed set-up points.
    EXPECT_EQ(win().helpAddress(), "file://" TRESSIMO_SOURCE_DIR "/docs/manual.html#troubleshooting");

    // Without a manual, Help opens nothing.
    manualPath.clear();
    makeWindow();
    opener.opened.clear();
    win().CmdHelp_Click();
    EXPECT_TRUE(opener.opened.empty());
}

} // namespace
} // namespace tressimo::app::testing
