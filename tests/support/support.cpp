// The test support both systems share; support_posix.cpp and support_win32.cpp hold the rest.
#include "tests/support/support.h"

#include "platform/path_text.h"

#include <fstream>
#include <sstream>

namespace tressimo::testing {

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

} // namespace tressimo::testing
