// A JPEG's structure, walked as its decoder finds its markers: whether it is
// cut short, and how it is decoded (its scans, the coefficients it keeps).

#include "jpegstructure.h"

#include <algorithm>
#include <vector>

namespace {

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

// The segments and coded data up to the end marker: cut short when the
// file ends first.
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

JpegStructure walkJpegStructure(QIODevice &device, int scanLimit)
{
    const qint64 start = device.pos();
    DeviceReader in(device, start);
    JpegStructure structure;
    structure.cutShort = walkJpeg(in) == Walk::CutShort;
    device.seek(start);
    structure.layout = readJpegLayout(device, start, scanLimit);
    device.seek(start);
    return structure;
}
