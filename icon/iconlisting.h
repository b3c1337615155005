#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// What an icon or cursor file holds, image by image, as its bytes say, and
// what is wrong with it. Only the file's own structure is read: no image is
// decoded beyond its header, its mask and, at 32 bits, its alpha.

struct ListedImage
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool png = false;
    qint64 bytes = 0;
    qint64 offset = 0;
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
    QStringList damage;
};

IconListing listIcon(const QByteArray &file);

// The listing as lines: one per image ("2: 32 x 32, 32 bits, BMP, 4264
// bytes at 6230"), each followed by what disagrees in it.
QStringList listingLines(const IconListing &listing);
