#include "anicursor.h"

#include "littleendian.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr quint32 headerBytes = 36;
constexpr quint32 framesAreCursors = 1; // AF_ICON
constexpr quint32 sequenceGiven = 2;    // AF_SEQUENCE

// A chunk: its four-letter id, its size, its data, padded to an even size.
QByteArray chunk(const char *id, const QByteArray &data)
{
    LittleEndianWriter size;
    size << quint32(data.size());
    QByteArray bytes = QByteArray(id, 4) + size.bytes() + data;
    if (data.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray numbers(const std::vector<quint32> &values)
{
    LittleEndianWriter out;
    for (quint32 value : values)
        out << value;
    return out.bytes();
}

QByteArray information(const QString &title, const QString &author)
{
    QByteArray list("INFO");
    if (!title.isEmpty())
        list += chunk("INAM", title.toUtf8() + '\0');
    if (!author.isEmpty())
        list += chunk("IART", author.toUtf8() + '\0');
    return title.isEmpty() && author.isEmpty() ? QByteArray() : chunk("LIST", list);
}

} // namespace

quint32 jiffiesOf(int milliseconds)
{
    return quint32(std::max(1L, std::lround(milliseconds * 60.0 / 1000.0)));
}

QByteArray encodeAniCursor(const std::vector<QByteArray> &frames, const std::vector<AniStep> &steps,
                           const QString &title, const QString &author)
{
    std::vector<quint32> sequence;
    std::vector<quint32> rates;
    for (const AniStep &step : steps) {
        sequence.push_back(step.frame);
        rates.push_back(step.jiffies);
    }
    bool inOrder = sequence.size() == frames.size();
    for (size_t i = 0; inOrder && i < sequence.size(); ++i)
        inOrder = sequence[i] == i;
    const bool oneRate = std::all_of(rates.begin(), rates.end(), [&rates](quint32 rate) { return rate == rates.front(); });
    LittleEndianWriter header;
    header << headerBytes << quint32(frames.size()) << quint32(steps.size()) << quint32(0) << quint32(0) << quint32(0)
           << quint32(0) << (rates.empty() ? quint32(1) : rates.front())
           << quint32(framesAreCursors | (inOrder ? 0 : sequenceGiven));
    QByteArray body = QByteArray("ACON") + information(title, author) + chunk("anih", header.bytes());
    if (!oneRate)
        body += chunk("rate", numbers(rates));
    if (!inOrder)
        body += chunk("seq ", numbers(sequence));
    QByteArray list("fram");
    for (const QByteArray &frame : frames)
        list += chunk("icon", frame);
    return chunk("RIFF", body + chunk("LIST", list));
}

namespace {

// The four letters of a chunk's id as the user reads them: a byte that is
// no printable letter shows as "?".
QString chunkName(const QByteArray &file, qint64 at)
{
    QString name;
    for (char c : file.mid(at, 4))
        name += (c >= 0x20 && c < 0x7f) ? QChar(QLatin1Char(c)) : QChar(QLatin1Char('?'));
    return name;
}

// Calls `visit(id, start, size)` for each chunk between `from` and `end` of
// `file`, in order: its id's four bytes, where its data starts, and its
// size. A chunk that runs past `end` is told in `damage` and ends the walk;
// a few bytes too few for a chunk's head are padding.
template<typename Visit>
void walkChunks(const QByteArray &file, qint64 from, qint64 end, DamageList &damage, Visit visit)
{
    while (from + 8 <= end) {
        const qint64 size = fieldAt<quint32>(file, from + 4);
        if (from + 8 + size > end) {
            damage.add([&] { return QStringLiteral("the chunk \"%1\" at byte %2 runs past the end of the file").arg(chunkName(file, from)).arg(from); });
            return;
        }
        visit(file.mid(from, 4), from + 8, size);
        from += 8 + size + size % 2;
    }
}

// The animated cursor's header, as far as reading it needs.
struct AniHeader
{
    bool found = false;
    quint32 frames = 0;
    quint32 steps = 0;
    quint32 rate = 0;
    quint32 flags = 0;
};

AniHeader aniHeaderAt(const QByteArray &file, qint64 start, qint64 size, DamageList &damage)
{
    AniHeader header;
    if (size < headerBytes) {
        damage.add(QStringLiteral("its header (\"anih\") is %1 bytes long, not %2").arg(size).arg(headerBytes));
        return header;
    }
    quint32 unused = 0;
    LittleEndianReader in(file, start);
    in >> unused >> header.frames >> header.steps >> unused >> unused >> unused >> unused >> header.rate >> header.flags;
    header.found = true;
    return header;
}

// A string of an "INFO" list: its bytes up to the first zero, as UTF-8,
// and no more than a title or a name needs (a file may hold megabytes
// there).
QString infoText(const QByteArray &file, qint64 start, qint64 size)
{
    constexpr qint64 longestText = 1024;
    const QByteArray bytes = QByteArray::fromRawData(file.constData() + start, std::min(size, longestText));
    return QString::fromUtf8(bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0')));
}

// What the caller asked of the frames: how many to keep, and who is told
// of each.
struct FrameWalk
{
    size_t held = 0;
    const AniFrameVisit &eachFrame;
};

// The lists inside the file: its frames ("fram") and its title and author
// ("INFO").
void readList(const QByteArray &file, qint64 start, qint64 size, AniCursorContents &ani, const FrameWalk &walk)
{
    if (size < 4) {
        ani.damage.add([&] { return QStringLiteral("the list at byte %1 is too short to say what it holds").arg(start - 8); });
        return;
    }
    const QByteArray form = file.mid(start, 4);
    walkChunks(file, start + 4, start + size, ani.damage, [&](const QByteArray &id, qint64 at, qint64 bytes) {
        if (form == "fram" && id == "icon") {
            // A view, not a copy: the frames of a big file are many.
            const QByteArray frame = QByteArray::fromRawData(file.constData() + at, bytes);
            if (ani.frames.size() < walk.held)
                ani.frames.push_back(frame);
            if (walk.eachFrame)
                walk.eachFrame(ani.frameCount, frame);
            ++ani.frameCount;
        } else if (form == "INFO" && id == "INAM") {
            ani.title = infoText(file, at, bytes);
        } else if (form == "INFO" && id == "IART") {
            ani.author = infoText(file, at, bytes);
        }
    });
}

// Why a "rate" or "seq " chunk of `bytes` cannot give one number for each
// of `steps` steps; nothing when it can.
std::optional<QString> numbersMismatch(const char *chunk, const char *numbers, const QByteArray &bytes, quint32 steps)
{
    if (bytes.size() % 4 != 0)
        return QStringLiteral("its \"%1\" chunk is %2 bytes long, not a whole number of %3")
            .arg(QLatin1String(chunk)).arg(bytes.size()).arg(QLatin1String(numbers));
    if (quint64(bytes.size()) != 4ULL * steps)
        return QStringLiteral("its \"%1\" chunk gives %2 %3 for %4 steps")
            .arg(QLatin1String(chunk)).arg(bytes.size() / 4).arg(QLatin1String(numbers)).arg(steps);
    return std::nullopt;
}

// The frame of each step, from the "seq " chunk or, without one, the
// frames in order, the first `held` of them kept; a sequence that disagrees
// with the header, and each step that shows a frame the file does not
// hold, is damage.
void readSequence(const AniHeader &header, const std::optional<QByteArray> &sequence, size_t held, AniCursorContents &ani)
{
    ani.sequenceGiven = sequence.has_value();
    if (!ani.sequenceGiven && header.steps != ani.frameCount) {
        ani.damage.add(QStringLiteral("it has %1 steps for its %2 frames, and no sequence").arg(header.steps).arg(ani.frameCount));
        return;
    }
    if (ani.sequenceGiven)
        if (const std::optional<QString> mismatch = numbersMismatch("seq ", "frame numbers", *sequence, header.steps)) {
            ani.damage.add(*mismatch);
            return;
        }
    for (quint32 step = 0; step < header.steps; ++step) {
        const quint32 frame = ani.sequenceGiven ? fieldAt<quint32>(*sequence, qsizetype(step) * 4) : step;
        if (frame >= ani.frameCount)
            ani.damage.add([&] {
                return QStringLiteral("step %1 shows frame %2, which the file does not hold").arg(qint64(step) + 1).arg(qint64(frame) + 1);
            });
        if (step < held)
            ani.sequence.push_back(frame);
    }
}

// How long each step shows, the first `held` kept: the "rate" chunk's
// times, or the header's one.
void readRates(const AniHeader &header, const std::optional<QByteArray> &rates, size_t held, AniCursorContents &ani)
{
    ani.ratesGiven = rates.has_value();
    if (ani.ratesGiven)
        if (const std::optional<QString> mismatch = numbersMismatch("rate", "times", *rates, header.steps)) {
            ani.damage.add(*mismatch);
            return;
        }
    for (quint32 step = 0; step < header.steps && step < held; ++step)
        ani.jiffies.push_back(ani.ratesGiven ? fieldAt<quint32>(*rates, qsizetype(step) * 4) : header.rate);
}

// What the header says against what the file holds.
void checkAgainstHeader(const AniHeader &header, const std::optional<QByteArray> &sequence,
                        const std::optional<QByteArray> &rates, size_t held, AniCursorContents &ani)
{
    if (!header.found) {
        ani.damage.add(QStringLiteral("it has no header (\"anih\")"));
        return;
    }
    ani.stepCount = header.steps;
    if (!(header.flags & framesAreCursors))
        ani.damage.add(QStringLiteral("its frames are raw bitmaps, not cursors, which Tervana does not read"));
    if (header.frames != ani.frameCount)
        ani.damage.add(QStringLiteral("its header says %1 frames, and it holds %2").arg(header.frames).arg(ani.frameCount));
    if (header.steps == 0)
        ani.damage.add(QStringLiteral("its header says it has no steps"));
    // The steps are looked through whatever else is wrong: each fault is
    // counted.
    readSequence(header, sequence, held, ani);
    readRates(header, rates, held, ani);
}

} // namespace

bool isAniCursor(const QByteArray &head)
{
    return head.startsWith("RIFF") && head.mid(8, 4) == "ACON";
}

std::optional<AniCursorContents> readAniCursor(const QByteArray &file, size_t held, const AniFrameVisit &eachFrame)
{
    if (!isAniCursor(file))
        return std::nullopt;
    AniCursorContents ani;
    const qint64 riffEnd = 8 + qint64(fieldAt<quint32>(file, 4));
    if (riffEnd > file.size())
        ani.damage.add(QStringLiteral("it says it holds %1 bytes, and the file ends after %2").arg(riffEnd).arg(file.size()));
    AniHeader header;
    std::optional<QByteArray> sequence;
    std::optional<QByteArray> rates;
    const FrameWalk walk{held, eachFrame};
    walkChunks(file, 12, std::min<qint64>(riffEnd, file.size()), ani.damage, [&](const QByteArray &id, qint64 at, qint64 size) {
        if (id == "anih" && !header.found)
            header = aniHeaderAt(file, at, size, ani.damage);
        else if (id == "rate")
            rates = QByteArray::fromRawData(file.constData() + at, size);
        else if (id == "seq ")
            sequence = QByteArray::fromRawData(file.constData() + at, size);
        else if (id == "LIST")
            readList(file, at, size, ani, walk);
    });
    if (ani.damage.isEmpty())
        checkAgainstHeader(header, sequence, rates, held, ani);
    return ani;
}
