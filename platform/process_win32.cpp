#include "platform/process.h"

#include "platform/path_text.h"

#include <atomic>
#include <io.h>
// windows.h first: shellapi.h builds on its types.
#include <windows.h>
#include <shellapi.h>

namespace tressimo::platform {

namespace {
std::atomic<bool> g_interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        // The second one goes to the default handler, which ends the program.
        if (g_interrupted.exchange(true))
            return FALSE;
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

std::vector<std::string> commandLineArguments(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(textOfPath(std::filesystem::path(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

void useUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
}

bool standardErrorIsTerminal()
{
    return ::_isatty(2) != 0;
}

void catchInterrupts()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool interrupted()
{
    return g_interrupted.load();
}

int processId()
{
    return static_cast<int>(::GetCurrentProcessId());
}

bool processMayHaveMade(int id, const std::filesystem::path& file)
{
    const HANDLE process =
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    bool may = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    // Windows soon gives a freed id to another process: one started after the file is not its maker.
    FILETIME started{}, ended{}, kernel{}, user{};
    WIN32_FILE_ATTRIBUTE_DATA made{};
    if (may && ::GetProcessTimes(process, &started, &ended, &kernel, &user) &&
        ::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &made))
        may = ::CompareFileTime(&started, &made.ftCreationTime) <= 0;
    ::CloseHandle(process);
    return may;
}

std::filesystem::path executableFolder()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace tressimo::platform
