// libFuzzer target over the whole road a picture file takes through the
// conversion core: read it, fit it into the 32 x 32 square, and encode each
// output, and icons of several sizes; and the reading of animated cursors,
// Xcursor files and macOS icon families.
// The reduced readers only take pictures far bigger than a fuzzing input,
// so they are also run asking for a 1 x 1 drawing, which small inputs reach.
// Each input is also read cut short at a place it chooses, and as a pipe
// gives it (a device that cannot go back), as the input checks must refuse.

#include "anicursor.h"
#include "animation.h"
#include "cursoranimation.h"
#include "icns.h"
#include "icnsformat.h"
#include "iconfile.h"
#include "icondirectory.h"
#include "iconimages.h"
#include "iconlisting.h"
#include "iconsizes.h"
#include "picture.h"
#include "picturefiles.h"
#include "picturelimits.h"
#include "formatrows.h"
#include "formats.h"
#include "readpicture.h"
#include "reducedreaders.h"
#include "runlengthbmp.h"
#include "square.h"
#include "xcursor.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include <sys/stat.h>

namespace {

// Pictures are fuzzed up to this many pixels. A bigger one is legitimate
// (the limits allow 400 million) but takes many seconds under the
// sanitizers, and one such input must not time the fuzzing out. One that
// claims more than the limits allow is still read: it must be refused, and
// that costs only a look at its header. Animated cursors and icon families,
// which decode many images, are read with this as their limit of pixels,
// so that one claiming more is refused from its headers alone.
constexpr qint64 fuzzedPixels = qint64(1) << 16;

// The damage a file is told of names a few faults, then counts the rest.
bool cappedDamage(const DamageList &damage)
{
    const QStringList lines = damage.lines();
    return lines.size() <= DamageList::named + 1 && lines.isEmpty() == damage.isEmpty();
}

// A reduced reader gives nothing, or an image with blocks for the whole
// picture, and leaves the device where it was.
void checkReducedReads(QIODevice &device)
{
    const auto readJpeg = [](QIODevice &jpeg, QSize drawSize) {
        return readReducedJpeg(jpeg, drawSize, QImageIOHandler::TransformationNone);
    };
    for (const std::function<ReducedPicture(QIODevice &, QSize)> &read :
         {std::function<ReducedPicture(QIODevice &, QSize)>(readReducedBmp), {readReducedGif}, {readJpeg}}) {
        const ReducedPicture reduced = read(device, QSize(1, 1));
        if (device.pos() != 0)
            std::abort();
        if (reduced.image.isNull())
            continue;
        const QSizeF blocks = reduced.extent;
        if (reduced.naturalSize.isEmpty() || reduced.image.width() != int(std::ceil(blocks.width()))
            || reduced.image.height() != int(std::ceil(blocks.height())))
            std::abort();
    }
}

// An icon's listing holds an entry for every image its directory lists (or
// none, when that directory is cut short), and reading its images leaves
// the device where it was and gives images or a failure, never both.
void checkIconReading(QBuffer &device)
{
    const IconListing listing = listIcon(device.data());
    const quint16 listed = iconDirAt(device.data()).idCount;
    if (listing.isIcon && !listing.images.empty() && listing.images.size() != listed)
        std::abort();
    if (!cappedDamage(listing.damage))
        std::abort();
    const IconImagesLoad load = readIconImages(device);
    if (device.pos() != 0 || (load.failure && !load.images.empty()))
        std::abort();
}

// A whole animated cursor's steps each show a frame it holds, for a time;
// its damage is capped, and every frame is handed on once, whether held or
// not; a whole Xcursor's images lie within the file and Xcursor's limits;
// the frames read from either give every step, of at most the steps an
// animation shows, its pictures, each for 1 ms to a minute, or a failure
// alone (too large when they claim more than the fuzzed pixels), and leave
// the device where it was.
void checkCursorReading(QBuffer &device)
{
    const QByteArray &file = device.data();
    qint64 visited = 0;
    const std::optional<AniCursorContents> ani = readAniCursor(file, 1, [&visited](qint64 number, const QByteArray &) {
        if (number != visited++)
            std::abort();
    });
    if (ani && (!cappedDamage(ani->damage) || visited != ani->frameCount || ani->frames.size() > 1))
        std::abort();
    if (ani && ani->damage.isEmpty()) {
        if (ani->sequence.empty() || ani->jiffies.size() != ani->sequence.size()
            || qint64(ani->sequence.size()) != std::min<qint64>(ani->stepCount, 1))
            std::abort();
        for (quint32 frame : ani->sequence)
            if (frame >= ani->frameCount)
                std::abort();
    }
    if (const std::optional<XcursorContents> cursor = readXcursor(file); cursor && cursor->damage.isEmpty())
        for (size_t i = 0; i < cursor->images.size(); ++i) {
            const XcursorImage &image = cursor->images[i];
            if (image.width < 1 || image.height < 1 || image.width > 0x7FFF || image.height > 0x7FFF
                || cursor->pixelsAt[i] + qint64(image.width) * image.height * 4 > file.size())
                std::abort();
        }
    const std::optional<CursorAnimation> animation = readCursorAnimation(device, CursorFrames::All, fuzzedPixels);
    if (device.pos() != 0)
        std::abort();
    if (animation && animation->failure)
        for (const std::vector<Picture> &frame : animation->frames)
            if (!frame.empty())
                std::abort();
    if (animation && !animation->failure && animation->steps.size() > size_t(maximumAnimationSteps))
        std::abort();
    if (animation && !animation->failure)
        for (const CursorStep &step : animation->steps)
            if (step.frame >= animation->frames.size() || animation->frames[step.frame].empty()
                || step.milliseconds < 1 || step.milliseconds > longestFrameMilliseconds)
                std::abort();
}

// A macOS icon family's elements lie within the file, and its images are
// read whole, within the fuzzed pixels, or refused, never both.
void checkIcnsReading(const QByteArray &file)
{
    if (isIcns(file))
        walkIcns(file, [&file](const IcnsElement &element, qint64 at) {
            if (at + element.data.size() > file.size() || element.data.constData() != file.constData() + at)
                std::abort();
        });
    const IcnsImagesLoad load = readIcnsImages(file, fuzzedPixels);
    if (load.failure && !load.images.empty())
        std::abort();
    for (const IcnsImage &image : load.images)
        if (image.image.isNull() || image.image.width() > 2048 || image.image.height() > 2048)
            std::abort();
}

// Bytes that arrive as through a pipe: read forward only.
class PipeDevice : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool isSequential() const override { return true; }
};

