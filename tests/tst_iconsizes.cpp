// Icons of several sizes from the converter (--sizes): the file's layout by
// the published rules, each image read back by independent readers, real
// transparency, and the size lists that are refused.

#include "picturetestutils.h"

#include "iconsizes.h"
#include "resample.h"

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

using namespace testutils;

namespace {

template<typename T>
T field(const QByteArray &bytes, qsizetype at)
{
    return at >= 0 && at + qsizetype(sizeof(T)) <= bytes.size() ? qFromLittleEndian<T>(bytes.constData() + at) : T(0);
}

// Checks the file against the published layout and returns the sides of
// its images in file order: the directory (reserved 0, type 1, then 16-byte
// entries), images back to back from the end of the directory to the end of
// the file, each bitmap a 40-byte header of height 2 x side and 32 bits,
// colour rows then an AND mask whose bit is set exactly where alpha is 0,
// and the 256 image a PNG.
QList<int> verifiedLayout(const QByteArray &icon)
{
    QList<int> sides;
    [&] {
        QCOMPARE(field<quint16>(icon, 0), quint16(0));
        QCOMPARE(field<quint16>(icon, 2), quint16(1));
        const int count = field<quint16>(icon, 4);
        quint32 expectedOffset = quint32(6 + 16 * count);
        for (int i = 0; i < count; ++i) {
            const qsizetype entry = 6 + 16 * i;
            const int side = uchar(icon.at(entry)) == 0 ? 256 : uchar(icon.at(entry));
            QCOMPARE(uchar(icon.at(entry + 1)), uchar(icon.at(entry)));
            QCOMPARE(uchar(icon.at(entry + 2)), uchar(0)); // no palette
            QCOMPARE(uchar(icon.at(entry + 3)), uchar(0));
            QCOMPARE(field<quint16>(icon, entry + 4), quint16(1));
            QCOMPARE(field<quint16>(icon, entry + 6), quint16(32));
            const quint32 bytes = field<quint32>(icon, entry + 8);
            const quint32 offset = field<quint32>(icon, entry + 12);
            QCOMPARE(offset, expectedOffset);
            expectedOffset += bytes;
            const QByteArray image = icon.mid(offset, bytes);
            if (side == 256) {
                QVERIFY(image.startsWith("\x89PNG\r\n\x1A\n"));
            } else {
                const int maskRow = (side + 31) / 32 * 4;
                QCOMPARE(qsizetype(bytes), qsizetype(40 + side * side * 4 + side * maskRow));
                QCOMPARE(field<quint32>(image, 0), quint32(40));
                QCOMPARE(field<qint32>(image, 4), side);
                QCOMPARE(field<qint32>(image, 8), 2 * side);
                QCOMPARE(field<quint16>(image, 14), quint16(32));
                QCOMPARE(field<quint32>(image, 16), quint32(0));
                for (int row = 0; row < side; ++row)
                    for (int x = 0; x < side; ++x) {
                        const bool clear = uchar(image.at(40 + (row * side + x) * 4 + 3)) == 0;
                        const uchar maskByte = uchar(image.at(40 + side * side * 4 + row * maskRow + x / 8));
                        QCOMPARE(bool(maskByte & (0x80 >> (x % 8))), clear);
                    }
            }
            sides << side;
        }
        QCOMPARE(qsizetype(expectedOffset), icon.size());
    }();
    return sides;
}

QImage alphaLogo()
{
    QImage logo(300, 200, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 40, 40));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(20, 20, 260, 160));
    return logo;
}

} // namespace

class tst_IconSizes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void readsBackInEveryReader_data();
    void readsBackInEveryReader();
    void keyBlackMakesPureBlackTransparent();
    void longPicturesShrinkWhole_data();
    void longPicturesShrinkWhole();
    void oneToOneKeepsEveryPixel_data();
    void oneToOneKeepsEveryPixel();
    void badOptionsAreRefused_data();
    void badOptionsAreRefused();
    void handDrawnSizesComeOutAsTheyAre_data();
    void handDrawnSizesComeOutAsTheyAre();
    void badCombinationsAreRefused_data();
    void badCombinationsAreRefused();
    void iconsAreListedAndExtracted_data();
    void iconsAreListedAndExtracted();
    void iconsOfOneNameAreAllExtracted();
    void damagedIconsAreReportedAndNotExtracted();
    void enlargedSizesAreSaidOnce_data();
    void enlargedSizesAreSaidOnce();
};

