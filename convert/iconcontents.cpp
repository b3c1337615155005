#include "iconcontents.h"

#include "atomicfile.h"
#include "fileaccess.h"
#include "iconimages.h"
#include "iconlisting.h"
#include "nativename.h"
#include "pictureencoding.h"
#include "pictureencoding.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Icons hold at most 65,535 images of at most 256 x 256 pixels in the usual
// case; a file bigger than this is no icon to look into.
constexpr qint64 maximumIconBytes = 64 * 1024 * 1024;

// The images are written by several threads: most of a small PNG's time is
// the wait for it to reach the disk, and waits side by side take hardly
// longer than one (65,535 images took 250 s one at a time and 7 s sixteen
// at a time, on a disk that takes 4 ms to sync a file).
constexpr int writingThreads = 16;

QString shown(const QString &path)
{
    return readableName(QDir::toNativeSeparators(path));
}

// An icon read whole, with its listing; or the line that says why there is
// none, or why the icon listed is damaged.
struct ReadIcon
{
    QByteArray bytes;
    IconListing listing;
    bool listed = false;
    QString failure;
};

ReadIcon readIcon(const QString &path)
{
    ReadIcon icon;
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file)) {
        icon.failure = QStringLiteral("Tervana cannot open \"%1\": %2.").arg(shown(path), failed->reason);
        return icon;
    }
    icon.bytes = file.read(maximumIconBytes + 1);
    if (icon.bytes.size() > maximumIconBytes) {
        icon.failure = QStringLiteral("\"%1\" is too large to be an icon.").arg(shown(path));
        return icon;
    }
    icon.listing = listIcon(icon.bytes);
    icon.listed = icon.listing.isIcon;
    if (!icon.listed)
        icon.failure = QStringLiteral("\"%1\" is not an icon or a cursor.").arg(shown(path));
    else if (!icon.listing.damage.isEmpty())
        icon.failure = QStringLiteral("\"%1\" is damaged: %2.").arg(shown(path), icon.listing.damage.join(QStringLiteral("; ")));
    return icon;
}

} // namespace

IconReport listIconFile(const QString &path)
{
    const ReadIcon icon = readIcon(path);
    if (!icon.listed)
        return {{}, icon.failure};
    const IconListing &listing = icon.listing;
    IconReport report;
    report.lines << QStringLiteral("%1: %2, %3 %4")
                            .arg(shown(path), listing.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
                            .arg(listing.images.size())
                            .arg(listing.images.size() == 1 ? QStringLiteral("image") : QStringLiteral("images"));
    report.lines << listingLines(listing);
    report.failure = icon.failure;
    return report;
}

QString ExtractedNames::claim(const QString &name)
{
    const int uses = ++m_uses[name];
    // Names given end in "bit"; one with a number added ends in a digit, so
    // it is never a name given, nor another's with a number added.
    return uses == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(uses);
}

IconReport extractIcon(const QString &path, const QString &folder, ExtractedNames &names,
                       const std::atomic<bool> &stop, ExtractionCounts &counts)
{
    ReadIcon icon = readIcon(path);
    if (!icon.failure.isEmpty())
        return {{}, icon.failure};
    const IconListing &listing = icon.listing;
    QBuffer device(&icon.bytes);
    device.open(QIODevice::ReadOnly);
    IconImagesLoad load = readIconImages(device);
    if (load.failure || load.images.size() != listing.images.size())
        return {{}, QStringLiteral("Tervana cannot read the images of \"%1\": %2.")
                        .arg(shown(path), load.failure ? load.failure->reason : QStringLiteral("some cannot be decoded"))};
    counts.images += load.images.size();
    const QString base = QFileInfo(path).completeBaseName();
    std::vector<QString> files;
    for (size_t i = 0; i < load.images.size(); ++i) {
        const QImage &image = load.images[i];
        files.push_back(names.claim(QStringLiteral("%1-%2x%3-%4bit").arg(base).arg(image.width()).arg(image.height())
                                        .arg(listing.images[i].bitsPerPixel))
                        + QStringLiteral(".png"));
    }
    const QDir into(folder);
    std::vector<char> written(files.size(), 0);
    std::map<size_t, QString> failures;
    std::mutex failing;
    std::atomic<size_t> next{0};
    const auto writeImages = [&] {
        for (size_t i = 0; !stop && (i = next++) < files.size();) {
            const QByteArray png = encodePng(load.images[i]);
            QString failure;
            if (png.isEmpty())
                failure = QStringLiteral("Tervana cannot make a PNG of image %1 of \"%2\".").arg(i + 1).arg(shown(path));
            else if (std::optional<Failure> failed = writeFile(into.filePath(files[i]), png))
                failure = QStringLiteral("Tervana cannot write \"%1\": %2.").arg(shown(into.filePath(files[i])), failed->reason);
            written[i] = failure.isEmpty();
            counts.written += written[i];
            if (!failure.isEmpty()) {
                const std::lock_guard<std::mutex> lock(failing);
                failures.emplace(i, failure);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < writingThreads && size_t(t) < files.size(); ++t) {
        try {
            threads.emplace_back(writeImages);
        } catch (const std::system_error &) {
            break; // the system gives no more threads: those there share the work
        }
    }
    if (threads.empty())
        writeImages();
    for (std::thread &thread : threads)
        thread.join();
    load.images.clear();
    IconReport extraction;
    if (!failures.empty())
        extraction.failure = failures.begin()->second;
    for (size_t i = 0; i < files.size(); ++i)
        if (written[i])
            extraction.lines << shown(into.filePath(files[i]));
    return extraction;
}
