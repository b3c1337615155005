#include "pictureformat.h"

#include "qtdecode.h"

PictureLoad FormatReader::decodeWhole(QIODevice &device, QSize, DrawDetail)
{
    return decodeWithQt(device);
}
