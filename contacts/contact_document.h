#pragma once
// Loading a .contact file into pugixml's DOM, with a reason a user can act on when it fails.

#include "contacts/contact_file.h"
#include "contacts/document_encoding.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace tressimo::contacts {

// One parsed document, or the reason there is none. Parsed with pugixml's default options
// (white-space-only text dropped, CDATA kept as its own node type, entities decoded), in the
// encoding DocumentBytes finds; it must hold exactly one document element and no text outside
// it.
class ContactDocument
{
public:
    // Reads the file by its path's own bytes (never converted) and parses it.
    static ContactDocument load(const std::filesystem::path& path);
    // The same for a file opened ahead, which this reads and closes.
    static ContactDocument load(OpenedContactFile& file);
    // Parses bytes already in memory; `name` stands for them in the error message.
    static ContactDocument parse(std::vector<char> bytes, std::string_view name);

    bool loaded() const { return m_loaded; }
    // Why it did not load, e.g. `Error parsing "a.contact": Start-end tags mismatch at byte 412`;
    // empty when it loaded.
    const std::string& error() const { return m_error; }
    const pugi::xml_document& document() const { return m_document; }

private:
    explicit ContactDocument(std::vector<char> bytes) : m_bytes(std::move(bytes)) {}

    // pugixml parses in place; the buffer lives as long as the document (declared first, so
    // it is destroyed last).
    DocumentBytes m_bytes;
    pugi::xml_document m_document;
    std::string m_error;
    bool m_loaded = false;
};

inline ContactDocument loadContactDocument(const std::filesystem::path& path)
{
    return ContactDocument::load(path);
}

} // namespace tressimo::contacts
