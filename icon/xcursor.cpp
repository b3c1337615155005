#include "xcursor.h"

#include "littleendian.h"

namespace {

constexpr quint32 fileMagic = 0x72756358; // "Xcur"
constexpr quint32 fileHeaderBytes = 16;
constexpr quint32 fileVersion = 0x10000;
constexpr quint32 tocEntryBytes = 12;
constexpr quint32 imageType = 0xFFFD0002;
constexpr quint32 imageHeaderBytes = 36;
constexpr quint32 imageVersion = 1;

quint32 imageBytes(const XcursorImage &image)
{
    return imageHeaderBytes + quint32(image.pixels.size()) * 4;
}

} // namespace

QByteArray encodeXcursor(const std::vector<XcursorImage> &images)
{
    LittleEndianWriter out;
    out << fileMagic << fileHeaderBytes << fileVersion << quint32(images.size());
    quint32 position = fileHeaderBytes + tocEntryBytes * quint32(images.size());
    for (const XcursorImage &image : images) {
        out << imageType << quint32(image.nominalSize) << position;
        position += imageBytes(image);
    }
    for (const XcursorImage &image : images) {
        out << imageHeaderBytes << imageType << quint32(image.nominalSize) << imageVersion << quint32(image.width)
            << quint32(image.height) << quint32(image.hotSpot.x()) << quint32(image.hotSpot.y()) << image.delay;
        for (quint32 pixel : image.pixels)
            out << pixel;
    }
    return out.bytes();
}
