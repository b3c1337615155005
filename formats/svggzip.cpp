#include "svggzip.h"

#include <zlib.h>

#include <algorithm>

Gunzipped gunzip(const QByteArray &compressed, qint64 limit)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out(int(qMin<qint64>(limit, 64 * 1024)), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    int status = Z_OK;
    qint64 produced = 0;
    for (;;) {
        if (status == Z_STREAM_END) {
            // Another member follows, or the data ends here.
            const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char *>(stream.next_in),
                                                            qsizetype(stream.avail_in));
            if (!isGzip(rest) || inflateReset(&stream) != Z_OK)
                break;
            status = Z_OK;
        }
        if (status != Z_OK)
            break;
        if (produced == out.size()) {
            if (produced >= limit)
                break;
            out.resize(int(qMin<qint64>(limit, produced * 2)));
        }
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        stream.avail_out = uInt(out.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
    }
    const bool ranOut = status == Z_BUF_ERROR && stream.avail_in == 0;
    const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    out.truncate(int(produced));
    return {std::move(out), whole, ranOut};
}
