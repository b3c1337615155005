#include "nativename.h"

#include <QCoreApplication>
#include <QFile>

namespace {

constexpr char16_t firstRawByte = 0xDC80; // stands for byte 0x80
constexpr char16_t lastRawByte = 0xDCFF;  // stands for byte 0xFF

// Whether the character at `i` stands for a byte that is not UTF-8: one of
// U+DC80 to U+DCFF on its own, not the second half of a surrogate pair.
bool isRawByteAt(const QString &name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    return c >= firstRawByte && c <= lastRawByte && (i == 0 || !name[i - 1].isHighSurrogate());
}

// The length of the well-formed UTF-8 sequence at `i`, or 0 (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF).
int sequenceAt(const QByteArray &bytes, qsizetype i)
{
    const auto byte = [&](qsizetype at) { return at < bytes.size() ? uchar(bytes[at]) : 0; };
    const auto follows = [&](qsizetype at) { return (byte(at) & 0xC0) == 0x80; };
    const uchar lead = byte(i);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return follows(i + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uchar second = byte(i + 1);
        const bool inRange = lead == 0xE0 ? second >= 0xA0 : lead == 0xED ? second < 0xA0 : true;
        return inRange && follows(i + 1) && follows(i + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uchar second = byte(i + 1);
        const bool inRange = lead == 0xF0 ? second >= 0x90 : lead == 0xF4 ? second < 0x90 : true;
        return inRange && follows(i + 1) && follows(i + 2) && follows(i + 3) ? 4 : 0;
    }
    return 0;
}

// The character of a well-formed sequence, decoded here: Qt's decoders
// drop a byte-order mark, which a name may hold anywhere.
QString codePointAt(const QByteArray &bytes, qsizetype i, int length)
{
    static const uchar leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = uchar(bytes[i]) & leadMask[length];
    for (int k = 1; k < length; ++k)
        code = (code << 6) | (uchar(bytes[i + k]) & 0x3F);
    if (QChar::requiresSurrogates(code))
    {
        const QChar pair[] = {QChar(QChar::highSurrogate(code)), QChar(QChar::lowSurrogate(code))};
        return QString(pair, 2);
    }
    return QString(QChar(char16_t(code)));
}

// Characters that would act on a terminal, end the line they are in for
// some readers, reorder it or hide in it: C1 controls, the line and
// paragraph separators, the bidirectional overrides and isolates, and the
// zero-width no-break space.
bool actsOnTheLine(char16_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E)
           || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// A byte as \xHH.
QString hexEscape(uint byte)
{
    return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

#ifdef Q_OS_WIN

QString nameFromNative(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

QByteArray nativeName(const QString &name)
{
    return QFile::encodeName(name);
}

#else

QString nameFromNative(const QByteArray &bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = sequenceAt(bytes, i);
        if (length == 0) {
            name += QChar(char16_t(firstRawByte + uchar(bytes[i]) - 0x80));
            ++i;
            continue;
        }
        name += codePointAt(bytes, i, length);
        i += length;
    }
    return name;
}

QByteArray nativeName(const QString &name)
{
    if (!holdsRawBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isRawByteAt(name, i)) {
            bytes += char(name[i].unicode() - firstRawByte + 0x80);
            continue;
        }
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        bytes += QStringView(name).mid(i, length).toUtf8();
        i += length - 1;
    }
    return bytes;
}

#endif

bool holdsRawBytes(const QString &name)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        if (isRawByteAt(name, i))
            return true;
    return false;
}

QString readableName(const QString &name)
{
    QString shown;
    shown.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const bool raw = isRawByteAt(name, i);
        if (raw)
            shown += hexEscape(c.unicode() - firstRawByte + 0x80);
        else if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            shown += QLatin1String("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += hexEscape(c.unicode());
        else if (actsOnTheLine(c.unicode()))
            shown += QStringLiteral("\\u") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
#ifndef Q_OS_WIN
        else if (c == QLatin1Char('\\'))
            shown += QLatin1String("\\\\");
#endif
        else
            shown += c;
    }
    return shown;
}

QStringList argumentsFromNative(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments();
#else
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << nameFromNative(QByteArray(argv[i]));
    return arguments;
#endif
}
