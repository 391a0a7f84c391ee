#include "text/single_byte.h"

#include "text/ascii.h"
#include "text/utf.h"

#include <mutex>
#include <optional>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <iconv.h>
#endif

namespace tressimo::text {

namespace {

struct Encoding
{
    // The names a document may declare, separated by spaces.
    std::string_view names;
    // The converter's name for it in glibc's iconv.
    const char* iconvName;
    // Windows' code page number; 0 where Windows has none.
    unsigned codePage;
};

// Adding an encoding is adding a row.
constexpr Encoding kEncodings[] = {
    {"windows-1250 x-cp1250 cp1250", "CP1250", 1250},
    {"windows-1251 x-cp1251 cp1251", "CP1251", 1251},
    {"windows-1252 x-cp1252 cp1252", "CP1252", 1252},
    {"windows-1253 cp1253", "CP1253", 1253},
    {"windows-1254 cp1254", "CP1254", 1254},
    {"windows-1255 cp1255", "CP1255", 1255},
    {"windows-1256 cp1256", "CP1256", 1256},
    {"windows-1257 cp1257", "CP1257", 1257},
    {"windows-1258 cp1258", "CP1258", 1258},
    {"windows-874 tis-620 dos-874", "CP874", 874},
    {"iso-8859-1 iso8859-1 iso_8859-1 latin1 l1", "ISO-8859-1", 28591},
    {"iso-8859-2 iso8859-2 iso_8859-2 latin2 l2", "ISO-8859-2", 28592},
    {"iso-8859-3 iso8859-3 iso_8859-3 latin3 l3", "ISO-8859-3", 28593},
    {"iso-8859-4 iso8859-4 iso_8859-4 latin4 l4", "ISO-8859-4", 28594},
    {"iso-8859-5 iso8859-5 iso_8859-5 cyrillic", "ISO-8859-5", 28595},
    {"iso-8859-6 iso8859-6 iso_8859-6 arabic", "ISO-8859-6", 28596},
    {"iso-8859-7 iso8859-7 iso_8859-7 greek", "ISO-8859-7", 28597},
    {"iso-8859-8 iso8859-8 iso_8859-8 hebrew iso-8859-8-i", "ISO-8859-8", 28598},
    {"iso-8859-9 iso8859-9 iso_8859-9 latin5 l5", "ISO-8859-9", 28599},
    {"iso-8859-10 iso8859-10 latin6", "ISO-8859-10", 0},
    {"iso-8859-11 iso8859-11", "ISO-8859-11", 874},
    {"iso-8859-13 iso8859-13 latin7", "ISO-8859-13", 28603},
    {"iso-8859-14 iso8859-14 latin8", "ISO-8859-14", 0},
    {"iso-8859-15 iso8859-15 iso_8859-15 latin-9 latin9", "ISO-8859-15", 28605},
    {"iso-8859-16 iso8859-16 latin10", "ISO-8859-16", 0},
    {"koi8-r koi8r koi8 cskoi8r", "KOI8-R", 20866},
    {"koi8-u koi8u koi8-ru", "KOI8-U", 21866},
    {"ibm437 cp437 437", "IBM437", 437},
    {"ibm737 cp737", "CP737", 737},
    {"ibm775 cp775", "IBM775", 775},
    {"ibm850 cp850 850", "IBM850", 850},
    {"ibm852 cp852 852", "IBM852", 852},
    {"ibm855 cp855", "IBM855", 855},
    {"ibm857 cp857", "IBM857", 857},
    {"ibm00858 ibm858 cp858", "IBM858", 858},
    {"ibm860 cp860", "IBM860", 860},
    {"ibm861 cp861", "IBM861", 861},
    {"dos-862 ibm862 cp862", "IBM862", 862},
    {"ibm863 cp863", "IBM863", 863},
    {"ibm864 cp864", "IBM864", 864},
    {"ibm865 cp865", "IBM865", 865},
    {"cp866 ibm866 866", "IBM866", 866},
    {"ibm869 cp869", "IBM869", 869},
    {"macintosh x-mac-roman", "MACINTOSH", 10000},
    {"x-mac-ce", "MAC-CENTRALEUROPE", 10029},
    {"x-mac-cyrillic", "MAC-CYRILLIC", 10007},
    {"x-mac-icelandic", "MAC-IS", 10079},
    {"x-mac-ukrainian", "MACUKRAINIAN", 10017},
};
constexpr std::size_t kEncodingCount = std::size(kEncodings);

bool hasName(const Encoding& encoding, std::string_view name)
{
    std::string_view names = encoding.names;
    while (!names.empty()) {
        const auto end = names.find(' ');
        if (equalsIgnoringAsciiCase(names.substr(0, end), name))
            return true;
        names = end == std::string_view::npos ? std::string_view() : names.substr(end + 1);
    }
    return false;
}

#ifdef _WIN32
std::optional<char32_t> convertByte(const Encoding& encoding, unsigned char byte)
{
    if (encoding.codePage == 0)
        throw std::runtime_error("the encoding \"" + std::string(encoding.iconvName) +
                                 "\" is not available on this system");
    const char in = static_cast<char>(byte);
    wchar_t out[2];
    const int n = MultiByteToWideChar(encoding.codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    if (n == 1)
        return static_cast<char32_t>(out[0]);
    if (n == 0 && GetLastError() == ERROR_NO_UNICODE_TRANSLATION)
        return std::nullopt;
    throw std::runtime_error("the encoding \"" + std::string(encoding.iconvName) +
                             "\" is not available on this system");
}
#else
// One converter per table; each byte is converted alone and the converter reset after it, so
// an encoding that combines characters (Windows-1255, -1258) hands each byte back as it is.
class Converter
{
public:
    explicit Converter(const Encoding& encoding) : m_name(encoding.iconvName)
    {
        m_cd = iconv_open("UTF-32LE", m_name);
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("the encoding \"" + std::string(m_name) +
                                     "\" is not available on this system: " + std::strerror(errno));
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<char32_t> convert(unsigned char byte)
    {
        char in = static_cast<char>(byte);
        unsigned char out[8];
        char* inAt = &in;
        char* outAt = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t done = iconv(m_cd, &inAt, &inLeft, &outAt, &outLeft);
        const bool failed = done == static_cast<std::size_t>(-1);
        iconv(m_cd, nullptr, nullptr, &outAt, &outLeft); // what a combining encoding held back
        if (failed || inLeft != 0 || sizeof out - outLeft != 4)
            return std::nullopt;
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24);
    }

private:
    const char* m_name;
    iconv_t m_cd;
};
#endif

ByteCodePoints buildTable(const Encoding& encoding)
{
#ifndef _WIN32
    Converter converter(encoding);
#endif
    ByteCodePoints table{};
    for (unsigned b = 0; b < 256; ++b) {
#ifdef _WIN32
        const std::optional<char32_t> cp = convertByte(encoding, static_cast<unsigned char>(b));
#else
        const std::optional<char32_t> cp = converter.convert(static_cast<unsigned char>(b));
#endif
        table[b] = cp ? *cp : b >= 0x80 && b < 0xA0 ? char32_t(b) : kReplacementCharacter;
    }
    return table;
}

struct Built
{
    std::once_flag once;
    ByteCodePoints table;
    std::string failure;
};

} // namespace

const ByteCodePoints* singleByteEncoding(std::string_view name)
{
    static std::array<Built, kEncodingCount> built;
    for (std::size_t i = 0; i < kEncodingCount; ++i) {
        if (!hasName(kEncodings[i], name))
            continue;
        Built& entry = built[i];
        std::call_once(entry.once, [&] {
            try {
                entry.table = buildTable(kEncodings[i]);
            } catch (const std::runtime_error& error) {
                entry.failure = error.what();
            }
        });
        if (!entry.failure.empty())
            throw std::runtime_error(entry.failure);
        return &entry.table;
    }
    return nullptr;
}

std::string decodeSingleByte(const ByteCodePoints& encoding, std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes)
        appendUtf8(out, encoding[static_cast<unsigned char>(c)]);
    return out;
}

} // namespace tressimo::text
