// The icon encoder on its own: pixels and mask in, the file's bytes out;
// and the icon records, written and read back.

#include "anicursor.h"
#include "icondirectory.h"
#include "iconfile.h"
#include "iconlisting.h"
#include "iconset.h"
#include "littleendian.h"
#include "pngchunks.h"

#include <QBuffer>

#include "picturetestutils.h"

using testutils::firstDifference;

namespace {

IconPixels filled(Colour colour, bool transparent)
{
    IconPixels pixels;
    pixels.colours.fill(colour);
    pixels.transparent.fill(transparent);
    return pixels;
}

} // namespace

class tst_IconFile : public QObject
{
    Q_OBJECT

private slots:
    void damageOfPartsIsCountedWhole();
    void everyFileStartsWithTheSameHeaders();
    void recordsAreReadAsTheyAreWritten();
    void pixelAndMaskBytes_data();
    void pixelAndMaskBytes();
    void pixelLandsAtItsOffset_data();
    void pixelLandsAtItsOffset();
    void bitStringToByte_data();
    void bitStringToByte();
    void directoryIsReadOnceFromBytesOrDevice_data();
    void directoryIsReadOnceFromBytesOrDevice();
    void pngChunksAreWalkedToTheirEnd_data();
    void pngChunksAreWalkedToTheirEnd();
    void listingSaysWhatIsWrong_data();
    void listingSaysWhatIsWrong();
    void imagesPastTheEndAreListedAsTheirEntriesSay();
    void aniCursorsStoreEachFrameOnce_data();
    void aniCursorsStoreEachFrameOnce();
    void delaysBecomeJiffies();
};

void tst_IconFile::everyFileStartsWithTheSameHeaders()
{
    const QByteArray expected = QByteArray::fromHex("000001000100"
                                                    "2020000001001800A80C000016000000"
                                                    "2800000020000000400000000100180000000000800C0000")
                                + QByteArray(16, '\0');
    for (const IconPixels &pixels : {filled(Colour(0x123456), false), filled(Colours::black, true)}) {
        const QByteArray file = encodeIcon24(pixels);
        QCOMPARE(file.size(), IconFile::fileBytes);
        QCOMPARE(file.left(IconFile::headerBytes).toHex(' '), expected.toHex(' '));
    }
}

// What the records' writer writes, their reader reads back, field for
// field, little-endian whatever the host.
void tst_IconFile::recordsAreReadAsTheyAreWritten()
{
    IconEntryRecord entry{};
    entry.bWidth = 0; // 256
    entry.bHeight = 48;
    entry.bColorCount = 16;
    entry.wPlanes = 1;
    entry.wBitCount = 0x1234;
    entry.dwBytesInRes = 0x01020304;
    entry.dwImageOffset = 0xA0B0C0D0;
    BitmapInfoHeader header = iconHeaderValues();
    header.biWidth = 0x01020304;
    header.biHeight = -64;
    header.biClrUsed = 2;
    const QByteArray bytes = serialise(iconDirValues()) + serialise(entry) + serialise(header);
    QCOMPARE(bytes.size(), qsizetype(IconDirRecord::size + IconEntryRecord::size + BitmapInfoHeader::size));
    QCOMPARE(bytes.mid(iconEntryOffset(0) + 8, 4), QByteArray::fromHex("04030201"));
    QCOMPARE(serialise(iconDirAt(bytes)), serialise(iconDirValues()));
    QCOMPARE(serialise(iconEntryAt(bytes, iconEntryOffset(0))), serialise(entry));
    QCOMPARE(serialise(bitmapInfoHeaderAt(bytes, iconEntryOffset(1))), serialise(header));
    QCOMPARE(iconEntrySide(entry.bWidth), 256);
    // A record cut short reads as zeros where its bytes are missing.
    QCOMPARE(bitmapInfoHeaderAt(bytes.left(bytes.size() - 4), iconEntryOffset(1)).biClrImportant, 0u);
    QCOMPARE(bitmapInfoHeaderAt(bytes.left(bytes.size() - 8), iconEntryOffset(1)).biClrUsed, 0u);
    // The reader tells when a record ran past the end, and keeps the fields before.
    LittleEndianReader in(bytes.left(iconEntryOffset(0) + 3));
    IconDirRecord dir;
    IconEntryRecord cut;
    in >> dir;
    QVERIFY(!in.ranPastEnd());
    in >> cut;
    QVERIFY(in.ranPastEnd());
    QCOMPARE(cut.bColorCount, entry.bColorCount);
    QCOMPARE(cut.wPlanes, quint16(0));
}

