#pragma once

#include "pictureformat.h"

#include <QIODevice>

#include <memory>

// The rows of the table of formats (formats.cpp), from each format's file:
// whether the file, from its first bytes, is of the format
// (PictureFormat::recognises), and its reader, which parses the header of
// the picture in the device.
bool isBmp(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openBmpReader(QIODevice &device);
bool isJpeg(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openJpegReader(QIODevice &device);
bool isGif(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openGifReader(QIODevice &device);
bool isPng(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPngReader(QIODevice &device);
bool isWebp(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openWebpReader(QIODevice &device);
bool isIcon(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openIconReader(QIODevice &device);
bool isTiff(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openTiffReader(QIODevice &device);
bool isPnm(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPnmReader(QIODevice &device);
bool isSvg(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openSvgReader(QIODevice &device);
bool isTga(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openTgaReader(QIODevice &device);
