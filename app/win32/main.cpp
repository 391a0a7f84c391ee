// Tressimo: the window, on Windows.

#include "app/win32/wide_text.h"
#include "app/win32/win32_window.h"
#include "filelist/file_system.h"
#include "mapi/mapi.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>

namespace {

using tressimo::win32::utf8Of;

std::string environmentText(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return utf8Of(value);
}

// The folder of the program.
std::string programFolder()
{
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    return utf8Of(program.substr(0, program.find_last_of(L"\\/") + 1));
}

// Folders a test script answers the folder questions with, in order, separated by "|" (which
// no Windows path holds).
std::deque<std::string> scriptedFolders()
{
    std::deque<std::string> folders;
    const std::string given = environmentText(L"TRESSIMO_TEST_FOLDERS");
    std::size_t start = 0;
    while (start < given.size()) {
        const std::size_t end = std::min(given.find('|', start), given.size());
        if (end > start)
            folders.push_back(given.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // The file dialogs are COM objects of the shell, which wants a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    tressimo::window::LogicServices services;
    services.fileSystem = std::make_shared<tressimo::filelist::DiskFileSystem>();
    services.manualPath = tressimo::window::findManual(programFolder());
    services.createSession = [] { return tressimo::mapi::createSession(); };
    services.scriptedFolders = scriptedFolders();

    int code = 1;
    {
        tressimo::win32::Win32Window window(instance, std::move(services));
        if (window.create(showCommand))
            code = window.run();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return code;
}
