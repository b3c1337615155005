#include "animation.h"

#include "gifformat.h"
#include "littleendian.h"
#include "picturelimits.h"
#include "qtdecode.h"

#include <QImageReader>

namespace {

Failure notAnAnimation(const QString &why)
{
    return Failure{Failure::Kind::NotAPicture, why};
}

// Why the frames are refused before any is decoded: too many of them, or
// too many pixels in all.
std::optional<Failure> refusalOf(int frames, QSize size)
{
    if (frames > maximumAnimationFrames)
        return tooManyFrames(frames);
    // Each frame is drawn whole on the screen, however little of it the
    // frame covers: the memory is the screen's, known before any is drawn.
    if (isTooLarge(size, maximumAnimationScreenPixels))
        return Failure{Failure::Kind::TooLarge,
                       QStringLiteral("the animation's screen is too large (%1 x %2 pixels; each frame is drawn on all "
                                      "of it, and at most %3 pixels are)")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(pixelCountInWords(maximumAnimationScreenPixels))};
    if (pixelsOf(size) * frames > maximumPicturePixels)
        return Failure{Failure::Kind::TooLarge,
                       QStringLiteral("the animation is too large (%1 frames of %2 x %3 pixels; at most %4 million "
                                      "pixels are read in all)")
                           .arg(frames)
                           .arg(size.width())
                           .arg(size.height())
                           .arg(maximumPicturePixels / 1'000'000)};
    return std::nullopt;
}

} // namespace

int frameMilliseconds(qint64 milliseconds)
{
    return milliseconds <= 0 ? shownForShortFrames : int(std::min<qint64>(milliseconds, longestFrameMilliseconds));
}

Failure tooManyFrames(qint64 frames)
{
    return Failure{Failure::Kind::TooLarge,
                   QStringLiteral("the animation has too many frames (%1; at most %2 are read)").arg(frames).arg(maximumAnimationFrames)};
}

Failure tooManySteps(qint64 steps)
{
    return Failure{Failure::Kind::TooLarge,
                   QStringLiteral("the animation has too many steps (%1; at most %2 are shown)").arg(steps).arg(maximumAnimationSteps)};
}

AnimationReader::AnimationReader(QIODevice &device)
    : m_reader(std::make_unique<QImageReader>(&device))
{
    const QByteArray head = device.peek(10);
    const QByteArray format = m_reader->canRead() ? m_reader->format() : QByteArray();
    if (format != "gif" && format != "webp") {
        m_failure = notAnAnimation(QStringLiteral("it is no animated GIF or WebP"));
        return;
    }
    // Qt's readers count the frames by walking the file, without decoding.
    m_frames = std::max(m_reader->imageCount(), 1);
    // Each frame is drawn on the whole canvas: a GIF's logical screen,
    // which Qt's reader does not give as the size, or a WebP's canvas.
    m_canvas = m_reader->size();
    if (format == "gif") {
        m_gifDelays = gifFrameDelays(device, maximumAnimationFrames);
        m_canvas = m_canvas.expandedTo(QSize(fieldAt<quint16>(head, 6), fieldAt<quint16>(head, 8)));
    }
    m_failure = refusalOf(m_frames, m_canvas);
}

AnimationReader::~AnimationReader() = default;

std::optional<AnimationFrame> AnimationReader::next()
{
    if (m_failure || m_read >= m_frames)
        return std::nullopt;
    allowWholeDecodes();
    const BigDecodeTurn turn(pixelsOf(m_canvas));
    QImage image = m_reader->read();
    if (image.isNull()) {
        m_failure = notAnAnimation(QStringLiteral("frame %1 cannot be read (%2)").arg(m_read + 1).arg(m_reader->errorString()));
        return std::nullopt;
    }
    ++m_read;
    const int delay = size_t(m_read - 1) < m_gifDelays.size() ? m_gifDelays[size_t(m_read - 1)] : m_reader->nextImageDelay();
    return AnimationFrame{Picture(std::move(image)), delay < shortestFrameMilliseconds ? shownForShortFrames : frameMilliseconds(delay)};
}
