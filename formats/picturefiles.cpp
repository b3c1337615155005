#include "picturefiles.h"

#include "atomicfile.h"
#include "fileaccess.h"
#include "pictureencoding.h"
#include "readpicture.h"

#include <QFile>

PictureLoad LoadPicture(const QString &path, QSize drawSize, DrawDetail detail)
{
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file))
        return {Picture(), std::move(failed)};
    return readPicture(file, drawSize, detail);
}

std::optional<Failure> SavePicture(const Picture &picture, const QString &path)
{
    if (picture.isNull())
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("there is no picture to save")};
    return writeFile(path, encodeBmp24(picture.image()));
}
