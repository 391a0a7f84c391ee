#include "tests/pst/oracle/pst_oracle.h"

#include "tests/support/support.h"

#include <cstdio>
#include <stdexcept>

namespace tressimo::pst::oracle {
namespace {

void collect(const nlohmann::json& folder, std::vector<const nlohmann::json*>& out)
{
    out.push_back(&folder);
    for (const auto& sub : folder.at("folders"))
        collect(sub, out);
}

} // namespace

nlohmann::json dumpWithPypff(const std::filesystem::path& pst)
{
    const auto run = tressimo::testing::runProgram({"/usr/bin/python3", PST_ORACLE_SCRIPT, pst.string()});
    if (run.status != 0)
        throw std::runtime_error("pst oracle on " + pst.string() + " failed: " + run.err);
    return nlohmann::json::parse(run.out);
}

std::vector<const nlohmann::json*> allFolders(const nlohmann::json& dump)
{
    std::vector<const nlohmann::json*> out;
    collect(dump.at("root"), out);
    return out;
}

const nlohmann::json* findFolder(const nlohmann::json& dump, std::string_view name)
{
    for (const nlohmann::json* f : allFolders(dump))
        if (f->at("name").is_string() && f->at("name").get<std::string>() == name)
            return f;
    return nullptr;
}

const nlohmann::json* findProperty(const nlohmann::json& object, std::uint32_t tag)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", tag);
    for (const auto& p : object.at("properties"))
        if (p.at("tag").get<std::string>() == text)
            return &p;
    return nullptr;
}

std::optional<nlohmann::json> asOracleJson(const check::PropertyValue& v)
{
    namespace proptype = check::proptype;
    const std::uint16_t type = v.type();
    if (check::isMultiValued(type)) {
        const std::uint16_t element = type & ~proptype::MultiValued;
        nlohmann::json list = nlohmann::json::array();
        for (Bytes& e : v.elements()) {
            auto item = asOracleJson(check::PropertyValue(element, std::move(e)));
            if (!item)
                return std::nullopt;
            list.push_back(*item);
        }
        return list;
    }
    switch (type) {
    case proptype::Unicode:
        return v.toUtf8();
    case proptype::Int16:
        return v.toInt16();
    case proptype::Int32:
    case proptype::Error:
        return v.toInt32();
    case proptype::Int64:
    case proptype::Currency:
        return v.toInt64();
    case proptype::Boolean:
        return v.toBool();
    case proptype::Binary: {
        std::string hexText;
        static const char* digits = "0123456789ABCDEF";
        for (std::uint8_t b : v.data()) {
            hexText += digits[b >> 4];
            hexText += digits[b & 0xF];
        }
        return hexText;
    }
    default:
        return std::nullopt;
    }
}

} // namespace tressimo::pst::oracle
