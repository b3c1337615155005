#include "pictureformat.h"

#include "qtdecode.h"

PictureLoad FormatReader::decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail)
{
    return decodeWithQt(device, drawSize, detail);
}
