// Cursors from the converter (--cursor): the file is the icon the same
// options make, but for its type and each entry's hot spot, which points at
// the place asked for at every size; a cursor given as a picture keeps its
// own hot spots; --list and icotool read the hot spots back, and Pillow
// the cursor.

#include "cursortestutils.h"
#include "picturetestutils.h"

#include <QImageReader>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

using namespace testutils;

namespace {

// Each entry's side and hot spot, the directory's type checked to be a
// cursor's.
struct CursorEntry
{
    int side = 0;
    QPoint hotSpot;
    bool operator==(const CursorEntry &other) const { return side == other.side && hotSpot == other.hotSpot; }
};

// A 16-bit little-endian field of the file; 0 past its end.
int fieldAt(const QByteArray &file, qsizetype at)
{
    return at >= 0 && at + 2 <= file.size() ? uchar(file.at(at)) | uchar(file.at(at + 1)) << 8 : 0;
}

QList<CursorEntry> cursorEntries(const QByteArray &file)
{
    QList<CursorEntry> entries;
    if (file.size() < 6 || fieldAt(file, 2) != 2)
        return entries;
    const int count = fieldAt(file, 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int side = uchar(file.at(entry));
        entries.push_back({side == 0 ? 256 : side, QPoint(fieldAt(file, entry + 4), fieldAt(file, entry + 6))});
    }
    return entries;
}

// The file with every entry's planes and bits per pixel (where a cursor
// holds its hot spot) and the type blanked: what the icon and the cursor of
// the same images share.
QByteArray withoutTypeAndHotSpots(QByteArray file)
{
    if (file.size() < 6)
        return file;
    const int count = fieldAt(file, 4);
    file[2] = 0;
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i)
        file.replace(6 + 16 * i + 4, 4, QByteArray(4, '\0'));
    return file;
}

QList<CursorEntry> entries(const QList<int> &sides, const QList<QPoint> &spots)
{
    QList<CursorEntry> made;
    for (qsizetype i = 0; i < sides.size(); ++i)
        made.push_back({sides[i], spots[i]});
    return made;
}

} // namespace

class tst_Cursors : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void cursorsPointWhereAsked_data();
    void cursorsPointWhereAsked();
    void aCursorKeepsItsOwnHotSpots_data();
    void aCursorKeepsItsOwnHotSpots();
    void hotSpotsOutsideThePictureAreRefused_data();
    void hotSpotsOutsideThePictureAreRefused();
    void linuxCursorsAreReadByLibXcursor();
    void animatedCursorsShowEachFrameForItsTime_data();
    void animatedCursorsShowEachFrameForItsTime();
    void animationsTooLongAreRefused();
};

