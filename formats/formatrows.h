#pragma once

#include "pictureformat.h"

// The rows of the table of formats (formats.h), one from each format's file.
PictureFormat bmpFormat();
PictureFormat jpegFormat();
PictureFormat gifFormat();
PictureFormat pngFormat();
PictureFormat webpFormat();
PictureFormat iconFormat();
PictureFormat tiffFormat();
PictureFormat pnmFormat();
PictureFormat svgFormat();
PictureFormat tgaFormat();
