#pragma once

#include "failure.h"
#include "structurewalk.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QSet>
#include <QSize>

#include <optional>

// HEIC and AVIF files as their boxes describe them, walked by our own code
// before libheif sees a byte. libheif (1.15) takes only a limit on each
// side of an image: a grid of a hundred thousand cells all naming one small
// coded picture, cells whose references lead back to themselves, or boxes
// nested thousands deep would each keep it busy, or take memory, far past
// what one picture deserves. The walk reads the file's top-level boxes, the
// meta box whole (at most maximumHeifMetaBytes), and the few bytes of each
// grid's or overlay's own description.

// The meta box is read whole into memory: at most this much. An iPhone
// photo's is a few kilobytes; its metadata lies in the media data.
constexpr qint64 maximumHeifMetaBytes = 16 * 1024 * 1024;
// The coded pictures a picture is put together from, counting each use: a
// 12-megapixel phone photo has 48 cells of 512 x 512, a 100-megapixel
// picture (the most decoded whole) about 400, so 1024 leaves room for
// smaller cells while a grid naming one small cell 65,535 times is refused.
constexpr int maximumHeifCells = 1024;
// How deep boxes may nest inside the meta box: a usual file nests four
// deep (meta, iprp, ipco, a property); a decoder that follows each level
// in turn may run out of stack on thousands.
constexpr int maximumHeifNesting = 8;
// How deep pictures may derive from pictures (a grid of overlays ...).
constexpr int maximumHeifDerivation = 4;

struct HeifLayout
{
    // Whether the boxes, and the data the items locate, are all in the file.
    Walk walk = Walk::Unknown;
    // Why the file is not read, known from the boxes alone.
    std::optional<Failure> refusal;
    // The primary picture's size as stored (before it is turned), as its
    // properties or its grid state it; invalid when neither does.
    QSize stated;
    // The coded pictures' types the primary picture is made of ("hvc1",
    // "av01" ...).
    QSet<QByteArray> codings;
};

// Whether `head` (the file's first bytes) opens with a file type box that
// names one of `brands`, as its major brand or a compatible one.
bool heifBrandsInclude(const QByteArray &head, const QList<QByteArray> &brands);

// The layout of the file in `device`, from where it stands; the device is
// left there.
HeifLayout walkHeif(QIODevice &device);
