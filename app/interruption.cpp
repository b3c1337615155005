#include "interruption.h"

#include "nativename.h"

Advance advance;

bool packsIntoOne(const Options &options)
{
    return options.inputs.size() > 1 && !options.outputFile.isEmpty();
}

namespace {

// What became of those under way.
QString underWay(bool atOnce, const QString &notStarted)
{
    return atOnce ? QStringLiteral("those under way were stopped and left nothing behind.") : notStarted;
}

// The line of a run that converts pictures, each to its own result or
// several to one.
QString convertingInterrupted(const Options &options, bool atOnce)
{
    if (packsIntoOne(options))
        return atOnce || advance.done == 0 ? QStringLiteral("interrupted: the icon was not written, and nothing of it was left.")
                                           : QStringLiteral("interrupted: the icon was written whole.");
    return QStringLiteral("interrupted: %1 of %2%3 pictures converted, %4 failed; %5")
        .arg(advance.done)
        .arg(advance.known)
        .arg(advance.allKnown ? QString() : QStringLiteral("+"))
        .arg(advance.failed)
        .arg(underWay(atOnce, QStringLiteral("no further picture was started.")));
}

} // namespace

QString interruptedLine(const Options &options, bool atOnce)
{
    switch (options.kind()) {
    case OutputKind::Listing:
        return QStringLiteral("interrupted: %1 of %2 icons listed.").arg(advance.done).arg(options.inputs.size());
    case OutputKind::Extraction:
        return QStringLiteral("interrupted: %1 of %2%3 images written into \"%4\", each whole (they stay); %5")
            .arg(advance.extracted.written)
            .arg(advance.extracted.images)
            .arg(advance.allKnown ? QString() : QStringLiteral("+"), readableName(options.folder),
                 underWay(atOnce, QStringLiteral("no further image was written.")));
    case OutputKind::FaviconSet:
        return QStringLiteral("interrupted: each file of the favicon set written is whole; the others were not written.");
    case OutputKind::AppIcons:
        return QStringLiteral("interrupted: each icon file written is whole; the others were not written.");
    case OutputKind::IconTheme:
        return atOnce ? QStringLiteral("interrupted: the icon theme is written in part, each file whole; nothing of the "
                                       "one under way was left.")
                      : QStringLiteral("interrupted: the icon theme was written whole.");
    default: return convertingInterrupted(options, atOnce);
    }
}
