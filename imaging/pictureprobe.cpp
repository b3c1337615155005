#include "pictureprobe.h"

#include "bmpheader.h"
#include "filestructure.h"
#include "littleendian.h"
#include "picturelimits.h"

#include <climits>

QSize headerClaimedSize(QIODevice &device)
{
    const QByteArray head = device.peek(26);
    if (head.startsWith("BM") && head.size() >= 26) {
        const BmpHeader header = BmpHeader::from(head);
        return QSize(int(qMin<qint64>(qAbs(header.width), INT_MAX)), int(qMin<qint64>(qAbs(header.height), INT_MAX)));
    }
    if ((head.startsWith("GIF87a") || head.startsWith("GIF89a")) && head.size() >= 10)
        return QSize(fieldAt<quint16>(head, 6), fieldAt<quint16>(head, 8));
    return QSize();
}

Failure tooLargeFailure(QSize size)
{
    return {Failure::Kind::TooLarge,
            QStringLiteral("the picture is too large (%1 x %2 pixels)").arg(size.width()).arg(size.height())};
}

std::optional<Failure> refusalBeforeDecoding(QIODevice &device, QSize claimed)
{
    if (isTooLarge(claimed))
        return tooLargeFailure(claimed);
    if (isCutShort(device))
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
    return std::nullopt;
}