void tst_IconFile::pixelAndMaskBytes_data()
{
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<QByteArray>("pixelBytes");
    QTest::addColumn<char>("maskByte");

    QTest::newRow("all transparent, colour ignored") << quint32(0x00FF8040) << true << QByteArray::fromHex("000000") << char(0xFF);
    QTest::newRow("all opaque black") << quint32(0) << false << QByteArray::fromHex("000000") << char(0x00);
    QTest::newRow("opaque white") << quint32(0xFFFFFF) << false << QByteArray::fromHex("FFFFFF") << char(0x00);
    QTest::newRow("opaque almost black") << quint32(0x010101) << false << QByteArray::fromHex("010101") << char(0x00);
    QTest::newRow("opaque red 56 green 34 blue 12") << quint32(0x123456) << false << QByteArray::fromHex("123456") << char(0x00);
    QTest::newRow("failed read -1") << quint32(0xFFFFFFFF) << false << QByteArray::fromHex("0000FF") << char(0x00);
}

void tst_IconFile::pixelAndMaskBytes()
{
    QFETCH(quint32, colour);
    QFETCH(bool, transparent);
    QFETCH(QByteArray, pixelBytes);
    QFETCH(char, maskByte);

    using namespace IconFile;
    const QByteArray file = encodeIcon24(filled(Colour(colour), transparent));
    QCOMPARE(file.size(), fileBytes);
    const QByteArray expected = pixelBytes.repeated(pixelCount) + QByteArray(maskBytes, maskByte);
    QCOMPARE(firstDifference(file.mid(colourOffset), expected), qsizetype(-1));
}

void tst_IconFile::pixelLandsAtItsOffset_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<int>("colourOffset");
    QTest::addColumn<int>("maskOffset");
    QTest::addColumn<int>("maskBit");

    // Rows are stored bottom-up, 96 colour bytes and 4 mask bytes a row: the
    // top-left pixel is in the last row.
    using IconFile::colourOffset;
    using IconFile::maskOffset;
    QTest::newRow("top-left transparent") << 0 << 0 << true << colourOffset + 31 * 96 << maskOffset + 31 * 4 << 7;
    QTest::newRow("bottom-left opaque") << 0 << 31 << false << colourOffset << maskOffset << 7;
    QTest::newRow("bottom-right transparent") << 31 << 31 << true << colourOffset + 93 << maskOffset + 3 << 0;
    QTest::newRow("x 9, y 30 transparent") << 9 << 30 << true << colourOffset + 96 + 27 << maskOffset + 4 + 1 << 6;
}

void tst_IconFile::pixelLandsAtItsOffset()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, transparent);
    QFETCH(int, colourOffset);
    QFETCH(int, maskOffset);
    QFETCH(int, maskBit);

    IconPixels pixels = filled(Colours::white, false);
    pixels.colour(x, y) = Colour(0x123456); // red 0x56, green 0x34, blue 0x12
    pixels.isTransparent(x, y) = transparent;
    const QByteArray file = encodeIcon24(pixels);
    const QByteArray expectedColour = transparent ? QByteArray::fromHex("000000") : QByteArray::fromHex("123456");
    QCOMPARE(file.mid(colourOffset, 3).toHex(), expectedColour.toHex());
    QCOMPARE(bool(uchar(file[maskOffset]) & (1 << maskBit)), transparent);
    // Every other mask bit stays 0, every other pixel white.
    QCOMPARE(file.mid(IconFile::maskOffset).count('\0'), transparent ? 127 : 128);
    QCOMPARE(file.mid(IconFile::colourOffset, IconFile::colourBytes).count(char(0xFF)), IconFile::colourBytes - 3);
}

