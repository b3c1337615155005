#pragma once

#include "pictureformat.h"

#include <QIODevice>

#include <memory>

// The rows of the table of formats (formats.cpp), from each format's file:
// whether the file, from its first bytes, is of the format
// (PictureFormat::recognises), and its reader, which parses the header of
// the picture in the device.
bool isBmp(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openBmpReader(QIODevice &device, const QByteArray &head);
bool isJpeg(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openJpegReader(QIODevice &device, const QByteArray &head);
bool isGif(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openGifReader(QIODevice &device, const QByteArray &head);
bool isPng(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPngReader(QIODevice &device, const QByteArray &head);
bool isWebp(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openWebpReader(QIODevice &device, const QByteArray &head);
bool isIcon(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openIconReader(QIODevice &device, const QByteArray &head);
bool isTiff(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openTiffReader(QIODevice &device, const QByteArray &head);
bool isPnm(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPnmReader(QIODevice &device, const QByteArray &head);
bool isSvg(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openSvgReader(QIODevice &device, const QByteArray &head);
bool isAniFile(QIODevice &device, const QByteArray &head);
bool isXcursorFile(QIODevice &device, const QByteArray &head);
// Animated cursors and Xcursor files share one reader (cursoranimation.h).
std::unique_ptr<FormatReader> openCursorAnimationReader(QIODevice &device, const QByteArray &head);
bool isIcnsFile(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openIcnsReader(QIODevice &device, const QByteArray &head);
bool isJpeg2000File(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openJpeg2000Reader(QIODevice &device, const QByteArray &head);
bool isAvif(QIODevice &device, const QByteArray &head);
bool isHeic(QIODevice &device, const QByteArray &head);
// HEIC and AVIF files share one reader, libheif's (heifformat.cpp).
std::unique_ptr<FormatReader> openHeifReader(QIODevice &device, const QByteArray &head);
bool isPdf(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPdfReader(QIODevice &device, const QByteArray &head);
bool isTga(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openTgaReader(QIODevice &device, const QByteArray &head);
bool isPsd(QIODevice &device, const QByteArray &head);
std::unique_ptr<FormatReader> openPsdReader(QIODevice &device, const QByteArray &head);
