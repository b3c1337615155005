#include "picture.h"

#include "atomicfile.h"
#include "bmpheader.h"
#include "filestructure.h"
#include "fileaccess.h"
#include "reducedpicture.h"
#include "runlengthbmp.h"
#include "iconrecords.h"
#include "littleendian.h"

#include <QDir>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>

Picture::Picture(QImage image, QSize naturalSize, QSizeF extent)
    : m_image(std::move(image))
    , m_size(naturalSize.isValid() ? naturalSize : m_image.size())
    , m_extent(extent.isValid() ? extent : QSizeF(m_image.size()))
{
}

namespace {

PictureLoad failure(Failure::Kind kind, QString reason)
{
    return {Picture(), Failure{kind, std::move(reason)}};
}

PictureLoad loaded(Picture picture)
{
    return {std::move(picture), std::nullopt};
}

// The size to ask Qt's reader for, for a JPEG the reduced reader leaves to it
// (CMYK): the same scale, the size rounded down so that Qt's reader picks
// exactly that scale.
QSize jpegDecodeSize(QSize stored, QSize drawSize)
{
    const int eighths = jpegScaleEighths(stored, drawSize);
    if (eighths == 0)
        return QSize();
    return QSize(stored.width() * eighths / 8, stored.height() * eighths / 8);
}

// A 24-bit or smaller icon stores its transparency in an AND mask after the
// colour pixels; Qt's reader leaves it out, so it is applied here to the first
// image of the file.
void applyIconMask(QIODevice &file, QImage &image)
{
    if (!file.seek(0))
        return;
    const QByteArray bytes = file.read(4 * 1024 * 1024);
    const IconDirRecord dir = iconDirAt(bytes);
    if (bytes.size() < iconEntryOffset(1) || dir.idType != 1 || dir.idCount < 1)
        return;
    const qint64 offset = iconEntryAt(bytes, iconEntryOffset(0)).dwImageOffset;
    const BitmapInfoHeader header = bitmapInfoHeaderAt(bytes, offset);
    if (offset + BitmapInfoHeader::size > bytes.size() || header.biSize != BitmapInfoHeader::size)
        return;
    const qint64 width = header.biWidth;
    const qint64 height = header.biHeight / 2;
    const int bitCount = header.biBitCount;
    if (bitCount >= 32 || bitCount == 0 || width != image.width() || height != image.height())
        return;
    const quint32 coloursUsed = header.biClrUsed;
    const qint64 paletteBytes = bitCount <= 8 ? 4 * qint64(coloursUsed ? coloursUsed : 1u << bitCount) : 0;
    const qint64 colourStride = ((width * bitCount + 31) / 32) * 4;
    const qint64 maskStride = ((width + 31) / 32) * 4;
    const qint64 maskStart = offset + BitmapInfoHeader::size + paletteBytes + colourStride * height;
    if (maskStart + maskStride * height > bytes.size())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up, leftmost pixel in the highest bit.
        const uchar *maskRow = reinterpret_cast<const uchar *>(bytes.constData()) + maskStart
                               + maskStride * (height - 1 - y);
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (maskRow[x / 8] & (0x80 >> (x % 8)))
                line[x] = 0;
    }
}

// The size a BMP or GIF header claims, read straight from its first bytes.
// Qt's readers give no size at all for a header they find too large, and the
// user should hear that the picture is too large, not that it is unreadable.
QSize claimedSize(QIODevice &file)
{
    const QByteArray head = file.peek(26);
    if (head.startsWith("BM") && head.size() >= 26) {
        const BmpHeader header = BmpHeader::from(head);
        return QSize(int(qMin<qint64>(qAbs(header.width), INT_MAX)), int(qMin<qint64>(qAbs(header.height), INT_MAX)));
    }
    if ((head.startsWith("GIF87a") || head.startsWith("GIF89a")) && head.size() >= 10)
        return QSize(fieldAt<quint16>(head, 6), fieldAt<quint16>(head, 8));
    return QSize();
}

bool isTooLarge(QSize size, qint64 limit = maximumPicturePixels)
{
    return size.isValid() && qint64(size.width()) * size.height() > limit;
}

