#pragma once

#include <QByteArray>
#include <QIODevice>

#include <tiffio.h>

// libtiff reading a TIFF from a device, printing nothing.

// A strip or tile is read whole: one of more than this in 32-bit pixels is
// left to Qt's reader, and neither libtiff nor the reading here allocates
// more than twice as much at once for its samples.
constexpr qint64 regionBytes = 8 << 20;
constexpr tmsize_t largestAllocation = 2 * regionBytes;

// Whether the file's first four bytes open a TIFF: classic or BigTIFF,
// little- or big-endian.
bool looksLikeTiff(const QByteArray &head);

// Where libtiff reads: the device, offsets counted from where the file
// starts in it.
struct TiffSource
{
    QIODevice *device;
    qint64 start;
};

// The size of the file an open TIFF is read from, counted from where it
// starts in the device.
quint64 tiffFileSize(TIFF *tiff);

// A TIFF open on the device, closed and the device put back when it goes.
class OpenTiff
{
public:
    explicit OpenTiff(QIODevice &device);
    ~OpenTiff();
    OpenTiff(const OpenTiff &) = delete;
    OpenTiff &operator=(const OpenTiff &) = delete;
    TIFF *get() const { return m_tiff; }

private:
    TiffSource m_source;
    TIFF *m_tiff = nullptr;
};
