#pragma once

#include "pictureformat.h"

#include <QIODevice>
#include <QStringList>

#include <memory>
#include <vector>

// The table of the picture formats Tervana reads, one row each, in the
// order they are recognised. Formats are told from the content, never from
// a file's name; the endings are only for choosing files among others
// (folders walked by the converter, the completions of the shell).
const std::vector<PictureFormat> &pictureFormats();

// The reader of the picture in the device, its format recognised once from
// its first bytes. A file that ends within a format's signature gets a
// reader that finds it cut short; one that no row recognises is left to
// Qt's readers, which tell it from its content.
std::unique_ptr<FormatReader> openPictureReader(QIODevice &device);

// The endings of every format's files, in the table's order.
QStringList pictureEndings();
// The endings of the formats whose files a walk through folders reads
// (PictureFormat::readInFolders).
QStringList folderPictureEndings();