void tst_IconFile::bitStringToByte_data()
{
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("value");
    QTest::newRow("1 then seven 0") << "10000000" << 128;
    QTest::newRow("seven 0 then 1") << "00000001" << 1;
    QTest::newRow("eight 1") << "11111111" << 255;
    QTest::newRow("short 101") << "101" << 160;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("ninth character ignored") << "000000011" << 1;
    QTest::newRow("other characters are 0") << "1x2 0001" << 129;
}

void tst_IconFile::bitStringToByte()
{
    QFETCH(QString, bits);
    QFETCH(int, value);
    QCOMPARE(int(::bitStringToByte(bits)), value);
}

namespace {

// An icon of a 4 x 4 bitmap image (one pixel clear) and a 2 x 2 PNG
// image, as the encoder writes it: 6 + 2 x 16 bytes of directory, then the
// images.
QByteArray twoImageIcon()
{
    IconImage bitmap;
    bitmap.side = 4;
    bitmap.pixels.assign(16, 0xFF336699u);
    bitmap.pixels[5] = 0;
    IconImage png;
    png.side = 2;
    png.png = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray::fromHex("0000000D" "49484452" "00000002" "00000002"
                                                                            "0806000000" "72B60D24")
              + QByteArray::fromHex("00000000" "49454E44" "AE426082");
    return encodeIconSet({bitmap, png});
}

void setField(QByteArray &bytes, qsizetype at, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

} // namespace

void tst_IconFile::directoryIsReadOnceFromBytesOrDevice_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<bool>("headerWhole");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("cursor");
    const QByteArray icon = twoImageIcon();
    QByteArray cursor = icon;
    setField(cursor, 2, 2, 2);
    setField(cursor, 6 + 4, 5, 2); // the hot spot, where an icon's entry holds planes and bits
    setField(cursor, 6 + 6, 7, 2);
    QTest::newRow("icon") << icon << true << true << 2 << false;
    QTest::newRow("cursor") << cursor << true << true << 2 << true;
    QTest::newRow("one entry of two") << icon.left(6 + 16 + 15) << true << true << 1 << false;
    QTest::newRow("signature only") << icon.left(4) << true << false << 0 << false;
    QTest::newRow("type 3") << QByteArray("\0\0\3\0\1\0", 6) << false << false << 0 << false;
    QTest::newRow("reserved set") << QByteArray("\1\0\1\0\1\0", 6) << false << false << 0 << false;
    QTest::newRow("too short") << QByteArray("\0\0\1", 3) << false << false << 0 << false;
}

// The same directory is read from the file's bytes and from a device, which
// is left where it stood.
void tst_IconFile::directoryIsReadOnceFromBytesOrDevice()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, recognised);
    QFETCH(bool, headerWhole);
    QFETCH(int, entries);
    QFETCH(bool, cursor);
    QByteArray padded = QByteArray("xyz") + file;
    QBuffer device(&padded);
    QVERIFY(device.open(QIODevice::ReadOnly) && device.seek(3));
    const std::optional<IconDirectory> fromDevice = readIconDirectory(device);
    const std::optional<IconDirectory> fromBytes = iconDirectoryOf(file);
    QCOMPARE(device.pos(), qint64(3));
    QCOMPARE(fromBytes.has_value(), recognised);
    QCOMPARE(fromDevice.has_value(), recognised);
    if (!recognised)
        return;
    for (const IconDirectory &directory : {*fromBytes, *fromDevice}) {
        QCOMPARE(directory.headerWhole, headerWhole);
        QCOMPARE(directory.claimed, headerWhole ? 2 : 0);
        QCOMPARE(int(directory.entries.size()), entries);
        QCOMPARE(directory.whole(), headerWhole && entries == 2);
        QCOMPARE(directory.cursor(), cursor);
        if (entries == 0)
            continue;
        const IconEntryRecord &first = directory.entries.front();
        QCOMPARE(serialise(first), file.mid(6, 16));
        QCOMPARE(directory.claimedBits(first), cursor ? 0 : 32);
        if (cursor)
            QCOMPARE(IconDirectory::hotSpot(first), QPoint(5, 7));
    }
}

