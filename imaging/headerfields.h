#pragma once

#include <QByteArray>

#include <type_traits>

// A little-endian field of a file header held in `bytes`, or 0 when the
// field lies past the end (a header cut short). Assembled byte by byte, so
// it reads the same on any host.
template<typename T>
T fieldAt(const QByteArray &bytes, qsizetype at)
{
    using Unsigned = std::make_unsigned_t<T>;
    if (at < 0 || at + qsizetype(sizeof(T)) > bytes.size())
        return T(0);
    Unsigned value = 0;
    for (qsizetype i = qsizetype(sizeof(T)) - 1; i >= 0; --i)
        value = Unsigned((value << 8) | uchar(bytes.at(at + i)));
    return T(value);
}
