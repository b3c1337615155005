// Icons and cursors: the directory read once when the file is opened, every
// image it lists walked (icondirectory.h), the picture (the first image,
// with its mask) decoded by Qt's reader.

#include "formatrows.h"
#include "icondirectory.h"
#include "iconimages.h"
#include "qtdecode.h"

namespace {

class IconReader : public FormatReader
{
public:
    explicit IconReader(QIODevice &device)
        : m_directory(readIconDirectory(device))
    {
        if (!m_directory)
            return;
        m_cutShort = isIconCutShort(device, *m_directory);
        if (!m_directory->entries.empty()) {
            const IconEntryRecord &first = m_directory->entries.front();
            m_firstSize = iconImageSize(first, readIconImageHeader(device, first));
        }
    }

    bool isCutShort(QIODevice &) override { return m_cutShort; }

    // Qt's reader decodes the first image; a cursor read as a single
    // picture has always been taken as Qt gives it, with its hot spot, an
    // icon's mask is read here (iconimages.h).
    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        QtReadSteps steps;
        steps.qtFormat = "ico";
        steps.stored = m_firstSize;
        if (m_directory && !m_directory->cursor() && !m_directory->entries.empty()) {
            const IconEntryRecord first = m_directory->entries.front();
            steps.finish = [first](QIODevice &file, qint64 start, QImage &image) {
                applyIconMask(file, start, first, image);
            };
        }
        PictureLoad load = decodeWithQt(device, {}, steps);
        if (m_directory && m_directory->cursor() && !m_directory->entries.empty() && !load.picture.isNull())
            load.picture.setHotSpot(IconDirectory::hotSpot(m_directory->entries.front()));
        return load;
    }

private:
    std::optional<IconDirectory> m_directory;
    bool m_cutShort = true;
    QSize m_firstSize;
};

} // namespace

bool isIcon(QIODevice &, const QByteArray &head)
{
    return opensIconFile(head);
}

std::unique_ptr<FormatReader> openIconReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<IconReader>(device);
}
