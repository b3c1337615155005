// Icons and cursors: every image the directory lists walked, the picture
// (the first image, with its mask) decoded by Qt's reader.

#include "formatrows.h"
#include "icondirectory.h"
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
        return walksCutShort(device, [this, &device](DeviceReader &in) { return walkIcon(in, device); });
    }

    // Qt's reader decodes the first image; a cursor read as a single
    // picture has always been taken as Qt gives it, an icon's mask is read
    // here (iconimages.h).
    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        const bool cursor = !m_head.startsWith(QByteArray("\0\0\1\0", 4));
        const QtReadSteps steps{"ico", firstIconImageSize(device, device.pos()), {}, cursor ? nullptr : applyFirstMask};
        return decodeWithQt(device, {}, steps);
    }

private:
    static void applyFirstMask(QIODevice &file, qint64 start, QImage &image) { applyIconMask(file, start, 0, image); }

    QByteArray m_head;
};

} // namespace

// A directory: reserved zero, type 1 (icon) or 2 (cursor), and at least one
// image, or a file that ends before it says how many. One that lists none
// is no icon (it may be a TGA).
bool isIcon(QIODevice &, const QByteArray &head)
{
    return hasIconSignature(head) && (head.size() < 6 || fieldAt<quint16>(head, 4) > 0);
}

std::unique_ptr<FormatReader> openIconReader(QIODevice &device)
{
    return std::make_unique<IconReader>(device);
}
