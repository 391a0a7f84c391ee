#pragma once
// What a command-line program owns: its arguments, its console, interrupts from the user, and
// the folder it was started from.

#include <filesystem>
#include <string>
#include <vector>

namespace tressimo::platform {

// The arguments after the program's name, as path text (see path_text.h): on Windows read
// wide from the system, since argv holds them in the ANSI code page.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Makes the console show the UTF-8 the program writes.
void useUtf8Console();

// Whether standard error is a terminal (progress is drawn only there).
bool standardErrorIsTerminal();

// From now on the first Ctrl+C (or SIGTERM, a closed terminal or console window) only sets
// interrupted(); a second one ends the program at once. Also keeps a file-size limit from
// ending the program without a word: the write fails and is reported instead.
void catchInterrupts();
bool interrupted();

// This process's id, and whether the process with that id on this machine may have made this
// file: it runs, and (where the system says) it started before the file was made. One that
// exists but cannot be looked into may have.
int processId();
bool processMayHaveMade(int id, const std::filesystem::path& file);

// The folder of the running program; empty when the system does not say.
std::filesystem::path executableFolder();

} // namespace tressimo::platform