void tst_Cursors::initTestCase()
{
    QVERIFY(saveImage(patternImage(64, 64), path(QStringLiteral("square.png")), "PNG"));
    QVERIFY(saveImage(patternImage(64, 32), path(QStringLiteral("wide.png")), "PNG"));
    QVERIFY(saveImage(patternImage(32, 32), path(QStringLiteral("small.png")), "PNG"));
    QVERIFY(saveImage(patternImage(1000, 1), path(QStringLiteral("thin.png")), "PNG"));
    // See-through in steps, and not square: its bands are clear.
    QImage clear(64, 48, QImage::Format_ARGB32);
    for (int y = 0; y < clear.height(); ++y)
        for (int x = 0; x < clear.width(); ++x)
            clear.setPixel(x, y, qRgba(200, 4 * x, 5 * y, (x * 4 + y) % 256));
    QVERIFY(clear.save(path(QStringLiteral("clear.png"))));
    // One disc over pixels wholly clear, their colour green in one picture
    // and magenta in the other: they show the same.
    for (const QRgb under : {qRgba(0, 255, 0, 0), qRgba(255, 0, 255, 0)}) {
        QImage disc(32, 32, QImage::Format_ARGB32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                disc.setPixel(x, y, (x - 16) * (x - 16) + (y - 16) * (y - 16) < 144 ? qRgb(200, 30, 30) : under);
        QVERIFY(disc.save(path(QStringLiteral("disc over %1.png").arg(qGreen(under) ? QStringLiteral("green") : QStringLiteral("magenta")))));
    }
    // 100 pixels wide, its view box 200 units: the marker's centre, 10,10,
    // is at 5,5.
    QVERIFY(writeFile(path(QStringLiteral("marked.svg")),
                      "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100' viewBox='0 0 200 200'>"
                      "<path d='M10 10 L150 90 L90 100 L60 180 Z' fill='#222'/>"
                      "<rect id='hotspot' x='8' y='8' width='4' height='4' fill='none'/></svg>"));
}

void tst_Cursors::cursorsPointWhereAsked_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("cursorOptions");
    QTest::addColumn<QStringList>("iconOptions"); // the icon of the same images
    QTest::addColumn<QList<CursorEntry>>("expected");
    const QStringList pointerSizes{QStringLiteral("--sizes"), QStringLiteral("128,96,64,48,32")};
    QTest::newRow("pointer sizes, the hot spot scaled to each")
        << QStringLiteral("square.png") << QStringList{QStringLiteral("--cursor"), QStringLiteral("--hotspot"), QStringLiteral("10,20")}
        << pointerSizes
        << entries({128, 96, 64, 48, 32}, {{20, 40}, {15, 30}, {10, 20}, {7, 15}, {5, 10}});
    QTest::newRow("no hot spot: the top-left corner")
        << QStringLiteral("square.png") << QStringList{QStringLiteral("--cursor")} << pointerSizes
        << entries({128, 96, 64, 48, 32}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
    // Fitted into 32, the 64 x 32 picture covers rows 8 to 23.
    QTest::newRow("a wide picture's corners, in its band")
        << QStringLiteral("wide.png")
        << QStringList{QStringLiteral("--cursor"), QStringLiteral("--sizes"), QStringLiteral("32"), QStringLiteral("--hotspot"), QStringLiteral("63,31")}
        << QStringList{QStringLiteral("--sizes"), QStringLiteral("32")} << entries({32}, {{31, 23}});
    QTest::newRow("a wide picture's top-left corner")
        << QStringLiteral("wide.png") << QStringList{QStringLiteral("--cursor"), QStringLiteral("--sizes"), QStringLiteral("32")}
        << QStringList{QStringLiteral("--sizes"), QStringLiteral("32")} << entries({32}, {{0, 8}});
    QTest::newRow("a drawing marks its own")
        << QStringLiteral("marked.svg") << QStringList{QStringLiteral("--cursor"), QStringLiteral("--sizes"), QStringLiteral("100,32")}
        << QStringList{QStringLiteral("--sizes"), QStringLiteral("100,32")} << entries({100, 32}, {{5, 5}, {1, 1}});
    QTest::newRow("classic, 24 bits") << QStringLiteral("small.png")
                                      << QStringList{QStringLiteral("--cursor"), QStringLiteral("--classic"), QStringLiteral("--hotspot"), QStringLiteral("31,30")}
                                      << QStringList{} << entries({32}, {{31, 30}});
    // The window's fit draws a 1000 x 1 picture in no row at all: the point
    // is on row 16, where the picture would be.
    QTest::newRow("a picture too thin to draw") << QStringLiteral("thin.png")
                                                << QStringList{QStringLiteral("--cursor"), QStringLiteral("--classic"), QStringLiteral("--hotspot"), QStringLiteral("999,0")}
                                                << QStringList{} << entries({32}, {{31, 16}});
    QTest::newRow("black and white") << QStringLiteral("square.png")
                                     << QStringList{QStringLiteral("--cursor"), QStringLiteral("--mono"), QStringLiteral("--hotspot"), QStringLiteral("33,2")}
                                     << QStringList{QStringLiteral("--mono")} << entries({32}, {{16, 1}});
}

// The cursor holds the images the icon of the same options holds, and
// points where asked at each size; --list and icotool read the same hot
// spots.
void tst_Cursors::cursorsPointWhereAsked()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, cursorOptions);
    QFETCH(QStringList, iconOptions);
    QFETCH(QList<CursorEntry>, expected);
    const QString cursor = path(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".cur"));
    const QString icon = path(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ico"));
    const Run made = runConverter(cursorOptions + QStringList{path(picture), QStringLiteral("-o"), cursor});
    QVERIFY2(made.exitCode == 0, qPrintable(made.errorLines.join(QLatin1Char('\n'))));
    QCOMPARE(runConverter(iconOptions + QStringList{path(picture), QStringLiteral("-o"), icon}).exitCode, 0);
    const QByteArray bytes = readFile(cursor);
    QCOMPARE(cursorEntries(bytes), expected);
    QCOMPARE(withoutTypeAndHotSpots(bytes), withoutTypeAndHotSpots(readFile(icon)));
    const QStringList lines = runConverter({QStringLiteral("--list"), cursor}).out.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(lines.value(i + 1).endsWith(
                     QStringLiteral(", hot spot %1,%2").arg(expected[i].hotSpot.x()).arg(expected[i].hotSpot.y())),
                 qPrintable(lines.join(QLatin1Char('\n'))));
    // Pillow reads a cursor's first image.
    if (!python3WithPillow.isEmpty())
        QCOMPARE(decodeWithPillow(cursor).value(0), QStringLiteral("%1 %1").arg(expected.first().side));
    if (icotool.isEmpty())
        return;
    const QString listed = outputOf(icotool, {QStringLiteral("-l"), cursor});
    for (const CursorEntry &entry : expected)
        QVERIFY2(listed.contains(QRegularExpression(QStringLiteral("--width=%1 --height=%1 .*--hotspot-x=%2 --hotspot-y=%3\n")
                                                        .arg(entry.side)
                                                        .arg(entry.hotSpot.x())
                                                        .arg(entry.hotSpot.y()))),
                 qPrintable(listed));
}

