// Xcursor files: the table and the images' headers read by the icon
// module, the frames of the animation (the images of each size in turn)
// decoded here.

#include "animation.h"
#include "cursorframes.h"
#include "xcursor.h"

#include <algorithm>

namespace {

// An image's pixels as a picture with straight alpha. A colour larger than
// its alpha, which premultiplied pixels cannot hold, is taken as the alpha.
Picture pictureOf(const QByteArray &file, const XcursorContents &contents, size_t index)
{
    const XcursorImage &image = contents.images[index];
    QImage premultiplied(image.width, image.height, QImage::Format_ARGB32_Premultiplied);
    const std::vector<quint32> pixels = xcursorPixels(file, contents, index);
    for (int y = 0; y < image.height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(premultiplied.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const QRgb pixel = pixels[size_t(y) * size_t(image.width) + size_t(x)];
            const int alpha = qAlpha(pixel);
            row[x] = qRgba(std::min(qRed(pixel), alpha), std::min(qGreen(pixel), alpha), std::min(qBlue(pixel), alpha), alpha);
        }
    }
    Picture picture(premultiplied.convertToFormat(QImage::Format_ARGB32));
    picture.setHotSpot(QPointF(image.hotSpot));
    return picture;
}

qint64 pixelsOfFrames(const XcursorContents &contents, const std::vector<std::vector<size_t>> &frames, size_t count)
{
    qint64 pixels = 0;
    for (size_t frame = 0; frame < count; ++frame)
        for (size_t index : frames[frame])
            pixels += qint64(contents.images[index].width) * contents.images[index].height;
    return pixels;
}

} // namespace

CursorAnimation readXcursorFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit)
{
    CursorAnimation animation;
    const std::optional<XcursorContents> contents = readXcursor(file);
    if (!contents || !contents->damage.isEmpty()) {
        animation.failure = damagedCursor(contents ? contents->damage : QStringList{QStringLiteral("it is no Xcursor file")});
        return animation;
    }
    const std::vector<std::vector<size_t>> frames = xcursorFrames(contents->images);
    if (frames.size() > size_t(maximumAnimationFrames)) {
        animation.failure = tooManyFrames(qint64(frames.size()));
        return animation;
    }
    const size_t decoded = which == CursorFrames::All ? frames.size() : 1;
    if (pixelsOfFrames(*contents, frames, decoded) > pixelLimit) {
        animation.failure = cursorTooLarge(pixelLimit);
        return animation;
    }
    animation.frames.resize(frames.size());
    for (size_t frame = 0; frame < frames.size(); ++frame) {
        animation.steps.push_back({frame, frameMilliseconds(contents->images[frames[frame].front()].delay)});
        for (size_t index : frames[frame])
            if (frame < decoded)
                animation.frames[frame].push_back(pictureOf(file, *contents, index));
    }
    return animation;
}
