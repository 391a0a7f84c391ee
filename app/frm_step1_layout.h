#pragma once
// The fixed layout of frmStep1, in twips as it was designed, and its conversion to pixels.

namespace tressimo::app {

inline constexpr int kTwipsPerPixel = 15;

constexpr int pixelsOf(int twips)
{
    return twips / kTwipsPerPixel;
}

struct ControlPlace
{
    const char* name;
    // Within the client area, except the footer buttons, which are within Picture3.
    int left, top, width, height;
};

inline constexpr int kClientWidth = 8985;
inline constexpr int kClientHeight = 7470;

// Some run past the client area on purpose and are clipped: LblProgessCurrent on the right,
// Shape1 on both sides and below, Picture3 on the left; that way the footer band spans the
// whole width.
inline constexpr ControlPlace kControlPlaces[] = {
    {"Image1", 0, 0, 9000, 1425},
    {"cmdAdd", 240, 1560, 2175, 375},
    {"CmdAddFolder", 2640, 1560, 3495, 375},
    {"cmdClear1", 7080, 1560, 1695, 375},
    {"lblCount1", 360, 2160, 8415, 255},
    {"grdFiles1", 240, 2400, 8535, 2175},
    {"LblCurrentDBX", 240, 4680, 8535, 615},
    {"LblProgessCurrent", 240, 5280, 10935, 495},
    {"Label1", 240, 5760, 1695, 255},
    {"ProgressBar1", 1920, 5760, 6855, 255},
    {"CmdExtractDBX", 3240, 6240, 2415, 435},
    {"Shape1", -240, 6840, 11775, 855},
    {"Picture3", -120, 6960, 9015, 495},
    {"CmdHelp", 360, 0, 1695, 375},
    {"cmdEnd", 7560, 0, 1335, 375},
};

} // namespace tressimo::app
