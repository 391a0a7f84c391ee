// The test support on Windows: the same temporary folders and program runs through the
// system's own calls, so that the tests that start programs run there too.
#include "tests/support/support.h"

#include "platform/path_text.h"

#include <random>
#include <stdexcept>
#include <windows.h>

namespace tressimo::testing {

namespace {

std::wstring wide(const std::string& text)
{
    return platform::pathFromText(text).native();
}

// One argument quoted as CommandLineToArgvW splits it back.
void appendQuoted(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE openForChild(const std::filesystem::path& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The programs started and not yet waited for: their handles keep their ids from being reused.
std::map<int, HANDLE> g_started;

} // namespace

TempDir::TempDir(std::string_view name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("tressimo-" + std::string(name) + "-" + std::to_string(random() % 1000000));
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

int startProgram(const std::vector<std::string>& argv, const std::filesystem::path& outPath,
                 const std::filesystem::path& errPath, const std::map<std::string, std::string>& environment,
                 const std::filesystem::path& folder, bool interruptible)
{
    std::wstring line;
    for (const std::string& argument : argv) {
        if (!line.empty())
            line += L' ';
        appendQuoted(line, wide(argument));
    }
    // The environment block: this process's variables with `environment` laid over them.
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const std::size_t equals = text.find(L'=', 1);
            if (equals != std::wstring::npos)
                variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        ::FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : environment)
        variables[wide(name)] = wide(value);
    std::wstring block;
    for (const auto& [name, value] : variables)
        block += name + L'=' + value + L'\0';
    block += L'\0';

    const HANDLE in = openForChild(L"NUL", false);
    const HANDLE out = openForChild(outPath.empty() ? L"NUL" : outPath, true);
    const HANDLE err = openForChild(errPath.empty() ? L"NUL" : errPath, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    // A console of its own, so that a Ctrl+C reaches this program alone; else none, as wine
    // keeps a killed program's console host, and with it the test's output, open.
    const DWORD console = interruptible ? CREATE_NEW_CONSOLE : DETACHED_PROCESS;
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                          CREATE_UNICODE_ENVIRONMENT | console, block.data(),
                                          folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started)
        return -1;
    ::CloseHandle(process.hThread);
    g_started[static_cast<int>(process.dwProcessId)] = process.hProcess;
    return static_cast<int>(process.dwProcessId);
}

bool stopProgram(int pid, Stop how)
{
    const auto found = g_started.find(pid);
    if (found == g_started.end())
        return false;
    if (how == Stop::Kill)
        return ::TerminateProcess(found->second, 128 + 9);
    if (how != Stop::Interrupt || (::FreeConsole(), !::AttachConsole(static_cast<DWORD>(pid))))
        return false;
    // A Ctrl+C goes to every process of the console, which for now includes this one.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    const bool sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    ::FreeConsole();
    return sent;
}

int waitProgram(int pid, bool block)
{
    const auto found = g_started.find(pid);
    if (found == g_started.end() || ::WaitForSingleObject(found->second, block ? INFINITE : 0) != WAIT_OBJECT_0)
        return -1;
    DWORD status = 0;
    const int result = ::GetExitCodeProcess(found->second, &status) ? static_cast<int>(status) : -1;
    ::CloseHandle(found->second);
    g_started.erase(found);
    return result;
}

} // namespace tressimo::testing
