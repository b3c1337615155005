#include "icnscontents.h"

#include "damagelist.h"
#include "icns.h"
#include "icnsformat.h"
#include "icondirectory.h"
#include "pngchunks.h"

namespace {

QString kindOf(const IcnsElement &element)
{
    if (hasPngSignature(element.data))
        return QStringLiteral("PNG");
    if (isJpeg2000(element.data))
        return QStringLiteral("JPEG 2000");
    switch (icnsTypeOf(element.type).kind) {
    case IcnsKind::Argb: return QStringLiteral("ARGB");
    case IcnsKind::RunLength24: return QStringLiteral("run-length RGB");
    case IcnsKind::Mask8: return QStringLiteral("8-bit mask");
    default: return QStringLiteral("not read");
    }
}

// An element's size: a PNG or JPEG 2000 stream's own, else its type's.
QString sizeOf(const IcnsElement &element)
{
    const IconImageHeader header = iconImageHeaderOf(element.data);
    const int side = icnsTypeOf(element.type).side;
    if (hasPngSignature(element.data) && header.found)
        return QStringLiteral(", %1 x %2").arg(header.width).arg(header.height);
    const QSize stated = statedJpeg2000Header(element.data).size;
    if (stated.isValid())
        return QStringLiteral(", %1 x %2").arg(stated.width()).arg(stated.height());
    return side > 0 ? QStringLiteral(", %1 x %1").arg(side) : QString();
}

QString typeName(const QByteArray &type)
{
    return QString::fromLatin1(type.toPercentEncoding(" "));
}

} // namespace

std::optional<Failure> listIcnsFile(const QString &name, const QByteArray &file, const ListingLines &print)
{
    qint64 elements = 0;
    walkIcns(file, [&elements](const IcnsElement &, qint64) { ++elements; });
    print(QStringLiteral("%1: macOS icon, %2 elements").arg(name).arg(elements));
    DamageList damage;
    qint64 number = 0;
    const QStringList structure = walkIcns(file, [&](const IcnsElement &element, qint64 at) {
        if (++number <= maximumListedEntries)
            print(QStringLiteral("%1: %2%3, %4, %5 bytes at %6")
                      .arg(number)
                      .arg(typeName(element.type), sizeOf(element), kindOf(element))
                      .arg(element.data.size())
                      .arg(at));
        if (hasPngSignature(element.data) && !pngIsWhole(element.data))
            damage.add([&] { return QStringLiteral("the PNG of element %1 (%2) is not whole").arg(number).arg(typeName(element.type)); });
        else if (isJpeg2000(element.data))
            if (const std::optional<Failure> refused = icnsJpeg2000Refusal(element.data))
                damage.add([&] {
                    return QStringLiteral("the JPEG 2000 image of element %1 (%2) %3").arg(number).arg(typeName(element.type), refused->reason);
                });
    });
    if (elements > maximumListedEntries)
        print(QStringLiteral("... %1 more elements, not listed").arg(elements - maximumListedEntries));
    DamageList all;
    all.add(structure);
    all.add(damage);
    if (all.isEmpty())
        return std::nullopt;
    return Failure{Failure::Kind::NotAPicture, QStringLiteral("\"%1\" is damaged: %2.").arg(name, all.joined())};
}

NamedImages icnsImages(const QString &base, const QByteArray &file)
{
    IcnsImagesLoad load = readIcnsImages(file);
    NamedImages named{{}, {}, load.failure};
    for (IcnsImage &image : load.images) {
        named.names.push_back(QStringLiteral("%1-%2x%3-%4").arg(base).arg(image.image.width()).arg(image.image.height())
                                  .arg(typeName(image.type)));
        named.images.push_back(std::move(image.image));
    }
    return named;
}