// Whether the JPEG that begins at `start` can only be decoded whole; the
// reader has read on since, so the device is put back there first.
bool jpegDecodedWhole(QIODevice &file, qint64 start)
{
    const qint64 resume = file.pos();
    file.seek(start);
    const bool whole = isJpegDecodedWhole(file);
    file.seek(resume);
    return whole;
}

// The drawing size the reduced readers are given, which keep eight pixels
// for each pixel of it: the part of the drawing a picture of `size` covers,
// shrunk when they are to keep `lightDetail` pixels for each pixel instead.
QSize readerDrawSize(QSize size, QSize drawSize, DrawDetail detail, int lightDetail)
{
    if (!size.isValid() || !drawSize.isValid())
        return drawSize;
    const int perPixel = detail == DrawDetail::Fine ? 8 : lightDetail;
    const QSize fitted = size.scaled(drawSize, Qt::KeepAspectRatio);
    return QSize(std::max(1, fitted.width() * perPixel / 8), std::max(1, fitted.height() * perPixel / 8));
}

// The JPEG that begins at `start` read reduced; the device is put back
// where Qt's reader had left it.
ReducedPicture readReducedJpegAt(QIODevice &file, qint64 start, QSize drawSize,
                                 QImageIOHandler::Transformations orientation)
{
    const qint64 resume = file.pos();
    file.seek(start);
    ReducedPicture reduced = readReducedJpeg(file, drawSize, orientation);
    file.seek(resume);
    return reduced;
}

// Qt's readers refuse to allocate more than a limit that is one setting for
// the whole process (its default of 128 MB would refuse a 48-megapixel
// bitmap). The size checks above keep every decode within the whole-decode
// limit, so that is the setting, made once.
void allowWholeDecodes()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(maximumFullDecodePixels * 4 / (1024 * 1024)) + 1); });
}

// Decodes above this many pixels wait for one another.
constexpr qint64 bigDecodePixels = 16'000'000;
std::mutex bigDecodes;

PictureLoad tooLarge(QSize size)
{
    return failure(Failure::Kind::TooLarge,
                   QStringLiteral("the picture is too large (%1 x %2 pixels)").arg(size.width()).arg(size.height()));
}

} // namespace

QSize claimedPictureSize(QIODevice &device)
{
    if (const QSize claimed = claimedSize(device); claimed.isValid())
        return claimed;
    const qint64 start = device.pos();
    const QSize size = QImageReader(&device).size();
    device.seek(start);
    return size;
}

const QList<QByteArray> &readableFormats()
{
    // The picture kinds the open dialog offers, icons (a saved icon is read
    // back) and PNG. Other image plugins a system may have are not trusted
    // with files the user did not mean as pictures.
    static const QList<QByteArray> formats = {"jpeg", "gif", "bmp", "ico", "png"};
    return formats;
}

QString cannotOpen(const QString &path, const Failure &failure)
{
    return QStringLiteral("Tervana cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(path), failure.reason);
}

PictureLoad LoadPicture(const QString &path, QSize drawSize, DrawDetail detail)
{
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file))
        return {Picture(), std::move(failed)};
    return readPicture(file, drawSize, detail);
}

