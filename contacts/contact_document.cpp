#include "contacts/contact_document.h"

#include "platform/path_text.h"

namespace tressimo::contacts {

ContactDocument ContactDocument::load(const std::filesystem::path& path)
{
    OpenedContactFile file(path);
    return load(file);
}

ContactDocument ContactDocument::load(OpenedContactFile& file)
{
    std::vector<char> bytes;
    std::string failure = file.read(bytes);
    if (!failure.empty()) {
        ContactDocument document({});
        document.m_error = std::move(failure);
        return document;
    }
    return parse(std::move(bytes), platform::textOfPath(file.path()));
}

ContactDocument ContactDocument::parse(std::vector<char> bytes, std::string_view name)
{
    ContactDocument document(std::move(bytes));
    DocumentBytes& input = document.m_bytes;
    pugi::xml_parse_result result;
    // `offset` counts in pugixml's buffer unless `inFile`.
    const auto fail = [&](std::string_view description, std::ptrdiff_t offset, bool inFile = false) {
        if (!inFile)
            offset = input.fileOffset(offset, result.encoding);
        document.m_error = "Error parsing \"" + std::string(name) + "\": " + std::string(description);
        if (offset >= 0)
            document.m_error += " at byte " + std::to_string(offset);
        document.m_document.reset();
        input.release();
    };
    const auto failNoRoot = [&] {
        pugi::xml_parse_result none;
        none.status = pugi::status_no_document_element;
        fail(none.description(), static_cast<std::ptrdiff_t>(input.fileSize()), true);
    };

    if (!input.error().empty()) {
        fail(input.error(), input.errorOffset(), true);
        return document;
    }
    // pugixml's defaults drop text outside the root element without a word, so a text file
    // holding one tag would pass as a contact. As a fragment that text stays in the tree,
    // which is otherwise the same, and the checks below refuse it.
    std::vector<char>& parsed = input.parserBytes();
    result = document.m_document.load_buffer_inplace(parsed.data(), parsed.size(),
                                                     pugi::parse_default | pugi::parse_fragment,
                                                     input.parserEncoding());
    if (input.byteOrderMarkOnly()) {
        failNoRoot();
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
        failNoRoot();
        return document;
    }
    document.m_loaded = true;
    return document;
}

} // namespace tressimo::contacts
