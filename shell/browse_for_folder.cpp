#include "shell/browse_for_folder.h"

#include "shell/native_path.h"

#include <QFileDialog>
#include <exception>

namespace tressimo::shell {

namespace {

class DesktopFolderChooser : public FolderChooser
{
public:
    QString chooseFolder(QWidget* owner, const QString& title) override
    {
        return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    }
};

} // namespace

FolderChooser& desktopFolderChooser()
{
    static DesktopFolderChooser chooser;
    return chooser;
}

std::string BrowseForFolder(QWidget* owner, std::string_view title, FolderChooser& chooser)
{
    try {
        const QString chosen = chooser.chooseFolder(
            owner, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
        if (chosen.isEmpty())
            return {};
        return nativePathOf(chosen);
    } catch (const std::exception&) {
        // The chooser's failure is the same to the caller as a cancel: no folder.
        return {};
    }
}

} // namespace tressimo::shell
