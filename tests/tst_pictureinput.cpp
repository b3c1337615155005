// Reading picture files that are not what they should be: files cut short at
// every place, run-length coded bitmaps that skip pixels, pipes, JPEGs too
// costly to decode whole, and icons whose images cost more than their
// directory says.

#include "picturetestutils.h"

#include "formats.h"
#include "iconimages.h"
#include "picture.h"
#include "readpicture.h"
#include "runlengthbmp.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <array>

using namespace testutils;

namespace {

// A grey palette: index i is (i, i, i) at 8 bits, (17 i, 17 i, 17 i) at 4.
QRgb grey(int index, bool fourBits)
{
    const int level = fourBits ? 17 * index : index;
    return qRgb(level, level, level);
}

// A run-length coded bitmap of width x height whose coded rows are `codes`.
QByteArray runLengthBmp(int width, int height, bool fourBits, const QByteArray &codes)
{
    QByteArray palette;
    for (int i = 0; i < (fourBits ? 16 : 256); ++i) {
        const QRgb c = grey(i, fourBits);
        palette.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    return bmpBytes({width, height, quint16(fourBits ? 4 : 8), quint32(fourBits ? 2 : 1), palette, codes});
}

PictureLoad read(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    return readPicture(device, QSize(32, 32));
}

bool cutShort(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    return openPictureReader(device)->isCutShort(device);
}

QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray fileBytes(const QImage &image, const char *format)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    return saveImage(image, path, format) ? readFile(path) : QByteArray();
}

// Every pixel of `image` as the grey indexes `rows` give, top row first; -1
// for a pixel never drawn, which must be transparent.
QString differenceFrom(const QImage &image, const QList<QList<int>> &rows, bool fourBits)
{
    if (image.size() != QSize(rows.first().size(), rows.size()))
        return QStringLiteral("size %1 x %2").arg(image.width()).arg(image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int index = rows[y][x];
            const QRgb expected = index < 0 ? qRgba(0, 0, 0, 0) : grey(index, fourBits);
            if (image.pixel(x, y) != expected)
                return QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(image.pixel(x, y), 8, 16);
        }
    return QString();
}

// A progressive JPEG of 16 x 16 pixels whose frame claims `width` x
// `height`, every colour at `sampling` (0x22 for twice the others' share).
QByteArray progressiveClaiming(int width, int height, char sampling)
{
    QByteArray bytes = encoded(patternImage(16, 16), "JPEG", true);
    const qsizetype frame = bytes.indexOf("\xFF\xC2");
    qToBigEndian<quint16>(quint16(height), bytes.data() + frame + 5);
    qToBigEndian<quint16>(quint16(width), bytes.data() + frame + 7);
    for (int component = 0; component < uchar(bytes[frame + 9]); ++component)
        bytes[frame + 11 + 3 * component] = component == 0 ? sampling : '\x11';
    return bytes;
}

// The JPEG with its first scan sent `times` more times before its end.
QByteArray repeatingFirstScan(const QByteArray &jpeg, int times)
{
    const qsizetype scan = jpeg.indexOf("\xFF\xDA");
    qsizetype end = scan + 2;
    while (end + 1 < jpeg.size()
           && (uchar(jpeg[end]) != 0xFF || jpeg[end + 1] == 0 || (uchar(jpeg[end + 1]) >= 0xD0 && uchar(jpeg[end + 1]) <= 0xD7)))
        ++end;
    return jpeg.chopped(2) + jpeg.mid(scan, end - scan).repeated(times) + jpeg.right(2);
}

// An icon whose directory lists `entries` (width, height, offset, length)
// and then holds `images`.
QByteArray iconOf(const QList<std::array<quint32, 4>> &entries, const QByteArray &images)
{
    QByteArray icon(6 + 16 * entries.size(), '\0');
    qToLittleEndian<quint16>(1, icon.data() + 2);
    qToLittleEndian<quint16>(quint16(entries.size()), icon.data() + 4);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        char *entry = icon.data() + 6 + 16 * i;
        entry[0] = char(entries[i][0]);
        entry[1] = char(entries[i][1]);
        qToLittleEndian<quint16>(32, entry + 6);
        qToLittleEndian<quint32>(entries[i][3], entry + 8);
        qToLittleEndian<quint32>(entries[i][2], entry + 12);
    }
    return icon + images;
}

} // namespace

