#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <type_traits>

// Little-endian fields of the records that picture and icon files are made
// of, written and read byte by byte so that they come out the same on any
// host.

// Appends fields one at a time: writer << width << height ...
class LittleEndianWriter
{
public:
    template<typename T>
    LittleEndianWriter &operator<<(T value)
    {
        static_assert(std::is_integral_v<T>, "a field is a whole number");
        using Unsigned = std::make_unsigned_t<T>;
        for (size_t i = 0; i < sizeof(T); ++i)
            m_bytes.append(char(uchar(Unsigned(value) >> (8 * i))));
        return *this;
    }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// The field of type T at `at` in `bytes`, or 0 when it lies past the end (a
// record cut short reads as zeros, never as garbage).
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
