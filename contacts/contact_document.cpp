#include "contacts/contact_document.h"
#include "platform/path_text.h"

#include <cerrno>
#include <cstdio>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cstring>
#include <memory>
#include <new>
#include <system_error>

namespace tressimo::contacts {

namespace {

std::string osReason(int error)
{
    return std::generic_category().message(error);
}

std::string cannotRead(const std::filesystem::path& path, std::string_view reason)
{
    return "Cannot read \"" + pathText(path) + "\": " + std::string(reason);
}

#ifdef _WIN32
struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file; on failure returns the reason.
std::string readWholeFile(const std::filesystem::path& path, std::vector<char>& bytes)
{
    // Windows refuses to open a folder with "Permission denied"; say what it is instead.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return cannotRead(path, osReason(EISDIR));
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(path.c_str(), L"rb"));
    if (!file)
        return "Cannot open \"" + pathText(path) + "\": " + osReason(errno ? errno : EIO);
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + kChunk);
        errno = 0;
        const std::size_t got = std::fread(bytes.data() + used, 1, kChunk, file.get());
        bytes.resize(used + got);
        if (got < kChunk) {
            if (std::ferror(file.get()))
                return cannotRead(path, osReason(errno ? errno : EIO));
            return {};
        }
    }
}
#else
struct FdCloser
{
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Reads the whole file; on failure returns the reason. Only regular files are read: a FIFO or
// a device named like a contact would block the run or never end, so the open does not wait
// and anything else is refused.
std::string readWholeFile(const std::filesystem::path& path, std::vector<char>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "Cannot open \"" + pathText(path) + "\": " + osReason(errno);
    const FdCloser closer{fd};
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        return cannotRead(path, osReason(errno));
    if (S_ISDIR(status.st_mode))
        return cannotRead(path, osReason(EISDIR));
    if (!S_ISREG(status.st_mode))
        return cannotRead(path, "not a regular file");

    // Sized to the file, with room to notice that it grew while being read.
    std::size_t used = 0;
    bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            bytes.clear();
            return cannotRead(path, osReason(error));
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return {};
}
#endif

// Bytes that one character of the original takes in pugixml's UTF-8 copy.
std::size_t utf8Length(std::uint32_t codePoint)
{
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

// The encoding named by the declaration at the very start of an 8-bit document
// (<?xml version="1.0" encoding="..."?>), or empty when there is none.
std::string_view declaredEncoding(const std::vector<char>& bytes)
{
    const std::string_view text(bytes.data(), bytes.size());
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    if (!text.starts_with("<?xml") || text.size() < 6 || !isSpace(text[5]))
        return {};
    const std::string_view declaration = text.substr(0, text.find("?>"));
    auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at += 8;
    while (at < declaration.size() && isSpace(declaration[at]))
        ++at;
    if (at >= declaration.size() || declaration[at] != '=')
        return {};
    ++at;
    while (at < declaration.size() && isSpace(declaration[at]))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const char quote = declaration[at++];
    const auto end = declaration.find(quote, at);
    if (end == std::string_view::npos)
        return {};
    return declaration.substr(at, end - at);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Windows' own 8-bit code page, which pugixml does not know: files saved by Windows tools
// with that declaration would otherwise lose every accented letter. Bytes 0x80 to 0x9F hold
// the typographic characters; the five unassigned ones pass through as the C1 controls, as
// Windows converts them.
bool isWindows1252(std::string_view encoding)
{
    return equalsIgnoringAsciiCase(encoding, "windows-1252") || equalsIgnoringAsciiCase(encoding, "cp1252");
}

std::uint32_t windows1252CodePoint(unsigned char byte)
{
    static constexpr std::uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

std::vector<char> utf8FromWindows1252(const std::vector<char>& bytes)
{
    std::vector<char> out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const std::uint32_t cp = windows1252CodePoint(static_cast<unsigned char>(c));
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | cp >> 6));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | cp >> 12));
            out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// A file saved empty as Unicode holds nothing but its byte order mark, which pugixml would
// take for text outside the document element (too short for it to see the encoding).
bool isByteOrderMarkOnly(const std::vector<char>& bytes)
{
    using namespace std::string_view_literals;
    const std::string_view text(bytes.data(), bytes.size());
    return text == "\xEF\xBB\xBF"sv || text == "\xFF\xFE"sv || text == "\xFE\xFF"sv || text == "\xFF\xFE\0\0"sv ||
           text == "\0\0\xFE\xFF"sv;
}

// Where an offset into the UTF-8 copy of a Windows-1252 document lies in the original.
std::ptrdiff_t windows1252ByteOffset(const std::vector<char>& original, std::ptrdiff_t convertedOffset)
{
    const std::size_t target = convertedOffset < 0 ? 0 : static_cast<std::size_t>(convertedOffset);
    std::size_t converted = 0;
    std::size_t at = 0;
    while (converted < target && at < original.size())
        converted += utf8Length(windows1252CodePoint(static_cast<unsigned char>(original[at++])));
    return static_cast<std::ptrdiff_t>(at);
}

} // namespace

std::string pathText(const std::filesystem::path& path)
{
    return platform::textOfPath(path);
}

