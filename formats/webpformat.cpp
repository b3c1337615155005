// WebP pictures: the RIFF chunk's length checked against the file, the
// picture decoded by Qt's reader.

#include "formatrows.h"
#include "littleendian.h"
#include "structurewalk.h"

namespace {

class WebpReader : public FormatReader
{
public:
    explicit WebpReader(const QByteArray &head)
        : m_head(head)
    {
    }

    // A file that ends before it says what it holds, or before its chunk
    // does (its size counts from byte 8).
    bool isCutShort(QIODevice &device) override
    {
        if (m_head.size() < 12)
            return true;
        if (m_head.mid(8, 4) != "WEBP")
            return false;
        return walksCutShort(device, [this](DeviceReader &in) {
            return cutShortUnless(in.reaches(8 + qint64(fieldAt<quint32>(m_head, 4))));
        });
    }

private:
    QByteArray m_head;
};

} // namespace

bool isWebp(QIODevice &, const QByteArray &head)
{
    return head.startsWith("RIFF");
}

std::unique_ptr<FormatReader> openWebpReader(QIODevice &, const QByteArray &head)
{
    return std::make_unique<WebpReader>(head);
}
