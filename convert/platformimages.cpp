#include "platformimages.h"

#include "iconsizes.h"
#include "openinput.h"
#include "pictureencoding.h"
#include "readpicture.h"
#include "workthreads.h"

#include <QBuffer>
#include <QColorSpace>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace {

// The largest side at most `fraction` of `canvas` that leaves an even
// margin, so that the square sits exactly in the middle.
int centredSide(int canvas, double fraction)
{
    int side = int(std::floor(canvas * fraction + 1e-9));
    if ((canvas - side) % 2)
        --side;
    return std::max(side, 1);
}

// The square a disc of diameter `side` holds.
constexpr double inDisc = 0.70710678118654752; // 1 / sqrt(2)
// Android's adaptive icon: a layer of 108 dp, of which any mask keeps at
// least the circle of 66 dp in the middle; the picture goes into the
// square that circle holds.
constexpr double inSafeCircle = 66.0 / 108.0 * inDisc;

// The side of the square the picture is fitted into for `image`; `aspect`
// is the picture's width over its height.
int squareSideFor(const PlannedImage &image, double aspect)
{
    const int width = image.size.width();
    const int height = image.size.height();
    switch (image.look) {
    case Look::Fitted:
    case Look::Opaque:
        return width;
    case Look::Round:
        return centredSide(width, inDisc);
    case Look::Foreground:
    case Look::Monochrome:
        return centredSide(width, inSafeCircle);
    case Look::Banner: {
        // A wide picture fills the width it needs, its bands cut away above
        // and below; a tall one fills the height.
        const int wide = int(std::floor(height * aspect));
        if (wide <= height)
            return height;
        const int side = std::min(width, wide);
        return side - (width - side) % 2;
    }
    }
    return width;
}

QImage canvasOf(const QSize &size, const QColor &fill)
{
    QImage canvas(size, QImage::Format_ARGB32);
    canvas.fill(fill);
    return canvas;
}

// `square` centred on `canvas`.
QImage centredOn(QImage canvas, const QImage &square)
{
    QPainter painter(&canvas);
    painter.drawImage((canvas.width() - square.width()) / 2, (canvas.height() - square.height()) / 2, square);
    painter.end();
    return canvas;
}

QImage roundOn(const QSize &size, const QColor &background)
{
    QImage disc = canvasOf(size, Qt::transparent);
    QPainter painter(&disc);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawEllipse(QRectF(0, 0, size.width(), size.height()));
    return disc;
}

// Every pixel white, its alpha kept.
QImage whiteShape(QImage image)
{
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(255, 255, 255, qAlpha(line[x]));
    }
    return image;
}

QImage composed(const PlannedImage &image, const QImage &square, const QColor &background)
{
    switch (image.look) {
    case Look::Fitted:
        return square;
    case Look::Opaque:
    case Look::Banner: {
        // Stores take these as they are: no alpha channel, and said to be
        // sRGB, as the pictures are read.
        QImage opaque = centredOn(canvasOf(image.size, background), square).convertToFormat(QImage::Format_RGB32);
        opaque.setColorSpace(QColorSpace::SRgb);
        return opaque;
    }
    case Look::Round:
        return centredOn(roundOn(image.size, background), square);
    case Look::Foreground:
        return centredOn(canvasOf(image.size, Qt::transparent), square);
    case Look::Monochrome:
        return whiteShape(centredOn(canvasOf(image.size, Qt::transparent), square));
    }
    return square;
}

// The width over the height of the first picture, which the others draw
// small sizes of.
double aspectOf(const std::vector<Picture> &pictures)
{
    const QSize size = pictures.front().size();
    return size.height() > 0 ? double(size.width()) / size.height() : 1.0;
}

// The pictures a square of `side` is made from: those read, or for a side
// beyond their reading, the first drawing drawn afresh at that side, which
// then stands alone (nothing smaller is exactly that size).
struct Squares
{
    std::map<int, QImage> ofSide;
    std::optional<Failure> failure;
    std::vector<SizeSource> planned; // of the pictures read
};