void tst_IconFile::pngChunksAreWalkedToTheirEnd_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<int>("endBefore"); // how far before the stream's end its end is given
    QTest::addColumn<PngChunks>("walk");
    const QByteArray png = twoImageIcon().mid(158);
    QByteArray tooLong = png;
    setField(tooLong, 8, 0x80, 1); // the high byte of the header chunk's big-endian length
    QTest::newRow("whole") << png << 0 << PngChunks::Whole;
    QTest::newRow("cut short") << png.left(png.size() - 3) << 0 << PngChunks::CutShort;
    QTest::newRow("signature only") << png.left(8) << 0 << PngChunks::CutShort;
    QTest::newRow("end chunk past its end") << png << 1 << PngChunks::Unknown;
    QTest::newRow("chunk too long") << tooLong << 0 << PngChunks::Unknown;
}

// A PNG stream's chunks are walked to its end chunk: a stream cut short is
// told from one its decoder judges.
void tst_IconFile::pngChunksAreWalkedToTheirEnd()
{
    QFETCH(QByteArray, png);
    QFETCH(int, endBefore);
    QFETCH(PngChunks, walk);
    ByteWalker in(png);
    QCOMPARE(walkPngChunks(in, png.size() - endBefore), walk);
    QCOMPARE(pngIsWhole(png.left(png.size() - endBefore)), walk == PngChunks::Whole);
}

void tst_IconFile::listingSaysWhatIsWrong_data()
{
    QTest::addColumn<QByteArray>("icon");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("disagreement");
    const QByteArray whole = twoImageIcon();
    const qsizetype bitmapAt = 6 + 2 * 16;
    const qsizetype pngAt = bitmapAt + 40 + 16 * 4 + 4 * 4;
    QTest::newRow("whole") << whole << QString() << QString();

    QByteArray wideEntry = whole;
    wideEntry[6] = 8;
    QTest::newRow("entry disagrees with its image") << wideEntry << QString() << "its entry says 8 x 4";
    QByteArray maskOff = whole;
    maskOff[bitmapAt + 40 + 64 + 4 * 2] = 0; // the row of the clear pixel, stored bottom-up
    QTest::newRow("mask disagrees with alpha") << maskOff << QString() << "its mask disagrees with its alpha at 1 pixels";
    QByteArray overlapping = whole;
    setField(overlapping, 6 + 8, 130, 4); // the bitmap's entry claims 10 bytes of the PNG
    QTest::newRow("images overlap") << overlapping << "images 1 and 2 overlap" << QString();
    QTest::newRow("cut short") << whole.left(whole.size() - 3) << "image 2 runs past the end of the file" << QString();
    QByteArray noEnd = whole.left(pngAt + 8 + 25);
    setField(noEnd, 6 + 16 + 8, quint32(noEnd.size() - pngAt), 4);
    QTest::newRow("PNG not whole") << noEnd << "the PNG of image 2 is not whole" << QString();
    QTest::newRow("directory cut short") << whole.left(20) << "the file ends within its directory of 2 images" << QString();
}

