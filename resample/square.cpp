#include "square.h"

#include "pictureencoding.h"
#include "qtcolour.h"
#include "resample.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// A picture box's single 3D border, in pixels, and its unit of measure.
constexpr int borderPixels = 2;
constexpr int twipsPerPixel = 15;

// The pixels a drawing at (x, y) of width by height covers: its edges
// rounded half away from zero; a negative width or height counts from the
// other edge.
QRect coveredPixels(double x, double y, double width, double height)
{
    const int left = int(std::lround(x));
    const int top = int(std::lround(y));
    const int right = int(std::lround(x + width));
    const int bottom = int(std::lround(y + height));
    return QRect(QPoint(qMin(left, right), qMin(top, bottom)), QPoint(qMax(left, right) - 1, qMax(top, bottom) - 1));
}

// Where a picture of `size` is drawn in a square of `side`, proportions kept
// and centred, its shorter side at least `thinnest` pixels: as the window's
// picture box measures it, its size plus a 2-pixel border on each side, in
// twips read back in single precision.
QRect fittedPixels(QSize size, int side, double thinnest)
{
    const double W = double(float((size.width() + 2 * borderPixels) * twipsPerPixel));
    const double H = double(float((size.height() + 2 * borderPixels) * twipsPerPixel));
    if (W >= H) {
        const double k = W / side;
        const double f = std::max(H / k, thinnest);
        const float o = float((side - f) / 2);
        return coveredPixels(0, o, side, f);
    }
    const double k = H / side;
    const double f = std::max(W / k, thinnest);
    const float o = float((side - f) / 2);
    return coveredPixels(o, 0, f, side);
}

} // namespace

void paintScaled(QImage &canvas, const Picture &picture, double x, double y, double width, double height)
{
    if (picture.isNull())
        return;
    const QRect target = coveredPixels(x, y, width, height);
    if (target.intersected(canvas.rect()).isEmpty())
        return;
    QImage scaled = resampleImage(picture.image(), target.size(), picture.extent());
    scaled = scaled.mirrored(std::lround(x + width) < std::lround(x), std::lround(y + height) < std::lround(y));
    QPainter painter(&canvas);
    painter.drawImage(target.topLeft(), scaled);
}

namespace {

// Draws `picture` into the square `square`, proportions kept and centred;
// its shorter side spans at least `thinnest` pixels.
void drawFitted(QImage &square, const Picture &picture, double thinnest = 0)
{
    const QRect target = fittedPixels(picture.size(), square.width(), thinnest);
    paintScaled(square, picture, target.x(), target.y(), target.width(), target.height());
}

} // namespace

QImage fitIntoSquare(const Picture &picture, QRgb background)
{
    const bool opaque = qAlpha(background) == 255;
    QImage square(Square::side, Square::side, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    square.fill(opaque ? background : qPremultiply(background));
    drawFitted(square, picture);
    return square;
}

QPoint pointInSquare(QSize size, QPointF point, int side, SquareBands bands)
{
    const QRect target = fittedPixels(size, side, bands == SquareBands::Clear ? 1 : 0);
    // The pixel of the fitted picture whose share of the picture holds the
    // point; one on the picture's edge or past it, its last pixel.
    const auto place = [side](double at, int length, int from, int span) {
        const double within = std::isfinite(at) ? std::clamp(at, 0.0, double(length)) : 0.0;
        const int pixel = from + int(std::floor(within * std::max(span, 0) / std::max(length, 1)));
        // A picture too thin to cover a pixel (drawn at the window's rule)
        // spans none: the point is where it would be.
        const int first = std::clamp(from, 0, side - 1);
        const int last = std::clamp(std::max(from, from + span - 1), 0, side - 1);
        return std::clamp(pixel, first, last);
    };
    return QPoint(place(point.x(), size.width(), target.x(), target.width()),
                  place(point.y(), size.height(), target.y(), target.height()));
}

QImage fitIntoClearSquare(const Picture &picture, int side)
{
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    drawFitted(square, picture, 1); // a picture never fades to nothing in an icon
    return square;
}

bool hasTransparency(const Picture &picture)
{
    const QImage &image = picture.image();
    if (!image.hasAlphaChannel())
        return false;
    if (image.format() == QImage::Format_Indexed8) {
        const QList<QRgb> palette = image.colorTable();
        for (int y = 0; y < image.height(); ++y) {
            const uchar *line = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                if (line[x] < palette.size() && qAlpha(palette[line[x]]) < 255)
                    return true;
        }
        return false;
    }
    const bool straight32 = image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(straight32 ? line[x] : image.pixel(x, y)) < 255)
                return true;
    }
    return false;
}

IconPixels iconPixelsOf(const QImage &square)
{
    // Less than half opaque: alpha of 127 or below.
    constexpr int halfOpaque = 128;
    const bool ownTransparency = square.hasAlphaChannel();
    const bool premultiplied = square.format() == QImage::Format_ARGB32_Premultiplied;
    IconPixels pixels;
    for (int y = 0; y < Square::side; ++y) {
        for (int x = 0; x < Square::side; ++x) {
            // Its own colour, as it shows where it is opaque.
            const QRgb pixel = premultiplied ? qUnpremultiply(square.pixel(x, y)) : square.pixel(x, y);
            const bool clear = ownTransparency ? qAlpha(pixel) < halfOpaque : colourFromQRgb(pixel) == Colours::black;
            pixels.colour(x, y) = clear ? Colours::black : colourFromQRgb(pixel);
            pixels.isTransparent(x, y) = clear;
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
