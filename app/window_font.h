#pragma once

#include <QFont>

namespace tressimo::app {

// Tahoma 8.25 pt where the system has it, otherwise the closest sans-serif it has (DejaVu
// Sans on most Linux systems), narrowed where needed to Tahoma's text widths.
QFont windowFont();

} // namespace tressimo::app
