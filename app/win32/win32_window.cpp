#include "app/win32/win32_window.h"
#include "platform/path_text.h"

#include "app/win32/resources.h"
#include "window/form_layout.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>

namespace tressimo::win32 {

namespace {

using window::ControlKind;
using window::FormControl;
using window::kFormControls;
using window::pixelsOf;
using platform::utf8Of;
using platform::wideOf;

const wchar_t kWindowClass[] = L"TressimoFrmStep1";
// A drop is added once the drop itself is over (WM_DROPFILES has returned).
constexpr UINT kAddDrop = WM_APP + 1;
constexpr int kFirstControlId = 100;
// The window's style: a fixed frame with a minimise box, as the form was designed.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The control's rectangle in the client area, in pixels at this DPI.
RECT placeOf(const FormControl& control, int dpi)
{
    int left = control.left, top = control.top;
    if (control.container) {
        const FormControl& container = window::formControl(control.container);
        left += container.left;
        top += container.top;
    }
    const int x = pixelsOf(left, dpi), y = pixelsOf(top, dpi);
    return {x, y, x + pixelsOf(control.width, dpi), y + pixelsOf(control.height, dpi)};
}

// Releases a COM interface when it goes.
template <typename Interface> struct Com
{
    Interface* p = nullptr;
    ~Com()
    {
        if (p)
            p->Release();
    }
    Interface* operator->() const { return p; }
};

std::string systemText(HRESULT result)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text),
                                        0, nullptr);
    std::string described = length ? utf8Of(std::wstring_view(text, length)) : "The dialog failed";
    LocalFree(text);
    while (!described.empty() && (described.back() == '\n' || described.back() == '\r' || described.back() == '.'))
        described.pop_back();
    return described;
}

[[noreturn]] void dialogFailed(HRESULT result)
{
    throw window::DialogError(static_cast<int>(result & 0xFFFF), systemText(result));
}

std::string pathOf(IShellItem* item)
{
    wchar_t* name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)))
        return {};
    std::string path = utf8Of(name);
    CoTaskMemFree(name);
    return path;
}

} // namespace

Win32Window::Win32Window(HINSTANCE instance, window::LogicServices services)
    : m_instance(instance), m_services(std::move(services))
{
}

Win32Window::~Win32Window()
{
    m_logic.reset();
    if (m_window)
        DestroyWindow(m_window);
    if (m_font)
        DeleteObject(m_font);
    if (m_banner)
        DeleteObject(m_banner);
    if (m_footerBrush)
        DeleteObject(m_footerBrush);
}