void tst_IconSizes::readsBackInEveryReader_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("sizes");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<bool>("clearCorner");

    const QList<int> all = {256, 128, 64, 48, 32, 24, 16};
    QVERIFY(saveImage(patternImage(900, 600), path(QStringLiteral("photo.jpg")), "JPG"));
    QVERIFY(saveImage(patternImage(64, 64), path(QStringLiteral("opaque.bmp")), "BMP"));
    QVERIFY(saveImage(alphaLogo(), path(QStringLiteral("logo.png")), "PNG"));
    QVERIFY(saveImage(patternImage(1, 1000), path(QStringLiteral("line.bmp")), "BMP"));
    // A GIF whose background index is transparent, around a green square.
    QImage gif(120, 120, QImage::Format_RGB32);
    gif.fill(qRgb(255, 255, 255));
    QPainter(&gif).fillRect(30, 30, 60, 60, QColor(0, 128, 0));
    const bool haveGif = !imageMagickConvert.isEmpty()
                         && gif.save(path(QStringLiteral("logo-source.bmp")))
                         && QProcess::execute(imageMagickConvert, {path(QStringLiteral("logo-source.bmp")),
                                                                   QStringLiteral("-transparent"), QStringLiteral("white"),
                                                                   path(QStringLiteral("logo.gif"))})
                                == 0;

    struct Source { const char *name; bool clearCorner; };
    QList<Source> sources = {{"photo.jpg", true}, {"opaque.bmp", false}, {"logo.png", true}, {"line.bmp", true}};
    if (haveGif)
        sources.append({"logo.gif", true});
    for (const Source &source : sources) {
        const QString name = QString::fromLatin1(source.name);
        QTest::addRow("%s, all", source.name) << name << "all" << all << source.clearCorner;
        QTest::addRow("%s, 256", source.name) << name << "256" << QList<int>{256} << source.clearCorner;
        QTest::addRow("%s, 48,1,256,16", source.name) << name << "48,1,256,16" << QList<int>{256, 48, 16, 1}
                                                       << source.clearCorner;
    }
    QTest::newRow("photo.jpg, windows") << "photo.jpg" << "windows" << QList<int>{256, 96, 64, 48, 40, 32, 24, 20, 16}
                                        << true;
    QTest::newRow("photo.jpg, favicon") << "photo.jpg" << "favicon" << QList<int>{48, 32, 16} << true;
}

void tst_IconSizes::readsBackInEveryReader()
{
    QFETCH(QString, source);
    QFETCH(QString, sizes);
    QFETCH(QList<int>, expected);
    QFETCH(bool, clearCorner);

    const QString icon = path(source + QLatin1Char('-') + sizes + QStringLiteral(".ico"));
    const Run run = runConverter({QStringLiteral("--sizes"), sizes, path(source), QStringLiteral("-o"), icon});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const QList<int> sides = verifiedLayout(readFile(icon));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(sides, expected);

    if (!icotool.isEmpty()) {
        const QString listed = outputOf(icotool, {QStringLiteral("-l"), icon});
        QCOMPARE(listed.count(QStringLiteral("--bit-depth=32")), expected.size());
        for (int side : expected)
            QVERIFY2(listed.contains(QStringLiteral("--width=%1 --height=%1 ").arg(side)), qPrintable(listed));
    }
    if (!imageMagickConvert.isEmpty()) {
        const QString frames = outputOf(imageMagickConvert, {icon, QStringLiteral("-format"),
                                                             QStringLiteral("%w %h %A\\n"), QStringLiteral("info:")});
        for (int side : expected)
            QVERIFY2(frames.contains(QStringLiteral("%1 %1 True").arg(side)), qPrintable(frames));
    }
    QSKIP_UNLESS_TOOL(python3WithPillow);
    const QString read = outputOf(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/icon_sizes_reader.py"), icon});
    const QStringList lines = read.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected.size());
    for (const QString &line : lines) {
        const QStringList values = line.split(QLatin1Char(' '));
        const int side = values[0].toInt();
        QVERIFY(expected.contains(side));
        if (side < 8)
            continue; // too small to have both a band and a middle
        // The bands (or the picture's own transparent edge) are clear; the
        // middle, inside the picture, is opaque.
        QCOMPARE(values[1].toInt() == 0, clearCorner);
        QVERIFY2(values[5].toInt() == 255, qPrintable(line));
    }
}

