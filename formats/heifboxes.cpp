#include "heifboxes.h"

#include "picturelimits.h"

#include <QHash>

#include <algorithm>
#include <climits>

namespace {

// At most this many boxes at the top of a file; a picture has a handful.
constexpr int maximumTopLevelBoxes = 4096;
// At most this many items, and property associations and references
// together, are kept of the meta box (a phone photo has about a hundred of
// each): 16 MB of them would otherwise take a gigabyte as the walk keeps
// them.
constexpr int maximumItems = 65536;
constexpr int maximumEntries = 1 << 20;

// Big-endian numbers read from a block of bytes, up to `end`: a number that
// would run past it reads as 0 and leaves the reading unsound.
class Bytes
{
public:
    Bytes(const QByteArray &data, qsizetype at, qsizetype end)
        : m_data(data)
        , m_at(at)
        , m_end(std::min(end, data.size()))
    {
    }

    quint64 number(int width)
    {
        if (width < 0 || width > 8 || m_at + width > m_end) {
            m_sound = false;
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | uchar(m_data[m_at + i]);
        m_at += width;
        return value;
    }
    QByteArray fourCc()
    {
        const quint64 at = m_at;
        number(4);
        return m_sound ? m_data.mid(qsizetype(at), 4) : QByteArray();
    }
    void skip(qsizetype bytes)
    {
        m_sound = m_sound && bytes <= m_end - m_at;
        m_at = std::min(m_at + bytes, m_end);
    }
    bool sound() const { return m_sound; }
    qsizetype at() const { return m_at; }

private:
    const QByteArray &m_data;
    qsizetype m_at;
    qsizetype m_end;
    bool m_sound = true;
};

// A box within a block of bytes: its type, where its body starts and where
// it ends.
struct Box
{
    QByteArray type;
    qsizetype body = 0;
    qsizetype end = 0;
};

// The box at `at`, which must end by `end`; nothing when it does not (or its
// length is shorter than its header). A length of 0 runs to `end`, one of 1
// is followed by the length in 64 bits.
std::optional<Box> boxAt(const QByteArray &data, qsizetype at, qsizetype end)
{
    Bytes in(data, at, end);
    quint64 length = in.number(4);
    Box box{in.fourCc(), 0, 0};
    if (length == 1)
        length = in.number(8);
    else if (length == 0)
        length = quint64(end - at);
    if (!in.sound() || length < quint64(in.at() - at) || length > quint64(end - at))
        return std::nullopt;
    box.body = in.at();
    box.end = at + qsizetype(length);
    return box;
}

// The bytes a container's children start after, from its body: a full box's
// version and flags, and the entry counts of item information and of data
// references. -1 for a box that holds no boxes.
qsizetype childrenAfter(const QByteArray &data, const Box &box)
{
    static const QList<QByteArray> plain = {"iprp", "ipco", "dinf", "grpl"};
    if (plain.contains(box.type))
        return 0;
    if (box.type == "meta" || box.type == "iref")
        return 4;
    if (box.type == "dref")
        return 8;
    if (box.type == "iinf")
        return box.body < data.size() && data[box.body] == 0 ? 6 : 8;
    return -1;
}

// Whether the boxes from `at` to `end`, and the boxes they hold, nest no
// deeper than maximumHeifNesting (`depth` already); every box fits inside
// its container.
bool nestsSoundly(const QByteArray &data, qsizetype at, qsizetype end, int depth)
{
    if (depth > maximumHeifNesting)
        return false;
    while (at < end) {
        const std::optional<Box> box = boxAt(data, at, end);
        if (!box)
            return false;
        const qsizetype after = childrenAfter(data, *box);
        if (after >= 0 && !nestsSoundly(data, box->body + after, box->end, depth + 1))
            return false;
        at = box->end;
    }
    return true;
}

// Where an item's data lies: as offsets into the file (construction 0) or
// into the meta box's own data (1, in its idat box).
struct Extent
{
    quint64 offset = 0;
    quint64 length = 0;
};

struct Item
{
    QByteArray type;
    QList<quint32> properties;
    // The items it is made of (dimg), in order.
    QList<quint32> cells;
    int construction = 0;
    QList<Extent> extents;
    bool located = false;
};

// What the meta box says, as far as the walk needs it.
struct Meta
{
    bool picture = false;
    std::optional<quint32> primary;
    QHash<quint32, Item> items;
    // ispe sizes by property index (from 1); invalid for other properties.
    QList<QSize> propertySizes;
    // The sizes hvcC properties' parameter sets code pictures at, by the
    // same index; invalid for other properties.
    QList<QSize> codedSizes;
    qsizetype idatBody = -1, idatEnd = -1;
    bool sound = true;
    int entries = 0;