bool Win32Window::create(int showCommand)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32Window::windowProc;
    windowClass.hInstance = m_instance;
    windowClass.hIcon = LoadIconW(m_instance, MAKEINTRESOURCEW(TRESSIMO_ICON));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(TRESSIMO_ICON), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass))
        return false;

    m_banner = static_cast<HBITMAP>(
        LoadImageW(m_instance, MAKEINTRESOURCEW(TRESSIMO_BANNER), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    const auto* colour = window::kFooterColour;
    m_footerBrush = CreateSolidBrush(RGB(colour[0], colour[1], colour[2]));

    m_window = CreateWindowExW(0, kWindowClass, wideOf(window::kWindowTitle).c_str(), kStyle, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_instance, this);
    if (!m_window)
        return false;
    createControls();
    layOut(static_cast<int>(GetDpiForWindow(m_window)));
    DragAcceptFiles(m_window, TRUE);
    m_logic = std::make_unique<window::WindowLogic>(*this, std::move(m_services));
    ShowWindow(m_window, showCommand);
    UpdateWindow(m_window);
    SetFocus(control("cmdAdd"));
    return true;
}

void Win32Window::createControls()
{
    for (std::size_t i = 0; i < std::size(kFormControls); ++i) {
        const FormControl& form = kFormControls[i];
        const wchar_t* windowClass = nullptr;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extended = 0;
        switch (form.kind) {
        case ControlKind::Button:
            windowClass = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::Label:
            // Paths are shown as they are: an "&" in a name is no access key.
            windowClass = WC_STATICW;
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::FileGrid:
            windowClass = WC_LISTVIEWW;
            // A virtual list: the rows stay in the file list and are asked for as they show.
            style |= LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                     WS_TABSTOP;
            extended = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ProgressBar:
            windowClass = PROGRESS_CLASSW;
            break;
        case ControlKind::Picture:
        case ControlKind::Rectangle:
        case ControlKind::Container:
            continue; // painted by the window itself
        }
        HWND child = CreateWindowExW(extended, windowClass, wideOf(form.caption).c_str(), style, 0, 0, 0, 0,
                                     m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                     m_instance, nullptr);
        m_controls.emplace(form.name, child);
    }

    HWND grid = control("grdFiles1");
    ListView_SetExtendedListViewStyle(grid, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 0;
    ListView_InsertColumn(grid, 0, &column);
    SendMessageW(control("ProgressBar1"), PBM_SETRANGE32, 0, 100);

    // The focus order follows the order of the child windows: put them in the form's.
    HWND after = HWND_TOP;
    for (const FormControl* form : window::focusOrder()) {
        HWND child = control(form->name);
        SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child;
    }
}

void Win32Window::layOut(int dpi)
{
    m_dpi = dpi > 0 ? dpi : 96;
    HFONT old = m_font;
    // Rounded down: a font a fraction larger than the layout's scale would wrap the captions
    // that only just fit (8.25 pt is 11 pixels at 96 DPI, 16 rather than 17 at 144).
    m_font = CreateFontW(-static_cast<int>(window::kFontPoints * m_dpi / 72.0), 0, 0, 0, FW_NORMAL,
                         FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, wideOf(window::kFontFamily).c_str());
    for (const FormControl& form : kFormControls) {
        HWND child = control(form.name);
        if (!child)
            continue;
        const RECT place = placeOf(form, m_dpi);
        SetWindowPos(child, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    }
    if (old)
        DeleteObject(old);
    if (m_columnTwips >= 0)
        ListView_SetColumnWidth(control("grdFiles1"), 0, pixelsOf(m_columnTwips, m_dpi));

    RECT frame{0, 0, pixelsOf(window::kClientWidth, m_dpi), pixelsOf(window::kClientHeight, m_dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, static_cast<UINT>(m_dpi));
    SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_window, nullptr, TRUE);
}

int Win32Window::run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatch(message);
    return static_cast<int>(message.wParam);
}

void Win32Window::dispatch(MSG& message)
{
    if (m_window && IsDialogMessageW(m_window, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32Window::runPendingEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the loop that waits for it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

HWND Win32Window::control(std::string_view name) const
{
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

LRESULT CALLBACK Win32Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(window, message, wParam, lParam);
}

LRESULT Win32Window::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam)
            command(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return listNotice(reinterpret_cast<NMHDR*>(lParam));
    case WM_PAINT:
        paint();
        return 0;
    case WM_SETCURSOR:
        if (m_waiting && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kAddDrop:
        if (!m_drops.empty()) {
            const std::vector<std::string> paths = std::move(m_drops.front());
            m_drops.pop_front();
            if (m_logic)
                m_logic->addDroppedPaths(paths);
        }
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        layOut(HIWORD(wParam));
        return 0;
    }
    case WM_QUERYENDSESSION:
        // A logoff in the middle of a command: the command stops after its current step and
        // the program ends; until then the session waits, so the store is committed whole.
        if (m_logic && m_logic->isBusy()) {
            ShutdownBlockReasonCreate(window, L"Saving the contacts converted so far");
            ShowWindow(window, SW_HIDE);
            m_logic->closing();
            return FALSE;
        }
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && m_logic)
            m_logic->closing();
        return 0;
    case WM_CLOSE:
        // Exit has asked already; the close box never asks. A command under way stops at its
        // next step and then ends the program; meanwhile the window is gone from the screen.
        ShowWindow(window, SW_HIDE);
        if (m_logic)
            m_logic->closing();
        else
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Window::paint()
{
    PAINTSTRUCT paintStruct;
    HDC dc = BeginPaint(m_window, &paintStruct);
    const RECT band = placeOf(window::formControl("Shape1"), m_dpi);
    FillRect(dc, &band, m_footerBrush);
    if (m_banner) {
        const RECT place = placeOf(window::formControl("Image1"), m_dpi);
        BITMAP bitmap{};
        GetObjectW(m_banner, sizeof bitmap, &bitmap);
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(source, m_banner);
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, place.left, place.top, place.right - place.left, place.bottom - place.top, source, 0, 0,
                   bitmap.bmWidth, bitmap.bmHeight, SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    EndPaint(m_window, &paintStruct);
}

void Win32Window::command(int id)
{
    const int index = id - kFirstControlId;
    if (!m_logic || index < 0 || index >= static_cast<int>(std::size(kFormControls)))
        return;
    m_logic->click(kFormControls[index].name);
}

void Win32Window::dropped(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        paths.push_back(utf8Of(name));
    }
    DragFinish(drop);
    if (m_logic && m_logic->takesDrops() && m_logic->wouldAddAny(paths)) {
        m_drops.push_back(std::move(paths));
        PostMessageW(m_window, kAddDrop, 0, 0);
    }
}

LRESULT Win32Window::listNotice(NMHDR* notice)
{
    if (notice->hwndFrom != control("grdFiles1") || notice->code != LVN_GETDISPINFOW || !m_list)
        return 0;
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(notice)->item;
    if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < m_list->Rows()) {
        m_rowText = wideOf(m_list->text(item.iItem));
        item.pszText = m_rowText.data();
    }
    return 0;
}

window::MessageAnswer Win32Window::showMessage(const window::Message& message)
{
    UINT flags = message.buttons == window::MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (message.icon) {
    case window::MessageIcon::None:
        break;
    case window::MessageIcon::Information:
        flags |= MB_ICONINFORMATION;
        break;
    case window::MessageIcon::Question:
        flags |= MB_ICONQUESTION;
        break;
    case window::MessageIcon::Exclamation:
        flags |= MB_ICONEXCLAMATION;
        break;
    }
    // The box waits for the user: the arrow over it, whatever the window shows.
    const bool waiting = m_waiting;
    m_waiting = false;
    const int pressed =
        MessageBoxW(m_window, wideOf(message.text).c_str(), wideOf(message.title).c_str(), flags | MB_SETFOREGROUND);
    m_waiting = waiting;
    if (message.buttons == window::MessageButtons::Ok)
        return window::MessageAnswer::Ok;
    return pressed == IDYES ? window::MessageAnswer::Yes : window::MessageAnswer::No;
}

std::vector<std::string> Win32Window::askForFiles(std::string_view filter)
{
    // "Windows Contacts (*.contact)": the name as it stands, the pattern between the brackets.
    const std::size_t open = filter.rfind('('), close = filter.rfind(')');
    const std::wstring name = wideOf(filter);
    const std::wstring pattern = open != std::string_view::npos && close > open
                                     ? wideOf(filter.substr(open + 1, close - open - 1))
                                     : std::wstring(L"*.*");
    Com<IFileOpenDialog> dialog;
    HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                      reinterpret_cast<void**>(&dialog.p));
    if (FAILED(result))
        dialogFailed(result);
    const COMDLG_FILTERSPEC types[] = {{name.c_str(), pattern.c_str()}};
    dialog->SetFileTypes(1, types);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM);
    result = dialog->Show(m_window);
    if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return {};
    if (FAILED(result))
        dialogFailed(result);
    Com<IShellItemArray> items;
    if (FAILED(result = dialog->GetResults(&items.p)))
        dialogFailed(result);
    DWORD count = 0;
    items->GetCount(&count);
    std::vector<std::string> paths;
    for (DWORD i = 0; i < count; ++i) {
        Com<IShellItem> item;
        if (SUCCEEDED(items->GetItemAt(i, &item.p)))
            if (std::string path = pathOf(item.p); !path.empty())
                paths.push_back(std::move(path));
    }
    return paths;
}

std::string Win32Window::askForFolder(std::string_view title)
{
    // Any failure of the chooser is a cancel.
    Com<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog.p))))
        return {};
    dialog->SetTitle(wideOf(title).c_str());
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    if (FAILED(dialog->Show(m_window)))
        return {};
    Com<IShellItem> item;
    if (FAILED(dialog->GetResult(&item.p)))
        return {};
    return pathOf(item.p);
}