void tst_IconSizes::keyBlackMakesPureBlackTransparent()
{
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 0));
    QPainter(&picture).fillRect(0, 0, 64, 16, QColor(250, 250, 10));
    QVERIFY(saveImage(picture, path(QStringLiteral("black.bmp")), "BMP"));
    for (const bool keyed : {false, true}) {
        const QString icon = path(keyed ? QStringLiteral("keyed.ico") : QStringLiteral("plain.ico"));
        QStringList arguments = {QStringLiteral("--sizes"), QStringLiteral("32,16"), path(QStringLiteral("black.bmp")),
                                 QStringLiteral("-o"), icon};
        if (keyed)
            arguments.prepend(QStringLiteral("--key-black"));
        QCOMPARE(runConverter(arguments).exitCode, 0);
        const QByteArray bytes = readFile(icon);
        QCOMPARE(verifiedLayout(bytes), (QList<int>{32, 16}));
        // The 32 x 32 image's bottom-left pixel (the first stored) is black;
        // the top rows are yellow and opaque either way.
        const qsizetype pixels = field<quint32>(bytes, 6 + 12) + 40;
        QCOMPARE(field<quint32>(bytes, pixels), keyed ? 0u : 0xFF000000u);
        QCOMPARE(field<quint32>(bytes, pixels + (31 * 32) * 4), 0xFFFAFA0Au);
    }
}

void tst_IconSizes::longPicturesShrinkWhole_data()
{
    QTest::addColumn<QSize>("size");
    // More than 16.8 million pixels in one target pixel: 255 times that is
    // past 32 bits.
    QTest::newRow("17 million wide") << QSize(17'000'000, 1);
    QTest::newRow("17 million tall") << QSize(1, 17'000'000);
}

// A picture of millions of pixels along one side shrinks to one pixel of
// its own colour, whichever side is long.
void tst_IconSizes::longPicturesShrinkWhole()
{
    QFETCH(QSize, size);
    QImage picture(size, QImage::Format_RGB32);
    QVERIFY(!picture.isNull());
    picture.fill(qRgb(255, 250, 245));
    const QImage one = resampleImage(picture, QSize(1, 1));
    QCOMPARE(one.pixel(0, 0), qRgba(255, 250, 245, 255));
}

void tst_IconSizes::oneToOneKeepsEveryPixel_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QImage>("expected");
    QImage opaque(7, 5, QImage::Format_RGB32), premultiplied(7, 5, QImage::Format_ARGB32_Premultiplied);
    QImage opaqueExpected(7, 5, QImage::Format_ARGB32_Premultiplied);
    const auto at = [](QImage &image, int x, int y) -> QRgb & { return reinterpret_cast<QRgb *>(image.scanLine(y))[x]; };
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            at(opaque, x, y) = (qRgb(x * 37, y * 51, x * y * 7) & 0x00FFFFFFu) | quint32(x * 5) << 24; // the unused byte set
            at(opaqueExpected, x, y) = at(opaque, x, y) | 0xFF000000u;
            at(premultiplied, x, y) = qPremultiply(qRgba(x * 37, y * 51, 200, (x + y) * 25));
        }
    QTest::newRow("opaque") << opaque << opaqueExpected;
    QTest::newRow("premultiplied") << premultiplied << premultiplied;
    // A channel above its alpha, which no premultiplied pixel has, is cut
    // to it, as the sums of a larger picture cut it.
    QImage above = premultiplied.copy(), cut = premultiplied.copy();
    at(above, 3, 2) = qRgba(250, 10, 120, 100);
    at(cut, 3, 2) = qRgba(100, 10, 100, 100);
    QTest::newRow("a channel above its alpha") << above << cut;
}

// At 1:1 every pixel comes out as it went in, premultiplied, byte for byte.
void tst_IconSizes::oneToOneKeepsEveryPixel()
{
    QFETCH(QImage, picture);
    QFETCH(QImage, expected);
    const QImage same = resampleImage(picture, picture.size());
    QCOMPARE(same.format(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < picture.height(); ++y)
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(same.constScanLine(y)), picture.width() * 4).toHex(),
                 QByteArray(reinterpret_cast<const char *>(expected.constScanLine(y)), picture.width() * 4).toHex());
}

