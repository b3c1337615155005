#include "cursorcontents.h"

#include "anicursor.h"
#include "cursoranimation.h"
#include "iconlisting.h"
#include "xcursor.h"

#include <QBuffer>

namespace {

// A list of numbers as a line shows it: the first hundred, and how many
// there are in all when there are more.
QString listed(const std::vector<quint32> &values, quint32 add = 0)
{
    constexpr size_t shown = 100;
    QStringList numbers;
    for (size_t i = 0; i < values.size() && i < shown; ++i)
        numbers << QString::number(quint64(values[i]) + add);
    QString line = numbers.join(QStringLiteral(", "));
    if (values.size() > shown)
        line += QStringLiteral(" ... (%1 in all)").arg(values.size());
    return line;
}

QString quoted(const QString &label, const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral(", %1 \"%2\"").arg(label, text);
}

// Each frame's images, as an icon's are listed, under the frame's line;
// what is wrong with a frame is added to `damage`.
QStringList frameLines(const std::vector<QByteArray> &frames, QStringList &damage)
{
    QStringList lines;
    for (size_t i = 0; i < frames.size(); ++i) {
        const IconListing frame = listIcon(frames[i]);
        if (!frame.isIcon) {
            lines << QStringLiteral("frame %1: no cursor or icon").arg(i + 1);
            damage << QStringLiteral("frame %1 is no cursor or icon").arg(i + 1);
            continue;
        }
        lines << QStringLiteral("frame %1: %2, %3 images").arg(i + 1)
                     .arg(frame.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
                     .arg(frame.images.size());
        for (const QString &line : listingLines(frame))
            lines << QStringLiteral("   %1").arg(line);
        for (const QString &what : frame.damage)
            damage << QStringLiteral("frame %1: %2").arg(i + 1).arg(what);
    }
    return lines;
}

QStringList aniLines(const QString &name, const AniCursorContents &ani, QStringList &damage)
{
    QStringList lines{QStringLiteral("%1: animated cursor, %2 frames, %3 steps%4%5")
                          .arg(name).arg(ani.frames.size()).arg(ani.sequence.size())
                          .arg(quoted(QStringLiteral("title"), ani.title), quoted(QStringLiteral("author"), ani.author))};
    if (!ani.jiffies.empty())
        lines << (ani.ratesGiven ? QStringLiteral("rates: %1 jiffies").arg(listed(ani.jiffies))
                                 : QStringLiteral("rate: %1 jiffies each step").arg(ani.jiffies.front()));
    if (!ani.sequence.empty())
        lines << (ani.sequenceGiven ? QStringLiteral("sequence: frames %1").arg(listed(ani.sequence, 1))
                                    : QStringLiteral("sequence: the frames in order"));
    return lines + frameLines(ani.frames, damage);
}

QStringList xcursorLines(const QString &name, const XcursorContents &contents)
{
    const size_t frames = xcursorFrames(contents.images).size();
    QStringList lines{QStringLiteral("%1: Xcursor, %2 images, %3 frames").arg(name).arg(contents.images.size()).arg(frames)};
    for (size_t i = 0; i < contents.images.size(); ++i) {
        const XcursorImage &image = contents.images[i];
        lines << QStringLiteral("%1: nominal size %2, %3 x %4, hot spot %5,%6, delay %7 ms")
                     .arg(i + 1).arg(image.nominalSize).arg(image.width).arg(image.height)
                     .arg(image.hotSpot.x()).arg(image.hotSpot.y()).arg(image.delay);
    }
    return lines;
}

IconReport reportOf(const QString &name, QStringList lines, const QStringList &damage)
{
    IconReport report{std::move(lines), std::nullopt};
    if (!damage.isEmpty())
        report.failure = Failure{Failure::Kind::NotAPicture,
                                 QStringLiteral("\"%1\" is damaged: %2.").arg(name, damage.join(QStringLiteral("; ")))};
    return report;
}

} // namespace

std::optional<IconReport> listCursorAnimation(const QString &name, const QByteArray &file)
{
    if (std::optional<AniCursorContents> ani = readAniCursor(file)) {
        QStringList damage = ani->damage;
        const QStringList lines = aniLines(name, *ani, damage);
        return reportOf(name, lines, damage);
    }
    if (std::optional<XcursorContents> contents = readXcursor(file))
        return reportOf(name, xcursorLines(name, *contents), contents->damage);
    return std::nullopt;
}

std::optional<NamedImages> cursorAnimationImages(const QString &base, const QByteArray &file)
{
    QByteArray bytes = file;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const std::optional<CursorAnimation> animation = readCursorAnimation(device, CursorFrames::All);
    if (!animation)
        return std::nullopt;
    NamedImages images;
    images.failure = animation->failure;
    for (size_t frame = 0; !images.failure && frame < animation->frames.size(); ++frame)
        for (const Picture &picture : animation->frames[frame]) {
            images.images.push_back(picture.image());
            images.names.push_back(QStringLiteral("%1-%2-%3x%4").arg(base).arg(frame + 1).arg(picture.size().width())
                                       .arg(picture.size().height()));
        }
    return images;
}