// The listing names each image as it is stored, and what is wrong with it.
// A file's damage names five faults, then counts the others, its parts'
// (an animated cursor's frames) among them, each named after its part.
void tst_IconFile::damageOfPartsIsCountedWhole()
{
    DamageList frame;
    for (int image = 1; image <= 7; ++image)
        frame.add(QStringLiteral("image %1 is cut").arg(image));
    DamageList file;
    file.add(QStringLiteral("its header lies"));
    file.add(frame, QStringLiteral("frame 2: "));
    file.add(frame, QStringLiteral("frame 3: "));
    QCOMPARE(file.count(), 15);
    QCOMPARE(file.lines(), (QStringList{QStringLiteral("its header lies"), QStringLiteral("frame 2: image 1 is cut"),
                                        QStringLiteral("frame 2: image 2 is cut"), QStringLiteral("frame 2: image 3 is cut"),
                                        QStringLiteral("frame 2: image 4 is cut"), QStringLiteral("10 more")}));
}

void tst_IconFile::listingSaysWhatIsWrong()
{
    QFETCH(QByteArray, icon);
    QFETCH(QString, damage);
    QFETCH(QString, disagreement);
    const IconListing listing = listIcon(icon);
    QVERIFY(listing.isIcon);
    QCOMPARE(listing.damage.joined(), damage);
    if (!damage.isEmpty())
        return;
    const QStringList lines = listingLines(listing);
    QCOMPARE(lines.first(), QStringLiteral("1: 4 x 4, 32 bits, BMP, 120 bytes at 38"));
    QCOMPARE(lines.last(), QStringLiteral("2: 2 x 2, 32 bits, PNG, 45 bytes at 158"));
    QCOMPARE(lines.size(), disagreement.isEmpty() ? 2 : 3);
    if (!disagreement.isEmpty())
        QCOMPARE(lines[1], QStringLiteral("   ") + disagreement);
}

// An image whose header is not in the file is listed as its entry claims,
// not as an image of 0 x 0 pixels.
void tst_IconFile::imagesPastTheEndAreListedAsTheirEntriesSay()
{
    const IconListing listing = listIcon(twoImageIcon().left(6 + 2 * 16 + 20));
    QCOMPARE(listing.damage.joined(),
             QStringLiteral("image 1 runs past the end of the file; image 2 runs past the end of the file"));
    QCOMPARE(listingLines(listing), (QStringList{QStringLiteral("1: 4 x 4, 32 bits as its entry says, 120 bytes at 38"),
                                                 QStringLiteral("2: 2 x 2, 32 bits as its entry says, 45 bytes at 158")}));
    // A PNG cut short within its header chunk is listed so too.
    for (int kept : {12, 18, 25})
        QCOMPARE(listingLines(listIcon(twoImageIcon().left(158 + kept))).last(),
                 QStringLiteral("2: 2 x 2, 32 bits as its entry says, 45 bytes at 158"));
}

namespace {

// The chunks of a RIFF body (after its form type), by id, each id's data
// in order; a chunk running past the end gives "damaged".
QMultiMap<QByteArray, QByteArray> riffChunks(const QByteArray &body)
{
    QMultiMap<QByteArray, QByteArray> chunks;
    for (qsizetype at = 0; at + 8 <= body.size();) {
        const QByteArray id = body.mid(at, 4);
        const qsizetype size = qFromLittleEndian<quint32>(body.constData() + at + 4);
        if (at + 8 + size > body.size())
            return {{"damaged", id}};
        chunks.insert(id, body.mid(at + 8, size));
        at += 8 + size + size % 2;
    }
    return chunks;
}

} // namespace