void tst_IconSizes::badOptionsAreRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");
    const auto sizes = [](const char *list) { return QStringList{QStringLiteral("--sizes"), QString::fromLatin1(list)}; };
    QTest::newRow("zero") << sizes("0") << "\"0\"";
    QTest::newRow("above 256") << sizes("300") << "\"300\"";
    QTest::newRow("not a number") << sizes("a") << "\"a\"";
    QTest::newRow("negative") << sizes("16,-5") << "\"-5\"";
    QTest::newRow("empty item") << sizes("16,,32") << "\"\"";
    QTest::newRow("empty list") << sizes("") << "\"\"";
    QTest::newRow("given twice") << sizes("16,32,16") << "16 twice";
    QTest::newRow("all and more") << sizes("all,16") << "\"all\"";
    QTest::newRow("with --bmp") << sizes("all") + QStringList{QStringLiteral("--bmp")} << "--bmp";
    QTest::newRow("--key-black alone") << QStringList{QStringLiteral("--key-black")} << "--key-black";
    const QString cursor = QStringLiteral("--cursor");
    const auto hotSpot = [](const char *point) { return QStringList{QStringLiteral("--hotspot"), QString::fromLatin1(point)}; };
    QTest::newRow("--hotspot without --cursor") << hotSpot("1,1") << "--hotspot goes with --cursor, --ani, --xcursor or --cursor-theme.";
    QTest::newRow("--classic without --cursor") << QStringList{QStringLiteral("--classic")} << "--classic goes with --cursor.";
    QTest::newRow("a cursor as a bitmap") << QStringList{cursor, QStringLiteral("--bmp")} << "--bmp";
    QTest::newRow("a classic cursor of sizes") << sizes("32") + QStringList{cursor, QStringLiteral("--classic")} << "--classic";
    QTest::newRow("--delay without --ani") << QStringList{QStringLiteral("--delay"), QStringLiteral("100")} << "--delay goes with --ani, --xcursor or --cursor-theme.";
    QTest::newRow("a delay of no time") << QStringList{QStringLiteral("--ani"), QStringLiteral("--delay"), QStringLiteral("0")} << "from 1 to 60000";
    QTest::newRow("both kinds of cursor") << QStringList{cursor, QStringLiteral("--xcursor")} << "--cursor cannot be used with --xcursor:";
    QTest::newRow("a Linux cursor in black and white") << QStringList{QStringLiteral("--xcursor"), QStringLiteral("--mono")} << "--xcursor";
    QTest::newRow("a hot spot of one number") << QStringList{cursor} + hotSpot("3") << "two whole numbers";
    QTest::newRow("a cursor theme and -o") << QStringList{QStringLiteral("--cursor-theme"), path(QStringLiteral("theme"))}
                                           << "--cursor-theme cannot be used with -o:";
    QTest::newRow("a cursor theme of .cur files") << QStringList{QStringLiteral("--cursor-theme"), path(QStringLiteral("theme")), cursor}
                                                  << "--cursor-theme cannot be used with --cursor or -o:";
    QTest::newRow("a title without --ani") << QStringList{QStringLiteral("--xcursor"), QStringLiteral("--title"), QStringLiteral("Busy")}
                                           << "--xcursor cannot be used with --title:";
    const QStringList output{QStringLiteral("-o"), path(QStringLiteral("refused.ico"))};
    QTest::newRow("every icon of a program, and -o") << QStringList{QStringLiteral("--app-icons"), path(QStringLiteral("set"))} + output
                                                     << "--app-icons cannot be used with -o";
    QTest::newRow("a hot spot above the picture") << QStringList{cursor} + hotSpot("3,-1") << "two whole numbers";
    const QStringList favicon{QStringLiteral("--favicon"), path(QStringLiteral("site"))};
    const auto background = [](const char *colour) { return QStringList{QStringLiteral("--background"), QString::fromLatin1(colour)}; };
    QTest::newRow("two hot spots before one picture") << QStringList{cursor} + hotSpot("1,1") + hotSpot("2,2")
                                                      << "come before the same picture";
    QTest::newRow("several hot spots for one result")
        << QStringList{cursor} + sizes("32") + hotSpot("1,1") + QStringList{path(QStringLiteral("small.bmp"))} + hotSpot("2,2")
        << "Several --hotspot go with";
    QTest::newRow("--key-black with a classic cursor") << QStringList{cursor, QStringLiteral("--classic"), QStringLiteral("--key-black")}
                                                       << "--key-black cannot be used with --classic";
    QTest::newRow("two kinds of set") << QStringList{QStringLiteral("--theme"), path(QStringLiteral("icons")),
                                                     QStringLiteral("--favicon"), path(QStringLiteral("site"))}
                                      << "--theme cannot be used with --favicon: give one kind of result.";
    QTest::newRow("--background without --favicon") << background("white") << "--background goes with --favicon";
    QTest::newRow("a colour Qt cannot read") << favicon + background("#12345") << "\"#12345\" is none";
    QTest::newRow("a see-through colour") << favicon + background("#80204080") << "\"#80204080\" is see-through";
    QTest::newRow("a favicon set of sizes") << favicon + sizes("16") << "--favicon cannot be used with --sizes";
    const auto webPath = [](const char *path) { return QStringList{QStringLiteral("--web-path"), QString::fromLatin1(path)}; };
    QTest::newRow("a web path from no root") << favicon + webPath("static/icons") << "\"static/icons\" does not";
    QTest::newRow("a web path that ends the attribute") << favicon + webPath("/a\"><script>") << "\"/a\"><script>\" does not";
    QTest::newRow("a web path with a space") << favicon + webPath("/my icons") << "\"/my icons\" does not";
    QTest::newRow("a web path to another host") << favicon + webPath("//evil.example") << "\"//evil.example\" does not";
    const QStringList iconTheme{QStringLiteral("--theme"), path(QStringLiteral("icons"))};
    const auto named = [](const char *name) { return QStringList{QStringLiteral("--name"), QString::fromLatin1(name)}; };
    QTest::newRow("an icon theme without --name") << iconTheme << "--theme needs --name NAME";
    QTest::newRow("an icon theme's name with a slash") << iconTheme + named("apps/mine") << "\"apps/mine\" is not one";
    QTest::newRow("an icon theme's name of ..") << iconTheme + named("..") << "\"..\" is not one";
    QTest::newRow("an icon theme and -o") << iconTheme + named("mine") + output << "--theme cannot be used with -o";
    QTest::newRow("--name without --theme") << named("mine") << "--name goes with --theme";
}

