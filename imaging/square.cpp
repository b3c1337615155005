#include "square.h"

#include "qtcolour.h"
#include "resample.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// A picture box's single 3D border, in pixels, and its unit of measure.
constexpr int borderPixels = 2;
constexpr int twipsPerPixel = 15;

} // namespace

void paintScaled(QImage &canvas, const Picture &picture, double x, double y, double width, double height)
{
    if (picture.isNull())
        return;
    const int left = int(std::lround(x));
    const int top = int(std::lround(y));
    const int right = int(std::lround(x + width));
    const int bottom = int(std::lround(y + height));
    const QRect target = QRect(QPoint(qMin(left, right), qMin(top, bottom)),
                               QPoint(qMax(left, right) - 1, qMax(top, bottom) - 1));
    if (target.intersected(canvas.rect()).isEmpty())
        return;
    QImage scaled = resampleImage(picture.image(), target.size(), picture.extent());
    scaled = scaled.mirrored(right < left, bottom < top);
    QPainter painter(&canvas);
    painter.drawImage(target.topLeft(), scaled);
}

namespace {

// Draws `picture` into the square `square`, proportions kept and centred;
// its shorter side spans at least `thinnest` pixels.
void drawFitted(QImage &square, const Picture &picture, double thinnest = 0)
{
    const int side = square.width();
    // The box's outer size in twips, read back in single precision.
    const double W = double(float((picture.size().width() + 2 * borderPixels) * twipsPerPixel));
    const double H = double(float((picture.size().height() + 2 * borderPixels) * twipsPerPixel));
    if (W >= H) {
        const double k = W / side;
        const double f = std::max(H / k, thinnest);
        const float o = float((side - f) / 2);
        paintScaled(square, picture, 0, o, side, f);
    } else {
        const double k = H / side;
        const double f = std::max(W / k, thinnest);
        const float o = float((side - f) / 2);
        paintScaled(square, picture, o, 0, f, side);
    }
}

} // namespace

QImage fitIntoSquare(const Picture &picture, QRgb background)
{
    QImage square(Square::side, Square::side, QImage::Format_RGB32);
    square.fill(background);
    drawFitted(square, picture);
    return square;
}

QImage fitIntoClearSquare(const Picture &picture, int side)
{
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    drawFitted(square, picture, 1); // a picture never fades to nothing in an icon
    return square;
}

IconPixels iconPixelsOf(const QImage &square)
{
    IconPixels pixels;
    for (int y = 0; y < Square::side; ++y) {
        for (int x = 0; x < Square::side; ++x) {
            const Colour colour = colourFromQRgb(square.pixel(x, y));
            pixels.colour(x, y) = colour;
            pixels.isTransparent(x, y) = colour == Colours::black;
        }
    }
    return pixels;
}

QByteArray encodeSquare(const QImage &square, SquareOutput output)
{
    switch (output) {
    case SquareOutput::ColourIcon: return encodeIcon24(iconPixelsOf(square));
    case SquareOutput::BlackAndWhiteIcon: return encodeIcon1(iconPixelsOf(square));
    case SquareOutput::Bitmap: return encodeBmp24(square);
    }
    return QByteArray();
}
