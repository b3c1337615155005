// The failures the animated cursor's and the Xcursor file's readers share.

#include "cursorframes.h"

#include "picturelimits.h"

Failure damagedCursor(const QStringList &damage)
{
    return Failure{Failure::Kind::NotAPicture, QStringLiteral("the cursor is damaged: %1").arg(damage.join(QStringLiteral("; ")))};
}

Failure cursorTooLarge(qint64 pixelLimit)
{
    return Failure{Failure::Kind::TooLarge,
                   QStringLiteral("the cursor's frames hold more than %1 pixels").arg(pixelCountInWords(pixelLimit))};
}
