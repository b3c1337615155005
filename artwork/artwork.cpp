#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

// A closed outline through the given corners, in order.
QPainterPath closedOutline(std::initializer_list<QPointF> corners)
{
    QPainterPath outline;
    outline.moveTo(*corners.begin());
    for (auto corner = corners.begin() + 1; corner != corners.end(); ++corner)
        outline.lineTo(*corner);
    outline.closeSubpath();
    return outline;
}

QImage transparentCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A small landscape: sky, sun and hill, the kind of picture Tervana turns
// into an icon.
void drawLandscape(QPainter &p, const QRectF &r)
{
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(70, 140, 220));
    sky.setColorAt(1, QColor(180, 215, 245));
    p.fillRect(r, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 40));
    const qreal s = r.width() / 8;
    p.drawEllipse(QRectF(r.right() - 3 * s, r.top() + s, 2 * s, 2 * s));
    QPainterPath hill;
    hill.moveTo(r.left(), r.bottom());
    hill.cubicTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.45, r.left() + r.width() * 0.6,
                 r.top() + r.height() * 0.55, r.right(), r.top() + r.height() * 0.7);
    hill.lineTo(r.bottomRight());
    hill.closeSubpath();
    p.setBrush(QColor(60, 150, 70));
    p.drawPath(hill);
}

// A 32 x 32 button picture on a clear ground, drawn smooth by `draw`.
QImage buttonPicture(const std::function<void(QPainter &)> &draw)
{
    QImage image = transparentCanvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return image;
}

} // namespace

namespace Artwork {

void drawWindowIcon(QPainter &p, qreal side)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64 x 64 grid, scaled to the side asked for.
    if (side != 64)
        p.scale(side / 64, side / 64);
    // A large picture behind, and the small square icon made from it in front.
    drawLandscape(p, QRectF(2, 2, 46, 36));
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2, 2, 46, 36));
    p.fillRect(QRectF(30, 30, 32, 32), Qt::white);
    drawLandscape(p, QRectF(33, 33, 26, 26));
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.setBrush(Qt::NoBrush); // a frame only: the small landscape must show
    p.drawRect(QRectF(31, 31, 30, 30));
    p.restore();
}

QImage windowIcon()
{
    QImage image = transparentCanvas(64, 64);
    QPainter p(&image);
    drawWindowIcon(p, 64);
    p.end();
    // The window icon is a 256-colour image.
    return image.convertToFormat(QImage::Format_Indexed8).convertToFormat(QImage::Format_ARGB32);
}

QImage openPicture()
{
    return buttonPicture([](QPainter &p) {
        p.setPen(QPen(QColor(120, 80, 10), 1.2));
        p.setBrush(QColor(235, 185, 70));
        p.drawPath(closedOutline({{3, 8}, {12, 8}, {14, 11}, {28, 11}, {28, 27}, {3, 27}}));
        drawLandscape(p, QRectF(9, 5, 16, 12));
        p.setBrush(QColor(250, 210, 100));
        p.drawPath(closedOutline({{3, 27}, {7, 15}, {31, 15}, {28, 27}}));
    });
}

QImage savePicture()
{
    return buttonPicture([](QPainter &p) {
        p.setPen(QPen(QColor(20, 30, 70), 1.2));
        p.setBrush(QColor(50, 80, 170));
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(QColor(230, 230, 235));
        p.drawRect(QRectF(9, 4.5, 14, 9));
        p.setBrush(QColor(50, 80, 170));
        p.drawRect(QRectF(18, 6, 3, 6));
        drawLandscape(p, QRectF(8, 17, 16, 10));
    });
}

QImage exitPicture()
{
    return buttonPicture([](QPainter &p) {
        // A power symbol: an open ring with a bar through its gap.
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(6, 7, 20, 20), 120 * 16, 300 * 16);
        p.drawLine(QPointF(16, 4), QPointF(16, 15));
    });
}

QImage logo()
{
    QImage image(45, 64, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, 64);
    background.setColorAt(0, QColor(30, 60, 120));
    background.setColorAt(1, QColor(90, 40, 110));
    p.fillRect(image.rect(), background);
    drawLandscape(p, QRectF(6, 38, 33, 20));
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(30);
    p.setFont(font);
    p.drawText(QRect(0, 2, 45, 34), Qt::AlignCenter, QStringLiteral("T"));
    return image;
}

} // namespace Artwork
