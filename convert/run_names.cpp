#include "convert/run_names.h"
#include "platform/path_text.h"

#include <algorithm>
#include <system_error>

namespace tressimo::convert {

std::string timeText(const LocalTime& time)
{
    auto twoDigits = [](int value) {
        value %= 100;
        if (value < 0)
            value += 100;
        return std::string{char('0' + value / 10), char('0' + value % 10)};
    };
    return std::to_string(time.day) + '.' + std::to_string(time.month) + '.' + twoDigits(time.year) + ' ' +
           std::to_string(time.hour) + '.' + std::to_string(time.minute) + '.' + twoDigits(time.second);
}

std::string pstFileName(std::string_view T, int copy)
{
    std::string name = "WindowsContacts";
    name += T;
    if (copy > 1)
        name += " (" + std::to_string(copy) + ")";
    name += ".pst";
    return name;
}

std::string storeDisplayName(std::string_view T)
{
    return "Windows Contacts : Created - " + std::string(T);
}

bool nameTaken(const std::filesystem::path& path)
{
    std::error_code error;
    // symlink_status: a dangling link also occupies the name.
    const auto status = std::filesystem::symlink_status(path, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

std::optional<int> freePstCopy(std::string_view folder, std::string_view T, int first,
                               const std::function<bool(const std::filesystem::path&)>& taken)
{
    std::string path;
    for (int copy = std::max(first, 1); copy <= kMostPstCopies; ++copy) {
        path.assign(folder);
        path += pstFileName(T, copy);
        if (!taken(platform::pathFromText(path)))
            return copy;
    }
    return std::nullopt;
}

} // namespace tressimo::convert
