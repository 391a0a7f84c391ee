#pragma once
// Resource numbers of the Win32 window, shared by tressimo.rc and the code.

#define TRESSIMO_ICON 1
#define TRESSIMO_BANNER 2
