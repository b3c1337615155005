#pragma once

#include <QByteArray>

#include <cctype>
#include <optional>

// The next number of a PBM, PGM or PPM header from `at`, past the white
// space and comments before it, of at most ten digits; `at` is left after
// it. Nothing when no digit comes.
inline std::optional<qint64> nextPnmNumber(const QByteArray &head, qsizetype &at)
{
    while (at < head.size() && (std::isspace(uchar(head.at(at))) || head.at(at) == '#')) {
        if (head.at(at) == '#')
            while (at < head.size() && head.at(at) != '\n')
                ++at;
        else
            ++at;
    }
    const qsizetype digits = at;
    qint64 number = 0;
    while (at < head.size() && std::isdigit(uchar(head.at(at))) && at - digits < 10)
        number = number * 10 + (head.at(at++) - '0');
    if (at == digits)
        return std::nullopt;
    return number;
}
