// large_values: peak memory of the command-line conversion when contacts carry huge notes.
//
//   large_values [--note-mb N] [--dir DIR] [--tool TRESSIMO-CONVERT] [COUNTS...]
//
// For each count (default 1 and 3) it writes that many contacts with an N MB note (default
// 100, plain ASCII text) between ordinary ones, runs build/tressimo-convert over the folder and
// prints its peak resident memory and exit status. Goal: peak memory at most about twice the
// largest value plus the index: a 100 MB note under 300 MB, and no more for several of them.
// Exit status 1 when the goal is missed or the conversion fails.

#include "tests/convert/sample_contacts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The note goes to its file in pieces: a process started from this one reports this one's
// peak memory as its own when it is higher (the kernel carries it over at exec), so the
// benchmark itself never holds a huge text.
void writeFolder(const fs::path& folder, int notes, std::size_t noteBytes)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::string line(80, 'x');
    line += '\n';
    std::string piece;
    while (piece.size() + line.size() <= (std::size_t{1} << 20))
        piece += line;
    int file = 0;
    auto open = [&] {
        char name[32];
        std::snprintf(name, sizeof name, "Contact %04d.contact", file++);
        return std::ofstream(folder / name, std::ios::binary);
    };
    auto put = [&](const std::string& xml) {
        open().write(xml.data(), static_cast<std::streamsize>(xml.size()));
    };
    const std::string marker = "NOTE";
    for (int n = 0; n < notes; ++n) {
        for (int i = 0; i < 5; ++i)
            put(tressimo::testing::typicalContactXml(file));
        const std::string xml =
            tressimo::testing::contactDocument(tressimo::testing::name(tressimo::testing::element(
                                                   "c:FormattedName", "Big " + std::to_string(n))) +
                                               tressimo::testing::element("c:Notes", marker));
        const std::size_t at = xml.find(marker);
        std::ofstream out = open();
        out.write(xml.data(), static_cast<std::streamsize>(at));
        for (std::size_t written = 0; written < noteBytes; written += piece.size())
            out.write(piece.data(),
                      static_cast<std::streamsize>(std::min(piece.size(), noteBytes - written)));
        out.write(xml.data() + at + marker.size(),
                  static_cast<std::streamsize>(xml.size() - at - marker.size()));
    }
    put(tressimo::testing::typicalContactXml(file));
}

struct Conversion
{
    double peakMb = 0;
    int status = -1;
};

Conversion convert(const fs::path& tool, const fs::path& folder, const fs::path& out)
{
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string program = tool.string();
    const std::string outFolder = out.string(), in = folder.string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("--output-folder"),
                               const_cast<char*>(outFolder.c_str()), const_cast<char*>(in.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Conversion c;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return c;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    c.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t noteMb = 100;
    fs::path dir = fs::temp_directory_path();
    fs::path tool = fs::path(TRESSIMO_BINARY_DIR) / "tressimo-convert";
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--note-mb" && i + 1 < argc)
            noteMb = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--tool" && i + 1 < argc)
            tool = argv[++i];
        else
            counts.push_back(std::atoi(arg.c_str()));
    }
    if (counts.empty())
        counts = {1, 3};
    const fs::path folder = dir / "tressimo-large-values", out = dir / "tressimo-large-values-out";
    bool ok = true;
    const double goalMb = 3.0 * static_cast<double>(noteMb);
    for (const int notes : counts) {
        writeFolder(folder, notes, noteMb << 20);
        const Conversion c = convert(tool, folder, out);
        const bool met = c.status == 0 && c.peakMb < goalMb;
        std::printf("%d note(s) of %zu MB: peak %.0f MB (goal < %.0f MB), exit %d%s\n", notes, noteMb,
                    c.peakMb, goalMb, c.status, met ? "" : "  MISSED");
        ok = ok && met;
    }
    fs::remove_all(folder);
    fs::remove_all(out);
    return ok ? 0 : 1;
}