class tst_PictureInput : public QObject
{
    Q_OBJECT

private slots:
    void everyCutIsRefusedAsCutShort_data();
    void everyCutIsRefusedAsCutShort();
    void runLengthBitmaps_data();
    void runLengthBitmaps();
    void aPipeIsRefused();
    void jpegsTooCostlyAreRefusedBeforeDecoding_data();
    void jpegsTooCostlyAreRefusedBeforeDecoding();
    void iconImagesAreCountedAsTheyAre_data();
    void iconImagesAreCountedAsTheyAre();
};

void tst_PictureInput::everyCutIsRefusedAsCutShort_data()
{
    QTest::addColumn<QByteArray>("whole");
    const QImage picture = patternImage(40, 30);
    QTest::newRow("bmp") << encoded(picture, "BMP");
    QTest::newRow("run-length bmp, 8 bits") << runLengthBmp(4, 2, false, QByteArray::fromHex("040500000207020900000001"));
    QTest::newRow("run-length bmp, 4 bits") << runLengthBmp(5, 1, true, QByteArray::fromHex("00051234500000000001"));
    QTest::newRow("jpeg") << encoded(picture, "JPEG");
    QTest::newRow("progressive jpeg") << encoded(picture, "JPEG", true);
    QTest::newRow("png") << encoded(picture, "PNG");
    QTest::newRow("icon") << encoded(picture.scaled(32, 32), "ICO");
    QTest::newRow("gif") << fileBytes(picture, "GIF");
}

// No false alarm on the whole file; every shorter copy is refused as cut
// short before any decoder sees it, unless all it lacks comes after the
// picture (a GIF's trailer after the image shown, a bitmap's end code after
// its last row): then it reads as exactly the same picture.
void tst_PictureInput::everyCutIsRefusedAsCutShort()
{
    QFETCH(QByteArray, whole);
    if (whole.isEmpty())
        QSKIP_UNLESS_TOOL(imageMagickConvert); // makes the GIF
    QVERIFY(whole.size() > 20);
    QVERIFY(!cutShort(whole));
    const PictureLoad wholeLoad = read(whole);
    QVERIFY2(!wholeLoad.failure, qPrintable(reasonOf(wholeLoad.failure)));
    for (qsizetype place = 2; place < whole.size(); ++place) {
        const PictureLoad load = read(whole.left(place));
        if (!load.failure && load.picture.image() == wholeLoad.picture.image())
            continue;
        if (reasonOf(load.failure) != QStringLiteral("the file is cut short"))
            QFAIL(qPrintable(QStringLiteral("cut at %1 of %2: %3").arg(place).arg(whole.size())
                                 .arg(load.failure ? load.failure->reason : QStringLiteral("read as a picture"))));
    }
}

void tst_PictureInput::runLengthBitmaps_data()
{
    QTest::addColumn<bool>("fourBits");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QList<QList<int>>>("rows"); // top row first; -1: never drawn

    using Rows = QList<QList<int>>;
    // Coded rows start at the bottom.
    QTest::newRow("8 bits, runs") << false << 4 << QByteArray::fromHex("040500000207020900000001")
                                  << Rows{{7, 7, 9, 9}, {5, 5, 5, 5}};
    QTest::newRow("8 bits, stored stretch") << false << 5 << QByteArray::fromHex("00030102030002040001")
                                            << Rows{{1, 2, 3, 4, 4}};
    QTest::newRow("4 bits, runs") << true << 4 << QByteArray::fromHex("04AB00000001") << Rows{{10, 11, 10, 11}};
    QTest::newRow("4 bits, stored stretch") << true << 5 << QByteArray::fromHex("00051234500000000001")
                                            << Rows{{1, 2, 3, 4, 5}};
    QTest::newRow("a move skips pixels") << false << 4 << QByteArray::fromHex("010300020201010400000001")
                                         << Rows{{-1, -1, -1, 4}, {3, -1, -1, -1}};
    QTest::newRow("rows and bitmap ended early") << false << 3 << QByteArray::fromHex("010500000001")
                                                 << Rows{{-1, -1, -1}, {-1, -1, -1}, {5, -1, -1}};
    QTest::newRow("pixels past the edge dropped") << false << 2 << QByteArray::fromHex("04060001") << Rows{{6, 6}};
}

