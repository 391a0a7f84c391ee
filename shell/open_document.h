#pragma once
// Opening a document or a web address with the desktop's default application.

#include <QUrl>
#include <string_view>

namespace tressimo::shell {

// What hands an address to the desktop; tests put a recorder in its place.
class DocumentOpener
{
public:
    virtual ~DocumentOpener() = default;
    // False when the desktop could not open it; OpenDocument does not look.
    virtual bool openUrl(const QUrl& url) = 0;
};

// QDesktopServices: the desktop's default application for the address.
DocumentOpener& desktopDocumentOpener();

// The address for a document text. A text that starts with a URL scheme of two or more
// letters ("https://...", "file:///...", "mailto:...") is an address as it stands; anything
// else is a file path, taken byte for byte (fileUrlOf).
QUrl documentUrl(std::string_view document);

// Opens the document or address with the desktop's default application and does not wait
// for it. Empty text does nothing; a failure is not reported (the desktop shows its own).
void OpenDocument(std::string_view document, DocumentOpener& opener = desktopDocumentOpener());

} // namespace tressimo::shell
