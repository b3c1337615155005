#pragma once

#include "iconrecords.h"
#include "littleendian.h"

#include <QByteArray>
#include <QIODevice>
#include <QPoint>

#include <optional>
#include <vector>

// The directory of an icon or cursor file: its header and its entries as
// they are stored, read once and shared by everything that looks into the
// file (its listing, the walk that finds a file cut short, the reading of
// its images and masks). This is the one place that tells an icon or a
// cursor by its first bytes.

struct IconDirectory
{
    enum class Kind { Icon = 1, Cursor = 2 };
    Kind kind = Kind::Icon;
    // Whether the file holds the whole header (reserved, type, count): a
    // file of four or five bytes has the signature and no more.
    bool headerWhole = false;
    // How many images the header claims (0 when it is not whole).
    int claimed = 0;
    // The entries the file holds whole, in their order: all that are
    // claimed unless the file ends within its directory.
    std::vector<IconEntryRecord> entries;

    bool cursor() const { return kind == Kind::Cursor; }
    // Whether every entry the header claims is in the file.
    bool whole() const { return headerWhole && int(entries.size()) == claimed; }
    // Where the directory ends and the images may begin.
    qint64 end() const { return iconEntryOffset(claimed); }

    // The bits per pixel an entry claims: a cursor's entry holds its hot
    // spot there instead, and claims none.
    int claimedBits(const IconEntryRecord &entry) const { return cursor() ? 0 : entry.wBitCount; }
    // A cursor's hot spot, from where an icon's entry holds planes and bits.
    static QPoint hotSpot(const IconEntryRecord &entry) { return QPoint(entry.wPlanes, entry.wBitCount); }
};

// Whether `head`, a file's first bytes, opens an icon (0, 1) or a cursor
// (0, 2): its reserved field and its type.
inline bool hasIconSignature(const QByteArray &head)
{
    quint16 reserved = 0;
    quint16 type = 0;
    LittleEndianReader in(head);
    in >> reserved >> type;
    return !in.ranPastEnd() && reserved == 0 && (type == 1 || type == 2);
}

// The directory at the start of `file`; nothing when it is no icon or cursor.
std::optional<IconDirectory> iconDirectoryOf(const QByteArray &file);

// The directory of the icon or cursor that begins where the device stands,
// reading its header and its entries only; the device is left where it was.
std::optional<IconDirectory> readIconDirectory(QIODevice &device);
