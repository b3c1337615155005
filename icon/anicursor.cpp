#include "anicursor.h"

#include "littleendian.h"

#include <QHash>

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

QByteArray encodeAniCursor(const std::vector<AniStep> &steps, const QString &title, const QString &author)
{
    std::vector<QByteArray> frames;
    QHash<QByteArray, quint32> frameOf;
    std::vector<quint32> sequence;
    std::vector<quint32> rates;
    for (const AniStep &step : steps) {
        auto known = frameOf.constFind(step.cursor);
        if (known == frameOf.constEnd()) {
            known = frameOf.insert(step.cursor, quint32(frames.size()));
            frames.push_back(step.cursor);
        }
        sequence.push_back(*known);
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
