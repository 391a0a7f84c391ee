// The window as it opens: every control shown whole and uncovered, with its caption and font;
// the empty list, the focus order, the access keys, Help, Exit and the close box.

#include "tests/app/app_test_support.h"

#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTableView>
#include <QTest>

namespace tressimo::app::testing {
namespace {

using StartUp = WindowTest;

TEST_F(StartUp, EveryControlIsShownWholeUncoveredInTheWindowsFontInTheFocusOrderAndTheListIsEmpty)
{
    win().show();
    const QFont font = win().font();
    std::vector<const QWidget*> placed;
    for (const QWidget* w : win().findChildren<QWidget*>()) {
        EXPECT_EQ(w->font(), font) << w->objectName().toStdString();
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith("qt_") || !w->parentWidget() || w->isWindow())
            continue;
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(w->isVisible());
        // The footer band and the banner run to the window's edges; the status line is clipped.
        if (name == "Shape1" || name == "Picture3" || name == "Image1" || name == "LblProgessCurrent" ||
            w->parentWidget() != &win())
            continue;
        EXPECT_TRUE(QRect(QPoint(), w->parentWidget()->size()).contains(w->geometry()));
        if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QLabel*>(w) || name == "grdFiles1" ||
            name == "ProgressBar1")
            placed.push_back(w);
    }
    EXPECT_GE(placed.size(), 9u);
    for (const QWidget* a : placed) // a command covers nothing and nothing covers it
        for (const QWidget* b : placed)
            EXPECT_TRUE(a == b || !qobject_cast<const QPushButton*>(a) ||
                        !a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " and " << b->objectName().toStdString();
    QStringList captions; // the title and the size are checked on a real X server
    for (const char* name : kCommands)
        captions << button(name)->text();
    EXPECT_EQ(captions.join('|'),
              "Add .contact file(s)...|Add folder having .contact file(s)...|Clear file(s)...|"
              "Convert|&Help Manual|E&xit");
    EXPECT_EQ(win().minimumSize(), win().maximumSize());

    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.weight(), QFont::Normal);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Tahoma" || family == "DejaVu Sans") << family.toStdString();
    // With the substitute narrowed to Tahoma's widths, the bar's caption is not cut.
    const QLabel* caption = win().controls().Label1;
    EXPECT_LE(caption->fontMetrics().horizontalAdvance("Conversion Progress :"), caption->width());

    const QProgressBar* bar = win().controls().ProgressBar1;
    EXPECT_EQ(std::pair(bar->minimum(), bar->maximum()), std::pair(0, 100));
    EXPECT_LT(bar->value(), bar->minimum()); // empty: no value yet

    // Tab walks the commands in the window's order and back round.
    button("CmdExtractDBX")->setEnabled(true); // as adding files does: a disabled button takes no focus
    showActive();
    button("cmdAdd")->setFocus();
    for (const char* next :
         {"cmdClear1", "CmdAddFolder", "grdFiles1", "CmdExtractDBX", "cmdEnd", "CmdHelp", "cmdAdd"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

// Exit (click or Alt+X) asks first; the close box never asks.
TEST_F(StartUp, ExitAsksFirstAndTheCloseBoxNever)
{
    // How, the answer to the question, whether the window closes.
    const std::tuple<std::string, MessageAnswer, bool> cases[] = {{"click", MessageAnswer::Yes, true},
                                                                  {"click", MessageAnswer::No, false},
                                                                  {"Alt+X", MessageAnswer::Yes, true},
                                                                  {"close box", MessageAnswer::No, true}};
    for (const auto& [how, answer, closed] : cases) {
        SCOPED_TRACE(how + (closed ? " closes" : " stays"));
        makeWindow();
        showActive();
        boxes.answers = {answer};
        if (how == "click") {
            QTest::mouseClick(button("cmdEnd"), Qt::LeftButton);
        } else if (how == "Alt+X") { // an access key presses its button with a short animation
            QTest::keyClick(&win(), Qt::Key_X, Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 1000));
        } else {
            win().close();
        }
        EXPECT_EQ(boxes.log(),
                  how == "close box" ? Rows{} : Rows{"Tressimo|Q?|Are you sure you want to exit now?"});
        EXPECT_EQ(win().isVisible(), !closed);
        EXPECT_EQ(programEnded, closed ? 1 : 0);
    }
}

TEST_F(StartUp, HelpOpensTheManualShippedWithTheProgram)
{
    showActive();
    QTest::mouseClick(button("CmdHelp"), Qt::LeftButton);
    EXPECT_EQ(opener.opened, std::vector{QUrl::fromLocalFile(TRESSIMO_SOURCE_DIR "/docs/manual.html")});
}

} // namespace
} // namespace tressimo::app::testing
