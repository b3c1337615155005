#pragma once

#include "damagelist.h"

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What an icon or cursor file holds, image by image, as its bytes say, and
// what is wrong with it. Only the file's own structure is read: no image is
// decoded beyond its header, its mask and, at 32 bits, its alpha. Each
// stretch of bytes is looked into once, however many entries name it, and
// no more bytes are looked through in all than the file holds: images
// whose bytes overlap are damage already, and looking through each of them
// again would make a listing of many entries take hours.

struct ListedImage
{
    // As the image's own header says; when the header is not in the file,
    // as its entry claims.
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerPixel = 0;
    bool png = false;
    bool headerRead = false;
    qint64 bytes = 0;
    qint64 offset = 0;
    // A cursor's: where the image points, as its entry says.
    std::optional<QPoint> hotSpot;
    // Where the image disagrees with itself; the icon still shows.
    QStringList disagreements;
};

struct IconListing
{
    bool isIcon = false; // an icon or a cursor at all
    bool cursor = false;
    std::vector<ListedImage> images;
    // Why the file is damaged: an image that runs past the end of the file,
    // images that overlap, a PNG inside that is not whole, an image whose
    // header cannot be read. Empty when it is whole.
    DamageList damage;
};

struct IconDirectory;

// The listing of `file`, an icon or cursor whose directory has been read
// already; or of any file, which is read for its directory first.
IconListing listIcon(const IconDirectory &directory, const QByteArray &file);
IconListing listIcon(const QByteArray &file);

// The listing as lines: one per image ("2: 32 x 32, 32 bits, BMP, 4264
// bytes at 6230", or "2: 32 x 32, 32 bits as its entry says, 4264 bytes at
// 6230" when the image's header is not in the file; a cursor's with ",
// hot spot 5,10" after it), each followed by what disagrees in it.
QStringList listingLines(const IconListing &listing);