void tst_IconSizes::badOptionsAreRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, said);
    QVERIFY(saveImage(patternImage(20, 20), path(QStringLiteral("small.bmp")), "BMP"));
    const QString icon = path(QStringLiteral("refused.ico"));
    // A set of files has no -o: the rows of sets give it where they test it.
    const bool set = options.contains(QStringLiteral("--favicon")) || options.contains(QStringLiteral("--theme"))
                     || options.contains(QStringLiteral("--app-icons"));
    const Run run = runConverter(options + QStringList{path(QStringLiteral("small.bmp"))}
                                 + (set ? QStringList() : QStringList{QStringLiteral("-o"), icon}));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(!run.errorLines.isEmpty() && run.errorLines.first().contains(said), qPrintable(run.errorLines.join('\n')));
    QVERIFY(!QFileInfo::exists(icon));
}

namespace {

// A hand-drawn image: every pixel its own colour, some see-through, some
// clear.
QImage handDrawn(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgba(x * 255 / side, y * 255 / side, (x * y) % 256, (x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 77 : 255));
    return image;
}

// How Pillow reads the pixels: RRGGBBAA, a clear pixel with no colour.
QString pillowPixel(QRgb pixel)
{
    return qAlpha(pixel) == 0 ? QStringLiteral("00000000")
                              : QStringLiteral("%1").arg(quint32(pixel << 8 | qAlpha(pixel)), 8, 16, QLatin1Char('0')).toUpper();
}

QStringList withoutClearColours(QStringList pixels)
{
    for (QString &pixel : pixels)
        if (pixel.endsWith(QStringLiteral("00")))
            pixel = QStringLiteral("00000000");
    return pixels;
}

} // namespace

