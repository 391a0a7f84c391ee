#include "app/artwork.h"

#include "app/window_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace tressimo::app {

namespace {

const QColor kNavy(0x16, 0x3A, 0x66);
const QColor kBlue(0x2F, 0x6F, 0xB2);
const QColor kSky(0x2A, 0x86, 0xB8);
const QColor kOrange(0xF3, 0x9C, 0x12);
const QColor kPaper(0xFB, 0xFC, 0xFE);

// A contact card with a person on it, in a 32 x 38 box at the origin.
void drawCard(QPainter& p, const QColor& ink)
{
    QPainterPath card;
    card.addRoundedRect(QRectF(0, 0, 32, 38), 4, 4);
    p.fillPath(card, kPaper);
    p.save();
    p.setClipPath(card);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(16, 14), 6.5, 6.5);
    p.drawEllipse(QRectF(4, 24, 24, 22));
    p.restore();
}

// The icon's drawing in a 64 x 64 box.
void drawIconShapes(QPainter& p)
{
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
    QLinearGradient sky(0, 2, 0, 62);
    sky.setColorAt(0, kBlue.lighter(115));
    sky.setColorAt(1, kNavy);
    p.fillPath(tile, sky);

    p.save();
    p.translate(10, 10);
    drawCard(p, kBlue);
    p.restore();

    // The arrow badge: contacts going somewhere.
    p.setPen(QPen(kPaper, 2.5));
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(45, 45), 12, 12);
    QPainterPath arrow;
    arrow.moveTo(38.5, 42.5);
    arrow.lineTo(45, 42.5);
    arrow.lineTo(45, 37.5);
    arrow.lineTo(52.5, 45);
    arrow.lineTo(45, 52.5);
    arrow.lineTo(45, 47.5);
    arrow.lineTo(38.5, 47.5);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawPath(arrow);
}

// An Outlook data file: a page with a folded corner and ".pst" on it, in a 38 x 48 box.
void drawDataFile(QPainter& p, const QFont& font)
{
    QPainterPath page;
    page.moveTo(0, 3);
    page.quadTo(0, 0, 3, 0);
    page.lineTo(27, 0);
    page.lineTo(38, 11);
    page.lineTo(38, 45);
    page.quadTo(38, 48, 35, 48);
    page.lineTo(3, 48);
    page.quadTo(0, 48, 0, 45);
    page.closeSubpath();
    p.fillPath(page, kPaper);
    QPainterPath fold;
    fold.moveTo(27, 0);
    fold.lineTo(27, 11);
    fold.lineTo(38, 11);
    fold.closeSubpath();
    p.fillPath(fold, QColor(0xC9, 0xD8, 0xEA));
    p.fillRect(QRectF(0, 28, 38, 13), kOrange);
    QFont label = font;
    label.setBold(true);
    label.setPixelSize(10);
    p.setFont(label);
    p.setPen(kPaper);
    p.drawText(QRectF(0, 28, 38, 13), Qt::AlignCenter, QStringLiteral(".pst"));
    p.setPen(QPen(kBlue, 2));
    for (int y : {10, 16, 22})
        p.drawLine(QPointF(6, y), QPointF(y == 10 ? 22 : 32, y));
}

} // namespace

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    drawIconShapes(p);
    return image;
}

QIcon windowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(drawIcon(size)));
    return icon;
}

QImage drawBanner()
{
    QImage image(kBannerWidth, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient band(0, 0, kBannerWidth, 0);
    band.setColorAt(0, kNavy);
    band.setColorAt(0.55, kBlue);
    band.setColorAt(1, kSky);
    p.fillRect(image.rect(), band);

    // Soft light from the right, behind the picture of the conversion.
    QRadialGradient glow(QPointF(480, 40), 190);
    glow.setColorAt(0, QColor(255, 255, 255, 60));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);

    p.save();
    p.translate(18, 14);
    drawIconShapes(p);
    p.restore();

    // The window's family, at its natural width: the banner is a picture, not the layout.
    QFont base = windowFont();
    base.setStretch(QFont::Unstretched);
    QFont title = base;
    title.setBold(true);
    title.setPixelSize(30);
    p.setFont(title);
    p.setPen(kPaper);
    p.drawText(QPointF(96, 47), QStringLiteral("Tressimo"));

    QFont subtitle = base;
    subtitle.setPixelSize(12);
    p.setFont(subtitle);
    p.setPen(QColor(0xD6, 0xE6, 0xF5));
    p.drawText(QPointF(97, 70), QStringLiteral("Windows Contacts to Outlook, in one data file"));

    // Three cards fanned out, an arrow, and the data file they become.
    const QColor inks[] = {kSky, kOrange.darker(110), kBlue};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(408 + i * 16, 26 + (i == 1 ? -4 : 0));
        p.rotate(-8 + i * 8);
        p.setOpacity(i == 2 ? 1.0 : 0.9);
        drawCard(p, inks[i]);
        p.restore();
    }
    p.setPen(QPen(kPaper, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(472, 47), QPointF(506, 47));
    p.drawPolyline(QList<QPointF>{{498, 39}, {507, 47}, {498, 55}});
    p.save();
    p.translate(522, 22);
    drawDataFile(p, base);
    p.restore();

    // A thin accent line where the banner meets the window.
    p.fillRect(QRectF(0, kBannerHeight - 3, kBannerWidth, 3), kOrange);
    return image;
}

} // namespace tressimo::app
