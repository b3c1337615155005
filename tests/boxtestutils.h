#pragma once

// Checks of what picture boxes show, naming the first pixel that is wrong.

#include "picturetestutils.h"

#include "picturebox.h"

namespace testutils {

// Checks that exactly the 32 x 32 pixels of `box` inside `inside` are `in`
// and all others `out`, naming the first pixel that is not.
inline void verifyRegion(const PictureBox &box, const QRect &inside, Colour in, Colour out)
{
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const Colour expected = inside.contains(x, y) ? in : out;
            if (box.Point(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("%1 pixel (%2, %3) is %4, expected %5")
                                     .arg(box.objectName()).arg(x).arg(y)
                                     .arg(box.Point(x, y).value(), 6, 16, QLatin1Char('0'))
                                     .arg(expected.value(), 6, 16, QLatin1Char('0'))));
        }
}

// The same with the colours written 0x00BBGGRR.
inline void verifyRegion(const PictureBox &box, const QRect &inside, quint32 in, quint32 out)
{
    verifyRegion(box, inside, Colour(in), Colour(out));
}
inline void verifyRegion(const PictureBox &box, const QRect &inside, quint32 in, Colour out)
{
    verifyRegion(box, inside, Colour(in), out);
}

// Checks that two boxes show the same 32 x 32 pixels.
inline void verifySameSquare(const PictureBox &a, const PictureBox &b)
{
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (a.Point(x, y) != b.Point(x, y))
                QFAIL(qPrintable(QStringLiteral("%1 and %2 differ at (%3, %4)")
                                     .arg(a.objectName(), b.objectName()).arg(x).arg(y)));
}

} // namespace testutils
