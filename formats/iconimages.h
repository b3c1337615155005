#pragma once

#include "picture.h"

#include <QImage>
#include <QIODevice>
#include <QPoint>

#include <vector>

// The images of an icon or cursor file, each whole, with its transparency.

struct IconDirectory;
struct IconEntryRecord;

// Applies the AND mask of the image of `entry`, in the icon or cursor that
// begins at `start` in the device, to `image`, that image as Qt's reader
// gives it. Qt's reader leaves the mask of images of 24 bits and fewer
// out; 32-bit images carry their alpha.
void applyIconMask(QIODevice &file, qint64 start, const IconEntryRecord &entry, QImage &image);

// Which images of an icon are read: every one, or one of each size (an icon
// often holds one size at several colour depths): of several, the one its
// own header gives the most bits per pixel, the first of those.
enum class IconImageChoice { All, OneEachSize };

// The images of the icon or cursor in the device, in the order of its
// directory, or why they cannot be read: the file is cut short, or the
// images are too large or share their bytes with one another, all of which
// is known before any image is decoded. A 32-bit image keeps its alpha
// exactly as stored. Entries that name the same bytes give one image,
// decoded once. The device is read from where it stands, and left there;
// a file of another kind gives no images and no failure.
struct IconImagesLoad
{
    std::vector<QImage> images;
    std::optional<Failure> failure;
    // A cursor's hot spots, one an image; none for an icon.
    std::vector<QPoint> hotSpots;
};
IconImagesLoad readIconImages(QIODevice &device, IconImageChoice choice = IconImageChoice::All);
// The same, with the directory read already from where the device stands.
IconImagesLoad readIconImages(QIODevice &device, const IconDirectory &directory,
                              IconImageChoice choice = IconImageChoice::All);
