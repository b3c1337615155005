#pragma once

#include "picture.h"
#include "picturelimits.h"

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <QList>
#include <QSize>

#include <functional>
#include <mutex>
#include <optional>

// Lets Qt's readers decode a picture as large as maximumFullDecodePixels
// (picturelimits.h) whole; Qt's own limit is far lower. Callers check the
// size first.
void allowWholeDecodes();

// Holds the turn of one big decode, for as long as it lives: decodes of
// more than bigDecodePixels (picturelimits.h) wait for one another, smaller
// ones for nothing.
class BigDecodeTurn
{
public:
    explicit BigDecodeTurn(qint64 pixels)
        : m_lock(turns(), std::defer_lock)
    {
        if (pixels > bigDecodePixels)
            m_lock.lock();
    }

private:
    static std::mutex &turns()
    {
        static std::mutex mutex;
        return mutex;
    }
    std::unique_lock<std::mutex> m_lock;
};

// The formats (as Qt names them) that Qt's readers are trusted with.
const QList<QByteArray> &readableFormats();

// How Qt's reader is to decode a picture: at `scaled` when valid, else
// whole; holding `heldPixels` pixels of four bytes meanwhile. Or why it is
// refused.
struct QtDecodePlan
{
    QSize scaled;
    qint64 heldPixels = 0;
    std::optional<Failure> refusal;
};

// A format's part in Qt's reading of its pictures, taken only when Qt's
// reader reads the file as `qtFormat`: the size as stored, when Qt's
// reader tells another (an icon's first image, a PNG, may claim far more
// than its entry); how the picture is decoded, when not whole within the
// whole-decode limit (a JPEG's scale and the memory its scans hold); what
// is done to the image once read (an icon's mask), the file beginning at
// `start` in the device; and what reads the picture when Qt's reader
// cannot (a TIFF of samples it does not take), from where the file begins.
struct QtReadSteps
{
    using Finish = std::function<void(QIODevice &file, qint64 start, QImage &image)>;
    using Fallback = std::function<std::optional<Picture>(QIODevice &file)>;
    QByteArray qtFormat;
    std::optional<QSize> stored;
    std::optional<QtDecodePlan> plan;
    Finish finish;
    Fallback whenUnread;
};

// Decodes the picture whole with Qt's reader for `knownFormat`, or for the
// format the reader tells from the content, within the limits of
// picturelimits.h and one big decode at a time, with the format's own
// `steps`.
PictureLoad decodeWithQt(QIODevice &file, const QByteArray &knownFormat = {}, const QtReadSteps &steps = {});
