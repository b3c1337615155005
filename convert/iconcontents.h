#pragma once

#include "failure.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

// Looking inside icon and cursor files: what each holds (--list), and each
// of its images written out as a PNG (--extract).

// What one icon's extraction wrote: the lines that name the files, and,
// when it is damaged or cannot be read, why: the failure's reason is the
// whole line the run reports.
struct IconReport
{
    QStringList lines;
    std::optional<Failure> failure;
};

// Where a listing's lines go, each as soon as it is made: a listing is
// never held whole.
using ListingLines = std::function<void(const QString &line)>;

// A listing names at most this many entries of one file (an icon family's
// elements, an animated cursor's frames), then says how many more there
// are: a file of millions is looked through whole, for its damage, but
// told of in a moment, not in minutes and hundreds of megabytes of text.
constexpr qint64 maximumListedEntries = 65'536;

// Lists what the icon, cursor, animated cursor, Xcursor or icon family at
// `path` holds, line by line to `print`; why it is damaged or cannot be
// read, in one line (the first few faults named, then how many more), when
// it is.
std::optional<Failure> listIconFile(const QString &path, const ListingLines &print);

// Images to be written out, each with the name of its file (without
// ".png"); or why they cannot be read.
struct NamedImages
{
    std::vector<QImage> images;
    std::vector<QString> names;
    std::optional<Failure> failure;
};

// The names of the PNGs a run writes: the second image of one name gains
// "-2", the third "-3", and so on. A name is given in one step however many
// came before it.
class ExtractedNames
{
public:
    QString claim(const QString &name);

private:
    QHash<QString, int> m_uses;
};

// How far the extractions of a run have come: the images of the icons begun,
// and those written. Read while they go on.
struct ExtractionCounts
{
    std::atomic<size_t> images{0};
    std::atomic<size_t> written{0};
};

// Writes each image of the icon at `path` into `folder` as a PNG with alpha,
// named after the icon, the image's size and its bits per pixel
// ("logo-32x32-32bit.png", or "logo-32x32-32bit-2.png" as `names` gives
// it). `lines` name the files written, in the icon's order; a damaged icon
// gives none, and the line that says why; of images that cannot be written,
// the first is told. Once `stop` is set no further image is written; those
// written stay, each whole.
IconReport extractIcon(const QString &path, const QString &folder, ExtractedNames &names,
                       const std::atomic<bool> &stop, ExtractionCounts &counts);
