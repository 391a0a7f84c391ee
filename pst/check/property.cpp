#include "pst/check/property.h"

#include "pst/check/pst_file.h"

#include <cstdio>
#include <cstring>

namespace tressimo::pst::check {
namespace {

std::string hexBytes(const Bytes& b, std::size_t limit = 64)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < b.size() && i < limit; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 0xF];
    }
    if (b.size() > limit)
        s += "...(" + std::to_string(b.size()) + " bytes)";
    return s;
}

std::string quote(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

bool isKnownType(std::uint16_t type)
{
    using namespace proptype;
    const std::uint16_t base = type & ~MultiValued;
    switch (base) {
    case Int16:
    case Int32:
    case Float:
    case Double:
    case Currency:
    case AppTime:
    case Int64:
    case String8:
    case Unicode:
    case SysTime:
    case Guid:
    case Binary:
        return true;
    case Error:
    case Boolean:
    case Object:
    case ServerId:
    case Restriction:
    case RuleAction:
        return !isMultiValued(type);
    default:
        return false;
    }
}

std::size_t fixedSize(std::uint16_t type)
{
    using namespace proptype;
    switch (type & ~MultiValued) {
    case Int16:
        return 2;
    case Boolean:
        return 1;
    case Int32:
    case Float:
    case Error:
        return 4;
    case Double:
    case Currency:
    case AppTime:
    case Int64:
    case SysTime:
        return 8;
    case Guid:
        return 16;
    default:
        return 0;
    }
}

const char* typeName(std::uint16_t type)
{
    using namespace proptype;
    switch (type) {
    case Int16:
        return "I2";
    case Int32:
        return "I4";
    case Float:
        return "R4";
    case Double:
        return "R8";
    case Currency:
        return "CY";
    case AppTime:
        return "APPTIME";
    case Error:
        return "ERROR";
    case Boolean:
        return "BOOL";
    case Object:
        return "OBJECT";
    case Int64:
        return "I8";
    case String8:
        return "STRING8";
    case Unicode:
        return "UNICODE";
    case SysTime:
        return "SYSTIME";
    case Guid:
        return "GUID";
    case ServerId:
        return "SVREID";
    case Restriction:
        return "SRESTRICT";
    case RuleAction:
        return "ACTIONS";
    case Binary:
        return "BINARY";
    case MultiValued | Int16:
        return "MV_I2";
    case MultiValued | Int32:
        return "MV_I4";
    case MultiValued | Float:
        return "MV_R4";
    case MultiValued | Double:
        return "MV_R8";
    case MultiValued | Currency:
        return "MV_CY";
    case MultiValued | AppTime:
        return "MV_APPTIME";
    case MultiValued | Int64:
        return "MV_I8";
    case MultiValued | String8:
        return "MV_STRING8";
    case MultiValued | Unicode:
        return "MV_UNICODE";
    case MultiValued | SysTime:
        return "MV_SYSTIME";
    case MultiValued | Guid:
        return "MV_GUID";
    case MultiValued | Binary:
        return "MV_BINARY";
    default:
        return "UNKNOWN";
    }
}

static void needSize(const PropertyValue& v, std::size_t n, const char* what)
{
    if (v.data().size() != n)
        throw FormatError(std::string("a ") + what + " value needs " + std::to_string(n) +
                          " bytes, this one has " + std::to_string(v.data().size()));
}

std::int16_t PropertyValue::toInt16() const
{
    needSize(*this, 2, "16-bit");
    return static_cast<std::int16_t>(getU16(m_data.data()));
}

std::int32_t PropertyValue::toInt32() const
{
    needSize(*this, 4, "32-bit");
    return static_cast<std::int32_t>(getU32(m_data.data()));
}

std::int64_t PropertyValue::toInt64() const
{
    needSize(*this, 8, "64-bit");
    return static_cast<std::int64_t>(getU64(m_data.data()));
}

bool PropertyValue::toBool() const
{
    needSize(*this, 1, "boolean");
    return m_data[0] != 0;
}

double PropertyValue::toDouble() const
{
    needSize(*this, 8, "floating-point");
    const std::uint64_t bits = getU64(m_data.data());
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::uint64_t PropertyValue::toFileTime() const
{
    needSize(*this, 8, "time");
    return getU64(m_data.data());
}

std::u16string PropertyValue::toU16String() const
{
    if (m_data.size() % 2 != 0)
        throw FormatError("a UTF-16 string of odd length " + std::to_string(m_data.size()));
    std::u16string s(m_data.size() / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(getU16(m_data.data() + 2 * i));
    return s;
}

std::string PropertyValue::toUtf8() const
{
    if ((m_type & ~proptype::MultiValued) == proptype::String8)
        return std::string(m_data.begin(), m_data.end());
    return utf16ToUtf8(toU16String());
}

std::vector<Bytes> PropertyValue::elements() const
{
    if (!isMultiValued(m_type))
        throw FormatError("not a multi-valued property");
    std::vector<Bytes> out;
    if (const std::size_t size = fixedSize(m_type)) {
        if (m_data.size() % size != 0)
            throw FormatError("multi-valued data of " + std::to_string(m_data.size()) +
                              " bytes is not a whole number of " + std::to_string(size) + "-byte values");
        for (std::size_t i = 0; i < m_data.size(); i += size)
            out.emplace_back(m_data.begin() + i, m_data.begin() + i + size);
        return out;
    }
    // Variable-size elements: ulCount, ulCount offsets from the start, then the values.
    if (m_data.size() < 4)
        throw FormatError("multi-valued data shorter than its count");
    const std::uint32_t count = getU32(m_data.data());
    if (count > (m_data.size() - 4) / 4)
        throw FormatError("multi-valued count " + std::to_string(count) + " does not fit " +
                          std::to_string(m_data.size()) + " bytes");
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t begin = getU32(m_data.data() + 4 + 4 * i);
        const std::uint32_t end =
            i + 1 < count ? getU32(m_data.data() + 8 + 4 * i) : static_cast<std::uint32_t>(m_data.size());
        if (begin < 4 + 4 * count || begin > end || end > m_data.size())
            throw FormatError("multi-valued element " + std::to_string(i) + " has offsets " +
                              std::to_string(begin) + ".." + std::to_string(end) + " outside its " +
                              std::to_string(m_data.size()) + " bytes");
        out.emplace_back(m_data.begin() + begin, m_data.begin() + end);
    }
    return out;
}

std::vector<std::string> PropertyValue::toUtf8List() const
{
    std::vector<std::string> out;
    const std::uint16_t element = m_type & ~proptype::MultiValued;
    for (Bytes& b : elements())
        out.push_back(PropertyValue(element, std::move(b)).toUtf8());
    return out;
}

std::vector<std::int32_t> PropertyValue::toInt32List() const
{
    std::vector<std::int32_t> out;
    for (Bytes& b : elements())
        out.push_back(PropertyValue(proptype::Int32, std::move(b)).toInt32());
    return out;
}

std::string PropertyValue::toDisplayString() const
{
    using namespace proptype;
    try {
        if (isMultiValued(m_type)) {
            std::string s = "[";
            const std::uint16_t element = m_type & ~MultiValued;
            bool first = true;
            for (Bytes& b : elements()) {
                s += first ? "" : ", ";
                first = false;
                s += PropertyValue(element, std::move(b)).toDisplayString();
            }
            return s + "]";
        }
        switch (m_type) {
        case Int16:
            return std::to_string(toInt16());
        case Int32:
        case Error: {
            const std::int32_t v = toInt32();
            return std::to_string(v) + " (" + hex(static_cast<std::uint32_t>(v)) + ")";
        }
        case Boolean:
            return toBool() ? "true" : "false";
        case Int64:
        case Currency:
            return std::to_string(toInt64());
        case Float: {
            needSize(*this, 4, "float");
            const std::uint32_t bits = getU32(m_data.data());
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return std::to_string(f);
        }
        case Double:
        case AppTime:
            return std::to_string(toDouble());
        case SysTime:
            return "filetime " + std::to_string(toFileTime());
        case Unicode:
        case String8:
            return quote(toUtf8());
        case Guid:
            if (m_data.size() == 16)
                return guidToString(m_data);
            break;
        default:
            break;
        }
    } catch (const FormatError& e) {
        return "<unreadable: " + std::string(e.what()) + "> " + hexBytes(m_data);
    }
    return "bytes " + hexBytes(m_data);
}

const PropertyValue* findById(const PropertyMap& props, std::uint16_t id)
{
    auto it = props.lower_bound(makeTag(id, 0));
    return it != props.end() && tagId(it->first) == id ? &it->second : nullptr;
}

std::string utf16ToUtf8(ByteView utf16le)
{
    std::u16string s(utf16le.size() / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(getU16(utf16le.data() + 2 * i));
    return utf16ToUtf8(s);
}

std::string utf16ToUtf8(const std::u16string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view in)
{
    std::u16string out;
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        char32_t c;
        std::size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else {
            c = b & 0x07;
            n = 4;
        }
        if (i + n > in.size()) {
            out += u'\uFFFD';
            break;
        }
        for (std::size_t k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string guidToString(ByteView g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", getU32(g.data()),
                  getU16(g.data() + 4), getU16(g.data() + 6), g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                  g[15]);
    return buf;
}

} // namespace tressimo::pst::check
