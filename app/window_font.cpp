#include "app/window_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace tressimo::app {

namespace {

struct Substitute
{
    const char* family;
    // Horizontal stretch (percent) that brings the family's text widths to Tahoma's: the
    // layout was measured in Tahoma, and Verdana-like faces (DejaVu Sans descends from Bitstream
    // Vera) run about a tenth wider, which would clip captions such as "Conversion Progress : ".
    int stretch;
};

// Tahoma first; then the sans-serifs closest to it.
constexpr Substitute kFamilies[] = {
    {"Tahoma", 100}, {"DejaVu Sans", 90}, {"Verdana", 90}, {"Liberation Sans", 100}, {"Noto Sans", 100},
};

} // namespace

QFont windowFont()
{
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    for (const Substitute& substitute : kFamilies) {
        const QString family = QString::fromLatin1(substitute.family);
        if (QFontDatabase::hasFamily(family)) {
            font.setFamily(family);
            if (substitute.stretch != 100)
                font.setStretch(substitute.stretch);
            break;
        }
    }
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace tressimo::app