void addSquares(Squares &squares, const std::vector<Picture> &pictures, const std::vector<int> &sides, bool enlarge,
                bool keyBlack)
{
    IconSizePlan plan = planIconSizes(pictures, sides, enlarge);
    if (plan.failure) {
        squares.failure = std::move(plan.failure);
        return;
    }
    for (QImage &square : squareImagesOf(pictures, plan.sources, keyBlack))
        squares.ofSide[square.width()] = std::move(square);
    squares.planned.insert(squares.planned.end(), plan.sources.begin(), plan.sources.end());
}

// A square of `side` of the drawing drawn afresh at that side.
Squares freshSquare(const Picture &drawing, int side, bool keyBlack)
{
    QByteArray document = drawing.document();
    QBuffer buffer(&document);
    buffer.open(QIODevice::ReadOnly);
    PictureLoad fresh = readPicture(buffer, QSize(side, side));
    Squares drawn;
    if (fresh.failure)
        drawn.failure = std::move(fresh.failure);
    else
        addSquares(drawn, {std::move(fresh.picture)}, {side}, true, keyBlack);
    return drawn;
}

Squares squaresOf(const std::vector<Picture> &pictures, const std::set<int, std::greater<int>> &sides, bool enlarge,
                  bool keyBlack)
{
    std::vector<int> read;
    std::vector<std::future<Squares>> fresh;
    const Picture *drawing = firstDrawing(pictures);
    for (int side : sides) {
        if (side <= setReadingSide || !drawing)
            read.push_back(side);
        else // drawn by the renderer while the sizes read are made here
            fresh.push_back(WorkThreads::startSideBySide([drawing, side, keyBlack] {
                return freshSquare(*drawing, side, keyBlack);
            }));
    }
    Squares squares;
    addSquares(squares, pictures, read, enlarge, keyBlack);
    // A drawing that cannot be drawn afresh is the failure told, as the
    // largest side's.
    std::optional<Failure> drawingFailure;
    for (std::future<Squares> &drawn : fresh) {
        Squares one = drawn.get();
        if (one.failure && !drawingFailure)
            drawingFailure = std::move(one.failure);
        squares.ofSide.merge(one.ofSide);
    }
    if (drawingFailure)
        squares.failure = std::move(drawingFailure);
    return squares;
}

} // namespace

MadeImages makePlannedImages(const std::vector<Picture> &pictures, const std::vector<PlannedImage> &plan,
                             const QStringList &inputs, const QColor &background, bool keyBlack)
{
    const bool enlarge = inputs.size() == 1;
    const double aspect = aspectOf(pictures);
    std::set<int, std::greater<int>> sides;
    for (const PlannedImage &image : plan)
        sides.insert(squareSideFor(image, aspect));
    Squares squares = squaresOf(pictures, sides, enlarge, keyBlack);
    if (squares.failure)
        return {{}, std::move(squares.failure), std::nullopt};
    MadeImages made;
    made.enlarged = enlargedNote(pictures, squares.planned, inputs);
    // Each image is laid out and encoded side by side with the others, as
    // threads are free (-j); zlib's fastest level, as a phone's or a store's
    // tools pack the images again themselves.
    std::vector<std::future<QByteArray>> encoded;
    for (const PlannedImage &image : plan) {
        const QImage &square = squares.ofSide.at(squareSideFor(image, aspect));
        encoded.push_back(WorkThreads::startSideBySide([&image, &square, background] {
            return encodePng(composed(image, square, background), true);
        }));
    }
    for (size_t i = 0; i < plan.size(); ++i)
        made.files.push_back({plan[i].name, encoded[i].get()});
    return made;
}

void writeSetFiles(SetWriter &set, const std::vector<SetFile> &files, const Operand &picture, SetFiles &result)
{
    QStringList names;
    for (const SetFile &file : files)
        names << file.name;
    if (!(result.failure = set.firstRefusal(names)))
        for (const SetFile &file : files)
            if ((result.failure = set.write(file.name, file.bytes, picture)))
                break;
    result.written = set.written();
}
