#include "iconcontents.h"

#include "atomicfile.h"
#include "fileaccess.h"
#include "iconimages.h"
#include "iconlisting.h"
#include "nativename.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// Icons hold at most 65,535 images of at most 256 x 256 pixels in the usual
// case; a file bigger than this is no icon to look into.
constexpr qint64 maximumIconBytes = 64 * 1024 * 1024;

QString shown(const QString &path)
{
    return readableName(QDir::toNativeSeparators(path));
}

// The icon's listing, or the line that says why there is none.
IconReport listed(const QString &path, IconListing &listing, QByteArray &bytes)
{
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file))
        return {{}, QStringLiteral("Tervana cannot open \"%1\": %2.").arg(shown(path), failed->reason)};
    bytes = file.read(maximumIconBytes + 1);
    if (bytes.size() > maximumIconBytes)
        return {{}, QStringLiteral("\"%1\" is too large to be an icon.").arg(shown(path))};
    listing = listIcon(bytes);
    if (!listing.isIcon)
        return {{}, QStringLiteral("\"%1\" is not an icon or a cursor.").arg(shown(path))};
    IconReport report;
    report.lines << QStringLiteral("%1: %2, %3 %4")
                            .arg(shown(path), listing.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
                            .arg(listing.images.size())
                            .arg(listing.images.size() == 1 ? QStringLiteral("image") : QStringLiteral("images"));
    report.lines << listingLines(listing);
    if (!listing.damage.isEmpty())
        report.failure = QStringLiteral("\"%1\" is damaged: %2.").arg(shown(path), listing.damage.join(QStringLiteral("; ")));
    return report;
}

} // namespace

IconReport listIconFile(const QString &path)
{
    IconListing listing;
    QByteArray bytes;
    return listed(path, listing, bytes);
}

IconReport extractIcon(const QString &path, const QString &folder, QSet<QString> &taken)
{
    IconListing listing;
    QByteArray bytes;
    const IconReport report = listed(path, listing, bytes);
    if (!report.failure.isEmpty())
        return {{}, report.failure};
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const IconImagesLoad load = readIconImages(device);
    if (load.failure || load.images.size() != listing.images.size())
        return {{}, QStringLiteral("Tervana cannot read the images of \"%1\": %2.")
                        .arg(shown(path), load.failure ? load.failure->reason : QStringLiteral("some cannot be decoded"))};
    IconReport extraction;
    const QString base = QFileInfo(path).completeBaseName();
    for (size_t i = 0; i < load.images.size(); ++i) {
        const QImage &image = load.images[i];
        QString name = QStringLiteral("%1-%2x%3-%4bit").arg(base).arg(image.width()).arg(image.height())
                           .arg(listing.images[i].bitsPerPixel);
        if (taken.contains(name)) {
            int n = 2;
            while (taken.contains(QStringLiteral("%1-%2").arg(name).arg(n)))
                ++n;
            name = QStringLiteral("%1-%2").arg(name).arg(n);
        }
        taken.insert(name);
        const QString output = QDir(folder).filePath(name + QStringLiteral(".png"));
        const QByteArray png = encodePng(image);
        if (png.isEmpty())
            return {extraction.lines, QStringLiteral("Tervana cannot make a PNG of image %1 of \"%2\".").arg(i + 1).arg(shown(path))};
        if (std::optional<Failure> failed = writeFile(output, png))
            return {extraction.lines, QStringLiteral("Tervana cannot write \"%1\": %2.").arg(shown(output), failed->reason)};
        extraction.lines << shown(output);
    }
    return extraction;
}
