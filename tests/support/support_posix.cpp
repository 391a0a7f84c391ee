#include "tests/support/support.h"

#include "platform/path_text.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tressimo::testing {

TempDir::TempDir(std::string_view name)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("tressimo-" + std::string(name) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

int startProgram(const std::vector<std::string>& argv, const std::filesystem::path& outPath,
                 const std::filesystem::path& errPath,
                 const std::map<std::string, std::string>& environment, const std::filesystem::path& folder, bool)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const auto& [fd, path] : {std::pair{1, &outPath}, std::pair{2, &errPath}})
        posix_spawn_file_actions_addopen(&actions, fd, path->empty() ? "/dev/null" : path->c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

bool stopProgram(int pid, Stop how)
{
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    return ::kill(pid, signals[static_cast<int>(how)]) == 0;
}

int waitProgram(int pid, bool block)
{
    int wait = 0;
    if (::waitpid(pid, &wait, block ? 0 : WNOHANG) != pid)
        return -1;
    return WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
}

} // namespace tressimo::testing
