#pragma once

#include "qtcolour.h"

#include <QColor>

class QPalette;

// The real colour a property value stands for: system colours come from
// `palette`, plain values are taken as they are.
QColor resolveColour(Colour c, const QPalette &palette);
