#pragma once

#include <QByteArray>

// gzip data, as SVGZ drawings are compressed.

inline bool isGzip(const QByteArray &head)
{
    return head.startsWith("\x1F\x8B");
}

// Up to `limit` bytes of the content of gzip data, member after member as
// gzip itself reads them; whether that is all of it, or whether the data
// ran out before its end, or is damaged.
struct Gunzipped
{
    QByteArray bytes;
    bool whole = false;
    bool cutShort = false;
};

Gunzipped gunzip(const QByteArray &compressed, qint64 limit);
