#pragma once

#include "failure.h"
#include "tgaheader.h"

#include <QIODevice>
#include <QImage>

#include <optional>

// The kinds Qt's reader leaves out, decoded here: colour-mapped and grey
// pictures, and run-length coded ones of every kind, read through a small
// buffer straight into the image. Alpha is kept where the header says the
// picture has some. A file whose pixels run out is refused as cut short.
struct TgaDecode
{
    QImage image;
    std::optional<Failure> failure;
};
TgaDecode decodeTgaWithoutQt(QIODevice &device, const TgaHeader &header);
