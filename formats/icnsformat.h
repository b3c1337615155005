#pragma once

#include "jpeg2000.h"
#include "picture.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <optional>
#include <vector>

// macOS icon families (.icns) read as pictures: the elements Tervana reads
// are PNG streams (the entries of today's macOS, 16 to 1024 pixels), JPEG
// 2000 streams in their place (as older tools store the large sizes), ARGB
// pixels (ic04, ic05), and the oldest run-length RGB pixels with their 8-bit
// masks (is32, il32, ih32, it32); the 1-, 4- and 8-bit icons of classic Mac
// OS are left out.

// An icon family is read whole into memory: at most this many bytes.
constexpr qint64 maximumIcnsBytes = 64 * 1024 * 1024;

struct IcnsImage
{
    QByteArray type;
    QImage image; // ARGB32, straight alpha
};

// An icon family's elements decode to at most this many pixels together
// (one of every size holds 1.8 million).
constexpr qint64 maximumIcnsPixels = 8 * 1024 * 1024;
// And at most this many images (one of every size is 10 to 20).
constexpr int maximumIcnsImages = 1024;

// Each element of `file` that holds pixels Tervana reads, decoded, in the
// file's order; or why none can be: the file is damaged, an element is
// not whole, it holds none Tervana reads, or its elements claim more than
// `pixelLimit` pixels or maximumIcnsImages images together (known before
// any is decoded).
struct IcnsImagesLoad
{
    std::vector<IcnsImage> images;
    std::optional<Failure> failure;
};
IcnsImagesLoad readIcnsImages(const QByteArray &file, qint64 pixelLimit = maximumIcnsPixels);

// Why a JPEG 2000 element's image is not read, as far as what it states
// tells without the decoder (statedJpeg2000Header), said of the image ("is
// not whole (...)"), or why it is larger than the largest entry. Nothing
// when it may be read.
std::optional<Failure> icnsJpeg2000Refusal(const QByteArray &data);

// Of the images, one of each size: of several, a PNG stream's, else the first.
std::vector<Picture> icnsPicturesOfEachSize(const std::vector<IcnsImage> &images);

// The pictures of the icon family in the device, one of each size as above,
// read from where it stands and leaving it there; nothing when it is none.
struct IcnsPictures
{
    std::vector<Picture> pictures;
    std::optional<Failure> failure;
};
std::optional<IcnsPictures> readIcnsPictures(QIODevice &device);

