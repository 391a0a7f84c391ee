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

const nlohmann::json* findNamedProperty(const nlohmann::json& object, std::string_view guid,
                                        std::uint32_t lid)
{
    char lidText[16];
    std::snprintf(lidText, sizeof lidText, "0x%04X", lid);
    for (const auto& p : object.at("properties")) {
        if (!p.contains("named"))
            continue;
        const auto& n = p.at("named");
        if (n.at("guid").is_string() && n.at("guid").get<std::string>() == guid && n.contains("lid") &&
            n.at("lid").get<std::string>() == lidText)
            return &p;
    }
    return nullptr;
}

} // namespace tressimo::pst::oracle
