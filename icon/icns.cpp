#include "icns.h"

#include <QtEndian>

#include <algorithm>
#include <map>

namespace {

constexpr qint64 icnsHeaderBytes = 8;

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

quint32 bigEndianAt(const QByteArray &bytes, qint64 at)
{
    return at + 4 <= bytes.size() ? qFromBigEndian<quint32>(bytes.constData() + at) : 0;
}

} // namespace

const std::vector<IcnsPngType> &icnsPngTypes()
{
    static const std::vector<IcnsPngType> types = {
        {"ic10", 1024}, {"ic09", 512}, {"ic14", 512}, {"ic08", 256}, {"ic13", 256}, {"ic07", 128},
        {"ic12", 64},   {"icp5", 32},  {"ic11", 32},  {"icp4", 16},
    };
    return types;
}

IcnsType icnsTypeOf(const QByteArray &type)
{
    static const std::map<QByteArray, IcnsType> known = {
        {"icp4", {16, IcnsKind::Png, false}},   {"icp5", {32, IcnsKind::Png, false}},
        {"icp6", {64, IcnsKind::Png, false}},   {"ic07", {128, IcnsKind::Png, false}},
        {"ic08", {256, IcnsKind::Png, false}},  {"ic09", {512, IcnsKind::Png, false}},
        {"ic10", {1024, IcnsKind::Png, true}},  {"ic11", {32, IcnsKind::Png, true}},
        {"ic12", {64, IcnsKind::Png, true}},    {"ic13", {256, IcnsKind::Png, true}},
        {"ic14", {512, IcnsKind::Png, true}},   {"ic04", {16, IcnsKind::Argb, false}},
        {"ic05", {32, IcnsKind::Argb, false}},  {"icsb", {18, IcnsKind::Argb, false}},
        {"is32", {16, IcnsKind::RunLength24, false}}, {"il32", {32, IcnsKind::RunLength24, false}},
        {"ih32", {48, IcnsKind::RunLength24, false}}, {"it32", {128, IcnsKind::RunLength24, false}},
        {"s8mk", {16, IcnsKind::Mask8, false}}, {"l8mk", {32, IcnsKind::Mask8, false}},
        {"h8mk", {48, IcnsKind::Mask8, false}}, {"t8mk", {128, IcnsKind::Mask8, false}},
    };
    const auto found = known.find(type);
    return found == known.end() ? IcnsType{} : found->second;
}

QByteArray encodeIcns(const std::vector<IcnsElement> &elements)
{
    QByteArray body;
    for (const IcnsElement &element : elements)
        body += element.type.left(4) + bigEndian(quint32(icnsHeaderBytes + element.data.size())) + element.data;
    return QByteArray("icns") + bigEndian(quint32(icnsHeaderBytes + body.size())) + body;
}

bool isIcns(const QByteArray &head)
{
    return head.startsWith("icns");
}

QStringList walkIcns(const QByteArray &file, const std::function<void(const IcnsElement &, qint64)> &visit)
{
    QStringList damage;
    const qint64 claimed = bigEndianAt(file, 4);
    if (claimed > file.size())
        damage << QStringLiteral("it says it holds %1 bytes, and the file ends after %2").arg(claimed).arg(file.size());
    const qint64 end = std::min<qint64>(std::max<qint64>(claimed, icnsHeaderBytes), file.size());
    for (qint64 at = icnsHeaderBytes; at + icnsHeaderBytes <= end;) {
        const qint64 length = bigEndianAt(file, at + 4);
        if (length < icnsHeaderBytes || at + length > end) {
            damage << QStringLiteral("the element \"%1\" at byte %2 %3")
                          .arg(QString::fromLatin1(file.mid(at, 4).toPercentEncoding(" ")))
                          .arg(at)
                          .arg(length < icnsHeaderBytes ? QStringLiteral("is shorter than its own header")
                                                        : QStringLiteral("runs past the end of the file"));
            break;
        }
        // Views of the file's bytes: a family of millions of elements is
        // walked without a copy of any.
        visit({QByteArray::fromRawData(file.constData() + at, 4),
               QByteArray::fromRawData(file.constData() + at + icnsHeaderBytes, length - icnsHeaderBytes)},
              at + icnsHeaderBytes);
        at += length;
    }
    return damage;
}

QByteArray unpackIcnsRuns(const QByteArray &data, int side, int channels)
{
    const qint64 plane = qint64(side) * side;
    QByteArray out;
    out.reserve(plane * channels);
    for (qint64 at = 0; at < data.size() && out.size() < plane * channels;) {
        const int head = uchar(data[at++]);
        if (head < 0x80) { // head + 1 bytes as they are
            out += data.mid(at, head + 1);
            at += head + 1;
        } else if (at < data.size()) { // one byte, head - 125 times
            out += QByteArray(head - 125, data[at++]);
        }
    }
    return out.size() == plane * channels ? out : QByteArray();
}
