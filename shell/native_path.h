#pragma once
// File names between Qt and the rest of the program. Qt names files with QString, and on
// this platform decodes a name that is not valid UTF-8 lossily (each bad byte becomes
// U+FFFD), so a name that went through Qt may no longer name the file. The file list keeps
// the system's own bytes; these helpers turn one into the other without losing a file.

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace tressimo::shell {

// The system's bytes for a path Qt gave us. When Qt's plain encoding names nothing on disk,
// each missing component is looked up among its folder's entries by the name Qt would show
// for it, which recovers names that are not valid UTF-8. Two entries Qt shows alike (say
// "\xFF.contact" and "\xFE.contact") cannot be told apart; the first in byte order wins. A
// path that names nothing on disk at all comes back in Qt's plain encoding.
std::string nativePathOf(const QString& path);

// The text shown for a path: the decoded name, with U+FFFD standing in for bytes that are
// not valid UTF-8. For display only; never use it to open the file.
QString displayTextOf(std::string_view path);

// A file URL naming exactly these bytes ("file:///home/ann/a%FF.contact"). A relative path is
// taken from the current folder.
QByteArray fileUrlOf(std::string_view path);

} // namespace tressimo::shell
