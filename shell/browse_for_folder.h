#pragma once
// The desktop's folder chooser.

#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace tressimo::shell {

// What asks the user for a folder; tests answer in its place.
class FolderChooser
{
public:
    virtual ~FolderChooser() = default;
    // The chosen folder as Qt names it, or an empty text when the user cancelled. Modal.
    virtual QString chooseFolder(QWidget* owner, const QString& title) = 0;
};

// QFileDialog's folder chooser (the desktop's own where the platform offers one), folders only.
FolderChooser& desktopFolderChooser();

// Asks for a folder with the title and returns its path as the system's bytes (nativePathOf),
// or an empty text on cancel and on any failure of the chooser. No separator is added or removed: the root
// comes back as "/", any other folder without a trailing separator.
std::string BrowseForFolder(QWidget* owner, std::string_view title,
                            FolderChooser& chooser = desktopFolderChooser());

} // namespace tressimo::shell