void tst_IconFile::aniCursorsStoreEachFrameOnce_data()
{
    QTest::addColumn<QList<int>>("frameOfStep"); // which of the cursors "a", "bb", "ccc" each step shows
    QTest::addColumn<QList<int>>("jiffies");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QList<quint32>>("rate");     // empty: no rate chunk
    QTest::addColumn<QList<quint32>>("sequence"); // empty: no seq chunk
    QTest::newRow("each frame once, one rate") << QList<int>{0, 1, 2} << QList<int>{6, 6, 6} << 3 << QList<quint32>{}
                                               << QList<quint32>{};
    QTest::newRow("rates differ") << QList<int>{0, 1} << QList<int>{6, 12} << 2 << QList<quint32>{6, 12} << QList<quint32>{};
    QTest::newRow("a frame repeats") << QList<int>{0, 1, 0, 2} << QList<int>{3, 3, 3, 3} << 3 << QList<quint32>{}
                                     << QList<quint32>{0, 1, 0, 2};
    QTest::newRow("one frame") << QList<int>{1} << QList<int>{60} << 1 << QList<quint32>{} << QList<quint32>{};
}

// Each distinct cursor is stored once, in an "icon" chunk of LIST "fram"
// padded to an even size; "rate" and "seq " come only when needed; the
// header counts frames and steps and says the frames are cursor files.
void tst_IconFile::aniCursorsStoreEachFrameOnce()
{
    QFETCH(QList<int>, frameOfStep);
    QFETCH(QList<int>, jiffies);
    QFETCH(int, frames);
    QFETCH(QList<quint32>, rate);
    QFETCH(QList<quint32>, sequence);
    const QByteArrayList cursors{"a", "bb", "ccc"};
    QByteArrayList expected; // the cursors shown, in the order first shown
    std::vector<AniStep> steps;
    for (qsizetype i = 0; i < frameOfStep.size(); ++i) {
        if (!expected.contains(cursors[frameOfStep[i]]))
            expected << cursors[frameOfStep[i]];
        steps.push_back({quint32(expected.indexOf(cursors[frameOfStep[i]])), quint32(jiffies[i])});
    }
    const QByteArray file = encodeAniCursor(std::vector<QByteArray>(expected.begin(), expected.end()), steps,
                                            QStringLiteral("Busy"), QStringLiteral("Tervana"));
    QVERIFY(file.startsWith("RIFF") && file.mid(8, 4) == "ACON");
    QCOMPARE(qsizetype(qFromLittleEndian<quint32>(file.constData() + 4)), file.size() - 8);
    const QMultiMap<QByteArray, QByteArray> chunks = riffChunks(file.mid(12));
    QVERIFY(!chunks.contains("damaged"));
    QCOMPARE(testutils::littleEndianNumbers(chunks.value("anih")),
             (QList<quint32>{36, quint32(frames), quint32(steps.size()), 0, 0, 0, 0, quint32(jiffies.first()),
                             sequence.isEmpty() ? 1u : 3u}));
    QCOMPARE(testutils::littleEndianNumbers(chunks.value("rate")), rate);
    QCOMPARE(testutils::littleEndianNumbers(chunks.value("seq ")), sequence);
    QMap<QByteArray, QByteArray> lists;
    for (const QByteArray &list : chunks.values("LIST"))
        lists.insert(list.left(4), list.mid(4));
    QCOMPARE(riffChunks(lists.value("INFO")).value("INAM"), QByteArray("Busy\0", 5));
    QCOMPARE(riffChunks(lists.value("INFO")).value("IART"), QByteArray("Tervana\0", 8));
    QByteArrayList stored = riffChunks(lists.value("fram")).values("icon");
    std::reverse(stored.begin(), stored.end()); // a QMultiMap gives the latest first
    QCOMPARE(stored, expected);
}

void tst_IconFile::delaysBecomeJiffies()
{
    QCOMPARE(jiffiesOf(0), 1u);
    QCOMPARE(jiffiesOf(8), 1u);
    QCOMPARE(jiffiesOf(25), 2u);
    QCOMPARE(jiffiesOf(100), 6u);
    QCOMPARE(jiffiesOf(1000), 60u);
}

QTEST_GUILESS_MAIN(tst_IconFile)
#include "tst_iconfile.moc"
