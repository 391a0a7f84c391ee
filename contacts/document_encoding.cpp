#include "contacts/document_encoding.h"

#include "text/ascii.h"
#include "text/utf.h"

#include <stdexcept>
#include <string_view>

namespace tressimo::contacts {

namespace {

// The encoding named by the declaration at the very start of an 8-bit document
// (<?xml version="1.0" encoding="..."?>), or empty when there is none.
std::string_view declaredEncoding(const std::vector<char>& bytes)
{
    const std::string_view text(bytes.data(), bytes.size());
    if (!text.starts_with("<?xml") || text.size() < 6 || !text::isWhitespace(text[5]))
        return {};
    const std::string_view declaration = text.substr(0, text.find("?>"));
    auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at += 8;
    while (at < declaration.size() && text::isWhitespace(declaration[at]))
        ++at;
    if (at >= declaration.size() || declaration[at] != '=')
        return {};
    ++at;
    while (at < declaration.size() && text::isWhitespace(declaration[at]))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const char quote = declaration[at++];
    const auto end = declaration.find(quote, at);
    if (end == std::string_view::npos)
        return {};
    return declaration.substr(at, end - at);
}

// Names under which pugixml's own detection reads the bytes as they are: the Unicode forms
// (an 8-bit file that names one is read as UTF-8) and ASCII, a subset of UTF-8.
bool isReadAsIs(std::string_view name)
{
    using text::equalsIgnoringAsciiCase, text::startsWithIgnoringAsciiCase;
    return startsWithIgnoringAsciiCase(name, "utf") || startsWithIgnoringAsciiCase(name, "ucs") ||
           equalsIgnoringAsciiCase(name, "unicode") || equalsIgnoringAsciiCase(name, "us-ascii") ||
           equalsIgnoringAsciiCase(name, "ascii");
}

bool isByteOrderMarkOnly(const std::vector<char>& bytes)
{
    using namespace std::string_view_literals;
    const std::string_view text(bytes.data(), bytes.size());
    return text == "\xEF\xBB\xBF"sv || text == "\xFF\xFE"sv || text == "\xFE\xFF"sv || text == "\xFF\xFE\0\0"sv ||
           text == "\0\0\xFE\xFF"sv;
}

} // namespace

DocumentBytes::DocumentBytes(std::vector<char> bytes)
    : m_fileSize(bytes.size()), m_byteOrderMarkOnly(isByteOrderMarkOnly(bytes))
{
    const std::string_view name = declaredEncoding(bytes);
    if (!name.empty() && !isReadAsIs(name)) {
        try {
            m_singleByte = text::singleByteEncoding(name);
            if (!m_singleByte)
                m_error = "Unsupported encoding \"" + std::string(name) + "\"";
        } catch (const std::runtime_error& error) {
            m_error = "Cannot decode: " + std::string(error.what());
        }
        if (!m_error.empty()) {
            m_errorOffset = name.data() - bytes.data();
            return;
        }
        const std::string decoded = text::decodeSingleByte(*m_singleByte, {bytes.data(), bytes.size()});
        m_parserBytes.assign(decoded.begin(), decoded.end());
        m_original = std::move(bytes);
        return;
    }
    m_parserBytes = std::move(bytes);
}

void DocumentBytes::release()
{
    m_parserBytes = {};
    m_original = {};
}

std::ptrdiff_t DocumentBytes::fileOffset(std::ptrdiff_t parserOffset, pugi::xml_encoding detected) const
{
    const std::vector<char>& bytes = m_singleByte ? m_original : m_parserBytes;
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::size_t target = parserOffset < 0 ? 0 : static_cast<std::size_t>(parserOffset);
    std::size_t converted = 0;
    std::size_t at = 0;

    if (m_singleByte) {
        while (converted < target && at < bytes.size())
            converted += text::utf8Length((*m_singleByte)[byteAt(at++)]);
        return static_cast<std::ptrdiff_t>(at);
    }
    switch (detected) {
    case pugi::encoding_utf16_le:
    case pugi::encoding_utf16_be: {
        const bool le = detected == pugi::encoding_utf16_le;
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
                converted += text::utf8Length(unit);
            at += 2;
        }
        return static_cast<std::ptrdiff_t>(at);
    }
    case pugi::encoding_utf32_le:
    case pugi::encoding_utf32_be: {
        const bool le = detected == pugi::encoding_utf32_le;
        while (converted < target && at + 3 < bytes.size()) {
            const std::uint32_t value = le ? byteAt(at) | byteAt(at + 1) << 8 | byteAt(at + 2) << 16 | byteAt(at + 3) << 24
                                           : byteAt(at) << 24 | byteAt(at + 1) << 16 | byteAt(at + 2) << 8 | byteAt(at + 3);
            converted += text::utf8Length(value);
            at += 4;
        }
        return static_cast<std::ptrdiff_t>(at);
    }
    default:
        // UTF-8 is parsed in place: the offset already counts the file's bytes.
        return parserOffset;
    }
}

} // namespace tressimo::contacts
