#pragma once

#include <QIcon>
#include <QImage>

// Tervana's own artwork, drawn in code so the repository holds no binary
// images: the window icon (64 x 64, 256 colours), the three button pictures
// (32 x 32) and the logo of the credits panel (45 x 64).
namespace Artwork {
QImage windowIcon();
QImage openPicture();
QImage savePicture();
QImage exitPicture();
QImage logo();
}