// Compared with the rows the codes stand for, and, where every pixel is
// drawn, with Qt's own reader.
void tst_PictureInput::runLengthBitmaps()
{
    QFETCH(bool, fourBits);
    QFETCH(int, width);
    QFETCH(QByteArray, codes);
    QFETCH(QList<QList<int>>, rows);
    const QByteArray file = runLengthBmp(width, int(rows.size()), fourBits, codes);
    QVERIFY(!cutShort(file));
    QByteArray copy = file;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const QImage image = readRunLengthBmp(device);
    QCOMPARE(device.pos(), qint64(0));
    const QString difference = differenceFrom(image, rows, fourBits);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    bool everyPixelDrawn = true;
    for (const QList<int> &row : rows)
        everyPixelDrawn = everyPixelDrawn && !row.contains(-1);
    if (everyPixelDrawn) {
        QBuffer again(&copy);
        QImageReader qt(&again, "bmp");
        QCOMPARE(qt.read().convertToFormat(QImage::Format_ARGB32), image);
    }
    // The picture read is the same, every time.
    const PictureLoad load = read(file);
    QVERIFY(!load.failure);
    QCOMPARE(load.picture.image().convertToFormat(QImage::Format_ARGB32), image);
}

void tst_PictureInput::aPipeIsRefused()
{
    QByteArray bytes = encoded(patternImage(20, 20), "BMP");
    struct Pipe : QBuffer
    {
        using QBuffer::QBuffer;
        bool isSequential() const override { return true; }
    } pipe(&bytes);
    pipe.open(QIODevice::ReadOnly);
    const PictureLoad load = readPicture(pipe, QSize(32, 32));
    QCOMPARE(reasonOf(load.failure), QStringLiteral("it is not a regular file"));
}

void tst_PictureInput::jpegsTooCostlyAreRefusedBeforeDecoding_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QString>("reason");
    QTest::newRow("progressive, claiming 12000 x 10000")
        << progressiveClaiming(12000, 10000, '\x22')
        << "the picture is too large (12000 x 10000 pixels; at most 100 million are read from a picture of this kind)";
    QTest::newRow("progressive, claiming 10000 x 10000 at full colour")
        << progressiveClaiming(10000, 10000, '\x11')
        << "the picture is too large (10000 x 10000 pixels, stored in several scans; at most 100 million are held "
           "while one is read)";
    QTest::newRow("progressive, its first scan sent 256 more times")
        << repeatingFirstScan(encoded(patternImage(16, 16), "JPEG", true), 256)
        << "the JPEG has too many scans (more than 256)";
}

// JPEGs decoded whole, refused before decoding (however far the format
// check has read the device): by the size they claim, by the coefficients
// their decoder would keep for it (two bytes a sample, at full colour three
// samples a pixel), or by their number of scans.
void tst_PictureInput::jpegsTooCostlyAreRefusedBeforeDecoding()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QString, reason);
    QCOMPARE(reasonOf(read(jpeg).failure), reason);
}

void tst_PictureInput::iconImagesAreCountedAsTheyAre_data()
{
    QTest::addColumn<QByteArray>("icon");
    QTest::addColumn<QString>("asAPicture");
    QTest::addColumn<QString>("asImages");
    // A PNG header, enough for the checks: they refuse before decoding.
    QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    png.append(QByteArray::fromHex("00004E20" "00004E20" "0806000000" "00000000" "00000000" "49454E44" "AE426082"));
    QTest::newRow("a 1 x 1 entry of a 20000 x 20000 png")
        << iconOf({{1, 1, 22, quint32(png.size())}}, png)
        << "the picture is too large (20000 x 20000 pixels; at most 100 million are read from a picture of this kind)"
        << "the icon's images are too large (at most 16 million pixels each and 100 million in all are read)";
    QByteArray small = png;
    qToBigEndian<quint32>(2, small.data() + 16);
    qToBigEndian<quint32>(2, small.data() + 20);
    const quint32 at = 6 + 3 * 16;
    QTest::newRow("pngs sharing their bytes")
        << iconOf({{2, 2, at, quint32(small.size())}, {2, 2, at, quint32(small.size()) - 1},
                   {2, 2, at, quint32(small.size()) - 2}}, small)
        << QString() << "the icon's images overlap one another";
}

// An icon's images are counted at the size their own headers give, and
// read once for each stretch of bytes, which together may be no more than
// the file: refused before any image is decoded, as one picture (the first
// image) or as all its images.
void tst_PictureInput::iconImagesAreCountedAsTheyAre()
{
    QFETCH(QByteArray, icon);
    QFETCH(QString, asAPicture);
    QFETCH(QString, asImages);
    if (!asAPicture.isEmpty())
        QCOMPARE(reasonOf(read(icon).failure), asAPicture);
    QBuffer device(&icon);
    device.open(QIODevice::ReadOnly);
    const IconImagesLoad load = readIconImages(device);
    QCOMPARE(reasonOf(load.failure), asImages);
    QVERIFY(load.images.empty());
}

QTEST_MAIN(tst_PictureInput)
#include "tst_pictureinput.moc"