PictureLoad readPicture(QIODevice &file, QSize requestedDrawSize, DrawDetail detail)
{
    // The checks below look back at the header; a pipe cannot go back.
    if (file.isSequential())
        return failure(Failure::Kind::Unusable, QStringLiteral("it is not a regular file"));
    const qint64 start = file.pos();
    const QSize claimed = claimedSize(file);
    if (isTooLarge(claimed))
        return tooLarge(claimed);
    if (isCutShort(file))
        return failure(Failure::Kind::NotAPicture, QStringLiteral("the file is cut short"));

    // A bitmap or GIF is read whole whatever the reduction: four pixels each.
    QSize drawSize = readerDrawSize(claimed, requestedDrawSize, detail, 4);
    ReducedPicture reduced = readReducedBmp(file, drawSize);
    if (reduced.image.isNull())
        reduced = readReducedGif(file, drawSize);
    if (!reduced.image.isNull())
        return loaded(Picture(std::move(reduced.image), reduced.naturalSize, reduced.extent));
    std::unique_lock<std::mutex> bigRunLengths(bigDecodes, std::defer_lock);
    if (qint64(claimed.width()) * claimed.height() > bigDecodePixels)
        bigRunLengths.lock(); // a run-length coded bitmap is decoded whole
    if (QImage runLength = readRunLengthBmp(file); !runLength.isNull())
        return loaded(Picture(std::move(runLength)));
    if (bigRunLengths.owns_lock())
        bigRunLengths.unlock();

    QImageReader reader(&file);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return failure(Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read"));

    const QByteArray format = reader.format();
    if (!readableFormats().contains(format))
        return failure(Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read"));
    QSize stored = reader.size();
    if (isTooLarge(stored))
        return tooLarge(stored);

    QSize natural = stored;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        natural.transpose();
    QSize decoded;
    // A JPEG's finer scales cost decoding time; at 1/8 each pixel is the mean
    // of an 8 x 8 block: two pixels each.
    drawSize = readerDrawSize(stored, requestedDrawSize, detail, 2);
    if (format == "jpeg" && stored.isValid() && drawSize.isValid() && !jpegDecodedWhole(file, start)) {
        if (ReducedPicture reduced = readReducedJpegAt(file, start, drawSize, reader.transformation());
            !reduced.image.isNull())
            return loaded(Picture(std::move(reduced.image), reduced.naturalSize, reduced.extent));
        decoded = jpegDecodeSize(stored, drawSize); // a CMYK one, which Qt's reader converts
    }
    if (decoded.isValid())
        reader.setScaledSize(decoded);
    else if (isTooLarge(stored, maximumFullDecodePixels))
        return tooLarge(stored);
    allowWholeDecodes();
    // Decoding whole takes up to 400 MB: one such decode at a time, however
    // many pictures are read side by side, so memory stays bounded.
    const qint64 pixels = decoded.isValid() ? qint64(decoded.width()) * decoded.height() : qint64(stored.width()) * stored.height();
    std::unique_lock<std::mutex> oneBigDecode(bigDecodes, std::defer_lock);
    if (pixels > bigDecodePixels)
        oneBigDecode.lock();
    QImage image = reader.read();
    if (image.isNull())
        return failure(Failure::Kind::NotAPicture,
                       QStringLiteral("it is not a picture Tervana can read (%1)").arg(reader.errorString()));
    if (!natural.isValid())
        natural = image.size();
    if (format == "ico")
        applyIconMask(file, image);
    return loaded(Picture(std::move(image), natural));
}

QByteArray encodeBmp24(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const int stride = ((width * 3 + 3) / 4) * 4; // rows padded to 32 bits
    constexpr quint32 pixelOffset = 14 + BitmapInfoHeader::size;
    BitmapInfoHeader info;
    info.biWidth = width;
    info.biHeight = height; // positive: rows stored bottom-up
    info.biBitCount = 24;
    info.biSizeImage = quint32(stride) * quint32(height);
    info.biXPelsPerMeter = info.biYPelsPerMeter = 3780; // 96 dots per inch
    LittleEndianWriter file; // BITMAPFILEHEADER
    file << quint8('B') << quint8('M') << quint32(pixelOffset + info.biSizeImage) << quint32(0) << pixelOffset;
    QByteArray bytes = file.bytes() + serialise(info);
    bytes += QByteArray(qsizetype(info.biSizeImage), '\0');
    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1 - y));
        uchar *out = reinterpret_cast<uchar *>(bytes.data() + pixelOffset + qsizetype(stride) * y);
        for (int x = 0; x < width; ++x) {
            out[3 * x] = uchar(qBlue(line[x]));
            out[3 * x + 1] = uchar(qGreen(line[x]));
            out[3 * x + 2] = uchar(qRed(line[x]));
        }
    }
    return bytes;
}

std::optional<Failure> SavePicture(const Picture &picture, const QString &path)
{
    if (picture.isNull())
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("there is no picture to save")};
    return writeFile(path, encodeBmp24(picture.image()));
}
