// Big bitmaps and GIFs are read straight into a reduced image; what Open
// makes of them must match what a full decode gives.

#include "testutils.h"

#include "reducedpicture.h"
#include "picture.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
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

// A picture of at most 217 colours, so that a GIF holds it exactly: coarse
// bands of a 6 x 6 x 6 colour cube, fine stripes across them, and a disc of
// one colour outside the cube that tests can make transparent.
const QRgb discColour = qRgb(10, 200, 30);

QImage palettedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const QPoint centre(width / 2, height / 2);
    const int radius = std::min(width, height) / 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int dx = x - centre.x();
            const int dy = y - centre.y();
            if (dx * dx + dy * dy < radius * radius) {
                image.setPixel(x, y, discColour);
                continue;
            }
            image.setPixel(x, y, qRgb(x * 6 / width * 51, y * 6 / height * 51, (x + 2 * y) % 6 * 51));
        }
    return image;
}

// The GIF ImageMagick makes of `image`, with its extra `options`.
QByteArray gifBytes(const QImage &image, const QStringList &options)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bmp"));
    const QString gif = dir.filePath(QStringLiteral("picture.gif"));
    if (!image.save(source, "BMP"))
        return {};
    if (QProcess::execute(QStringLiteral("convert"), QStringList{source} + options + QStringList{QStringLiteral("GIF:") + gif}) != 0)
        return {};
    return readFile(gif);
}

// The offset of the first image descriptor, after the global colour table
// and any extensions.
int firstImageDescriptor(const QByteArray &gif)
{
    const uchar screenFlags = uchar(gif.at(10));
    int at = 13 + ((screenFlags & 0x80) ? 3 * (2 << (screenFlags & 7)) : 0);
    while (at < gif.size() && gif.at(at) == 0x21) {
        at += 2;
        while (at < gif.size() && gif.at(at) != 0)
            at += 1 + uchar(gif.at(at));
        ++at;
    }
    return at;
}

// The same GIF with its global colour table moved into the first image as
// a local one.
QByteArray withLocalColourTable(QByteArray gif)
{
    const uchar screenFlags = uchar(gif.at(10));
    if (!(screenFlags & 0x80))
        return gif;
    const int tableSize = 3 * (2 << (screenFlags & 7));
    const int image = firstImageDescriptor(gif);
    const QByteArray table = gif.mid(13, tableSize);
    gif[image + 9] = char(uchar(gif.at(image + 9)) | 0x80 | (screenFlags & 7));
    gif.insert(image + 10, table);
    gif.remove(13, tableSize);
    gif[10] = char(screenFlags & 0x70);
    return gif;
}

// The 32 x 32 drawings of a reduced and a fully decoded picture agree
// closely: averaging blocks first moves a few source pixels at each target
// edge into the neighbouring target pixel.
void verifyDrawingsAgree(const Picture &reduced, const Picture &full)
{
    PictureBox a;
    PictureBox b;
    for (PictureBox *box : {&a, &b}) {
        box->setBounds(0, 0, 540, 540);
        box->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    }
    a.PaintPicture(reduced, 0, 0, 32, 32);
    b.PaintPicture(full, 0, 0, 32, 32);
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

PictureLoad readBytes(QByteArray bytes, QSize drawSize)
{
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    return readPicture(device, drawSize);
}

} // namespace

class tst_ReducedPicture : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheFullDecode_data();
    void matchesTheFullDecode();
    void leavesOtherBitmapsToTheOrdinaryReader_data();
    void leavesOtherBitmapsToTheOrdinaryReader();
    void gifMatchesTheFullDecode_data();
    void gifMatchesTheFullDecode();
    void leavesOtherGifsToTheOrdinaryReader_data();
    void leavesOtherGifsToTheOrdinaryReader();
};

void tst_ReducedPicture::matchesTheFullDecode_data()
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

