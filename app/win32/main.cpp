// Tressimo: the window, on Windows.

#include "app/win32/win32_window.h"
#include "env/environment.h"
#include "filelist/file_system.h"
#include "mapi/mapi.h"
#include "platform/path_text.h"
#include "platform/process.h"
#include "shell/find_manual.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using tressimo::platform::utf8Of;

std::string environmentText(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return utf8Of(value);
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
    const std::filesystem::path manual = tressimo::shell::findManual(tressimo::platform::executableFolder());
    services.manualPath = manual.empty() ? std::string() : tressimo::platform::textOfPath(manual);
    services.environment = tressimo::env::systemEnvironment();
    services.createSession = [environment = services.environment] {
        return tressimo::mapi::createSession({environment});
    };
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
