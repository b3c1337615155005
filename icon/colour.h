#pragma once

#include <QtGlobal>

// A colour as the window's properties and the icon file hold it: 0x00BBGGRR,
// red in the low byte. A value 0x80000000 + n names system colour n instead.
// A type of its own, so that it is never mixed up with Qt's 0xAARRGGBB: the
// two meet only through the named conversions in picture/qtcolour.h.
class Colour
{
public:
    constexpr Colour() = default;
    constexpr explicit Colour(quint32 bgr)
        : m_value(bgr)
    {
    }
    static constexpr Colour fromRgb(int red, int green, int blue)
    {
        return Colour(quint32(red & 0xFF) | quint32(green & 0xFF) << 8 | quint32(blue & 0xFF) << 16);
    }

    // The 32-bit value itself, 0x00BBGGRR.
    constexpr quint32 value() const { return m_value; }
    constexpr int red() const { return int(m_value & 0xFF); }
    constexpr int green() const { return int((m_value >> 8) & 0xFF); }
    constexpr int blue() const { return int((m_value >> 16) & 0xFF); }
    constexpr bool isSystemColour() const { return (m_value & 0x80000000u) != 0 && m_value != 0xFFFFFFFFu; }
    constexpr int systemColourIndex() const { return int(m_value & 0xFF); }

    friend constexpr bool operator==(Colour a, Colour b) { return a.m_value == b.m_value; }
    friend constexpr bool operator!=(Colour a, Colour b) { return a.m_value != b.m_value; }

private:
    quint32 m_value = 0;
};

namespace Colours {
constexpr Colour black{0x000000};
constexpr Colour white{0xFFFFFF};
// What a pixel read returns when there is no pixel to read.
constexpr Colour invalid{0xFFFFFFFF};
constexpr Colour windowBackground{0x80000005};
constexpr Colour buttonFace{0x8000000F};
} // namespace Colours