void tst_ReducedPicture::matchesTheFullDecode()
{
    QFETCH(QSize, size);
    QFETCH(int, bits);
    QFETCH(bool, topDown);

    const QByteArray bytes = bitmapBytes(detailedImage(size.width(), size.height()), bits, topDown);
    const PictureLoad reduced = readBytes(bytes, QSize(32, 32));
    QVERIFY(!reduced.error);
    QCOMPARE(reduced.picture.size(), size);             // the natural size, for the fit
    QVERIFY(reduced.picture.image().width() <= (size.width() + 1) / 2); // but far fewer pixels

    const PictureLoad full = readBytes(bytes, QSize());
    QVERIFY(!full.error);
    QCOMPARE(full.picture.image().size(), size);

    verifyDrawingsAgree(reduced.picture, full.picture);
}

void tst_ReducedPicture::leavesOtherBitmapsToTheOrdinaryReader_data()
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

void tst_ReducedPicture::leavesOtherBitmapsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedBmp(device, drawSize).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

void tst_ReducedPicture::gifMatchesTheFullDecode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");

    const QImage wide = palettedImage(1200, 800);
    const QString disc = QStringLiteral("rgb(10,200,30)");
    QTest::newRow("plain") << gifBytes(wide, {}) << wide.size();
    QTest::newRow("interlaced") << gifBytes(wide, {QStringLiteral("-interlace"), QStringLiteral("GIF")}) << wide.size();
    QTest::newRow("transparent disc") << gifBytes(wide, {QStringLiteral("-transparent"), disc}) << wide.size();
    QTest::newRow("interlaced, transparent")
        << gifBytes(wide, {QStringLiteral("-interlace"), QStringLiteral("GIF"), QStringLiteral("-transparent"), disc})
        << wide.size();
    QTest::newRow("local colour table") << withLocalColourTable(gifBytes(wide, {})) << wide.size();
    const QImage odd = palettedImage(1003, 1711);
    QTest::newRow("odd sizes, interlaced") << gifBytes(odd, {QStringLiteral("-interlace"), QStringLiteral("GIF")})
                                           << odd.size();
}

void tst_ReducedPicture::gifMatchesTheFullDecode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QVERIFY(bytes.startsWith("GIF8"));

    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const ReducedPicture direct = readReducedGif(device, QSize(32, 32));
    QVERIFY(!direct.image.isNull()); // the reduced path was taken
    QCOMPARE(direct.naturalSize, size);

    const PictureLoad reduced = readBytes(bytes, QSize(32, 32));
    QVERIFY(!reduced.error);
    QCOMPARE(reduced.picture.size(), size);
    QVERIFY(reduced.picture.image().width() <= (size.width() + 1) / 2);

    const PictureLoad full = readBytes(bytes, QSize());
    QVERIFY(!full.error);
    QCOMPARE(full.picture.image().size(), size);

    verifyDrawingsAgree(reduced.picture, full.picture);
}

void tst_ReducedPicture::leavesOtherGifsToTheOrdinaryReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("drawSize");

    const QByteArray big = gifBytes(palettedImage(800, 600), {});
    QTest::newRow("small for the drawing") << gifBytes(palettedImage(200, 100), {}) << QSize(32, 32);
    QTest::newRow("no drawing size") << big << QSize();
    QTest::newRow("cut short") << big.left(big.size() / 2) << QSize(32, 32);
    QTest::newRow("cut inside the header") << big.left(8) << QSize(32, 32);
    QByteArray widerScreen = big;
    widerScreen[6] = char(uchar(widerScreen.at(6)) + 8); // the screen is wider than the image
    QTest::newRow("image smaller than the screen") << widerScreen << QSize(32, 32);
    QByteArray damaged = big;
    const int data = firstImageDescriptor(big) + 10;
    damaged[data] = 12; // a minimum code size no GIF may have
    QTest::newRow("impossible code size") << damaged << QSize(32, 32);
}

void tst_ReducedPicture::leavesOtherGifsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QVERIFY(bytes.startsWith("GIF8"));
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedGif(device, drawSize).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

QTEST_MAIN(tst_ReducedPicture)
#include "tst_reducedpicture.moc"
