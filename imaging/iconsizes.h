#pragma once

#include "picture.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Icons of several sizes made from one picture, with real transparency.
namespace IconSizes {
// What "all" stands for: the sizes today's desktops show.
const std::vector<int> &all();
constexpr int smallest = 1;
constexpr int largest = 256;
}

// The sizes a list such as "16,32,256" or "all" names, largest first; or,
// in `error`, why the list names none: a size that is no whole number from
// 1 to 256, or one given twice.
std::vector<int> parseIconSizes(const QString &list, QString &error);

// One icon file holding an image of each of `sizes` (largest first): the
// picture fitted in as into the 32 x 32 square, its bands transparent and
// its own transparency kept, at 32 bits with alpha; with `keyBlack`, pure
// black pixels are transparent too, as in the window's icons. The 256 image
// is stored as PNG, the others as bitmaps.
QByteArray encodeIconSizes(const Picture &picture, const std::vector<int> &sizes, bool keyBlack);
