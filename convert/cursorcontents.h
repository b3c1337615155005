#pragma once

#include "iconcontents.h"

#include <QByteArray>
#include <QImage>

#include <optional>
#include <vector>

// Looking inside animated cursors and Xcursor files, for iconcontents.cpp:
// what each holds (--list), and its images, each frame at each size, to be
// written out as PNGs (--extract).

// Lists what the animated cursor or Xcursor `file`, shown as `name`,
// holds, line by line to `print`; why it is damaged, in one line, when it
// is.
std::optional<Failure> listCursorAnimation(const QString &name, const QByteArray &file, const ListingLines &print);

// The images of the animated cursor or Xcursor `file`, each stored frame
// at each of its sizes, and their names: the file's name (`base`), the
// frame from 1, the size ("busy-2-32x32"). Nothing when it is neither.
std::optional<NamedImages> cursorAnimationImages(const QString &base, const QByteArray &file);
