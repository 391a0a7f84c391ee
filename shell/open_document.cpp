#include "shell/open_document.h"

#include "shell/native_path.h"

#include <QDesktopServices>

namespace tressimo::shell {

namespace {

class DesktopDocumentOpener : public DocumentOpener
{
public:
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A URL scheme (RFC 3986 3.1) of two or more characters before the first ':'. One letter
// would be a drive, as in C:\Manual.html.
bool startsWithScheme(std::string_view text)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !isAsciiLetter(text.front()))
        return false;
    for (const char c : text.substr(0, colon))
        if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

} // namespace

DocumentOpener& desktopDocumentOpener()
{
    static DesktopDocumentOpener opener;
    return opener;
}

QUrl documentUrl(std::string_view document)
{
    if (document.empty())
        return {};
    if (startsWithScheme(document))
        return QUrl::fromEncoded(QByteArray(document.data(), static_cast<qsizetype>(document.size())));
    return QUrl::fromEncoded(fileUrlOf(document));
}

void OpenDocument(std::string_view document, DocumentOpener& opener)
{
    if (document.empty())
        return;
    opener.openUrl(documentUrl(document));
}

} // namespace tressimo::shell
