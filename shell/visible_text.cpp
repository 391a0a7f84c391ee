#include "shell/visible_text.h"

#include <cstdio>

namespace tressimo::shell {

namespace {

// The length of the valid UTF-8 sequence at the start of `s`, or 0 (overlong forms, surrogates
// and values past U+10FFFF are not valid).
std::size_t utf8Length(std::string_view s)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

void appendHex(std::string& out, const char* format, unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

} // namespace

std::string visibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
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
                appendHex(out, "\\x%02x", c);
            else
                out += static_cast<char>(c);
            text.remove_prefix(1);
            continue;
        }
        const std::size_t length = utf8Length(text);
        if (length == 0) {
            appendHex(out, "\\x%02x", c);
            text.remove_prefix(1);
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            // U+0080..U+009F: C1 controls, which some terminals obey (U+009B starts a command).
            appendHex(out, "\\u%04x", static_cast<unsigned char>(text[1]));
            text.remove_prefix(2);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

} // namespace tressimo::shell
