#pragma once
// Runs a program with exactly the given argument bytes (no shell in between) and collects
// its exit status, standard output and standard error.

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tressimo::testing {

struct ProgramRun
{
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// `scratch` holds the captured streams; `environment` adds or replaces variables; `folder`,
// when given, is the program's current folder.
inline ProgramRun runProgram(const std::vector<std::string>& argv, const std::filesystem::path& scratch,
                             const std::map<std::string, std::string>& environment = {},
                             const std::filesystem::path& folder = {})
{
    const std::string outPath = (scratch / "program.out").string();
    const std::string errPath = (scratch / "program.err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!environment.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        envText.push_back(name + "=" + value);
    std::vector<char*> env;
    for (std::string& e : envText)
        env.push_back(e.data());
    env.push_back(nullptr);

    ProgramRun run;
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = "cannot start " + argv[0];
        return run;
    }
    int wait = 0;
    if (waitpid(pid, &wait, 0) == pid)
        run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    run.out = readWholeFile(outPath);
    run.err = readWholeFile(errPath);
    return run;
}

} // namespace tressimo::testing
