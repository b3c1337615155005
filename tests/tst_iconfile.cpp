// The icon encoder on its own: pixels and mask in, the file's bytes out;
// and the icon records, written and read back.

#include "iconfile.h"
#include "iconrecords.h"

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
    void everyFileStartsWithTheSameHeaders();
    void recordsAreReadAsTheyAreWritten();
    void pixelAndMaskBytes_data();
    void pixelAndMaskBytes();
    void pixelLandsAtItsOffset_data();
    void pixelLandsAtItsOffset();
    void bitStringToByte_data();
    void bitStringToByte();
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

QTEST_GUILESS_MAIN(tst_IconFile)
#include "tst_iconfile.moc"
