#include "cursorcontents.h"

#include "anicursor.h"
#include "cursoranimation.h"
#include "iconlisting.h"
#include "nativename.h"
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

// Text from the file (a title, an author) as a line shows it: control
// characters escaped as a file name's are, so that it cannot move the
// cursor, retitle the terminal or start a line of its own, and cut short.
QString shownText(const QString &text)
{
    constexpr qsizetype longest = 200;
    return readableName(text.left(longest)) + (text.size() > longest ? QStringLiteral("...") : QString());
}

QString quoted(const QString &label, const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral(", %1 \"%2\"").arg(label, shownText(text));
}

// A frame's images, as an icon's are listed, under the frame's line (past
// the frames a listing names, none); what is wrong with the frame is added
// to `damage`.
void printFrame(qint64 number, const QByteArray &frame, const ListingLines &print, DamageList &damage)
{
    const IconListing listing = listIcon(frame);
    const bool named = number <= maximumListedEntries;
    if (!listing.isIcon) {
        if (named)
            print(QStringLiteral("frame %1: no cursor or icon").arg(number));
        damage.add([number] { return QStringLiteral("frame %1 is no cursor or icon").arg(number); });
        return;
    }
    for (const QString &what : listing.damage.lines())
        damage.add([&] { return QStringLiteral("frame %1: %2").arg(number).arg(what); });
    if (!named)
        return;
    print(QStringLiteral("frame %1: %2, %3 images").arg(number)
              .arg(listing.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
              .arg(listing.images.size()));
    for (const QString &line : listingLines(listing))
        print(QStringLiteral("   %1").arg(line));
}

// The lines that say what the animated cursor holds, before its frames'.
QStringList aniHeadLines(const QString &name, const AniCursorContents &ani)
{
    QStringList lines{QStringLiteral("%1: animated cursor, %2 frames, %3 steps%4%5")
                          .arg(name).arg(ani.frameCount).arg(ani.sequence.size())
                          .arg(quoted(QStringLiteral("title"), ani.title), quoted(QStringLiteral("author"), ani.author))};
    if (!ani.jiffies.empty())
        lines << (ani.ratesGiven ? QStringLiteral("rates: %1 jiffies").arg(listed(ani.jiffies))
                                 : QStringLiteral("rate: %1 jiffies each step").arg(ani.jiffies.front()));
    if (!ani.sequence.empty())
        lines << (ani.sequenceGiven ? QStringLiteral("sequence: frames %1").arg(listed(ani.sequence, 1))
                                    : QStringLiteral("sequence: the frames in order"));
    return lines;
}

// The animated cursor's lines, then each frame's as it is found again: the
// first walk only counts them, so that its head comes first and no frame is
// held.
DamageList printAni(const QString &name, const QByteArray &file, const ListingLines &print)
{
    AniCursorContents ani = *readAniCursor(file, 0);
    for (const QString &line : aniHeadLines(name, ani))
        print(line);
    DamageList damage = ani.damage;
    readAniCursor(file, 0, [&](qint64 number, const QByteArray &frame) { printFrame(number + 1, frame, print, damage); });
    if (const std::optional<QString> unlisted = unlistedLine(ani.frameCount, QStringLiteral("frames")))
        print(*unlisted);
    return damage;
}

void printXcursor(const QString &name, const XcursorContents &contents, const ListingLines &print)
{
    const size_t frames = xcursorFrames(contents.images).size();
    print(QStringLiteral("%1: Xcursor, %2 images, %3 frames").arg(name).arg(contents.images.size()).arg(frames));
    for (size_t i = 0; i < contents.images.size(); ++i) {
        const XcursorImage &image = contents.images[i];
        print(QStringLiteral("%1: nominal size %2, %3 x %4, hot spot %5,%6, delay %7 ms")
                  .arg(i + 1).arg(image.nominalSize).arg(image.width).arg(image.height)
                  .arg(image.hotSpot.x()).arg(image.hotSpot.y()).arg(image.delay));
    }
}

std::optional<Failure> failureOf(const QString &name, const DamageList &damage)
{
    if (damage.isEmpty())
        return std::nullopt;
    return Failure{Failure::Kind::NotAPicture, QStringLiteral("\"%1\" is damaged: %2.").arg(name, damage.joined())};
}

} // namespace

std::optional<Failure> listCursorAnimation(const QString &name, const QByteArray &file, const ListingLines &print)
{
    if (isAniCursor(file))
        return failureOf(name, printAni(name, file, print));
    const std::optional<XcursorContents> contents = readXcursor(file);
    DamageList damage;
    damage.add(contents ? contents->damage : QStringList{QStringLiteral("it is no animated cursor or Xcursor")});
    if (contents)
        printXcursor(name, *contents, print);
    return failureOf(name, damage);
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