void tst_IconSizes::handDrawnSizesComeOutAsTheyAre_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QList<int>>("asTheyAre");
    for (int side : {16, 32, 48})
        QVERIFY(handDrawn(side).save(path(QStringLiteral("hand%1.png").arg(side))));
    QVERIFY(saveImage(patternImage(600, 400), path(QStringLiteral("photo.jpg")), "JPG"));
    const QStringList hands = {path(QStringLiteral("hand16.png")), path(QStringLiteral("hand32.png")),
                               path(QStringLiteral("hand48.png"))};
    QTest::newRow("three PNGs and a photo") << hands + QStringList{path(QStringLiteral("photo.jpg"))} << QList<int>{16, 32, 48};
    QTest::newRow("a photo and one PNG") << QStringList{path(QStringLiteral("photo.jpg")), hands[1]} << QList<int>{32};
    if (!icotool.isEmpty()) {
        // An old icon whose first image is its smallest.
        QCOMPARE(QProcess::execute(icotool, QStringList{QStringLiteral("-c"), QStringLiteral("-o"), path(QStringLiteral("old.ico"))} + hands), 0);
        QTest::newRow("an old icon alone") << QStringList{path(QStringLiteral("old.ico"))} << QList<int>{16, 32, 48};
    }
}

// A picture exactly one listed size square is that size's image pixel for
// pixel, alpha and all; the other sizes come from the smallest larger one.
void tst_IconSizes::handDrawnSizesComeOutAsTheyAre()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QFETCH(QStringList, inputs);
    QFETCH(QList<int>, asTheyAre);
    const QString icon = path(QStringLiteral("%1.ico").arg(QString::fromLatin1(QTest::currentDataTag())));
    const Run run = runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("256,64,48,32,16")} + inputs
                                 + QStringList{QStringLiteral("-o"), icon});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    QCOMPARE(verifiedLayout(readFile(icon)), (QList<int>{256, 64, 48, 32, 16}));
    for (int side : asTheyAre) {
        const QImage drawn = handDrawn(side);
        QStringList expected{QStringLiteral("%1 %1").arg(side)};
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                expected << pillowPixel(drawn.pixel(x, y));
        QCOMPARE(withoutClearColours(decodeWithPillow(icon, side)), expected);
    }
}

void tst_IconSizes::badCombinationsAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    for (int side : {16, 32})
        QVERIFY(handDrawn(side).save(path(QStringLiteral("pair%1.png").arg(side))));
    QVERIFY(QFile::copy(path(QStringLiteral("pair32.png")), path(QStringLiteral("also32.png"))));
    const QString p16 = path(QStringLiteral("pair16.png"));
    const QString p32 = path(QStringLiteral("pair32.png"));
    const QString out = path(QStringLiteral("combined.ico"));
    const QString o = QStringLiteral("-o");
    const QString sizes = QStringLiteral("--sizes");
    QTest::newRow("a size only enlarging could make")
        << QStringList{sizes, QStringLiteral("48,32,16"), p16, p32, o, out} << 2 << "no picture is 48 pixels or larger";
    QTest::newRow("two pictures of one size")
        << QStringList{sizes, QStringLiteral("32,16"), p16, p32, path(QStringLiteral("also32.png")), o, out} << 2
        << "two pictures are 32 x 32";
    QTest::newRow("several without --sizes") << QStringList{p16, p32, o, out} << 2 << "-o takes one input";
    QTest::newRow("the icon would replace a picture")
        << QStringList{sizes, QStringLiteral("32,16"), p16, p32, o, p32} << 1 << "it is the picture";
}

void tst_IconSizes::badCombinationsAreRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    const QByteArray before = readFile(path(QStringLiteral("pair32.png")));
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, status);
    QVERIFY2(run.errorLines.size() >= 1 && run.errorLines.first().contains(said), qPrintable(run.errorLines.join('\n')));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("combined.ico"))));
    QCOMPARE(readFile(path(QStringLiteral("pair32.png"))), before);
}

