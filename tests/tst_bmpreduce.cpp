// Big bitmaps are read straight into a reduced image; what Open makes of them
// must match what a full decode gives.

#include "testutils.h"

#include "bmpreduce.h"
#include "picture.h"

#include <QBuffer>
#include <QtEndian>

using namespace testutils;

namespace {

// A plain BI_RGB bitmap at 24 or 32 bits, bottom-up or top-down.
QByteArray bitmapBytes(const QImage &image, int bits, bool topDown)
{
    const int width = image.width();
    const int height = image.height();
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray bytes(54 + stride * height, '\0');
    char *p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(bytes.size(), p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(width, p + 18);
    qToLittleEndian<qint32>(topDown ? -height : height, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(bits, p + 28);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        uchar *out = reinterpret_cast<uchar *>(p + 54 + stride * row);
        for (int x = 0; x < width; ++x) {
            const QRgb c = image.pixel(x, y);
            out[0] = uchar(qBlue(c));
            out[1] = uchar(qGreen(c));
            out[2] = uchar(qRed(c));
            out += bits / 8;
        }
    }
    return bytes;
}

// A photo-like picture: smooth gradients with fine detail on top.
QImage detailedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 255 / width + (x % 3) * 20) & 0xFF, (y * 255 / height + (y % 5) * 9) & 0xFF,
                                      ((x + y) % 7) * 30));
    return image;
}

} // namespace

class tst_BmpReduce : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheFullDecode_data();
    void matchesTheFullDecode();
    void leavesOtherBitmapsToTheOrdinaryReader_data();
    void leavesOtherBitmapsToTheOrdinaryReader();
};

void tst_BmpReduce::matchesTheFullDecode_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("topDown");

    QTest::newRow("24-bit bottom-up") << QSize(1200, 800) << 24 << false;
    QTest::newRow("24-bit top-down") << QSize(1200, 800) << 24 << true;
    QTest::newRow("32-bit bottom-up") << QSize(1200, 800) << 32 << false;
    QTest::newRow("odd sizes, padded rows") << QSize(1001, 603) << 24 << false;
    QTest::newRow("tall") << QSize(523, 1700) << 24 << true;
}

void tst_BmpReduce::matchesTheFullDecode()
{
    QFETCH(QSize, size);
    QFETCH(int, bits);
    QFETCH(bool, topDown);

    const QImage source = detailedImage(size.width(), size.height());
    QByteArray bytes = bitmapBytes(source, bits, topDown);
    QBuffer reducedDevice(&bytes);
    QVERIFY(reducedDevice.open(QIODevice::ReadOnly));
    const PictureLoad reduced = readPicture(reducedDevice, QSize(32, 32));
    QVERIFY(!reduced.error);
    QCOMPARE(reduced.picture.size(), size);             // the natural size, for the fit
    QVERIFY(reduced.picture.image().width() <= (size.width() + 1) / 2); // but far fewer pixels

    QBuffer fullDevice(&bytes);
    QVERIFY(fullDevice.open(QIODevice::ReadOnly));
    const PictureLoad full = readPicture(fullDevice);
    QVERIFY(!full.error);
    QCOMPARE(full.picture.image().size(), size);

    // The 32 x 32 drawings agree closely: averaging blocks first moves a few
    // source pixels at each target edge into the neighbouring target pixel.
    PictureBox a;
    PictureBox b;
    for (PictureBox *box : {&a, &b}) {
        box->setBounds(0, 0, 540, 540);
        box->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    }
    a.PaintPicture(reduced.picture, 0, 0, 32, 32);
    b.PaintPicture(full.picture, 0, 0, 32, 32);
    int worst = 0;
    int total = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb p = toQRgb(a.Point(x, y));
            const QRgb q = toQRgb(b.Point(x, y));
            for (int d : {qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))}) {
                worst = std::max(worst, d);
                total += d;
            }
        }
    const double mean = total / (32.0 * 32 * 3);
    QVERIFY2(worst <= 8 && mean <= 1.0, qPrintable(QStringLiteral("worst %1, mean %2").arg(worst).arg(mean)));
}

void tst_BmpReduce::leavesOtherBitmapsToTheOrdinaryReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("drawSize");

    const QImage big = detailedImage(600, 400);
    QTest::newRow("small for the drawing") << bitmapBytes(detailedImage(200, 100), 24, false) << QSize(32, 32);
    QTest::newRow("no drawing size") << bitmapBytes(big, 24, false) << QSize();
    QTest::newRow("cut short") << bitmapBytes(big, 24, false).left(20000) << QSize(32, 32);
    QByteArray eightBit = bitmapBytes(big, 24, false);
    qToLittleEndian<quint16>(8, eightBit.data() + 28);
    QTest::newRow("8-bit") << eightBit << QSize(32, 32);
    QByteArray compressed = bitmapBytes(big, 24, false);
    qToLittleEndian<quint32>(1, compressed.data() + 30);
    QTest::newRow("compressed") << compressed << QSize(32, 32);
}

void tst_BmpReduce::leavesOtherBitmapsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedBmp(device, drawSize).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

QTEST_MAIN(tst_BmpReduce)
#include "tst_bmpreduce.moc"
