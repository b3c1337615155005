#include "failurelines.h"

#include "nativename.h"
#include "picture.h"

namespace {

// The picture a failure was met for, as messages name it.
QString shownPicture(const RunFailure &failure)
{
    return failure.picture ? failure.picture->shown() : QString();
}

} // namespace

QString lineFor(const RunFailure &failure, const QString &result)
{
    const QString file = failure.file.shown();
    const QString &reason = failure.failure.reason;
    switch (failure.step) {
    case RunFailure::Step::Open: // the window's words too; it shows a path as messages do
        return cannotOpen(failure.file.isStandard() ? file : failure.file.name(), failure.failure);
    case RunFailure::Step::MakeIcon: // of several pictures, named after the first
        return QStringLiteral("Tervana cannot make the %1 of \"%2\": %3").arg(result, file, reason);
    case RunFailure::Step::Write:
        return QStringLiteral("Tervana cannot write \"%1\" for \"%2\": %3.").arg(file, shownPicture(failure), reason);
    case RunFailure::Step::MakeFolder:
        return QStringLiteral("Tervana cannot make the folder \"%1\" for \"%2\": %3.").arg(file, shownPicture(failure), reason);
    case RunFailure::Step::ReadList: // "-" as a list is named as it was given
        return QStringLiteral("Tervana cannot read the list \"%1\": %2.").arg(readableName(failure.file.name()), reason);
    case RunFailure::Step::ReadFolder: return QStringLiteral("Tervana cannot read the folder \"%1\": %2.").arg(file, reason);
    case RunFailure::Step::SkipFolder: return QStringLiteral("Tervana skips the folder \"%1\": %2.").arg(file, reason);
    case RunFailure::Step::RefuseWrite:
        return QStringLiteral("Tervana will not write \"%1\" for \"%2\": %3.").arg(file, shownPicture(failure), reason);
    case RunFailure::Step::RefuseOverwrite:
        return QStringLiteral("Tervana will not overwrite \"%1\" with the result for \"%2\": %3.")
            .arg(file, shownPicture(failure), reason);
    case RunFailure::Step::RefuseConvert: return QStringLiteral("Tervana will not convert \"%1\": %2.").arg(file, reason);
    case RunFailure::Step::RefusePacking:
        return QStringLiteral("Tervana will not write \"%1\": it is the picture \"%2\".").arg(file, shownPicture(failure));
    }
    return reason;
}

QString lineFor(const PartlyDrawn &note)
{
    return QStringLiteral("\"%1\" is drawn in part: librsvg could not draw all of it (%2).")
        .arg(note.picture.shown(), note.what);
}

QString lineFor(const FormatMismatch &mismatch)
{
    const QString bitmapNamedAsOne = mismatch.result != OutputKind::Bitmap && mismatch.ending == QLatin1String("bmp")
                                         ? QStringLiteral(" (--bmp writes a bitmap)")
                                         : QString();
    return QStringLiteral("\"%1\" will hold %2, whatever its ending \".%3\" promises%4.")
        .arg(mismatch.output.shown(), QLatin1String(rowOf(mismatch.result).held), readableName(mismatch.ending),
             bitmapNamedAsOne);
}