void tst_IconSizes::iconsAreListedAndExtracted_data()
{
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("images");
    QVERIFY(saveImage(alphaLogo(), path(QStringLiteral("for listing.png")), "PNG"));
    QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("all"), path(QStringLiteral("for listing.png")),
                           QStringLiteral("-o"), path(QStringLiteral("tervana.ico"))}).exitCode, 0);
    QTest::newRow("Tervana's") << path(QStringLiteral("tervana.ico")) << 7;
    if (python3WithPillow.isEmpty())
        return;
    const QString folder = path(QStringLiteral("other tools"));
    const QStringList icons = outputOf(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/formats/make_icons.py"),
                                                           folder, imageMagickConvert})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(icons.size() >= 4, qPrintable(QStringLiteral("%1 icons made").arg(icons.size())));
    for (const QString &icon : icons)
        QTest::newRow(qPrintable(icon)) << QDir(folder).filePath(icon) << (icon.startsWith(QStringLiteral("depths")) ? 6 : 3);
}

// Each image is listed as stored; extracted, it is what Pillow reads from
// the icon, and packed again it gives the same pixels.
void tst_IconSizes::iconsAreListedAndExtracted()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QFETCH(QString, icon);
    QFETCH(int, images);
    const Run listed = runConverter({QStringLiteral("--list"), icon});
    QCOMPARE(listed.exitCode, 0);
    const QStringList lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + images); // a line for the icon, one for each image, nothing wrong
    const bool cursor = icon.endsWith(QStringLiteral(".cur"));
    QVERIFY(lines.first().endsWith(QStringLiteral(": %1, %2 images").arg(cursor ? "cursor" : "icon").arg(images)));
    // Pillow reads a cursor's images as those of the icon it was made from.
    const QString pillowReads = cursor ? icon.chopped(4) + QStringLiteral(".ico") : icon;

    const QString folder = folderForThisTest(m_dir);
    const Run extracted = runConverter({QStringLiteral("--extract"), icon, QStringLiteral("-d"), folder});
    QCOMPARE(extracted.exitCode, 0);
    const QStringList pngs = extracted.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(pngs.size(), images);
    QStringList sides;
    for (const QString &png : pngs) {
        const QStringList pixels = withoutClearColours(decodeWithPillow(png));
        const int side = pixels.first().section(QLatin1Char(' '), 0, 0).toInt();
        QVERIFY2(QFileInfo(png).fileName().contains(QStringLiteral("-%1x%1-").arg(side)), qPrintable(png));
        QCOMPARE(pixels, withoutClearColours(decodeWithPillow(pillowReads, side)));
        sides << QString::number(side);
    }
    const QString repacked = QDir(folder).filePath(QStringLiteral("repacked.ico"));
    const Run packed = runConverter(QStringList{QStringLiteral("--sizes"), sides.join(QLatin1Char(','))} + pngs
                                    + QStringList{QStringLiteral("-o"), repacked});
    QVERIFY2(packed.exitCode == 0, qPrintable(packed.errorLines.join(QLatin1Char('\n'))));
    for (const QString &png : pngs) {
        const QStringList pixels = withoutClearColours(decodeWithPillow(png));
        QCOMPARE(withoutClearColours(decodeWithPillow(repacked, pixels.first().section(QLatin1Char(' '), 0, 0).toInt())),
                 pixels);
    }
}

// An icon of `sizes` made by the converter from a pattern of `side` pixels.
static void makeIconOfSizes(const QString &folder, const QString &icon, int side, const QString &sizes)
{
    const QString source = QDir(folder).filePath(QStringLiteral("source.png"));
    QVERIFY(saveImage(patternImage(side, side), source, "PNG"));
    QCOMPARE(runConverter({QStringLiteral("--sizes"), sizes, source, QStringLiteral("-o"), icon}).exitCode, 0);
}

// Two icons of one name in one run: the second's images are written
// beside the first's, not over them.
void tst_IconSizes::iconsOfOneNameAreAllExtracted()
{
    const QString folder = folderForThisTest(m_dir);
    const QString first = QDir(folder).filePath(QStringLiteral("logo.ico"));
    const QString second = QDir(folder).filePath(QStringLiteral("logo.cur"));
    makeIconOfSizes(folder, first, 32, QStringLiteral("32,16"));
    QVERIFY(QFile::copy(first, second));
    const QString out = QDir(folder).filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    const Run run = runConverter({QStringLiteral("--extract"), first, second, QStringLiteral("-d"), out});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("logo-16x16-32bit-2.png"), QStringLiteral("logo-16x16-32bit.png"),
                          QStringLiteral("logo-32x32-32bit-2.png"), QStringLiteral("logo-32x32-32bit.png")}));
}