    // The item of `id`, added when new; nothing once the meta box holds
    // more items, or more entries, than the walk keeps.
    Item *item(quint32 id, int newEntries = 0)
    {
        entries += newEntries;
        if (entries > maximumEntries || (!items.contains(id) && items.size() >= maximumItems)) {
            sound = false;
            return nullptr;
        }
        return &items[id];
    }
};

// The words of a part of the file that cannot be read, and why, if known.
Failure damaged(const QString &what, const QString &why = QString())
{
    return Failure{Failure::Kind::NotAPicture, why.isEmpty() ? QStringLiteral("the picture's %1 is damaged").arg(what)
                                                             : QStringLiteral("the picture's %1 is damaged (%2)").arg(what, why)};
}

void readItemInfo(const QByteArray &data, const Box &iinf, Meta &meta)
{
    for (qsizetype at = iinf.body + childrenAfter(data, iinf); at < iinf.end;) {
        const std::optional<Box> infe = boxAt(data, at, iinf.end);
        if (!infe)
            return void(meta.sound = false);
        Bytes in(data, infe->body, infe->end);
        const int version = int(in.number(1));
        in.skip(3);
        if (infe->type == "infe" && version >= 2) {
            const quint32 id = quint32(in.number(version == 2 ? 2 : 4));
            in.skip(2);
            const QByteArray type = in.fourCc();
            // libheif keeps an item's first description, the walk would
            // keep its last: an item described twice is refused.
            Item *item = meta.item(id);
            meta.sound = meta.sound && in.sound() && item && item->type.isEmpty();
            if (meta.sound)
                item->type = type;
        }
        at = infe->end;
    }
}

// One item's location: its construction method, base offset and extents.
bool readLocation(Bytes &in, int version, const int sizes[4], Meta &meta)
{
    const quint32 id = quint32(in.number(version < 2 ? 2 : 4));
    const int construction = version >= 1 ? int(in.number(2) & 0x0F) : 0;
    in.skip(2);
    const quint64 base = in.number(sizes[2]);
    const int extents = int(in.number(2));
    // Extents of no bytes each (offsets and lengths 0 bytes wide) cost
    // nothing to state: each counts as an entry the walk keeps.
    Item *found = meta.item(id, extents);
    if (!found)
        return false;
    Item &item = *found;
    item.construction = construction;
    item.located = true;
    item.extents.clear();
    for (int e = 0; e < extents && in.sound(); ++e) {
        in.skip(version >= 1 ? sizes[3] : 0);
        const quint64 offset = in.number(sizes[0]);
        item.extents.append(Extent{base + offset, in.number(sizes[1])});
    }
    return in.sound();
}

void readLocations(const QByteArray &data, const Box &iloc, Meta &meta)
{
    Bytes in(data, iloc.body, iloc.end);
    const int version = int(in.number(1));
    in.skip(3);
    const int packed = int(in.number(2));
    // Offsets, lengths, base offsets and extent indexes: 0, 4 or 8 bytes each.
    const int sizes[4] = {packed >> 12, (packed >> 8) & 0x0F, (packed >> 4) & 0x0F, version >= 1 ? packed & 0x0F : 0};
    const quint64 count = in.number(version < 2 ? 2 : 4);
    for (quint64 i = 0; i < count && in.sound() && meta.sound; ++i)
        meta.sound = readLocation(in, version, sizes, meta);
    meta.sound = meta.sound && in.sound();
}

void readAssociations(const QByteArray &data, const Box &ipma, Meta &meta)
{
    Bytes in(data, ipma.body, ipma.end);
    const int version = int(in.number(1));
    const bool wide = in.number(3) & 1;
    const quint64 entries = in.number(4);
    for (quint64 i = 0; i < entries && in.sound() && meta.sound; ++i) {
        const quint32 id = quint32(in.number(version < 1 ? 2 : 4));
        const int count = int(in.number(1));
        Item *item = meta.item(id, count);
        for (int a = 0; a < count && in.sound() && item; ++a)
            item->properties.append(quint32(in.number(wide ? 2 : 1) & (wide ? 0x7FFF : 0x7F)));
    }
    meta.sound = meta.sound && in.sound();
}

// The bits of an HEVC parameter set, after its 2-byte header and with
// its emulation prevention bytes (a 3 after two zero bytes) taken out, or
// of an AV1 sequence header as they are; a read past the end leaves it
// unsound.
class Bits
{
public:
    explicit Bits(const QByteArray &unit, bool hevc = true)
    {
        int zeros = 0;
        for (qsizetype i = hevc ? 2 : 0; i < unit.size(); ++i) {
            if (hevc && zeros >= 2 && unit[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = unit[i] == 0 ? zeros + 1 : 0;
            m_bytes.append(unit[i]);
        }
    }
    quint32 bits(int count)
    {
        quint32 value = 0;
        for (int i = 0; i < count; ++i, ++m_at) {
            if (m_at >= m_bytes.size() * 8) {
                m_sound = false;
                return 0;
            }
            value = value << 1 | ((uchar(m_bytes[m_at / 8]) >> (7 - m_at % 8)) & 1);
        }
        return value;
    }
    void skip(int count) { m_at += count; }
    quint32 golomb()
    {
        int zeros = 0;
        while (zeros < 32 && bits(1) == 0 && m_sound)
            ++zeros;
        m_sound = m_sound && zeros < 32;
        return m_sound ? (1u << zeros) - 1 + bits(zeros) : 0;
    }
    bool sound() const { return m_sound && m_at <= m_bytes.size() * 8; }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
    bool m_sound = true;
};

// The size a sequence parameter set codes pictures at: after its
// profile, tier and level for each of its sub-layers, its own number and
// its chroma format.
QSize spsCodedSize(const QByteArray &unit)
{
    Bits in(unit);
    in.skip(4);
    const int subLayers = int(in.bits(3));
    in.skip(1 + 96);
    int present[8] = {};
    for (int i = 0; i < subLayers; ++i)
        present[i] = int(in.bits(2));
    in.skip(subLayers > 0 ? 2 * (8 - subLayers) : 0);
    for (int i = 0; i < subLayers; ++i)
        in.skip((present[i] & 2 ? 88 : 0) + (present[i] & 1 ? 8 : 0));
    in.golomb();
    if (in.golomb() == 3)
        in.skip(1);
    const quint32 width = in.golomb(), height = in.golomb();
    return in.sound() ? QSize(int(std::min<quint32>(width, INT_MAX)), int(std::min<quint32>(height, INT_MAX))) : QSize();
}

// The largest picture the sequence parameter sets of an hvcC property
// (from `body` to `end`) code: any of them may be the one the data names;
// invalid when it holds none.
QSize hevcCodedSize(const QByteArray &data, qsizetype body, qsizetype end)
{
    QSize largest;
    Bytes in(data, body + 22, end);
    const int arrays = int(in.number(1));
    for (int a = 0; a < arrays && in.sound(); ++a) {
        const int type = int(in.number(1) & 0x3F);
        const int units = int(in.number(2));
        for (int n = 0; n < units && in.sound(); ++n) {
            const qsizetype length = qsizetype(in.number(2)), at = in.at();
            in.skip(length);
            if (type == 33 && in.sound())
                largest = largest.expandedTo(spsCodedSize(data.mid(at, length)));
        }
    }
    return largest;
}

void readProperties(const QByteArray &data, const Box &iprp, Meta &meta)
{
    int containers = 0;
    for (qsizetype at = iprp.body; at < iprp.end;) {
        const std::optional<Box> box = boxAt(data, at, iprp.end);
        // libheif reads the first property container only.
        if (!box || (box->type == "ipco" && containers++ > 0))
            return void(meta.sound = false);
        if (box->type == "ipma")
            readAssociations(data, *box, meta);
        for (qsizetype p = box->body; box->type == "ipco" && p < box->end;) {
            const std::optional<Box> property = boxAt(data, p, box->end);
            if (!property)
                return void(meta.sound = false);
            Bytes in(data, property->body + 4, property->end);
            const quint64 width = in.number(4), height = in.number(4);
            const bool ispe = property->type == "ispe" && in.sound();
            meta.propertySizes.append(ispe ? QSize(int(std::min<quint64>(width, INT_MAX)),
                                                   int(std::min<quint64>(height, INT_MAX))) : QSize());
            meta.codedSizes.append(property->type == "hvcC" ? hevcCodedSize(data, property->body, property->end) : QSize());
            p = property->end;
        }
        at = box->end;
    }
}

void readReferences(const QByteArray &data, const Box &iref, Meta &meta)
{
    const int idBytes = iref.body < data.size() && data[iref.body] != 0 ? 4 : 2;
    for (qsizetype at = iref.body + 4; at < iref.end;) {
        const std::optional<Box> box = boxAt(data, at, iref.end);
        if (!box)
            return void(meta.sound = false);
        Bytes in(data, box->body, box->end);
        const quint32 from = quint32(in.number(idBytes));
        const int count = int(in.number(2));
        QList<quint32> to;
        for (int i = 0; i < count && in.sound(); ++i)
            to.append(quint32(in.number(idBytes)));
        Item *item = box->type == "dimg" ? meta.item(from, count) : nullptr;
        if (item)
            item->cells += to;
        meta.sound = meta.sound && in.sound();
        at = box->end;
    }
}

void readMetaBox(const QByteArray &data, const Box &metaBox, Meta &meta)
{
    // libheif reads the first of each of these boxes, the walk every one:
    // a second would let the two see different items.
    static const QList<QByteArray> once = {"hdlr", "pitm", "iinf", "iloc", "iprp", "iref", "idat"};
    QSet<QByteArray> seen;
    for (qsizetype at = metaBox.body + 4; at < metaBox.end;) {
        const std::optional<Box> box = boxAt(data, at, metaBox.end);
        if (!box || (once.contains(box->type) && seen.contains(box->type)))
            return void(meta.sound = false);
        seen.insert(box->type);
        Bytes in(data, box->body + 4, box->end);
        if (box->type == "hdlr")
            meta.picture = (in.skip(4), in.fourCc() == "pict");
        else if (box->type == "pitm")
            meta.primary = quint32(in.number(box->body < box->end && data[box->body] == 0 ? 2 : 4));
        else if (box->type == "iinf")
            readItemInfo(data, *box, meta);
        else if (box->type == "iloc")
            readLocations(data, *box, meta);
        else if (box->type == "iprp")
            readProperties(data, *box, meta);
        else if (box->type == "iref")
            readReferences(data, *box, meta);
        else if (box->type == "idat")
            meta.idatBody = box->body, meta.idatEnd = box->end;
        at = box->end;
    }
}

} // namespace

namespace {

// The top-level boxes, read from the device: where the meta box lies, and
// whether an image sequence (moov) is there.
struct TopLevel
{
    Walk walk = Walk::Whole;
    std::optional<Failure> refusal;
    qint64 metaAt = -1, metaLength = 0;
    bool sequence = false;
};

TopLevel walkTopLevel(QIODevice &device, qint64 start)
{
    TopLevel top;
    const qint64 size = device.size() - start;
    qint64 at = 0;
    for (int boxes = 0; at < size; ++boxes) {
        if (boxes == maximumTopLevelBoxes) {
            top.refusal = damaged(QStringLiteral("structure"), QStringLiteral("more than %1 boxes").arg(maximumTopLevelBoxes));
            return top;
        }
        device.seek(start + at);
        const QByteArray head = device.read(16);
        const quint64 length = head.size() >= 8 ? quint64(quint32(uchar(head[0]) << 24 | uchar(head[1]) << 16
                                                                  | uchar(head[2]) << 8 | uchar(head[3]))) : 0;
        Bytes in(head, 8, head.size());
        const quint64 whole = length == 1 ? in.number(8) : length == 0 ? quint64(size - at) : length;
        if (head.size() < 8 || !in.sound() || whole > quint64(size - at))
            return top.walk = Walk::CutShort, top;
        if (whole < (length == 1 ? 16u : 8u))
            return top.refusal = damaged(QStringLiteral("structure")), top;
        const QByteArray type = head.mid(4, 4);
        if (type == "meta" && top.metaAt < 0)
            top.metaAt = at, top.metaLength = qint64(whole);
        top.sequence = top.sequence || type == "moov";
        at += qint64(whole);
    }
    return top;
}

// The first bytes (at most `bytes`) of an item's data, from the file or the
// meta box's idat.
QByteArray itemData(QIODevice &device, qint64 start, const QByteArray &metaBytes, const Meta &meta, const Item &item,
                    qint64 bytes)
{
    if (item.extents.isEmpty() || item.extents.first().offset > quint64(INT64_MAX / 2))
        return QByteArray();
    const Extent &first = item.extents.first();
    const qint64 length = first.length == 0 ? bytes : qint64(std::min<quint64>(first.length, quint64(bytes)));
    if (item.construction == 1) {
        if (meta.idatBody < 0 || first.offset + quint64(length) > quint64(meta.idatEnd - meta.idatBody))
            return QByteArray();
        return metaBytes.mid(meta.idatBody + qsizetype(first.offset), length);
    }
    if (item.construction != 0 || !device.seek(start + qint64(first.offset)))
        return QByteArray();
    return device.read(length);
}

// Whether every item's data located in the file ends within it.
bool dataWithinFile(const Meta &meta, qint64 size)
{
    for (const Item &item : meta.items)
        for (const Extent &extent : item.extents)
            if (item.construction == 0
                && (extent.offset > quint64(size) || extent.length > quint64(size) - extent.offset))
                return false;
    return true;
}

// The size a grid or an overlay states it puts its pictures together at,
// and for a grid, its rows times its columns; nothing when its
// description cannot be read.
struct Canvas
{
    QSize size;
    int cells = 0;
};

std::optional<Canvas> canvasOf(const QByteArray &description, bool grid)
{
    Bytes in(description, 0, description.size());
    in.skip(1);
    const int wide = in.number(1) & 1 ? 4 : 2;
    Canvas canvas;
    if (grid)
        canvas.cells = int(in.number(1) + 1) * int(in.number(1) + 1);
    else
        in.skip(8); // the colour the canvas is filled with
    const quint64 width = in.number(wide), height = in.number(wide);
    if (!in.sound())
        return std::nullopt;
    canvas.size = QSize(int(std::min<quint64>(width, INT_MAX)), int(std::min<quint64>(height, INT_MAX)));
    return canvas;
}

// The coded pictures each derived picture is made of, counting each use
// (at most one past maximumHeifCells), each item counted once; and whether
// references lead from an item back to it, or nest too deep.
class Derivations
{
public:
    explicit Derivations(const Meta &meta)
        : m_meta(meta)
    {
    }

