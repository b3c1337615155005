#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <type_traits>
#include <utility>

// Little-endian fields of the records that picture and icon files are made
// of, written and read byte by byte so that they come out the same on any
// host. The reader mirrors the writer: a record reads the way it is
// written, field after field.

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

// Takes fields one at a time from `at` on: reader >> width >> height ...
// A field that lies past the end reads as 0 (a record cut short reads as
// zeros, never as garbage), and the reader tells that it ran past the end.
class LittleEndianReader
{
public:
    // Holds its own (shared) copy of the bytes, so a temporary may be given.
    explicit LittleEndianReader(QByteArray bytes, qsizetype at = 0) : m_bytes(std::move(bytes)), m_at(at) {}

    template<typename T>
    LittleEndianReader &operator>>(T &value)
    {
        static_assert(std::is_integral_v<T>, "a field is a whole number");
        using Unsigned = std::make_unsigned_t<T>;
        constexpr qsizetype width = qsizetype(sizeof(T));
        Unsigned read = 0;
        if (m_at >= 0 && m_at <= m_bytes.size() - width) {
            for (qsizetype i = width - 1; i >= 0; --i)
                read = Unsigned((read << 8) | uchar(m_bytes.at(m_at + i)));
        } else {
            m_pastEnd = true;
        }
        value = T(read);
        m_at += width;
        return *this;
    }
    // Whether a field read so far lay past the end of the bytes.
    bool ranPastEnd() const { return m_pastEnd; }
    qsizetype position() const { return m_at; }

private:
    QByteArray m_bytes;
    qsizetype m_at;
    bool m_pastEnd = false;
};

// The field of type T at `at` in `bytes`, or 0 when it lies past the end.
template<typename T>
T fieldAt(const QByteArray &bytes, qsizetype at)
{
    T value;
    LittleEndianReader(bytes, at) >> value;
    return value;
}