void tst_Cursors::aCursorKeepsItsOwnHotSpots_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<CursorEntry>>("expected");
    // From a cursor whose 64 image points at 10,20 and its 32 image at 5,10:
    // each size made of one of its images keeps that image's hot spot.
    QTest::newRow("its own sizes, as they are") << QStringList{QStringLiteral("--sizes"), QStringLiteral("64,32")}
                                                << entries({64, 32}, {{10, 20}, {5, 10}});
    QTest::newRow("a size between, shrunk from the next larger")
        << QStringList{QStringLiteral("--sizes"), QStringLiteral("40")} << entries({40}, {{6, 12}});
    QTest::newRow("classic, from its first image") << QStringList{QStringLiteral("--classic")} << entries({32}, {{5, 10}});
    QTest::newRow("a hot spot given instead") << QStringList{QStringLiteral("--sizes"), QStringLiteral("32"), QStringLiteral("--hotspot"), QStringLiteral("0,64")}
                                              << entries({32}, {{0, 16}});
}

void tst_Cursors::aCursorKeepsItsOwnHotSpots()
{
    QFETCH(QStringList, options);
    QFETCH(QList<CursorEntry>, expected);
    const QString first = path(QStringLiteral("first.cur"));
    QCOMPARE(runConverter({QStringLiteral("--cursor"), QStringLiteral("--sizes"), QStringLiteral("128,64,32"),
                           QStringLiteral("--hotspot"), QStringLiteral("10,20"), path(QStringLiteral("square.png")),
                           QStringLiteral("-o"), first})
                 .exitCode,
             0);
    const QString again = path(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".cur"));
    const Run made = runConverter(QStringList{QStringLiteral("--cursor")} + options + QStringList{first, QStringLiteral("-o"), again});
    QVERIFY2(made.exitCode == 0, qPrintable(made.errorLines.join(QLatin1Char('\n'))));
    QCOMPARE(cursorEntries(readFile(again)), expected);
}

void tst_Cursors::hotSpotsOutsideThePictureAreRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("first"); // the first picture, which the line names
    QTest::addColumn<QString>("size");  // its size
    const QString square = QStringLiteral("square.png");
    const QString fullSize = QStringLiteral("64 x 64");
    QTest::newRow("cursor") << QStringList{QStringLiteral("--cursor")} << QStringLiteral("cursor") << square << fullSize;
    QTest::newRow("cursor of two pictures") << QStringList{QStringLiteral("--cursor"), QStringLiteral("--sizes"), QStringLiteral("64,32"),
                                                           path(QStringLiteral("small.png"))}
                                            << QStringLiteral("cursor") << QStringLiteral("small.png") << QStringLiteral("32 x 32");
    QTest::newRow("animated cursor") << QStringList{QStringLiteral("--ani")} << QStringLiteral("animated cursor") << square << fullSize;
    QTest::newRow("Linux cursor") << QStringList{QStringLiteral("--xcursor")} << QStringLiteral("Linux cursor") << square << fullSize;
}

