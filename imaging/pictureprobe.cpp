#include "pictureprobe.h"

#include "bmpheader.h"
#include "filestructure.h"
#include "littleendian.h"
#include "picturelimits.h"
#include "tgafile.h"
#include "tifffile.h"

#include <QtEndian>

#include <algorithm>
#include <cctype>
#include <climits>

namespace {

// The width and height of a PBM, PGM or PPM header ("P6 640 480 ..."),
// whose numbers are separated by white space and comments.
QSize portableAnyMapSize(const QByteArray &head)
{
    if (head.size() < 3 || head.at(0) != 'P' || head.at(1) < '1' || head.at(1) > '6')
        return QSize();
    qsizetype at = 2;
    qint64 numbers[2] = {};
    for (qint64 &number : numbers) {
        while (at < head.size() && (std::isspace(uchar(head.at(at))) || head.at(at) == '#')) {
            if (head.at(at) == '#')
                while (at < head.size() && head.at(at) != '\n')
                    ++at;
            else
                ++at;
        }
        const qsizetype digits = at;
        while (at < head.size() && std::isdigit(uchar(head.at(at))) && at - digits < 10)
            number = number * 10 + (head.at(at++) - '0');
        if (at == digits)
            return QSize();
    }
    return QSize(int(qMin<qint64>(numbers[0], INT_MAX)), int(qMin<qint64>(numbers[1], INT_MAX)));
}

// A PNG's width and height, from its header chunk: big-endian, up to 2^31 - 1.
QSize pngHeaderSize(const QByteArray &head)
{
    if (head.size() < 24)
        return QSize();
    const auto number = [&head](int at) { return int(qMin<quint32>(qFromBigEndian<quint32>(head.constData() + at), INT_MAX)); };
    return QSize(number(16), number(20));
}

} // namespace

QSize headerClaimedSize(QIODevice &device)
{
    const QByteArray head = device.peek(26);
    if (head.startsWith("BM") && head.size() >= 26) {
        const BmpHeader header = BmpHeader::from(head);
        return QSize(int(qMin<qint64>(qAbs(header.width), INT_MAX)), int(qMin<qint64>(qAbs(header.height), INT_MAX)));
    }
    if ((head.startsWith("GIF87a") || head.startsWith("GIF89a")) && head.size() >= 10)
        return QSize(fieldAt<quint16>(head, 6), fieldAt<quint16>(head, 8));
    if (head.startsWith("\x89PNG\r\n\x1A\n") && head.mid(12, 4) == "IHDR")
        return pngHeaderSize(device.peek(24));
    if (const std::optional<QSize> tiff = tiffClaimedSize(device))
        return *tiff;
    if (const QSize anyMap = portableAnyMapSize(device.peek(1024)); anyMap.isValid())
        return anyMap;
    return tgaClaimedSize(device).value_or(QSize());
}

namespace {

// The longest side the reader of the picture's kind takes, or 0 when it
// takes any: libpng takes at most a million pixels a side, Qt's PBM/PGM/PPM
// reader 32,767.
int longestSideOfItsReader(QIODevice &device)
{
    if (device.peek(8) == "\x89PNG\r\n\x1A\n")
        return 1'000'000;
    if (portableAnyMapSize(device.peek(1024)).isValid())
        return 32'767;
    return 0;
}

Failure tooLarge(QSize size, const QString &limit)
{
    const QString words = QStringLiteral("the picture is too large (%1 x %2 pixels; %3)");
    return {Failure::Kind::TooLarge, words.arg(size.width()).arg(size.height()).arg(limit)};
}

} // namespace

Failure tooLargeFailure(QSize size, qint64 limit)
{
    const qint64 millions = limit / 1'000'000;
    if (limit == maximumPicturePixels)
        return tooLarge(size, QStringLiteral("at most %1 million are read").arg(millions));
    return tooLarge(size, QStringLiteral("at most %1 million are read from a picture of this kind").arg(millions));
}

std::optional<Failure> refusalBeforeDecoding(QIODevice &device, QSize claimed)
{
    if (isTooLarge(claimed))
        return tooLargeFailure(claimed);
    const int longest = longestSideOfItsReader(device);
    if (longest > 0 && std::max(claimed.width(), claimed.height()) > longest)
        return tooLarge(claimed, QStringLiteral("at most %1 a side are read from a picture of this kind").arg(longest));
    if (isCutShort(device))
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
    return std::nullopt;
}
