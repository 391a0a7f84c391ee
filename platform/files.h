#pragma once
// File operations whose system calls differ: the steps that give a staged store its final
// name. Errors come back as errno values (EEXIST when the name is taken), so that callers word
// them the same way on every system.

#include <filesystem>
#include <string>

namespace tressimo::platform {

// Renames `from` to `to` unless `to` exists; 0 or the error number. Works while `from` is
// still open through a file this layer created.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Sets or clears a file's hidden attribute where the system has one (a leading "." hides a
// staging file on Linux); the attribute moves with a rename. Best effort.
void setHidden(const std::filesystem::path& path, bool hidden);

// Makes the folder's entries (a new or renamed name) durable. Best effort.
void syncFolderOf(const std::filesystem::path& path);

// The error of the system call that just failed, as an errno value (Windows' own codes mapped).
int lastSystemError();

// The system's words for an error number.
std::string errorText(int err);

} // namespace tressimo::platform
