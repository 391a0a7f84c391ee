#pragma once
// Loading a .contact file into pugixml's DOM, with a reason a user can act on when it fails.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace tressimo::contacts {

// One parsed document, or the reason there is none. Parsed with pugixml's default options
// (white-space-only text dropped, CDATA kept as its own node type, entities decoded), its
// encoding taken from a byte order mark or the first bytes' pattern (UTF-8, UTF-16 LE/BE,
// UTF-32) and, for 8-bit input, from the declaration only when it names Latin-1 or
// Windows-1252; every other 8-bit input is read as UTF-8.
class ContactDocument
{
public:
    // Reads the file by its path's own bytes (never converted) and parses it.
    static ContactDocument load(const std::filesystem::path& path);
    // Parses bytes already in memory; `name` stands for them in the error message.
    static ContactDocument parse(std::vector<char> bytes, std::string_view name);

    bool loaded() const { return m_loaded; }
    // Why it did not load, e.g. `Error parsing "a.contact": Start-end tags mismatch at byte 412`;
    // empty when it loaded.
    const std::string& error() const { return m_error; }
    const pugi::xml_document& document() const { return m_document; }

private:
    ContactDocument() = default;

    // pugixml parses in place; the buffer lives as long as the document (declared first, so
    // it is destroyed last).
    std::vector<char> m_bytes;
    pugi::xml_document m_document;
    std::string m_error;
    bool m_loaded = false;
};

inline ContactDocument loadContactDocument(const std::filesystem::path& path)
{
    return ContactDocument::load(path);
}

// A path as text for messages: its bytes as they are on this platform, UTF-8 on Windows.
std::string pathText(const std::filesystem::path& path);

// Where pugixml's error offset, counted in its UTF-8 copy of a converted input, lies in the
// original bytes. Exposed for tests.
std::ptrdiff_t originalByteOffset(const std::vector<char>& bytes, pugi::xml_encoding encoding,
                                  std::ptrdiff_t convertedOffset);

} // namespace tressimo::contacts
