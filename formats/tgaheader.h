#pragma once

#include "littleendian.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// A TGA file's header. A TGA has no signature, so it is told by a header
// whose fields agree with one another (tgaformat.cpp).

constexpr int tgaHeaderBytes = 18;

enum ImageType : uchar { ColourMapped = 1, TrueColour = 2, Grey = 3, CodedColourMapped = 9, CodedTrueColour = 10, CodedGrey = 11 };

struct TgaHeader
{
    uchar idLength = 0;
    uchar colourMapType = 0;
    uchar imageType = 0;
    quint16 colourMapFirst = 0;
    quint16 colourMapLength = 0;
    uchar colourMapEntryBits = 0;
    quint16 width = 0;
    quint16 height = 0;
    uchar pixelBits = 0;
    uchar descriptor = 0; // alpha bits (low four), right-to-left (0x10), top-down (0x20)

    // The header's fields, in the order they are stored; `head` holds at
    // least tgaHeaderBytes.
    static TgaHeader from(const QByteArray &head)
    {
        TgaHeader header;
        quint16 origin[2] = {}; // where the picture goes on a screen: unused
        LittleEndianReader in(head);
        in >> header.idLength >> header.colourMapType >> header.imageType >> header.colourMapFirst
            >> header.colourMapLength >> header.colourMapEntryBits >> origin[0] >> origin[1] >> header.width
            >> header.height >> header.pixelBits >> header.descriptor;
        return header;
    }

    bool mapped() const { return imageType == ColourMapped || imageType == CodedColourMapped; }
    bool fieldsAgree() const
    {
        const bool knownType = mapped() || imageType == TrueColour || imageType == Grey || imageType == CodedTrueColour
                               || imageType == CodedGrey;
        const bool knownDepth = pixelBits == 8 || pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
        // A true-colour or grey picture may carry a colour map it does not use.
        const bool knownMap = colourMapType == 0 ? !mapped()
                              : colourMapType == 1 && (colourMapEntryBits == 15 || colourMapEntryBits == 16
                                                       || colourMapEntryBits == 24 || colourMapEntryBits == 32);
        return knownType && knownDepth && knownMap && width > 0 && height > 0;
    }
    bool coded() const { return imageType >= CodedColourMapped; }
    qint64 colourMapBytes() const
    {
        return colourMapType == 1 ? qint64(colourMapLength) * ((colourMapEntryBits + 7) / 8) : 0;
    }
    qint64 pixelsStart() const { return tgaHeaderBytes + idLength + colourMapBytes(); }
    // Where the pixels end, uncompressed.
    qint64 pixelsEnd() const { return pixelsStart() + qint64(width) * height * ((pixelBits + 7) / 8); }
    // Qt's reader takes uncompressed true colour of 16 bits and more, stored
    // left to right.
    bool forQt() const { return imageType == TrueColour && pixelBits >= 16 && !(descriptor & 0x10); }
};

// The header at the start of `head`, when its fields agree; nothing when
// they do not, or when `head` is shorter than a header.
std::optional<TgaHeader> tgaHeaderOf(const QByteArray &head);
