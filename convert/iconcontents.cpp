#include "iconcontents.h"

#include "cursoranimation.h"
#include "cursorcontents.h"
#include "fileaccess.h"
#include "icns.h"
#include "icnscontents.h"
#include "icondirectory.h"
#include "iconimages.h"
#include "iconlisting.h"
#include "nativename.h"
#include "pictureencoding.h"
#include "setfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <functional>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Icons hold at most 65,535 images of at most 256 x 256 pixels in the usual
// case; a file bigger than this is no icon to look into.
constexpr qint64 maximumIconBytes = 64 * 1024 * 1024;

// The most images written of one file: as many as an Xcursor may hold.
// An animated cursor's frames may hold more within the pixels allowed,
// each a file of its own.
constexpr size_t maximumExtractedImages = 65'536;

// The images are written by several threads: most of a small PNG's time is
// the wait for it to reach the disk, and waits side by side take hardly
// longer than one (65,535 images took 250 s one at a time and 7 s sixteen
// at a time, on a disk that takes 4 ms to sync a file).
constexpr int writingThreads = 16;

QString shown(const QString &path)
{
    return readableName(QDir::toNativeSeparators(path));
}

// An icon read whole, with its directory and its listing; or why there is
// none, or why the icon listed is damaged. An animated cursor or an
// Xcursor file is read whole and left to cursorcontents.h, a macOS icon
// family to icnscontents.h.
struct ReadIcon
{
    QByteArray bytes;
    bool cursorAnimation = false;
    bool icns = false;
    std::optional<IconDirectory> directory;
    IconListing listing;
    std::optional<Failure> failure;
};

// Why the icon listed cannot be looked into further; nothing when it is whole.
std::optional<Failure> failureOfListing(const IconListing &listing, const QString &path)
{
    if (!listing.isIcon)
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("\"%1\" is not an icon or a cursor.").arg(shown(path))};
    if (!listing.damage.isEmpty())
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("\"%1\" is damaged: %2.")
                                                       .arg(shown(path), listing.damage.joined())};
    return std::nullopt;
}

ReadIcon readIcon(const QString &path)
{
    ReadIcon icon;
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file)) {
        icon.failure = Failure{failed->kind, QStringLiteral("Tervana cannot open \"%1\": %2.").arg(shown(path), failed->reason)};
        return icon;
    }
    icon.bytes = readUpTo(file, maximumIconBytes + 1);
    if (icon.bytes.size() > maximumIconBytes) {
        icon.failure = Failure{Failure::Kind::TooLarge, QStringLiteral("\"%1\" is too large to be an icon.").arg(shown(path))};
        return icon;
    }
    icon.cursorAnimation = isCursorAnimation(icon.bytes.left(12));
    icon.icns = isIcns(icon.bytes);
    if (icon.cursorAnimation || icon.icns)
        return icon;
    icon.directory = iconDirectoryOf(icon.bytes);
    if (icon.directory)
        icon.listing = listIcon(*icon.directory, icon.bytes);
    icon.failure = failureOfListing(icon.listing, path);
    return icon;
}

// The names of the PNGs of an icon's images: the icon's name, each image's
// size and its bits per pixel, made unique by `names`.
std::vector<QString> extractedFiles(const QString &path, const std::vector<QImage> &images, const IconListing &listing,
                                    ExtractedNames &names)
{
    const QString base = QFileInfo(path).completeBaseName();
    std::vector<QString> files;
    for (size_t i = 0; i < images.size(); ++i) {
        const QImage &image = images[i];
        files.push_back(names.claim(QStringLiteral("%1-%2x%3-%4bit").arg(base).arg(image.width()).arg(image.height())
                                        .arg(listing.images[i].bitsPerPixel))
                        + QStringLiteral(".png"));
    }
    return files;
}

// The images of one icon being written, each into its file, by threads
// side by side: which are written, and the failures, by the image's number.
struct PngWriting
{
    PngWriting(const std::vector<QImage> &images, const QDir &into, std::vector<QString> files, const QString &icon,
               const std::atomic<bool> &stop, ExtractionCounts &counts)
        : images(images), into(into), files(std::move(files)), icon(icon), stop(stop), counts(counts)
    {
    }

    const std::vector<QImage> &images;
    QDir into;
    std::vector<QString> files; // the names, in `into`
    QString icon; // as shown
    const std::atomic<bool> &stop;
    ExtractionCounts &counts;
    std::vector<char> written = std::vector<char>(files.size(), 0);
    std::map<size_t, Failure> failures;
    std::mutex failing;
    std::atomic<size_t> next{0};
};

std::optional<Failure> writePng(const QImage &image, const QDir &into, const QString &name, size_t index,
                                const QString &icon)
{
    const QString path = into.filePath(name);
    const QByteArray png = encodePng(image);
    if (png.isEmpty())
        return Failure{Failure::Kind::Unusable,
                       QStringLiteral("Tervana cannot make a PNG of image %1 of \"%2\".").arg(index + 1).arg(icon)};
    if (std::optional<Failure> failed = writeFileInSet(into.path(), name, png))
        return Failure{failed->kind, QStringLiteral("Tervana cannot write \"%1\": %2.").arg(shown(path), failed->reason)};
    return std::nullopt;
}

