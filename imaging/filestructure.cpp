#include "filestructure.h"

#include "bmpheader.h"
#include "devicereader.h"
#include "iconrecords.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

namespace {

// What a walk found: the structure whole, cut short, or not what the walk
// understands (left to the decoder).
enum class Walk { Whole, CutShort, Unknown };

Walk cutShortUnless(bool whole)
{
    return whole ? Walk::Whole : Walk::CutShort;
}

// Coded rows: pairs of bytes, up to the end-of-bitmap pair or until every
// row has ended, as the decoder stops there.
Walk walkBmpRunLengths(DeviceReader &in, bool fourBits, qint64 height)
{
    for (qint64 row = 0; row < height;) {
        const std::optional<uchar> count = in.byte();
        const std::optional<uchar> value = in.byte();
        if (!count || !value)
            return Walk::CutShort;
        if (*count != 0)
            continue; // a run
        if (*value == 0) {
            ++row; // the end of a row
        } else if (*value == 1) {
            return Walk::Whole; // the end of the bitmap
        } else if (*value == 2) {
            const std::optional<uchar> right = in.byte(); // a move to another pixel
            const std::optional<uchar> down = in.byte();
            if (!right || !down)
                return Walk::CutShort;
            row += *down;
        } else {
            // A stretch of pixels stored as they are, padded to 16 bits.
            const qint64 bytes = fourBits ? (*value + 1) / 2 : *value;
            if (!in.skip(bytes + (bytes & 1)))
                return Walk::CutShort;
        }
    }
    return Walk::Whole;
}

Walk walkBmp(DeviceReader &in, const QByteArray &head)
{
    if (head.size() < 18)
        return Walk::CutShort;
    const BmpHeader header = BmpHeader::from(head);
    if (header.infoSize > 1024 || header.paletteEntries() > 256)
        return Walk::Unknown; // no decoder reads such a header
    if (!in.reaches(14 + qint64(header.infoSize)))
        return Walk::CutShort;
    const qint64 start = header.pixelDataStart();
    const qint64 width = qAbs(header.width);
    const qint64 height = qAbs(header.height);
    switch (header.compression) {
    case 0: // plain rows
    case 3: // plain rows with bit masks
    case 6: {
        const qint64 stride = ((width * header.bits + 31) / 32) * 4; // rows padded to 32 bits
        if (stride > 0 && height > (std::numeric_limits<qint64>::max() - start) / stride)
            return Walk::CutShort; // more data than any file holds
        return cutShortUnless(in.reaches(start + stride * height));
    }
    case 1:
    case 2:
        if (!in.reaches(start))
            return Walk::CutShort;
        in.moveTo(start);
        return walkBmpRunLengths(in, header.compression == 2, height);
    default: return Walk::Unknown;
    }
}

bool isStandaloneJpegMarker(uchar marker)
{
    return (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01; // restarts, start of image, TEM
}

// The next marker, found as the decoder finds it: past any stray bytes (and
// a scan's coded data), past fill bytes; 0xFF 0x00 is coded data.
std::optional<uchar> nextJpegMarker(DeviceReader &in)
{
    for (;;) {
        if (!in.findByte(0xFF))
            return std::nullopt;
        in.skip(1);
        std::optional<uchar> code = in.byte();
        while (code && *code == 0xFF)
            code = in.byte();
        if (!code)
            return std::nullopt;
        if (*code != 0x00)
            return code;
    }
}

// The length of the segment that starts here; nothing when the file ends or
// the length is impossible.
std::optional<qint64> jpegSegmentLength(DeviceReader &in)
{
    const std::optional<quint32> length = in.number(2, true);
    if (!length || *length < 2)
        return std::nullopt;
    return qint64(*length) - 2;
}

Walk walkJpeg(DeviceReader &in)
{
    in.skip(2); // the start of image
    for (;;) {
        const std::optional<uchar> marker = nextJpegMarker(in);
        if (!marker)
            return Walk::CutShort;
        if (*marker == 0xD9)
            return Walk::Whole; // the end of image
        if (isStandaloneJpegMarker(*marker))
            continue;
        const std::optional<qint64> length = jpegSegmentLength(in);
        if (!length || !in.skip(*length))
            return Walk::CutShort;
    }
}

// Sub-blocks, each a length byte and that many bytes, up to an empty one.
bool skipSubBlocks(DeviceReader &in)
{
    for (;;) {
        const std::optional<uchar> length = in.byte();
        if (!length || !in.skip(*length))
            return false;
        if (*length == 0)
            return true;
    }
}

Walk walkGif(DeviceReader &in, const QByteArray &head)
{
    if (head.size() < 13)
        return Walk::CutShort;
    const uchar screenFlags = uchar(head.at(10));
    const qint64 globalColours = (screenFlags & 0x80) ? 3 << ((screenFlags & 7) + 1) : 0;
    if (!in.skip(13 + globalColours))
        return Walk::CutShort;
    for (;;) {
        const std::optional<uchar> block = in.byte();
        if (!block)
            return Walk::CutShort;
        if (*block == 0x3B)
            return Walk::Whole; // the trailer, before any image: no picture, the decoder says so
        if (*block == 0x21) { // an extension: its label, then sub-blocks
            if (!in.skip(1) || !skipSubBlocks(in))
                return Walk::CutShort;
        } else if (*block == 0x2C) { // an image: place, size, flags ...
            if (!in.skip(8))
                return Walk::CutShort;
            const std::optional<uchar> flags = in.byte();
            if (!flags)
                return Walk::CutShort;
            const qint64 localColours = (*flags & 0x80) ? 3 << ((*flags & 7) + 1) : 0;
            // ... its colours, the code size and the coded pixels: the first
            // image, the one shown, is whole.
            return cutShortUnless(in.skip(localColours + 1) && skipSubBlocks(in));
        } else {
            return Walk::Unknown;
        }
    }
}

// Chunks (length, type, data, check) up to the end chunk, which must come
// by `end` (an icon's image ends where its entry says).
Walk walkPng(DeviceReader &in, qint64 end = std::numeric_limits<qint64>::max())
{
    in.skip(8); // the signature
    for (;;) {
        const std::optional<quint32> length = in.number(4, true);
        const std::optional<quint32> type = in.number(4, true);
        if (!length || !type)
            return Walk::CutShort;
        if (*length > 0x7FFFFFFFu)
            return Walk::Unknown;
        if (!in.skip(qint64(*length) + 4))
            return Walk::CutShort;
        if (in.offset() > end)
            return Walk::Unknown; // its decoder is given no more than that
        if (*type == 0x49454E44u) // "IEND"
            return Walk::Whole;
    }
}

// One image of an icon, a PNG stream or a bitmap without a file header: the
// directory gives its length, and its own header sizes the colour rows and,
// below 32 bits, the mask rows after them.
Walk walkIconImage(DeviceReader &in, QIODevice &device, const IconEntryRecord &entry)
{
    const qint64 offset = entry.dwImageOffset;
    in.moveTo(offset);
    device.seek(in.absolute(offset));
    const QByteArray head = device.peek(BitmapInfoHeader::size);
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return walkPng(in, offset + qint64(entry.dwBytesInRes));
    if (head.size() < BitmapInfoHeader::size)
        return Walk::CutShort;
    const BitmapInfoHeader info = bitmapInfoHeaderAt(head, 0);
    const qint64 width = entry.bWidth ? entry.bWidth : qAbs(qint64(info.biWidth));
    const qint64 height = entry.bHeight ? entry.bHeight : qAbs(qint64(info.biHeight)) / 2;
    if (info.biSize < 40 || info.biSize > 1024 || width > 256 || height > 256)
        return Walk::Unknown;
    return cutShortUnless(in.reaches(offset + info.biSize + iconBitmapLayout(info, width, height).bytes()));
}

// Every image the directory lists. Entries that name the same bytes name one
// image, walked once; and no more bytes are walked in all than the file
// holds, since images can only need more by sharing bytes, which their
// decoders judge. So a directory of 65,535 entries costs one walk of the file.
Walk walkIcon(DeviceReader &in, QIODevice &device, const QByteArray &head)
{
    if (head.size() < IconDirRecord::size)
        return Walk::CutShort;
    const int count = iconDirAt(head).idCount;
    if (count == 0)
        return Walk::Unknown;
    const QByteArray directory = device.peek(iconEntryOffset(count));
    if (directory.size() < iconEntryOffset(count))
        return Walk::CutShort;
    std::unordered_set<quint64> walked;
    qint64 walkedBytes = 0;
    Walk found = Walk::Whole;
    for (int i = 0; i < count; ++i) {
        const IconEntryRecord entry = iconEntryAt(directory, iconEntryOffset(i));
        if (!walked.insert(imageBytesKey(entry)).second)
            continue;
        const qint64 end = qint64(entry.dwImageOffset) + entry.dwBytesInRes;
        if (!in.reaches(end))
            return Walk::CutShort;
        walkedBytes += entry.dwBytesInRes;
        const Walk image = in.reaches(walkedBytes) ? walkIconImage(in, device, entry) : Walk::Unknown;
        if (image == Walk::CutShort)
            return Walk::CutShort;
        if (image == Walk::Unknown)
            found = Walk::Unknown;
    }
    return found;
}

// A file that ends within the signature that opens a picture format.
bool endsWithinASignature(const QByteArray &head)
{
    static const QByteArray signatures[] = {QByteArray("GIF87a"), QByteArray("GIF89a"),
                                            QByteArray("\x89PNG\r\n\x1A\n"), QByteArray("\0\0\1\0", 4),
                                            QByteArray("\0\0\2\0", 4), QByteArray("RIFF")};
    for (const QByteArray &signature : signatures)
        if (head.size() >= 2 && head.size() < signature.size() && signature.startsWith(head))
            return true;
    return false;
}

Walk walk(QIODevice &device, qint64 start)
{
    DeviceReader in(device, start);
    const QByteArray head = device.peek(64);
    if (endsWithinASignature(head))
        return Walk::CutShort;
    if (head.startsWith("BM"))
        return walkBmp(in, head);
    if (head.startsWith("\xFF\xD8"))
        return walkJpeg(in);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return walkGif(in, head);
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return walkPng(in);
    if (head.startsWith("RIFF") && head.size() < 12) // ends before it says what it holds
        return Walk::CutShort;
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") // its chunk's size counts from byte 8
        return cutShortUnless(in.reaches(8 + qint64(fieldAt<quint32>(head, 4))));
    if (head.size() >= 4 && head.startsWith(QByteArray("\0\0", 2)) && (head.at(2) == 1 || head.at(2) == 2)
        && head.at(3) == 0)
        return walkIcon(in, device, head);
    return Walk::Unknown;
}

bool isFrameMarker(uchar marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// What a decoder that keeps every coefficient holds for the frame whose
// header follows: for each component, its blocks of 8 x 8 coefficients of
// two bytes each, the blocks counted as libjpeg lays them out (the
// component's share of the picture in whole blocks, rounded up to whole
// units of its sampling).
qint64 coefficientBytes(DeviceReader &in)
{
    in.skip(1); // precision
    const qint64 height = in.number(2, true).value_or(0);
    const qint64 width = in.number(2, true).value_or(0);
    const int count = in.byte().value_or(0);
    std::vector<std::pair<int, int>> sampling;
    for (int i = 0; i < count; ++i) {
        in.skip(1); // the component's identifier
        const int factors = in.byte().value_or(0x11);
        in.skip(1); // its quantisation table
        sampling.emplace_back(std::max(factors >> 4, 1), std::max(factors & 15, 1));
    }
    int widest = 1;
    int tallest = 1;
    for (const auto &[across, down] : sampling) {
        widest = std::max(widest, across);
        tallest = std::max(tallest, down);
    }
    const auto blocks = [](qint64 pixels, int factor, int largest) {
        const qint64 inBlocks = (pixels * factor + 8 * largest - 1) / (8 * largest);
        return (inBlocks + factor - 1) / factor * factor;
    };
    qint64 bytes = 0;
    for (const auto &[across, down] : sampling)
        bytes += blocks(width, across, widest) * blocks(height, down, tallest) * 64 * 2;
    return bytes;
}

JpegLayout readJpegLayout(QIODevice &device, qint64 start, int scanLimit)
{
    JpegLayout layout;
    DeviceReader in(device, start);
    if (device.peek(2) != "\xFF\xD8")
        return layout;
    in.skip(2);
    bool progressive = false;
    int frameComponents = 0;
    for (;;) {
        const std::optional<uchar> marker = nextJpegMarker(in);
        if (!marker || *marker == 0xD9)
            return layout;
        if (isStandaloneJpegMarker(*marker))
            continue;
        const std::optional<qint64> length = jpegSegmentLength(in);
        if (!length)
            return layout;
        const qint64 next = in.offset() + *length;
        if (isFrameMarker(*marker)) {
            progressive = *marker == 0xC2 || *marker == 0xC6 || *marker == 0xCA || *marker == 0xCE;
            const qint64 frame = in.offset();
            layout.coefficientBytes = coefficientBytes(in);
            in.moveTo(frame + 5); // precision, height, width
            frameComponents = in.byte().value_or(0);
        } else if (*marker == 0xDA) {
            if (++layout.scans == 1)
                layout.decodedWhole = progressive || in.byte().value_or(0) < frameComponents;
            // Another scan only costs its reading when the picture is decoded whole.
            if (!layout.decodedWhole || layout.scans > scanLimit)
                return layout;
        }
        in.moveTo(next);
    }
}

} // namespace

bool isCutShort(QIODevice &device)
{
    const qint64 start = device.pos();
    const Walk found = walk(device, start);
    device.seek(start);
    return found == Walk::CutShort;
}

bool isJpegDecodedWhole(QIODevice &device)
{
    return jpegLayout(device, 0).decodedWhole;
}

JpegLayout jpegLayout(QIODevice &device, int scanLimit)
{
    const qint64 start = device.pos();
    const JpegLayout layout = readJpegLayout(device, start, scanLimit);
    device.seek(start);
    return layout;
}