    int cellsOf(quint32 id)
    {
        if (const auto done = m_cells.constFind(id); done != m_cells.cend())
            return *done;
        const QList<quint32> cells = m_meta.items.value(id).cells;
        if (cells.isEmpty())
            return 1;
        if (m_path.contains(id) || m_path.size() >= maximumHeifDerivation) {
            (m_path.contains(id) ? m_loop : m_tooDeep) = true;
            return maximumHeifCells + 1;
        }
        m_path.append(id);
        int count = 0;
        for (qsizetype i = 0; i < cells.size() && count <= maximumHeifCells; ++i)
            count = std::min(count + cellsOf(cells[i]), maximumHeifCells + 1);
        m_path.removeLast();
        m_cells.insert(id, count);
        return count;
    }
    bool loop() const { return m_loop; }
    bool tooDeep() const { return m_tooDeep; }

private:
    const Meta &m_meta;
    QHash<quint32, int> m_cells;
    QList<quint32> m_path;
    bool m_loop = false;
    bool m_tooDeep = false;
};

// Why the items' references are refused: a loop, nesting past
// maximumHeifDerivation, or a picture of more than maximumHeifCells cells.
std::optional<Failure> derivationRefusal(const Meta &meta)
{
    Derivations derivations(meta);
    for (auto item = meta.items.cbegin(); item != meta.items.cend(); ++item) {
        const int cells = item->cells.isEmpty() ? 0 : derivations.cellsOf(item.key());
        if (derivations.loop())
            return Failure{Failure::Kind::NotAPicture, QStringLiteral("the picture is made of itself (its cells refer "
                                                                      "back to it)")};
        if (derivations.tooDeep())
            return Failure{Failure::Kind::NotAPicture, QStringLiteral("the picture is derived from pictures more than "
                                                                      "%1 levels deep").arg(maximumHeifDerivation)};
        if (cells > maximumHeifCells)
            return Failure{Failure::Kind::TooLarge, QStringLiteral("the picture is made of more than %1 cells")
                                                        .arg(maximumHeifCells)};
    }
    return std::nullopt;
}

} // namespace

namespace {

// The size an item's first ispe property states; invalid when it has none.
QSize statedSizeOf(const Meta &meta, const Item &item)
{
    for (const quint32 index : item.properties)
        if (index >= 1 && index <= quint32(meta.propertySizes.size()) && meta.propertySizes[index - 1].isValid())
            return meta.propertySizes[index - 1];
    return QSize();
}

// The meta box's bytes, and the device they were read from.
struct Source
{
    QIODevice &device;
    qint64 start;
    QByteArray metaBytes;
};

// The largest picture an AV1 sequence header lets its frames have: after
// its profile, timing and each operating point's level and models.
QSize av1CodedSize(const QByteArray &header)
{
    Bits in(header, false);
    in.skip(4);
    if (in.bits(1)) {
        in.skip(5); // a still picture's header: its level only
    } else {
        const bool timing = in.bits(1);
        if (timing && (in.skip(64), in.bits(1)))
            in.golomb();
        const bool models = timing && in.bits(1);
        const int delayBits = models ? int(in.bits(5)) + 1 : 0;
        in.skip(models ? 42 : 0);
        const bool displayDelay = in.bits(1);
        const int points = int(in.bits(5)) + 1;
        for (int i = 0; i < points && in.sound(); ++i) {
            in.skip(12);
            if (in.bits(5) > 7)
                in.skip(1);
            if (models && in.bits(1))
                in.skip(2 * delayBits + 1);
            if (displayDelay && in.bits(1))
                in.skip(4);
        }
    }
    const int widthBits = int(in.bits(4)) + 1, heightBits = int(in.bits(4)) + 1;
    const quint32 width = in.bits(widthBits) + 1, height = in.bits(heightBits) + 1;
    return in.sound() ? QSize(int(std::min<quint32>(width, INT_MAX)), int(std::min<quint32>(height, INT_MAX))) : QSize();
}

// The largest picture the sequence headers among AV1 data's units (each
// stating its length) let frames have; invalid when it holds none.
QSize av1InBandCodedSize(const QByteArray &data)
{
    QSize largest;
    Bytes in(data, 0, data.size());
    while (in.at() < data.size()) {
        const int header = int(in.number(1));
        in.skip(header & 4 ? 1 : 0);
        quint64 length = header & 2 ? 0 : quint64(data.size() - in.at());
        for (int shift = 0; header & 2 && shift < 56; shift += 7) {
            const quint64 byte = in.number(1);
            length |= (byte & 0x7F) << shift;
            if (!(byte & 0x80))
                break;
        }
        const qsizetype at = in.at();
        in.skip(qsizetype(std::min<quint64>(length, quint64(data.size()))));
        if (!in.sound())
            break;
        if ((header >> 3 & 0x0F) == 1)
            largest = largest.expandedTo(av1CodedSize(data.mid(at, in.at() - at)));
    }
    return largest;
}

// The largest picture the sequence parameter sets among coded data's
// units (each led by its length in 4 bytes, as libheif reads them) code;
// invalid when it holds none.
QSize inBandCodedSize(const QByteArray &data)
{
    QSize largest;
    Bytes in(data, 0, data.size());
    while (in.at() < data.size()) {
        const qsizetype length = qsizetype(in.number(4)), at = in.at();
        in.skip(length);
        if (!in.sound())
            break;
        if (length >= 2 && (uchar(data[at]) >> 1 & 0x3F) == 33)
            largest = largest.expandedTo(spsCodedSize(data.mid(at, length)));
    }
    return largest;
}

// The sizes the parameter sets within coded items' data code pictures
// at: libheif hands them to the decoder after the hvcC property's, and a
// later one codes the picture. Each item's data is read once (items that
// share theirs, once for all); all the data read at most as many bytes as
// the file and its idat hold, as items whose data do not overlap have.
class InBandSizes
{
public:
    InBandSizes(const Source &source, const Meta &meta)
        : m_source(source)
        , m_meta(meta)
        , m_budget(source.device.size() - source.start + std::max<qint64>(meta.idatEnd - meta.idatBody, 0))
    {
    }

