// Icons and cursors: every image the directory lists walked, the picture
// (the first image, with its mask) decoded by Qt's reader.

#include "formatrows.h"
#include "iconimages.h"
#include "iconwalk.h"
#include "littleendian.h"
#include "qtdecode.h"

namespace {

class IconReader : public FormatReader
{
public:
    explicit IconReader(QIODevice &device)
        : m_head(device.peek(64))
    {
    }

    bool isCutShort(QIODevice &device) override
    {
        return walksCutShort(device, [this, &device](DeviceReader &in) { return walkIcon(in, device, m_head); });
    }

    // Qt's reader decodes the first image; a cursor read as a single
    // picture has always been taken as Qt gives it, an icon's mask is read
    // here (iconimages.h).
    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        const bool cursor = !m_head.startsWith(QByteArray("\0\0\1\0", 4));
        const QtReadSteps steps{"ico", firstIconImageSize, cursor ? nullptr : applyFirstMask};
        return decodeWithQt(device, drawSize, detail, {}, steps);
    }

private:
    static void applyFirstMask(QIODevice &file, qint64 start, QImage &image) { applyIconMask(file, start, 0, image); }

    QByteArray m_head;
};

// A directory: reserved zero, type 1 (icon) or 2 (cursor), and at least one
// image, or a file that ends before it says how many. One that lists none
// is no icon (it may be a TGA).
bool recognisesIcon(QIODevice &, const QByteArray &head)
{
    const bool directory = head.size() >= 4 && head.startsWith(QByteArray("\0\0", 2))
                           && (head.at(2) == 1 || head.at(2) == 2) && head.at(3) == 0;
    return directory && (head.size() < 6 || fieldAt<quint16>(head, 4) > 0);
}

} // namespace

PictureFormat iconFormat()
{
    return {QStringLiteral("ICO/CUR"), {"ico", "cur"}, {QByteArray("\0\0\1\0", 4), QByteArray("\0\0\2\0", 4)},
            recognisesIcon, openWith<IconReader>};
}
