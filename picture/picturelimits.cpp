#include "picturelimits.h"

#include "failure.h"

namespace {

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

QString pixelCountInWords(qint64 pixels)
{
    if (pixels < 1'000'000)
        return QString::number(pixels);
    return QStringLiteral("%1 million").arg(pixels / 1'000'000);
}

Failure tooLongFailure(QSize size, int longestSide)
{
    return tooLarge(size, QStringLiteral("at most %1 a side are read from a picture of this kind").arg(longestSide));
}
