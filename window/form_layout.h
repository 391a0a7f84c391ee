#pragma once
// The window's fixed form, as it was designed: every control with its kind, caption, place
// in twips, container and place in the focus order. Both front ends build their controls
// from this table, so the two windows cannot drift apart.

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tressimo::window {

inline constexpr char kWindowTitle[] = "Tressimo v3.0";
inline constexpr int kClientWidth = 8985;
inline constexpr int kClientHeight = 7470;
// Tahoma 8.25 pt, the form's font.
inline constexpr char kFontFamily[] = "Tahoma";
inline constexpr double kFontPoints = 8.25;

// The twips of a logical inch; at 96 dots per inch one pixel is 15 twips.
inline constexpr int kTwipsPerInch = 1440;

constexpr int pixelsOf(int twips, int dotsPerInch = 96)
{
    return twips * dotsPerInch / kTwipsPerInch;
}

enum class ControlKind { Picture, Button, Label, FileGrid, ProgressBar, Rectangle, Container };

struct FormControl
{
    const char* name;
    ControlKind kind;
    // The initial text; "&" marks the access key of the letter after it.
    const char* caption;
    // Within the client area, or within `container` when it names one.
    int left, top, width, height;
    const char* container;
    // Place in the focus order; -1 for controls that take no focus.
    int tabIndex;
};

// Listed bottom to top: where two meet, the later one is drawn over the earlier. Some run past
// the client area on purpose and are clipped: LblProgessCurrent on the right, Shape1 on both
// sides and below, Picture3 on the left; that way the footer band spans the whole width.
inline constexpr FormControl kFormControls[] = {
    {"Image1", ControlKind::Picture, "", 0, 0, 9000, 1425, nullptr, -1},
    {"cmdAdd", ControlKind::Button, "Add .contact file(s)...", 240, 1560, 2175, 375, nullptr, 0},
    {"CmdAddFolder", ControlKind::Button, "Add folder having .contact file(s)...", 2640, 1560, 3495, 375, nullptr, 2},
    {"cmdClear1", ControlKind::Button, "Clear file(s)...", 7080, 1560, 1695, 375, nullptr, 1},
    {"lblCount1", ControlKind::Label, "0 files", 360, 2160, 8415, 255, nullptr, -1},
    {"grdFiles1", ControlKind::FileGrid, "", 240, 2400, 8535, 2175, nullptr, 3},
    {"LblCurrentDBX", ControlKind::Label, "Converting Contacts...", 240, 4680, 8535, 615, nullptr, -1},
    {"LblProgessCurrent", ControlKind::Label, "Contacts not initialized yet...", 240, 5280, 10935, 495, nullptr, -1},
    {"Label1", ControlKind::Label, "Conversion Progress : ", 240, 5760, 1695, 255, nullptr, -1},
    {"ProgressBar1", ControlKind::ProgressBar, "", 1920, 5760, 6855, 255, nullptr, -1},
    {"CmdExtractDBX", ControlKind::Button, "Convert", 3240, 6240, 2415, 435, nullptr, 4},
    {"Shape1", ControlKind::Rectangle, "", -240, 6840, 11775, 855, nullptr, -1},
    {"Picture3", ControlKind::Container, "", -120, 6960, 9015, 495, nullptr, -1},
    {"CmdHelp", ControlKind::Button, "&Help Manual", 360, 0, 1695, 375, "Picture3", 6},
    {"cmdEnd", ControlKind::Button, "E&xit", 7560, 0, 1335, 375, "Picture3", 5},
};

// The footer band's colour (red, green, blue).
inline constexpr unsigned char kFooterColour[3] = {0x1E, 0x4D, 0x80};

// The control of that name; the names are the table's own, so a miss is a programming error.
constexpr const FormControl& formControl(std::string_view name)
{
    for (const FormControl& control : kFormControls)
        if (name == control.name)
            return control;
    throw std::logic_error("a control without a place");
}

// The controls that take the focus, in the order Tab walks them.
inline std::vector<const FormControl*> focusOrder()
{
    std::vector<const FormControl*> order;
    for (const FormControl& control : kFormControls)
        if (control.tabIndex >= 0)
            order.push_back(&control);
    std::sort(order.begin(), order.end(),
              [](const FormControl* a, const FormControl* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

} // namespace tressimo::window