// One line names what cannot be made and why; no file is left.
void tst_Cursors::hotSpotsOutsideThePictureAreRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, made);
    QFETCH(QString, first);
    QFETCH(QString, size);
    const QString cursor = path(QStringLiteral("outside"));
    const Run run = runConverter(options + QStringList{QStringLiteral("--hotspot"), QStringLiteral("64,0"),
                                                       path(QStringLiteral("square.png")), QStringLiteral("-o"), cursor});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().endsWith(QStringLiteral("Tervana cannot make the %1 of \"%2\": the hot spot 64,0 is not "
                                                            "within the picture, which is %3 pixels")
                                                 .arg(made, path(first), size)),
             qPrintable(run.errorLines.first()));
    QVERIFY(!QFileInfo::exists(cursor));
}

namespace {

// What libXcursor should read of an image: as readxcursor.cpp prints it.
QString xcursorLine(const QImage &icon, int side, QPoint hotSpot)
{
    quint32 hash = 2166136261u;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            for (int byte = 0; byte < 4; ++byte)
                hash = (hash ^ ((qPremultiply(icon.pixel(x, y)) >> (8 * byte)) & 0xFF)) * 16777619u;
    return QStringLiteral("%1 %1 %1 %2 %3 0 %4").arg(side).arg(hotSpot.x()).arg(hotSpot.y()).arg(hash, 8, 16, QLatin1Char('0'));
}

} // namespace

// libXcursor reads each image of a Linux cursor: its nominal size, its
// size, its hot spot, no delay, and the pixels of the icon of the same
// sizes, premultiplied. The picture is see-through and 64 x 48, its
// top-left corner (the hot spot) on the first row of its band.
void tst_Cursors::linuxCursorsAreReadByLibXcursor()
{
    const QString reader = QStringLiteral(XCURSOR_READER);
    if (reader.isEmpty())
        QSKIP_MISSING("libXcursor");
    const QString cursor = path(QStringLiteral("arrow"));
    const QString icon = path(QStringLiteral("arrow.ico"));
    const QString picture = path(QStringLiteral("clear.png"));
    QCOMPARE(runConverter({QStringLiteral("--xcursor"), picture, QStringLiteral("-o"), cursor}).exitCode, 0);
    QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("96,64,48,32,24"), picture, QStringLiteral("-o"), icon}).exitCode, 0);
    const QList<QPoint> hotSpots{{0, 11}, {0, 8}, {0, 6}, {0, 4}, {0, 3}};
    QImageReader images(icon);
    QStringList expected;
    for (int i = 0; i < hotSpots.size(); ++i) {
        QVERIFY(images.jumpToImage(i));
        const QImage image = images.read().convertToFormat(QImage::Format_ARGB32);
        expected << xcursorLine(image, image.width(), hotSpots[i]);
    }
    QCOMPARE(outputOf(reader, {cursor}).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

void tst_Cursors::animatedCursorsShowEachFrameForItsTime_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("frames");         // the picture each stored frame is the cursor of
    QTest::addColumn<QList<quint32>>("jiffies");     // each step's, or the one for all
    QTest::addColumn<QList<quint32>>("sequence");    // empty when the frames show once each, in order
    QTest::newRow("pictures, a time each") << QStringList{QStringLiteral("square.png"), QStringLiteral("small.png")}
                                           << QStringList{QStringLiteral("--delay"), QStringLiteral("50,100")}
                                           << QStringList{QStringLiteral("square.png"), QStringLiteral("small.png")}
                                           << QList<quint32>{3, 6} << QList<quint32>{};
    QTest::newRow("pictures, 100 ms each") << QStringList{QStringLiteral("small.png"), QStringLiteral("square.png"), QStringLiteral("small.png")}
                                           << QStringList{} << QStringList{QStringLiteral("small.png"), QStringLiteral("square.png")}
                                           << QList<quint32>{6} << QList<quint32>{0, 1, 0};
    // Pictures that show the same are one frame, whatever colour their clear
    // pixels hold.
    QTest::newRow("a picture again, other colours under its clear pixels")
        << QStringList{QStringLiteral("disc over green.png"), QStringLiteral("small.png"), QStringLiteral("disc over magenta.png")}
        << QStringList{} << QStringList{QStringLiteral("disc over green.png"), QStringLiteral("small.png")}
        << QList<quint32>{6} << QList<quint32>{0, 1, 0};
    if (!writeGif(path(QStringLiteral("anim.gif")), {QStringLiteral("red"), QStringLiteral("blue"), QStringLiteral("red")}, {200, 0, 1000})
        || !writeGif(path(QStringLiteral("red.gif")), {QStringLiteral("red")}, {100})
        || !writeGif(path(QStringLiteral("blue.gif")), {QStringLiteral("blue")}, {100})) {
        // The GIF rows need Pillow to write them; with it, they are there.
        QVERIFY2(python3WithPillow.isEmpty(), "Pillow did not write the GIFs");
        return;
    }
    // A GIF's 0 ms shows for 100 ms, as browsers show it; its third frame,
    // the first again, is stored once.
    QTest::newRow("a GIF's frames and times") << QStringList{QStringLiteral("anim.gif")} << QStringList{}
                                              << QStringList{QStringLiteral("red.gif"), QStringLiteral("blue.gif")}
                                              << QList<quint32>{12, 6, 60} << QList<quint32>{0, 1, 0};
    QTest::newRow("a GIF's frames, one time for all") << QStringList{QStringLiteral("anim.gif")}
                                                      << QStringList{QStringLiteral("--delay"), QStringLiteral("500")}
                                                      << QStringList{QStringLiteral("red.gif"), QStringLiteral("blue.gif")}
                                                      << QList<quint32>{30} << QList<quint32>{0, 1, 0};
}

