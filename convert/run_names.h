#pragma once
// The names a conversion run gives what it creates: the time text T, the .pst file
// "WindowsContacts" + T + ".pst" and the store "Windows Contacts : Created - " + T.

#include "env/environment.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tressimo::convert {

using env::LocalTime;

// T: "d.m.YY H.m.ss" (day, month, hour and minute without leading zero, the year's last two
// digits and the seconds with one). 5 March 2010 9:07:04 gives "5.3.10 9.7.04".
std::string timeText(const LocalTime& time);

// "WindowsContacts" + T + ".pst"; from the second copy on " (n)" goes before ".pst".
std::string pstFileName(std::string_view T, int copy = 1);

// "Windows Contacts : Created - " + T.
std::string storeDisplayName(std::string_view T);

// Whether anything (a file, a folder, a dangling link) already has this name. A name whose
// state cannot be learnt counts as free: creating the store will then say what is wrong.
bool nameTaken(const std::filesystem::path& path);

// Copies of a name tried at most: past a few thousand something other than earlier runs is
// answering.
inline constexpr int kMostPstCopies = 9999;

// The first copy number from `first` on (up to kMostPstCopies) whose path, folder +
// pstFileName(T, copy), `taken` says is free; nothing when every one is taken. The folder
// ends with the separator.
std::optional<int> freePstCopy(std::string_view folder, std::string_view T, int first = 1,
                               const std::function<bool(const std::filesystem::path&)>& taken = nameTaken);

} // namespace tressimo::convert
