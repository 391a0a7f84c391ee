#include "shell/visible_text.h"

#include "text/ascii.h"
#include "text/utf.h"

namespace tressimo::shell {

std::string visibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto escape = [&out](const char* prefix, unsigned char byte) {
        out += prefix;
        text::appendHexByte(out, byte, false);
    };
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        if (c < 0x80) {
            if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else if (c == '\t')
                out += "\\t";
            else if (c < 0x20 || c == 0x7F)
                escape("\\x", c);
            else
                out += static_cast<char>(c);
            text.remove_prefix(1);
            continue;
        }
        std::size_t length = 0;
        bool wellFormed = false;
        text::decodeUtf8At(text, length, wellFormed);
        if (!wellFormed) {
            // Each byte of the ill-formed sequence on its own.
            for (const char byte : text.substr(0, length))
                escape("\\x", static_cast<unsigned char>(byte));
            text.remove_prefix(length);
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            // U+0080..U+009F: C1 controls, which some terminals obey (U+009B starts a command).
            escape("\\u00", static_cast<unsigned char>(text[1]));
            text.remove_prefix(2);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

} // namespace tressimo::shell
