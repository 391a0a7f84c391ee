#pragma once
// The window's pictures, drawn here rather than shipped as image files: the banner across the
// top of the window and the program's icon.

#include <QIcon>
#include <QImage>

namespace tressimo::app {

inline constexpr int kBannerWidth = 600;
inline constexpr int kBannerHeight = 95;

// The banner, kBannerWidth x kBannerHeight pixels. Needs a QGuiApplication (it draws text).
QImage drawBanner();
// The icon at size x size pixels; shapes only, so it can be drawn without an application.
QImage drawIcon(int size);
// The icon at the sizes desktops ask for.
QIcon windowIcon();

} // namespace tressimo::app
