#pragma once

#include "picture.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QSize>

#include <mutex>

// Holds the turn of one big decode, for as long as it lives: decodes of
// more than bigDecodePixels (picturelimits.h) wait for one another, smaller
// ones for nothing.
class BigDecodeTurn
{
public:
    explicit BigDecodeTurn(qint64 pixels);

private:
    static std::mutex &turns();
    std::unique_lock<std::mutex> m_lock;
};

// The formats (as Qt names them) that Qt's readers are trusted with.
const QList<QByteArray> &readableFormats();

// Decodes the picture whole with Qt's reader for `knownFormat`, or for the
// format the reader tells from the content, within the limits of
// picturelimits.h and one big decode at a time: a JPEG the reduced reader
// leaves to it still at a reduced scale when it can be, an icon with its
// mask, a TIFF Qt's reader does not take by libtiff.
PictureLoad decodeWithQt(QIODevice &file, QSize drawSize, DrawDetail detail, const QByteArray &knownFormat = {});
