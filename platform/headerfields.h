#pragma once

#include <QByteArray>
#include <QtEndian>

// A little-endian field of a file header held in `bytes`, or 0 when the
// field lies past the end (a header cut short).
template<typename T>
T fieldAt(const QByteArray &bytes, qsizetype at)
{
    if (at < 0 || at + qsizetype(sizeof(T)) > bytes.size())
        return T(0);
    return qFromLittleEndian<T>(bytes.constData() + at);
}