// Each frame of an animated cursor is exactly the cursor --cursor makes of
// its picture, stored once; each step shows for its time in jiffies.
void tst_Cursors::animatedCursorsShowEachFrameForItsTime()
{
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, options);
    QFETCH(QStringList, frames);
    QFETCH(QList<quint32>, jiffies);
    QFETCH(QList<quint32>, sequence);
    QStringList paths;
    for (const QString &input : inputs)
        paths << path(input);
    const QString animated = path(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ani"));
    const Run made = runConverter(QStringList{QStringLiteral("--ani")} + options + paths + QStringList{QStringLiteral("-o"), animated});
    QVERIFY2(made.exitCode == 0, qPrintable(made.errorLines.join(QLatin1Char('\n'))));
    const AniContents contents = aniContents(readFile(animated));
    const quint32 steps = quint32(sequence.isEmpty() ? frames.size() : sequence.size());
    QCOMPARE(contents.header, (QList<quint32>{36, quint32(frames.size()), steps, 0, 0, 0, 0, jiffies.first(),
                                              sequence.isEmpty() ? 1u : 3u}));
    QCOMPARE(contents.rates, jiffies.size() > 1 ? jiffies : QList<quint32>{});
    QCOMPARE(contents.sequence, sequence);
    QCOMPARE(contents.frames.size(), frames.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QString still = path(QStringLiteral("still-%1.cur").arg(i));
        QCOMPARE(runConverter({QStringLiteral("--cursor"), path(frames[i]), QStringLiteral("-o"), still}).exitCode, 0);
        QVERIFY2(contents.frames[i] == readFile(still), qPrintable(frames[i]));
    }
}

// A GIF of more frames than are read gets one line, and no file.
void tst_Cursors::animationsTooLongAreRefused()
{
    QStringList colours;
    QList<int> times;
    for (int i = 0; i < 1001; ++i) {
        colours << (i % 2 ? QStringLiteral("red") : QStringLiteral("blue"));
        times << 20;
    }
    if (!writeGif(path(QStringLiteral("long.gif")), colours, times))
        QSKIP_MISSING("Pillow");
    const QString animated = path(QStringLiteral("long.ani"));
    const Run run = runConverter({QStringLiteral("--ani"), path(QStringLiteral("long.gif")), QStringLiteral("-o"), animated});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().contains(QStringLiteral("too many frames (1001; at most 1000 are read)")), qPrintable(run.errorLines.first()));
    QVERIFY(!QFileInfo::exists(animated));
}

QTEST_MAIN(tst_Cursors)
#include "tst_cursors.moc"
