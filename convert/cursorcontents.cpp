#include "cursorcontents.h"

#include "anicursor.h"
#include "cursoranimation.h"
#include "iconlisting.h"
#include "nativename.h"
#include "xcursor.h"

namespace {

// The numbers of an animated cursor's steps a line shows: the first
// hundred, then how many there are in all when there are more.
constexpr size_t listedSteps = 100;

QString listed(const std::vector<quint32> &values, qint64 count, quint32 add = 0)
{
    QStringList numbers;
    for (size_t i = 0; i < values.size() && i < listedSteps; ++i)
        numbers << QString::number(quint64(values[i]) + add);
    QString line = numbers.join(QStringLiteral(", "));
    if (count > qint64(listedSteps))
        line += QStringLiteral(" ... (%1 in all)").arg(count);
    return line;
}

// Text from the file (a title, an author) as a line shows it: control
// characters escaped as a file name's are, so that it cannot move the
// cursor, retitle the terminal or start a line of its own, and cut at 200
// characters as shown.
QString shownText(const QString &text)
{
    constexpr qsizetype longest = 200;
    if (readableName(text.left(longest + 1)).size() <= longest)
        return readableName(text);
    // The most characters whose escaped form fits, found by halves; an
    // escape or a pair of surrogates is never cut in two.
    qsizetype fits = 0;
    for (qsizetype step = longest; step > 0; step /= 2)
        while (fits + step <= text.size() && readableName(text.left(fits + step)).size() <= longest)
            fits += step;
    if (fits > 0 && text[fits - 1].isHighSurrogate())
        --fits;
    return readableName(text.left(fits)) + QStringLiteral("...");
}

QString quoted(const QString &label, const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral(", %1 \"%2\"").arg(label, shownText(text));
}

// An animated cursor's frames being listed: where the lines go, how many
// lines of frames and images are printed so far (a listing names at most
// maximumListedEntries), how many frames were named, and what is wrong.
struct FrameListing
{
    const ListingLines &print;
    qint64 lines = 0;
    qint64 framesNamed = 0;
    DamageList damage;

    bool naming() const { return lines < maximumListedEntries; }
    void line(const QString &text)
    {
        print(text);
        ++lines;
    }
};

// A frame's images, as an icon's are listed, under the frame's line, while
// the listing still names; what is wrong with the frame is added to its
// damage.
void listFrame(qint64 number, const QByteArray &frame, FrameListing &listed)
{
    const IconListing listing = listIcon(frame);
    const bool named = listed.naming();
    listed.framesNamed += named;
    if (!listing.isIcon) {
        if (named)
            listed.line(QStringLiteral("frame %1: no cursor or icon").arg(number));
        listed.damage.add([number] { return QStringLiteral("frame %1 is no cursor or icon").arg(number); });
        return;
    }
    if (!listing.damage.isEmpty())
        listed.damage.add(listing.damage, QStringLiteral("frame %1: ").arg(number));
    if (!named)
        return;
    listed.line(QStringLiteral("frame %1: %2, %3 images").arg(number)
                    .arg(listing.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
                    .arg(listing.images.size()));
    const QStringList lines = listingLines(listing);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!listed.naming()) {
            listed.line(QStringLiteral("   ... %1 more lines of this frame, not listed").arg(lines.size() - i));
            return;
        }
        listed.line(QStringLiteral("   %1").arg(lines[i]));
    }
}

// The lines that say what the animated cursor holds, before its frames'.
QStringList aniHeadLines(const QString &name, const AniCursorContents &ani)
{
    QStringList lines{QStringLiteral("%1: animated cursor, %2 frames, %3 steps%4%5")
                          .arg(name).arg(ani.frameCount).arg(ani.stepCount)
                          .arg(quoted(QStringLiteral("title"), ani.title), quoted(QStringLiteral("author"), ani.author))};
    if (!ani.jiffies.empty())
        lines << (ani.ratesGiven ? QStringLiteral("rates: %1 jiffies").arg(listed(ani.jiffies, ani.stepCount))
                                 : QStringLiteral("rate: %1 jiffies each step").arg(ani.jiffies.front()));
    if (!ani.sequence.empty())
        lines << (ani.sequenceGiven ? QStringLiteral("sequence: frames %1").arg(listed(ani.sequence, ani.stepCount, 1))
                                    : QStringLiteral("sequence: the frames in order"));
    return lines;
}

// The animated cursor's lines, then each frame's as it is found again: the
// first walk only counts them, so that its head comes first and no frame is
// held.
DamageList printAni(const QString &name, const QByteArray &file, const ListingLines &print)
{
    AniCursorContents ani = *readAniCursor(file, listedSteps);
    for (const QString &line : aniHeadLines(name, ani))
        print(line);
    FrameListing listed{print, 0, 0, ani.damage};
    readAniCursor(file, 0, [&listed](qint64 number, const QByteArray &frame) { listFrame(number + 1, frame, listed); });
    if (listed.framesNamed < ani.frameCount)
        print(QStringLiteral("... %1 more frames, not listed").arg(ani.frameCount - listed.framesNamed));
    return listed.damage;
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
    const std::optional<CursorAnimation> animation = readCursorAnimation(file, CursorFrames::All);
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
