#pragma once

#include "colour.h"

#include <QRgb>

// The two named conversions between the window's colours (0x00BBGGRR) and
// Qt's (0xAARRGGBB).

// A plain colour (not a system colour) as Qt's, fully opaque.
constexpr QRgb toQRgb(Colour c)
{
    return qRgb(c.red(), c.green(), c.blue());
}

// Qt's colour as a plain colour; the alpha is dropped.
constexpr Colour colourFromQRgb(QRgb rgb)
{
    return Colour::fromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
}
