#pragma once
// The encoding of a .contact file and the bytes pugixml is given for it, with pugixml's byte
// offsets traced back to the file's own bytes.

#include "text/single_byte.h"

#include <cstddef>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace tressimo::contacts {

// pugixml detects UTF-8, UTF-16 and UTF-32 itself (a byte order mark or the first bytes'
// pattern). An 8-bit file whose declaration names a single-byte encoding (Windows-125x,
// ISO-8859-x, KOI8-R, ...) is decoded here into a UTF-8 copy for pugixml, as Windows' own XML
// parser reads it; the file's bytes stay for offsets. A declaration naming an encoding that is
// neither Unicode, ASCII nor a single-byte one is refused: guessing would lose its letters.
class DocumentBytes
{
public:
    explicit DocumentBytes(std::vector<char> bytes);

    // Why the bytes cannot be read (`Unsupported encoding "x"`, with errorOffset() the byte
    // where the name stands), or empty.
    const std::string& error() const { return m_error; }
    std::ptrdiff_t errorOffset() const { return m_errorOffset; }

    // What pugixml parses in place, and in which encoding.
    std::vector<char>& parserBytes() { return m_parserBytes; }
    pugi::xml_encoding parserEncoding() const { return m_singleByte ? pugi::encoding_utf8 : pugi::encoding_auto; }

    // The size of the file's bytes.
    std::size_t fileSize() const { return m_fileSize; }
    // True when the file holds a byte order mark and nothing else (a file saved empty as
    // Unicode), which pugixml would take for text outside the document element.
    bool byteOrderMarkOnly() const { return m_byteOrderMarkOnly; }
    // Where an offset pugixml reports, counted in its UTF-8 copy of input it took to be in
    // `detected`, lies in the file's bytes. (pugixml parses UTF-8 in place, which keeps its
    // offsets, and converts any other input into a buffer of its own, which leaves the bytes
    // here as the file holds them.)
    std::ptrdiff_t fileOffset(std::ptrdiff_t parserOffset, pugi::xml_encoding detected) const;

    void release();

private:
    std::vector<char> m_parserBytes;
    // The file's bytes when m_parserBytes is a decoded copy.
    std::vector<char> m_original;
    const text::ByteCodePoints* m_singleByte = nullptr;
    std::size_t m_fileSize = 0;
    bool m_byteOrderMarkOnly = false;
    std::string m_error;
    std::ptrdiff_t m_errorOffset = -1;
};

} // namespace tressimo::contacts
