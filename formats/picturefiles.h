#pragma once

#include "picture.h"

#include <QSize>
#include <QString>

#include <optional>

// The window's file-path conveniences around the core's reading and
// writing: LoadPicture and SavePicture are the names the window's commands
// use.

// Reads the regular file at `path` (readpicture.h).
PictureLoad LoadPicture(const QString &path, QSize drawSize = QSize(), DrawDetail detail = DrawDetail::Fine);

// Writes the picture as an uncompressed 24-bit Windows bitmap, replacing the
// file at `path` whole or not at all.
std::optional<Failure> SavePicture(const Picture &picture, const QString &path);
