#pragma once

#include "pictureformat.h"

#include <QIODevice>

#include <memory>

// The readers of the table of formats (formats.cpp), one from each format's
// file: each parses the header of the picture in the device.
std::unique_ptr<FormatReader> openBmpReader(QIODevice &device);
std::unique_ptr<FormatReader> openJpegReader(QIODevice &device);
std::unique_ptr<FormatReader> openGifReader(QIODevice &device);
std::unique_ptr<FormatReader> openPngReader(QIODevice &device);
std::unique_ptr<FormatReader> openWebpReader(QIODevice &device);
std::unique_ptr<FormatReader> openIconReader(QIODevice &device);
std::unique_ptr<FormatReader> openTiffReader(QIODevice &device);
std::unique_ptr<FormatReader> openPnmReader(QIODevice &device);
std::unique_ptr<FormatReader> openSvgReader(QIODevice &device);
std::unique_ptr<FormatReader> openTgaReader(QIODevice &device);
