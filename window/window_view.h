#pragma once
// What the window's logic asks of a front end: the dialogs and message boxes, the texts,
// states and progress of the controls, the wait cursor, letting pending events run, and the
// end of the program. The Qt and the Win32 window each implement it and only draw and
// forward; tests put a recorder in its place. Controls are named as in form_layout.h; every
// text is UTF-8 where it is prose, and the system's bytes where it is a path.

#include "filelist/file_list.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::window {

// The application title, the title of every message box that names none of its own.
inline constexpr char kApplicationTitle[] = "Tressimo";

enum class MessageIcon { None, Information, Question, Exclamation };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message
{
    // Lines are broken with CR LF, as Windows message boxes take them.
    std::string text;
    std::string title = kApplicationTitle;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// A failure of the file-open dialog that the add-files command reports as
// number + ":" + description.
class DialogError : public std::runtime_error
{
public:
    DialogError(int number, const std::string& description)
        : std::runtime_error(description), m_number(number)
    {
    }
    int number() const { return m_number; }

private:
    int m_number;
};

// A selection too long for a dialog that returns it in a buffer of limited size; the command
// shows "Please select only " + limit + " files at a time".
class SelectionTooLong : public std::runtime_error
{
public:
    explicit SelectionTooLong(int limit)
        : std::runtime_error("the selection does not fit the dialog's buffer"), m_limit(limit)
    {
    }
    int limit() const { return m_limit; }

private:
    int m_limit;
};

class WindowView
{
public:
    virtual ~WindowView() = default;

    // Modal; the button pressed (No when a Yes/No box is closed otherwise).
    virtual MessageAnswer showMessage(const Message& message) = 0;
    // The file-open dialog, several files at a time: the full paths in the dialog's order,
    // empty when cancelled. May throw DialogError or SelectionTooLong.
    virtual std::vector<std::string> askForFiles(std::string_view filter) = 0;
    // The folder chooser: the folder, or empty text on cancel and on any failure.
    virtual std::string askForFolder(std::string_view title) = 0;
    // Opens a document or address with the desktop's default application, without waiting.
    virtual void openDocument(std::string_view document) = 0;

    virtual void setText(std::string_view control, std::string_view text) = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgressValue(int value) = 0;
    // Brings grdFiles1's rows up to the list (which only grew, or was reset, since the last
    // call), and its column to this width in twips.
    virtual void showRows(const filelist::FileList& list, int columnTwips) = 0;
    virtual void setWaitCursor(bool waiting) = 0;

    // Lets pending window messages run: repaints, clicks, the close box.
    virtual void runPendingEvents() = 0;
    // Closes the window as the close box does; the front end then calls WindowLogic::closing.
    virtual void closeWindow() = 0;
    // Ends the program, once the window has closed and the command under way has stopped.
    virtual void endProgram() = 0;
};

} // namespace tressimo::window
