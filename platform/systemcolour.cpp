#include "systemcolour.h"

#include <QPalette>

// System colour numbers as the classic desktop numbers them, mapped onto the
// nearest role of a Qt palette.
static QPalette::ColorRole roleForSystemColour(quint32 index)
{
    switch (index) {
    case 5: return QPalette::Base;            // window background
    case 8: return QPalette::Text;            // window text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 15: return QPalette::Button;         // button face
    case 16: return QPalette::Dark;           // button shadow
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;          // button highlight
    case 21: return QPalette::Shadow;         // dark shadow
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    default: return QPalette::Window;
    }
}

QColor resolveColour(Colour c, const QPalette &palette)
{
    if (c.isSystemColour())
        return palette.color(QPalette::Active, roleForSystemColour(quint32(c.systemColourIndex())));
    return QColor::fromRgb(toQRgb(c));
}
