#pragma once

#include <QIODevice>

#include <vector>

// The delay of each image of the GIF that begins where the device stands,
// in milliseconds, as browsers take them: what the graphic control
// extension before it says, or 0 when there is none (Qt's reader then
// keeps the one before). Up to `limit` images, and those before any block
// that cannot be read; the device is left where it was.
std::vector<int> gifFrameDelays(QIODevice &device, int limit);
