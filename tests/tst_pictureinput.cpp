// Reading picture files that are not what they should be: files cut short at
// every place, run-length coded bitmaps that skip pixels, pipes, and a
// progressive JPEG too large to decode whole.

#include "picturetestutils.h"

#include "filestructure.h"
#include "picture.h"
#include "runlengthbmp.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

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
    return isCutShort(device);
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
    void progressiveJpegTooLargeToDecodeWhole();
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

// A whole progressive JPEG whose frame claims 12000 x 10000 pixels: decoded
// whole even when reduced, so over the limit, and refused before decoding
// (however far the format check has read the device).
void tst_PictureInput::progressiveJpegTooLargeToDecodeWhole()
{
    QByteArray bytes = encoded(patternImage(16, 16), "JPEG", true);
    const qsizetype frame = bytes.indexOf("\xFF\xC2");
    QVERIFY(frame > 0);
    qToBigEndian<quint16>(10000, bytes.data() + frame + 5);
    qToBigEndian<quint16>(12000, bytes.data() + frame + 7);
    const PictureLoad load = read(bytes);
    QCOMPARE(reasonOf(load.failure),
             QStringLiteral("the picture is too large (12000 x 10000 pixels; at most 100 million are read from a picture of "
                            "this kind)"));
}

QTEST_MAIN(tst_PictureInput)
#include "tst_pictureinput.moc"
