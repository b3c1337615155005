#pragma once

#include "colour.h"
#include "icondirectory.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// The one icon layout Tervana writes: a single 32 x 32 image at 24 bits per
// pixel with a 1-bit AND mask, 3,262 bytes in all.
namespace IconFile {

constexpr int side = 32;
constexpr int pixelCount = side * side;
constexpr int directoryBytes = IconDirRecord::size + IconEntryRecord::size;
constexpr int headerBytes = directoryBytes + BitmapInfoHeader::size;
constexpr int colourBytes = side * side * 3; // 32 rows of 96 bytes, no padding needed
constexpr int maskBytes = side * side / 8;   // 32 rows of 4 bytes
constexpr int colourOffset = headerBytes;
constexpr int maskOffset = colourOffset + colourBytes;
constexpr int fileBytes = maskOffset + maskBytes;
static_assert(fileBytes == 3262);

} // namespace IconFile

// The three header records with the values of a 32 x 32, 24-bit icon.
IconDirRecord iconDirValues();
IconEntryRecord iconEntryValues();
BitmapInfoHeader iconHeaderValues();

// One 32 x 32 picture to encode, rows top-down, pixels left to right. A
// failed pixel read (Colours::invalid, 0xFFFFFFFF) is encoded the way its
// signed value splits: blue 00, green 00, red FF.
struct IconPixels
{
    std::array<Colour, IconFile::pixelCount> colours{};
    std::array<bool, IconFile::pixelCount> transparent{};

    Colour &colour(int x, int y) { return colours[size_t(y * IconFile::side + x)]; }
    bool &isTransparent(int x, int y) { return transparent[size_t(y * IconFile::side + x)]; }
    bool isTransparent(int x, int y) const { return transparent[size_t(y * IconFile::side + x)]; }
};

// The 3,262 bytes of the icon file for `pixels`.
QByteArray encodeIcon24(const IconPixels &pixels);

// A black-and-white icon of the same picture: 32 x 32 at 1 bit per pixel
// with a two-entry palette (black, then white) and the same AND mask, 326
// bytes. Each opaque pixel becomes white when its brightness is at least
// half, black otherwise; a transparent pixel is stored black.
namespace MonoIconFile {
constexpr int paletteBytes = 2 * 4;
constexpr int rowBytes = 4; // 32 bits, already a multiple of 4 bytes
constexpr int colourBytes = IconFile::side * rowBytes;
constexpr int fileBytes = IconFile::headerBytes + paletteBytes + colourBytes + IconFile::maskBytes;
static_assert(fileBytes == 326);
}
QByteArray encodeIcon1(const IconPixels &pixels);

// Packs a text of "1" and "0" into a byte, the first character being the most
// significant bit. Only the first eight characters count; a missing one, or
// any character but "1", is a 0 bit.
quint8 bitStringToByte(const QString &bits);