void Win32Window::openDocument(std::string_view document)
{
    // The shell shows its own message when it cannot open it.
    ShellExecuteW(m_window, L"open", wideOf(document).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Window::setText(std::string_view name, std::string_view text)
{
    if (HWND child = control(name))
        SetWindowTextW(child, wideOf(text).c_str());
}

void Win32Window::setEnabled(std::string_view name, bool enabled)
{
    HWND child = control(name);
    if (!child)
        return;
    // A control losing its enabled state while it has the focus would leave the keyboard nowhere.
    if (!enabled && GetFocus() == child) {
        EnableWindow(child, FALSE);
        SetFocus(GetNextDlgTabItem(m_window, child, FALSE));
        return;
    }
    EnableWindow(child, enabled);
}

void Win32Window::setProgressRange(int minimum, int maximum)
{
    SendMessageW(control("ProgressBar1"), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void Win32Window::setProgressValue(int value)
{
    SendMessageW(control("ProgressBar1"), PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void Win32Window::showRows(const filelist::FileList& list, int columnTwips)
{
    m_list = &list;
    HWND grid = control("grdFiles1");
    ListView_SetItemCountEx(grid, list.Rows(), LVSICF_NOSCROLL);
    InvalidateRect(grid, nullptr, FALSE);
    if (columnTwips != m_columnTwips) {
        m_columnTwips = columnTwips;
        ListView_SetColumnWidth(grid, 0, pixelsOf(columnTwips, m_dpi));
    }
}

void Win32Window::setWaitCursor(bool waiting)
{
    m_waiting = waiting;
    // At once when the pointer is over the window; elsewhere WM_SETCURSOR sets it on arrival.
    POINT cursor;
    GetCursorPos(&cursor);
    HWND under = WindowFromPoint(cursor);
    if (under == m_window || IsChild(m_window, under))
        SetCursor(LoadCursorW(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}

void Win32Window::closeWindow()
{
    SendMessageW(m_window, WM_CLOSE, 0, 0);
}

void Win32Window::endProgram()
{
    if (m_window)
        DestroyWindow(m_window);
}

} // namespace tressimo::win32