// One thread's part: the next image not yet taken, until none is left or
// the run is stopped.
void writePngs(PngWriting &work)
{
    for (size_t i = 0; !work.stop && (i = work.next++) < work.files.size();) {
        std::optional<Failure> failure = writePng(work.images[i], work.into, work.files[i], i, work.icon);
        work.written[i] = !failure;
        work.counts.written += work.written[i];
        if (failure) {
            const std::lock_guard<std::mutex> lock(work.failing);
            work.failures.emplace(i, std::move(*failure));
        }
    }
}

void writeSideBySide(PngWriting &work)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < writingThreads && size_t(t) < work.files.size(); ++t) {
        try {
            threads.emplace_back(writePngs, std::ref(work));
        } catch (const std::system_error &) {
            break; // the system gives no more threads: those there share the work
        }
    }
    if (threads.empty())
        writePngs(work);
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace

std::optional<Failure> listIconFile(const QString &path, const ListingLines &print)
{
    const ReadIcon icon = readIcon(path);
    if (icon.cursorAnimation)
        return listCursorAnimation(shown(path), icon.bytes, print);
    if (icon.icns)
        return listIcnsFile(shown(path), icon.bytes, print);
    if (!icon.listing.isIcon)
        return icon.failure;
    const IconListing &listing = icon.listing;
    print(QStringLiteral("%1: %2, %3 %4")
              .arg(shown(path), listing.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
              .arg(listing.images.size())
              .arg(listing.images.size() == 1 ? QStringLiteral("image") : QStringLiteral("images")));
    for (const QString &line : listingLines(listing))
        print(line);
    return icon.failure;
}

QString ExtractedNames::claim(const QString &name)
{
    const int uses = ++m_uses[name];
    // Names given end in "bit", in a size ("32x32") or in a macOS element's
    // type ("ic11"); one with a number added ends in "-" and digits alone, so
    // it is never a name given, nor another's with a number added.
    return uses == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(uses);
}

namespace {

Failure cannotReadImages(const QString &path, const std::optional<Failure> &why)
{
    return Failure{why ? why->kind : Failure::Kind::NotAPicture,
                   QStringLiteral("Tervana cannot read the images of \"%1\": %2.")
                       .arg(shown(path), why ? why->reason : QStringLiteral("some cannot be decoded"))};
}

// Writes `images` into `folder`, each into its file of `files`, side by
// side; the report names those written. The images are let go before the
// report is made: 65,535 of them and as many names would be held at once.
IconReport writeImages(std::vector<QImage> images, const QString &folder, std::vector<QString> files,
                       const QString &path, const std::atomic<bool> &stop, ExtractionCounts &counts)
{
    counts.images += images.size();
    PngWriting work(images, QDir(folder), std::move(files), shown(path), stop, counts);
    writeSideBySide(work);
    images.clear();
    images.shrink_to_fit();
    IconReport extraction;
    if (!work.failures.empty())
        extraction.failure = work.failures.begin()->second;
    for (size_t i = 0; i < work.files.size(); ++i)
        if (work.written[i])
            extraction.lines << shown(work.into.filePath(work.files[i]));
    return extraction;
}

// Images named already (an animated cursor's, an Xcursor's, a macOS icon
// family's), each written under its name made unique.
IconReport extractNamed(const QString &path, NamedImages named, const QString &folder, ExtractedNames &names,
                        const std::atomic<bool> &stop, ExtractionCounts &counts)
{
    if (named.failure)
        return {{}, cannotReadImages(path, named.failure)};
    if (named.images.size() > maximumExtractedImages)
        return {{}, Failure{Failure::Kind::TooLarge, QStringLiteral("\"%1\" holds %2 images: at most %3 are written of one file.")
                                                         .arg(shown(path)).arg(named.images.size()).arg(maximumExtractedImages)}};
    std::vector<QString> files;
    for (const QString &name : named.names)
        files.push_back(names.claim(name) + QStringLiteral(".png"));
    return writeImages(std::move(named.images), folder, std::move(files), path, stop, counts);
}

} // namespace

IconReport extractIcon(const QString &path, const QString &folder, ExtractedNames &names,
                       const std::atomic<bool> &stop, ExtractionCounts &counts)
{
    ReadIcon icon = readIcon(path);
    const QString base = QFileInfo(path).completeBaseName();
    if (icon.cursorAnimation)
        return extractNamed(path, *cursorAnimationImages(base, icon.bytes), folder, names, stop, counts);
    if (icon.icns)
        return extractNamed(path, icnsImages(base, icon.bytes), folder, names, stop, counts);
    if (icon.failure)
        return {{}, icon.failure};
    QBuffer device(&icon.bytes);
    device.open(QIODevice::ReadOnly);
    IconImagesLoad load = readIconImages(device, *icon.directory);
    if (load.failure || load.images.size() != icon.listing.images.size())
        return {{}, cannotReadImages(path, load.failure)};
    std::vector<QString> files = extractedFiles(path, load.images, icon.listing, names);
    return writeImages(std::move(load.images), folder, std::move(files), path, stop, counts);
}
