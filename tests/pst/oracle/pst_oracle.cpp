#include "tests/pst/oracle/pst_oracle.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tressimo::pst::oracle {
namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hex8(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

void collect(const nlohmann::json& folder, std::vector<const nlohmann::json*>& out)
{
    out.push_back(&folder);
    for (const auto& sub : folder.at("folders"))
        collect(sub, out);
}

} // namespace

std::filesystem::path scriptPath()
{
    return PST_ORACLE_SCRIPT;
}

nlohmann::json dumpWithPypff(const std::filesystem::path& pst)
{
    // Temporary files for the JSON and the complaints; the script runs without a shell, so
    // any path works.
    char jsonName[] = "/tmp/pst-oracle-XXXXXX";
    char errName[] = "/tmp/pst-oracle-err-XXXXXX";
    const int jsonFd = mkstemp(jsonName);
    const int errFd = mkstemp(errName);
    if (jsonFd < 0 || errFd < 0)
        throw std::runtime_error("pst oracle: cannot create temporary files");
    close(jsonFd);

    const std::string python = "/usr/bin/python3";
    const std::string script = scriptPath().string();
    const std::string file = pst.string();
    const std::string outFlag = "--out";
    std::vector<char*> argv = {const_cast<char*>(python.c_str()),
                               const_cast<char*>(script.c_str()),
                               const_cast<char*>(file.c_str()),
                               const_cast<char*>(outFlag.c_str()),
                               jsonName,
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(errFd);
    int status = 0;
    if (spawned == 0)
        waitpid(pid, &status, 0);
    const std::string json = readAll(jsonName);
    const std::string err = readAll(errName);
    std::filesystem::remove(jsonName);
    std::filesystem::remove(errName);
    if (spawned != 0)
        throw std::runtime_error("pst oracle: cannot run " + python);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("pst oracle on " + file + " failed: " + err);
    return nlohmann::json::parse(json);
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
    const std::string text = hex8(tag);
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
