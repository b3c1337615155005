#include "module1.h"

#include "frmbmp2icon.h"

namespace Module1 {

IconHeaders InitIconHeaders()
{
    return {iconDirValues(), iconEntryValues(), iconHeaderValues()};
}

VbError SaveIcon(frmBmp2Icon &window, const QString &path, qint32 bitDepth)
{
    return window.Create24BitIcon(path, bitDepth);
}

} // namespace Module1
