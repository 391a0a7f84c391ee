#include "shell/native_path.h"

#include "shell/file_url.h"
#include "shell/path_rules.h"
#include "text/ascii.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace tressimo::shell {

namespace {

#ifndef _WIN32
bool exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder that Qt shows as name, if any; the first in byte order when several do.
std::string entryShownAs(const std::string& folder, const QString& name)
{
    std::vector<std::string> matches;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view bytes = entry->d_name;
        if (QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))) == name)
            matches.emplace_back(bytes);
    }
    ::closedir(dir);
    if (matches.empty())
        return {};
    return *std::min_element(matches.begin(), matches.end());
}
#endif



} // namespace

std::string nativePathOf(const QString& path)
{
#ifdef _WIN32
    // Names are UTF-16 on disk and UTF-8 here: nothing is lost.
    const QByteArray encoded = path.toUtf8();
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
#else
    const QByteArray encoded = QFile::encodeName(path);
    std::string plain(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (plain.empty() || exists(plain))
        return plain;
    // Rebuild the path one component at a time, keeping the bytes of every component found.
    const QStringList parts = path.split(QLatin1Char(kPathSeparator));
    std::string rebuilt;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            rebuilt += kPathSeparator;
        const QString& part = parts[i];
        const QByteArray partBytes = QFile::encodeName(part);
        std::string candidate =
            rebuilt + std::string(partBytes.constData(), static_cast<std::size_t>(partBytes.size()));
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
            rebuilt = std::move(candidate);
            continue;
        }
        if (!exists(candidate)) {
            const std::string found = entryShownAs(rebuilt, part);
            if (found.empty())
                return plain;
            candidate = rebuilt + found;
        }
        rebuilt = std::move(candidate);
    }
    return rebuilt;
#endif
}

QString displayTextOf(std::string_view path)
{
#ifdef _WIN32
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
#else
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
#endif
}

QByteArray fileUrlOf(std::string_view path)
{
    std::string absolute(path);
    const bool hasRoot = (!absolute.empty() && absolute.front() == kPathSeparator) ||
                         (kPathsHaveDrives && absolute.size() > 1 && absolute[1] == ':');
    if (!hasRoot) {
#ifdef _WIN32
        const QByteArray current = QDir::currentPath().toUtf8();
#else
        const QByteArray current = QFile::encodeName(QDir::currentPath());
#endif
        std::string folder(current.constData(), static_cast<std::size_t>(current.size()));
        absolute = text::endingWith(std::move(folder), kPathSeparator) + absolute;
    }
    return QByteArray::fromStdString(fileUrl(absolute));
}

} // namespace tressimo::shell