// An icon cut short: listed as far as it goes, reported once with the
// reason, exit status 1; nothing extracted from it.
void tst_IconSizes::damagedIconsAreReportedAndNotExtracted()
{
    const QString folder = folderForThisTest(m_dir);
    const QString whole = QDir(folder).filePath(QStringLiteral("whole.ico"));
    const QString cut = QDir(folder).filePath(QStringLiteral("cut.ico"));
    makeIconOfSizes(folder, whole, 64, QStringLiteral("64,32,16"));
    QVERIFY(writeFile(cut, readFile(whole).chopped(100)));

    const Run listed = runConverter({QStringLiteral("--list"), whole, cut});
    QCOMPARE(listed.exitCode, 1);
    QCOMPARE(listed.out.count(QStringLiteral(": icon, 3 images")), 2); // both listed
    QCOMPARE(listed.errorLines, QStringList{QStringLiteral("tervana-convert: \"%1\" is damaged: image 3 runs past the "
                                                           "end of the file.").arg(QDir::toNativeSeparators(cut))});
    const QString out = QDir(folder).filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    const Run extracted = runConverter({QStringLiteral("--extract"), cut, QStringLiteral("-d"), out});
    QCOMPARE(extracted.exitCode, 1);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
}

void tst_IconSizes::enlargedSizesAreSaidOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said"); // the one message line; empty: none
    QVERIFY(saveImage(patternImage(32, 21), path(QStringLiteral("small.png")), "PNG"));
    QVERIFY(writeFile(path(QStringLiteral("small.svg")), "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='21'>"
                                                         "<rect width='32' height='21' fill='teal'/></svg>"));
    const QString small = path(QStringLiteral("small.png"));
    const QString ending = QStringLiteral(" (it is 32 x 21); a larger picture or a drawing makes them sharp.");
    QTest::newRow("icon of every size") << QStringList{QStringLiteral("--sizes"), QStringLiteral("all"), small, QStringLiteral("-o"), path(QStringLiteral("all.ico"))}
                                        << QStringLiteral("\"%1\" is enlarged for the 256, 128, 64 and 48-pixel sizes").arg(small) + ending;
    QTest::newRow("cursor") << QStringList{QStringLiteral("--cursor"), small, QStringLiteral("-o"), path(QStringLiteral("small.cur"))}
                            << QStringLiteral("\"%1\" is enlarged for the 128, 96, 64 and 48-pixel sizes").arg(small) + ending;
    QTest::newRow("two platforms, one line") << QStringList{QStringLiteral("--app-icons"), path(QStringLiteral("set")), QStringLiteral("--platforms"),
                                                            QStringLiteral("macos,linux"), small}
                                             << QStringLiteral("\"%1\" is enlarged for 6 sizes, 48 to 1024 pixels").arg(small) + ending;
    QTest::newRow("sizes no larger than the picture") << QStringList{QStringLiteral("--sizes"), QStringLiteral("32,16"), small, QStringLiteral("-o"), path(QStringLiteral("two.ico"))}
                                                      << QString();
    QTest::newRow("the window's 32 x 32, which fits by design") << QStringList{path(QStringLiteral("small.png")), QStringLiteral("-o"), path(QStringLiteral("plain.ico"))}
                                                                << QString();
    QTest::newRow("a drawing, drawn at each size") << QStringList{QStringLiteral("--sizes"), QStringLiteral("all"), path(QStringLiteral("small.svg")),
                                                                  QStringLiteral("-o"), path(QStringLiteral("drawn.ico"))}
                                                   << QString();
    QTest::newRow("quiet") << QStringList{QStringLiteral("-q"), QStringLiteral("--sizes"), QStringLiteral("all"), small, QStringLiteral("-o"), path(QStringLiteral("quiet.ico"))}
                           << QString();
}

// A size larger than every picture given is enlarged, blurred: one line
// says which sizes and from what, once however many files of a set are
// made of them; a drawing, the window's square and -q say nothing.
void tst_IconSizes::enlargedSizesAreSaidOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errorLines, QStringList());
    QCOMPARE(run.enlargedNotes, said.isEmpty() ? QStringList() : QStringList{QStringLiteral("tervana-convert: ") + said});
}

QTEST_MAIN(tst_IconSizes)
#include "tst_iconsizes.moc"
