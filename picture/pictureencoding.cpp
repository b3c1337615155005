// A picture as the bytes of a Windows bitmap file, and of a PNG.

#include "pictureencoding.h"

#include "icondirectory.h"
#include "littleendian.h"

#include <QBuffer>
#include <QImageWriter>

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
    QByteArray bytes = file.bytes() + serialise(info) + QByteArray(qsizetype(info.biSizeImage), '\0');
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

QByteArray encodePng(const QImage &image, bool fast)
{
    constexpr int dotsPerMeterAt100Dpi = 3937;
    QImage straight = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    straight.setDotsPerMeterX(dotsPerMeterAt100Dpi);
    straight.setDotsPerMeterY(dotsPerMeterAt100Dpi);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (fast)
        writer.setQuality(80);
    return writer.write(straight) ? png : QByteArray();
}
