// The test support both systems share; support_posix.cpp and support_win32.cpp hold the rest.
#include "tests/support/support.h"

#include "platform/path_text.h"

#include <fstream>
#include <sstream>

namespace tressimo::testing {

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

TextPath TempDir::write(std::string_view fileName, std::string_view bytes) const
{
    const std::filesystem::path file = m_path / platform::pathFromText(fileName);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

TextPath::operator std::string() const
{
    return platform::textOfPath(*this);
}

std::string readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProgramRun runProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::filesystem::path& folder)
{
    ProgramRun run;
    const TempDir scratch("run");
    const int pid = startProgram(argv, scratch / "out", scratch / "err", environment, folder);
    if (pid < 0) {
        run.err = "cannot start " + argv[0];
        return run;
    }
    run.status = waitProgram(pid);
    // Text written in text mode on Windows ends its lines with "\r\n"; the tests read lines as "\n".
    for (auto [text, file] : {std::pair{&run.out, "out"}, std::pair{&run.err, "err"}}) {
        *text = readWholeFile(scratch / file);
#ifdef _WIN32
        for (std::size_t at = text->find("\r\n"); at != std::string::npos; at = text->find("\r\n", at))
            text->erase(at, 1);
#endif
    }
    return run;
}

} // namespace tressimo::testing
