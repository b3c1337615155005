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

QString lineFor(const RunNote &note)
{
    if (note.kind == RunNote::Kind::PartlyDrawn)
        return QStringLiteral("\"%1\" is drawn in part: librsvg could not draw all of it (%2).").arg(note.picture.shown(), note.what);
    // A few sizes are named; the many of a set's images (their squares among
    // them) are counted.
    constexpr size_t namedSizes = 5;
    QStringList sides;
    for (int side : note.sides)
        sides << QString::number(side);
    const QString last = sides.takeLast();
    const QString which = sides.isEmpty() ? QStringLiteral("the %1-pixel size").arg(last)
                          : note.sides.size() <= namedSizes
                              ? QStringLiteral("the %1 and %2-pixel sizes").arg(sides.join(QStringLiteral(", ")), last)
                              : QStringLiteral("%1 sizes, %2 to %3 pixels").arg(note.sides.size()).arg(last, sides.first());
    return QStringLiteral("\"%1\" is enlarged for %2 (it is %3 x %4); a larger picture or a drawing makes %5 sharp.")
        .arg(note.picture.shown(), which)
        .arg(note.from.width())
        .arg(note.from.height())
        .arg(sides.isEmpty() ? QStringLiteral("it") : QStringLiteral("them"));
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
