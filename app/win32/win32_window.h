#pragma once
// The program's one window in plain Win32: the form of window/form_layout.h drawn with the
// standard controls (a report-view ListView for the list, a progress bar), in Tahoma 8.25 at
// the window's own DPI, forwarding its clicks, drops and close box to the window logic, which
// holds every rule.

#include "window/window_logic.h"
#include "window/window_view.h"

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::win32 {

class Win32Window : public window::WindowView
{
public:
    Win32Window(HINSTANCE instance, window::LogicServices services);
    ~Win32Window() override;

    // Creates and shows the window; false when Windows refused.
    bool create(int showCommand);
    // The message loop, until the program ends; the exit code.
    int run();

    window::MessageAnswer showMessage(const window::Message& message) override;
    std::vector<std::string> askForFiles(std::string_view filter) override;
    std::string askForFolder(std::string_view title) override;
    void openDocument(std::string_view document) override;
    void setText(std::string_view control, std::string_view text) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgressValue(int value) override;
    void showRows(const filelist::FileList& list, int columnTwips) override;
    void setWaitCursor(bool waiting) override;
    void runPendingEvents() override;
    void closeWindow() override;
    void endProgram() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    // Places every control and sets the font for this DPI.
    void layOut(int dpi);
    void paint();
    void command(int id);
    void dropped(HDROP drop);
    LRESULT listNotice(NMHDR* notice);
    HWND control(std::string_view name) const;
    // Runs one message as the loop does: keyboard navigation and access keys first.
    void dispatch(MSG& message);

    HINSTANCE m_instance;
    window::LogicServices m_services;
    HWND m_window = nullptr;
    std::map<std::string, HWND, std::less<>> m_controls;
    HFONT m_font = nullptr;
    HBITMAP m_banner = nullptr;
    HBRUSH m_footerBrush = nullptr;
    int m_dpi = 96;
    int m_columnTwips = -1;
    bool m_waiting = false;
    const filelist::FileList* m_list = nullptr;
    // The text of the row the list last asked for; it must live until the next request.
    std::wstring m_rowText;
    std::deque<std::vector<std::string>> m_drops;
    std::unique_ptr<window::WindowLogic> m_logic;
};

} // namespace tressimo::win32