std::ptrdiff_t originalByteOffset(const std::vector<char>& bytes, pugi::xml_encoding encoding,
                                  std::ptrdiff_t convertedOffset)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::size_t target = convertedOffset < 0 ? 0 : static_cast<std::size_t>(convertedOffset);
    std::size_t converted = 0;
    std::size_t at = 0;

    switch (encoding) {
    case pugi::encoding_utf16_le:
    case pugi::encoding_utf16_be: {
        const bool le = encoding == pugi::encoding_utf16_le;
        const auto unitAt = [&](std::size_t i) {
            return le ? byteAt(i) | byteAt(i + 1) << 8 : byteAt(i) << 8 | byteAt(i + 1);
        };
        while (converted < target && at + 1 < bytes.size()) {
            const std::uint32_t unit = unitAt(at);
            if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
                const std::uint32_t next = unitAt(at + 2);
                if (next >= 0xDC00 && next < 0xE000) {
                    converted += 4;
                    at += 4;
                    continue;
                }
            }
            // pugixml drops a surrogate without its partner.
            if (unit < 0xD800 || unit >= 0xE000)
                converted += utf8Length(unit);
            at += 2;
        }
        return static_cast<std::ptrdiff_t>(at);
    }
    case pugi::encoding_utf32_le:
    case pugi::encoding_utf32_be: {
        const bool le = encoding == pugi::encoding_utf32_le;
        while (converted < target && at + 3 < bytes.size()) {
            const std::uint32_t value = le ? byteAt(at) | byteAt(at + 1) << 8 | byteAt(at + 2) << 16 | byteAt(at + 3) << 24
                                           : byteAt(at) << 24 | byteAt(at + 1) << 16 | byteAt(at + 2) << 8 | byteAt(at + 3);
            converted += utf8Length(value);
            at += 4;
        }
        return static_cast<std::ptrdiff_t>(at);
    }
    case pugi::encoding_latin1:
        while (converted < target && at < bytes.size())
            converted += utf8Length(byteAt(at++));
        return static_cast<std::ptrdiff_t>(at);
    default:
        // UTF-8 is parsed in place: the offset already counts the file's bytes.
        return convertedOffset;
    }
}

ContactDocument ContactDocument::load(const std::filesystem::path& path)
{
    std::vector<char> bytes;
    std::string failure;
    try {
        failure = readWholeFile(path, bytes);
    } catch (const std::bad_alloc&) {
        failure = "Cannot read \"" + pathText(path) + "\": the file is too large for the memory available";
    }
    if (!failure.empty()) {
        ContactDocument document;
        document.m_error = std::move(failure);
        return document;
    }
    return parse(std::move(bytes), pathText(path));
}

ContactDocument ContactDocument::parse(std::vector<char> bytes, std::string_view name)
{
    ContactDocument document;
    // A Windows-1252 document is parsed from a UTF-8 copy; the original stays for offsets.
    std::vector<char> windows1252Original;
    const bool fromWindows1252 = isWindows1252(declaredEncoding(bytes));
    if (fromWindows1252) {
        document.m_bytes = utf8FromWindows1252(bytes);
        windows1252Original = std::move(bytes);
    } else {
        document.m_bytes = std::move(bytes);
    }
    const std::size_t originalSize = fromWindows1252 ? windows1252Original.size() : document.m_bytes.size();
    // Looked at before pugixml parses the bytes in place.
    const bool byteOrderMarkOnly = isByteOrderMarkOnly(document.m_bytes);
    // pugixml's defaults drop text outside the root element without a word, so a text file
    // holding one tag would pass as a contact. As a fragment that text stays in the tree,
    // which is otherwise the same, and the check below refuses it.
    const pugi::xml_parse_result result =
        document.m_document.load_buffer_inplace(document.m_bytes.data(), document.m_bytes.size(),
                                                pugi::parse_default | pugi::parse_fragment,
                                                fromWindows1252 ? pugi::encoding_utf8 : pugi::encoding_auto);

    // `offset` counts in pugixml's buffer unless `inOriginal`.
    const auto fail = [&](std::string_view description, std::ptrdiff_t offset, bool inOriginal = false) {
        // pugixml converts other encodings into a copy of its own and counts offsets there;
        // the bytes read stay as they were, so an offset can be traced back through them.
        if (!inOriginal && fromWindows1252)
            offset = windows1252ByteOffset(windows1252Original, offset);
        else if (!inOriginal && result.encoding != pugi::encoding_utf8)
            offset = originalByteOffset(document.m_bytes, result.encoding, offset);
        document.m_error = "Error parsing \"" + std::string(name) + "\": " + std::string(description);
        if (offset >= 0)
            document.m_error += " at byte " + std::to_string(offset);
        document.m_document.reset();
        document.m_bytes = {};
    };

    if (byteOrderMarkOnly) {
        pugi::xml_parse_result noRoot;
        noRoot.status = pugi::status_no_document_element;
        fail(noRoot.description(), static_cast<std::ptrdiff_t>(originalSize), true);
        return document;
    }
    if (!result) {
        fail(result.description(), result.offset);
        return document;
    }
    pugi::xml_node root;
    for (const pugi::xml_node node : document.m_document.children()) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            fail("Text outside the document element", node.offset_debug());
            return document;
        }
        if (node.type() == pugi::node_element) {
            if (root) {
                fail("More than one document element", node.offset_debug());
                return document;
            }
            root = node;
        }
    }
    if (!root) {
        pugi::xml_parse_result noRoot;
        noRoot.status = pugi::status_no_document_element;
        fail(noRoot.description(), static_cast<std::ptrdiff_t>(originalSize), true);
        return document;
    }
    document.m_loaded = true;
    return document;
}

} // namespace tressimo::contacts
