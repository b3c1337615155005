#pragma once

#include "psdlayout.h"
#include "structurewalk.h"

#include <QIODevice>
#include <QRgb>

#include <vector>

// The composite of a Photoshop file (psdlayout.h), a row at a time. Its
// channels are stored one after another, so each channel read is followed
// through a buffer of its own: a picture of any size is read with memory
// for a few rows.
//
// Samples of 16 bits are rounded to the nearest of 8. CMYK is stored with 0
// for full ink; its colours are turned into red, green and blue the simple
// way, each colour's ink and the black ink taking their share of the light:
// R = (255 - C)(255 - K) / 255, and the same for green and blue. A bitmap's
// set bits are black. The colour is taken as stored, not freed from a
// white background where the picture is partly transparent: ImageMagick
// writes it so.
class PsdRows
{
public:
    // Reads the composite of the file starting at `start` in the device.
    PsdRows(QIODevice &device, qint64 start, const PsdLayout &layout);

    // Reads the next row of every channel; false when its data is damaged:
    // a run-length row that makes less than a row, or a row the file does
    // not hold. A run longer than what is left of its row is cut at the
    // row's end.
    bool next();
    // The row read, `layout.size.width()` pixels of unpremultiplied ARGB.
    void pixels(QRgb *pixels) const;
    // The row read of one channel, a level of 8 bits a pixel.
    const uchar *levels(int channel) const { return m_levels[size_t(channel)].data(); }

private:
    struct Channel
    {
        DeviceReader data;
        DeviceReader lengths; // a run-length row's bytes, row after row
    };

    void openChannels(QIODevice &device, qint64 start);
    bool readRow(Channel &channel, uchar *row);
    void toLevels(const uchar *row, uchar *levels) const;

    const PsdLayout &m_layout;
    std::vector<Channel> m_channels;
    std::vector<uchar> m_row;    // one channel's row as stored
    std::vector<uchar> m_packed; // the same, in run lengths
    std::vector<std::vector<uchar>> m_levels; // each channel's row, 8 bits a sample
};

// Whether the file holds the whole composite, every channel of it, raw or
// in run lengths; `in` starts where the file does.
Walk walkPsdComposite(DeviceReader &in, const PsdLayout &layout);
