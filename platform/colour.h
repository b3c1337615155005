#pragma once

#include <QColor>
#include <QtGlobal>

class QPalette;

// A colour as the window's properties hold it: 0x00BBGGRR, red in the low
// byte. A value 0x80000000 + n names system colour n instead.
using Colour = quint32;

namespace Colours {
constexpr Colour black = 0x000000;
constexpr Colour white = 0xFFFFFF;
// What a pixel read returns when there is no pixel to read.
constexpr Colour invalid = 0xFFFFFFFF;
constexpr Colour systemFlag = 0x80000000;
constexpr Colour windowBackground = systemFlag + 5;
constexpr Colour buttonFace = systemFlag + 15;

constexpr bool isSystemColour(Colour c) { return (c & systemFlag) != 0 && c != invalid; }
}

// Colour (0x00BBGGRR, not a system colour) to Qt's 0xAARRGGBB, fully opaque.
constexpr QRgb toQRgb(Colour c)
{
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Qt's 0xAARRGGBB to 0x00BBGGRR; the alpha is dropped.
constexpr Colour fromQRgb(QRgb rgb)
{
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

// The real colour a property value stands for: system colours come from
// `palette`, plain values are taken as they are.
QColor resolveColour(Colour c, const QPalette &palette);
