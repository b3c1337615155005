#pragma once

#include "conversion.h"

// The icons other platforms ship a program with, made from the same
// pictures as a Windows icon: each size from the best source (a drawing
// drawn afresh, a picture exactly that size as it is, else the smallest
// larger picture shrunk), fitted as into the window's square.

// The sizes of a macOS icon family: 16 to 1024, largest first.
const std::vector<int> &icnsSizes();

// A macOS icon family (.icns) of `inputs`: a PNG element of each type
// icnsPngTypes() names, each size encoded once.
Converted makeIcns(const ConversionOptions &options, const QStringList &inputs);
