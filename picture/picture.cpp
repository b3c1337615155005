#include "picture.h"

#include "nativename.h"

#include <QDir>

Picture::Picture(QImage image, QSize naturalSize, QSizeF extent)
    : m_image(std::move(image))
    , m_size(naturalSize.isValid() ? naturalSize : m_image.size())
    , m_extent(extent.isValid() ? extent : QSizeF(m_image.size()))
{
}

Picture Picture::drawing(QByteArray svg, QImage drawn, QSize naturalSize)
{
    Picture picture(std::move(drawn), naturalSize);
    picture.m_svg = std::move(svg);
    return picture;
}

QString cannotOpen(const QString &path, const Failure &failure)
{
    return QStringLiteral("Tervana cannot open \"%1\": %2.").arg(readableName(QDir::toNativeSeparators(path)), failure.reason);
}