    // The size `item`'s data codes (invalid when none); nothing once the
    // data read passes the budget.
    std::optional<QSize> of(const Item &item)
    {
        QByteArray key = QByteArray::number(item.construction);
        for (const Extent &extent : item.extents)
            key += ';' + QByteArray::number(extent.offset) + ',' + QByteArray::number(extent.length);
        if (const auto found = m_sizes.constFind(key); found != m_sizes.cend())
            return *found;
        QByteArray data;
        for (const Extent &extent : item.extents) {
            Item one = item;
            one.extents = {extent};
            data += itemData(m_source.device, m_source.start, m_source.metaBytes, m_meta, one,
                             std::max<qint64>(m_budget - data.size(), 0) + 1);
        }
        m_budget -= data.size();
        if (m_budget < 0)
            return std::nullopt;
        return *m_sizes.insert(key, item.type == "av01" ? av1InBandCodedSize(data) : inBandCodedSize(data));
    }

private:
    const Source &m_source;
    const Meta &m_meta;
    qint64 m_budget;
    QHash<QByteArray, QSize> m_sizes;
};

// How much wider and higher than its ispe property states an item's
// coded picture may be: its coding blocks (at most 64 x 64) may overhang.
constexpr int codedOverhang = 64;

// Why an item's coded picture is refused: its parameter sets (in its
// hvcC property or its data) or its AV1 sequence headers code a picture
// larger than its properties state (`stated`, made its coded size
// when invalid). libheif decodes the picture at its coded size whatever
// is stated, so a grid of cells stated small would otherwise decode a
// large picture for each.
std::optional<Failure> codedRefusal(const Meta &meta, const Item &item, InBandSizes &inBand, QSize &stated)
{
    QSize coded;
    for (const quint32 index : item.properties)
        if (index >= 1 && index <= quint32(meta.codedSizes.size()) && !coded.isValid())
            coded = meta.codedSizes[index - 1];
    if (item.type == "hvc1" || item.type == "av01") {
        const std::optional<QSize> found = inBand.of(item);
        if (!found)
            return damaged(QStringLiteral("description"), QStringLiteral("its pictures' data overlap"));
        coded = coded.expandedTo(*found);
    }
    if (!coded.isValid())
        return std::nullopt;
    if (isTooLarge(coded, maximumFullDecodePixels))
        return tooLargeFailure(coded, maximumFullDecodePixels);
    if (!stated.isValid())
        stated = coded;
    if (qint64(coded.width()) > qint64(stated.width()) + codedOverhang
        || qint64(coded.height()) > qint64(stated.height()) + codedOverhang)
        return damaged(QStringLiteral("description"), QStringLiteral("a picture coded at %1 x %2 is stated to be %3 x %4")
                                                          .arg(coded.width()).arg(coded.height())
                                                          .arg(stated.width()).arg(stated.height()));
    return std::nullopt;
}


// Why the sizes stated are refused: any item's, or any grid's or
// overlay's canvas, more than a picture decoded whole may have, or a grid
// of more than maximumHeifCells cells. The primary picture's size goes to
// `stated`.
std::optional<Failure> sizeRefusal(const Source &source, const Meta &meta, QSize &stated)
{
    InBandSizes inBand(source, meta);
    for (auto item = meta.items.cbegin(); item != meta.items.cend(); ++item) {
        QSize size = statedSizeOf(meta, *item);
        if (isTooLarge(size, maximumFullDecodePixels))
            return tooLargeFailure(size, maximumFullDecodePixels);
        if (std::optional<Failure> refusal = codedRefusal(meta, *item, inBand, size))
            return refusal;
        if (item->type == "grid" || item->type == "iovl") {
            const QByteArray description = itemData(source.device, source.start, source.metaBytes, meta, *item, 32);
            const std::optional<Canvas> canvas = canvasOf(description, item->type == "grid");
            if (!canvas)
                return damaged(QStringLiteral("grid"));
            if (canvas->cells > maximumHeifCells)
                return Failure{Failure::Kind::TooLarge, QStringLiteral("the picture is a grid of %1 cells, more "
                                                                       "than %2").arg(canvas->cells).arg(maximumHeifCells)};
            if (isTooLarge(canvas->size, maximumFullDecodePixels))
                return tooLargeFailure(canvas->size, maximumFullDecodePixels);
            size = size.isValid() ? size : canvas->size;
        }
        if (item.key() == *meta.primary)
            stated = size;
    }
    return std::nullopt;
}

// The types of the coded pictures `id` is made of (itself, when it is
// one); its references already found free of loops.
void addCodings(const Meta &meta, quint32 id, QSet<quint32> &seen, QSet<QByteArray> &codings)
{
    if (seen.contains(id))
        return;
    seen.insert(id);
    const Item item = meta.items.value(id);
    if (item.cells.isEmpty())
        codings.insert(item.type);
    for (const quint32 cell : item.cells)
        addCodings(meta, cell, seen, codings);
}

Failure noPrimaryPicture(bool sequence)
{
    return Failure{Failure::Kind::NotAPicture,
                   sequence ? QStringLiteral("it is an image sequence with no primary picture (only a primary "
                                             "picture is read)")
                            : QStringLiteral("it names no primary picture")};
}

// The meta box's items, checked: the refusal, or the primary picture's
// size and codings, in `layout`.
void readMeta(const Source &source, bool sequence, HeifLayout &layout)
{
    const QByteArray &bytes = source.metaBytes;
    const std::optional<Box> box = boxAt(bytes, 0, bytes.size());
    if (!box || !nestsSoundly(bytes, box->body + 4, box->end, 1))
        return void(layout.refusal = damaged(QStringLiteral("description"), QStringLiteral("its boxes overrun one "
                                                            "another or nest more than %1 deep").arg(maximumHeifNesting)));
    Meta meta;
    readMetaBox(bytes, *box, meta);
    if (!meta.sound)
        return void(layout.refusal = damaged(QStringLiteral("description")));
    if (!dataWithinFile(meta, source.device.size() - source.start))
        return void(layout.walk = Walk::CutShort);
    if (!meta.picture || !meta.primary)
        return void(layout.refusal = meta.picture ? noPrimaryPicture(sequence)
                                                  : Failure{Failure::Kind::NotAPicture, QStringLiteral("it holds no picture")});
    if (meta.items.value(*meta.primary).type.isEmpty())
        return void(layout.refusal = damaged(QStringLiteral("description"), QStringLiteral("its primary picture is "
                                                                                   "not among its items")));
    layout.refusal = derivationRefusal(meta);
    if (!layout.refusal)
        layout.refusal = sizeRefusal(source, meta, layout.stated);
    QSet<quint32> seen;
    if (!layout.refusal)
        addCodings(meta, *meta.primary, seen, layout.codings);
}

} // namespace

bool heifBrandsInclude(const QByteArray &head, const QList<QByteArray> &brands)
{
    if (head.size() < 12 || head.mid(4, 4) != "ftyp")
        return false;
    const qsizetype length = std::min<qsizetype>(head.size(), qsizetype(quint32(uchar(head[0]) << 24 | uchar(head[1]) << 16
                                                                               | uchar(head[2]) << 8 | uchar(head[3]))));
    if (brands.contains(head.mid(8, 4)))
        return true;
    for (qsizetype at = 16; at + 4 <= length; at += 4)
        if (brands.contains(head.mid(at, 4)))
            return true;
    return false;
}

HeifLayout walkHeif(QIODevice &device)
{
    const qint64 start = device.pos();
    HeifLayout layout;
    const TopLevel top = walkTopLevel(device, start);
    layout.walk = top.walk;
    layout.refusal = top.refusal;
    if (top.walk == Walk::Whole && !top.refusal) {
        // A file of no meta box and no image sequence is one cut short
        // after its first boxes.
        if (top.metaAt < 0 && !top.sequence)
            layout.walk = Walk::CutShort;
        else if (top.metaAt < 0)
            layout.refusal = noPrimaryPicture(top.sequence);
        else if (top.metaLength > maximumHeifMetaBytes)
            layout.refusal = Failure{Failure::Kind::TooLarge, QStringLiteral("its description of its items holds more "
                                                                             "than %1 MB").arg(maximumHeifMetaBytes >> 20)};
        else if (device.seek(start + top.metaAt))
            readMeta(Source{device, start, device.read(top.metaLength)}, top.sequence, layout);
    }
    device.seek(start);
    return layout;
}
