// The icon encoder on its own: pixels and mask in, the file's bytes out.

#include "iconfile.h"

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
    void recordsSerialiseToTheirSizes();
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
        QCOMPARE(file.size(), 3262);
        QCOMPARE(file.left(62).toHex(' '), expected.toHex(' '));
    }
    // dwBytesInRes is everything after the directory and its one entry.
    QCOMPARE(iconEntryValues().dwBytesInRes, quint32(3262 - 22));
}

void tst_IconFile::recordsSerialiseToTheirSizes()
{
    QCOMPARE(serialise(iconDirValues()).size(), 6);
    QCOMPARE(serialise(iconEntryValues()).size(), 16);
    QCOMPARE(serialise(iconHeaderValues()).size(), 40);
    // Fields are little-endian whatever the host: a changed width shows in byte 4 of the header.
    IconHeaderRecord header = iconHeaderValues();
    header.biWidth = 0x01020304;
    QCOMPARE(serialise(header).mid(4, 4), QByteArray::fromHex("04030201"));
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

    const QByteArray file = encodeIcon24(filled(Colour(colour), transparent));
    QCOMPARE(file.size(), 3262);
    const QByteArray expected = QByteArray(62, '\0') + pixelBytes.repeated(1024) + QByteArray(128, maskByte);
    const QByteArray actual = QByteArray(62, '\0') + file.mid(62);
    QCOMPARE(firstDifference(actual, expected), qsizetype(-1));
}

void tst_IconFile::pixelLandsAtItsOffset_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<int>("colourOffset");
    QTest::addColumn<int>("maskOffset");
    QTest::addColumn<int>("maskBit");

    // Rows are stored bottom-up: the top-left pixel is in the last row.
    QTest::newRow("top-left transparent") << 0 << 0 << true << 3038 << 3258 << 7;
    QTest::newRow("bottom-left opaque") << 0 << 31 << false << 62 << 3134 << 7;
    QTest::newRow("bottom-right transparent") << 31 << 31 << true << 62 + 93 << 3137 << 0;
    QTest::newRow("x 9, y 30 transparent") << 9 << 30 << true << 62 + 96 + 27 << 3134 + 4 + 1 << 6;
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
    QCOMPARE(file.mid(3134).count('\0'), transparent ? 127 : 128);
    QCOMPARE(file.mid(62, 3072).count(char(0xFF)), 3072 - 3);
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
