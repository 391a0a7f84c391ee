#include "app/window_services.h"

#include "shell/native_path.h"
#include "window/window_logic.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tressimo::app {

namespace {

class DesktopMessageBoxes : public MessageBoxes
{
public:
    MessageAnswer show(QWidget* parent, const Message& message) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(QString::fromStdString(message.title));
        // Messages break their lines with CR LF, as Windows message boxes take them; Qt's
        // labels break at LF alone.
        box.setText(shell::displayTextOf(message.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        box.setTextFormat(Qt::PlainText);
        switch (message.icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        }
        if (message.buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        // A command showing a box under its wait cursor still waits for the user: show the
        // arrow until the box is answered.
        const bool waiting = QApplication::overrideCursor() != nullptr;
        if (waiting)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        const int pressed = box.exec();
        if (waiting)
            QApplication::restoreOverrideCursor();
        if (message.buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
};

class DesktopFileOpenDialog : public FileOpenDialog
{
public:
    QStringList getOpenFileNames(QWidget* parent, const QString& filter) override
    {
        // No folder or name preselected, as the dialog opens afresh each time.
        return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
    }
};

} // namespace

MessageBoxes& desktopMessageBoxes()
{
    static DesktopMessageBoxes boxes;
    return boxes;
}

FileOpenDialog& desktopFileOpenDialog()
{
    static DesktopFileOpenDialog dialog;
    return dialog;
}

std::string findManual(const QString& programFolder)
{
    return window::findManual(shell::nativePathOf(programFolder));
}

WindowServices WindowServices::desktop()
{
    WindowServices services;
    services.messageBoxes = &desktopMessageBoxes();
    services.fileOpenDialog = &desktopFileOpenDialog();
    services.folderChooser = &shell::desktopFolderChooser();
    services.documentOpener = &shell::desktopDocumentOpener();
    services.fileSystem = std::make_shared<filelist::DiskFileSystem>();
    services.manualPath = findManual(QCoreApplication::applicationDirPath());
    services.endProgram = [] { QCoreApplication::quit(); };
    services.createSession = [] { return mapi::createSession(); };
    return services;
}

} // namespace tressimo::app
