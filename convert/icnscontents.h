#pragma once

#include "iconcontents.h"

#include <QByteArray>
#include <QImage>

#include <optional>
#include <vector>

// Looking inside macOS icon families, for iconcontents.cpp: what each holds
// (--list), and its images to be written out as PNGs (--extract).

// Lists what the icon family `file`, shown as `name`, holds, an element a
// line, to `print` as each is found; why it is damaged, in one line, when
// it is.
std::optional<Failure> listIcnsFile(const QString &name, const QByteArray &file, const ListingLines &print);

// The images of the icon family `file`, each element Tervana reads, and
// their names: the file's name (`base`), the size and the element's type
// ("app-32x32-ic11"); or why they cannot be read.
NamedImages icnsImages(const QString &base, const QByteArray &file);
