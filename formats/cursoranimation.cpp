// Animated cursors and Xcursor files as pictures: the file read whole once,
// its frames decoded by its format's file, and a reader for the table of
// formats that gives the picture of the first step that suits the drawing.

#include "cursoranimation.h"

#include "anicursor.h"
#include "fileaccess.h"
#include "formatrows.h"
#include "xcursor.h"

#include <algorithm>
#include <limits>

bool isCursorAnimation(const QByteArray &head)
{
    return isAniCursor(head) || isXcursor(head);
}

std::optional<CursorAnimation> readCursorAnimation(QIODevice &device, CursorFrames which, qint64 pixelLimit)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(12);
    if (!isCursorAnimation(head))
        return std::nullopt;
    const QByteArray file = readUpTo(device, maximumCursorFileBytes + 1);
    device.seek(start);
    if (file.size() > maximumCursorFileBytes)
        return CursorAnimation{{}, {}, Failure{Failure::Kind::TooLarge, QStringLiteral("the cursor is larger than %1 MB")
                                                                            .arg(maximumCursorFileBytes >> 20)}};
    return readCursorAnimation(file, which, pixelLimit);
}

std::optional<CursorAnimation> readCursorAnimation(const QByteArray &file, CursorFrames which, qint64 pixelLimit)
{
    if (isAniCursor(file))
        return readAniFrames(file, which, pixelLimit);
    if (isXcursor(file))
        return readXcursorFrames(file, which, pixelLimit);
    return std::nullopt;
}

const Picture &pictureForSide(const std::vector<Picture> &frame, int side)
{
    auto longest = [](const Picture &picture) { return std::max(picture.size().width(), picture.size().height()); };
    if (side <= 0)
        side = std::numeric_limits<int>::max(); // no drawing size: the largest
    const Picture *best = &frame.front();
    for (const Picture &picture : frame) {
        const bool bestTooSmall = longest(*best) < side;
        if ((bestTooSmall && longest(picture) > longest(*best)) || (longest(picture) >= side && longest(picture) < longest(*best)))
            best = &picture;
    }
    return *best;
}

namespace {

// An animated cursor or Xcursor file as one picture: that of the first
// step which suits the drawing best.
class CursorAnimationReader : public FormatReader
{
public:
    explicit CursorAnimationReader(QIODevice &device)
        : m_animation(readCursorAnimation(device, CursorFrames::FirstStep).value_or(CursorAnimation{}))
    {
    }

    PictureLoad decodeWhole(QIODevice &, QSize drawSize, DrawDetail) override
    {
        if (m_animation.failure)
            return {Picture(), m_animation.failure};
        const std::vector<Picture> &first = m_animation.frames[m_animation.steps.front().frame];
        const int side = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
        return {pictureForSide(first, side)};
    }

private:
    CursorAnimation m_animation;
};

} // namespace

bool isAniFile(QIODevice &, const QByteArray &head)
{
    return isAniCursor(head);
}

bool isXcursorFile(QIODevice &, const QByteArray &head)
{
    return isXcursor(head);
}

std::unique_ptr<FormatReader> openCursorAnimationReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<CursorAnimationReader>(device);
}
