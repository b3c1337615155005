#pragma once

#include "icondirectory.h"
#include "littleendian.h"

#include <QByteArray>
#include <QtGlobal>

// The fields of a bitmap file's two headers that the readers need, from the
// file's first bytes. Fields past the end of `head` read as 0, so a header
// cut short gives zeros, never garbage.
struct BmpHeader
{
    qint64 pixelOffset = 0; // where the pixel rows begin, from the file's start
    quint32 infoSize = 0;   // 12 for the oldest header, 40 or more since
    qint64 width = 0;       // as stored, widened: INT_MIN's size fits
    qint64 height = 0;      // negative when rows are stored top-down
    int planes = 0;
    int bits = 0;
    quint32 compression = 0; // 0 plain rows, 1 and 2 run-length coded, 3 and 6 bit masks
    quint32 coloursUsed = 0; // 0: as many as the bit count allows

    // The palette's size in entries: none above 8 bits per pixel.
    qint64 paletteEntries() const
    {
        if (bits < 1 || bits > 8)
            return 0;
        return coloursUsed ? coloursUsed : qint64(1) << bits;
    }

    // Where the pixel data really begins. Decoders read the headers, the
    // colour masks and the palette first and never go back, so an offset
    // that points into them is overruled: the data starts where they end,
    // or at the offset when that lies further on.
    qint64 pixelDataStart() const
    {
        qint64 end = 14 + qint64(infoSize);
        const bool masksFollow = (compression == 3 || compression == 6) && infoSize < 108 && (bits == 16 || bits == 32);
        if (masksFollow)
            end += compression == 6 ? 16 : 12;
        end += paletteEntries() * (infoSize == 12 ? 3 : 4); // the oldest palette has no spare byte
        return qMax(pixelOffset, end);
    }

    static BmpHeader from(const QByteArray &head)
    {
        BmpHeader header;
        header.pixelOffset = fieldAt<quint32>(head, 10);
        header.infoSize = fieldAt<quint32>(head, 14);
        if (header.infoSize == 12) {
            // The oldest header: 16-bit sizes, no compression or palette size.
            header.width = fieldAt<quint16>(head, 18);
            header.height = fieldAt<quint16>(head, 20);
            header.planes = fieldAt<quint16>(head, 22);
            header.bits = fieldAt<quint16>(head, 24);
            return header;
        }
        const BitmapInfoHeader info = bitmapInfoHeaderAt(head, 14);
        header.width = info.biWidth;
        header.height = info.biHeight;
        header.planes = info.biPlanes;
        header.bits = info.biBitCount;
        header.compression = info.biCompression;
        header.coloursUsed = info.biClrUsed;
        return header;
    }
};