// A picture the walk calls cut short is refused (as cut short, or for a
// header that claims too much, which is looked at first), and the walk
// leaves the device where it was.
void checkCutShort(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const bool cutShort = openPictureReader(device)->isCutShort(device);
    if (device.pos() != 0)
        std::abort();
    const PictureLoad load = readPicture(device, QSize(32, 32));
    if (cutShort && (!load.failure || !load.picture.isNull()))
        std::abort();
}

void checkRefusedAsAPipe(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    PipeDevice pipe(&copy);
    pipe.open(QIODevice::ReadOnly);
    const PictureLoad load = readPicture(pipe, QSize(32, 32));
    if (!load.failure || !load.picture.isNull())
        std::abort();
}

// Files that are no regular files are refused before anything waits on them.
void checkSpecialFilesAreRefused()
{
    const QTemporaryDir folder;
    const QString pipe = folder.filePath(QStringLiteral("pipe"));
    if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
        std::abort();
    for (const QString &path : {pipe, QStringLiteral("/dev/zero"), folder.path()})
        if (!LoadPicture(path, QSize(32, 32)).failure)
            std::abort();
}

// What a picture's header claims: a bitmap's or GIF's read straight from
// it, any other's as Qt's reader sees it. A drawing claims none: its size
// is decided when it is drawn, and Qt's SVG reader, which Tervana never
// uses, expands its <use> elements without a limit.
qint64 claimedPixels(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const QSize claimed = openPictureReader(device)->claimedSize();
    if (claimed.isValid())
        return pixelsOf(claimed);
    return isSvg(device, device.peek(1024)) ? 0 : pixelsOf(QImageReader(&device).size());
}

void checkRefusedAsTooLarge(QByteArray bytes)
{
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const PictureLoad load = readPicture(device, QSize(32, 32));
    if (!load.failure || !load.picture.isNull())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    qputenv("QT_QPA_PLATFORM", "offscreen"); // SVG text needs the fonts; no display
    static QGuiApplication app(*argc, *argv);
    checkSpecialFilesAreRefused();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkRefusedAsAPipe(bytes);
    if (const qint64 claimed = claimedPixels(bytes); claimed > maximumPicturePixels) {
        checkRefusedAsTooLarge(bytes);
        return 0;
    } else if (claimed > fuzzedPixels) {
        return 0;
    }
    // The first byte chooses where the copy is cut.
    checkCutShort(bytes.left(size ? qsizetype(size * data[0] / 256) : 0));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    checkIconReading(device);
    checkCursorReading(device);
    checkIcnsReading(bytes);
    checkReducedReads(device);
    if (readRunLengthBmp(device); device.pos() != 0)
        std::abort();
    const PictureLoad load = readPicture(device, QSize(32, 32));
    if (load.failure) {
        if (!load.picture.isNull() || load.failure->reason.isEmpty())
            std::abort(); // a failure always comes with a reason and no picture
        return 0;
    }
    if (pixelsOf(load.picture.image().size()) > fuzzedPixels)
        return 0; // an icon's header can claim less than its image holds

    const QImage square = fitIntoSquare(load.picture, qRgb(255, 255, 255));
    if (encodeSquare(square, SquareOutput::ColourIcon).size() != IconFile::fileBytes
        || encodeSquare(square, SquareOutput::BlackAndWhiteIcon).size() != MonoIconFile::fileBytes
        || encodeSquare(square, SquareOutput::Bitmap).size() != 54 + 32 * 96)
        std::abort();
    // Icons of several sizes: the directory and three images, 1 x 1 to 48.
    if (encodeIconSizes(load.picture, {48, 16, 1}, true).size() < 6 + 3 * 16 + 3 * 44)
        std::abort();
    return 0;
}
