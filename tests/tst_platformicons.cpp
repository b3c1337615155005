// Other platforms' icons from the converter: a macOS icon family (--icns)
// holds a PNG of each size macOS asks for, made as --sizes makes them, and
// Pillow and icns2png read every one with the same pixels; icon families of
// every kind Tervana reads are listed, extracted and converted.

#include "picturetestutils.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>

using namespace testutils;

namespace {

const QStringList pngTypes{QStringLiteral("ic10"), QStringLiteral("ic09"), QStringLiteral("ic14"), QStringLiteral("ic08"),
                           QStringLiteral("ic13"), QStringLiteral("ic07"), QStringLiteral("ic12"), QStringLiteral("icp5"),
                           QStringLiteral("ic11"), QStringLiteral("icp4")};
const QList<int> pngSides{1024, 512, 512, 256, 256, 128, 64, 32, 32, 16};

struct Element
{
    QString type;
    QByteArray data;
};

// The elements of an icon family: type, then big-endian length, then data.
QList<Element> elementsOf(const QByteArray &file)
{
    QList<Element> elements;
    for (qsizetype at = 8; at + 8 <= file.size();) {
        const qsizetype length = qFromBigEndian<quint32>(file.constData() + at + 4);
        if (length < 8)
            break;
        elements.push_back({QString::fromLatin1(file.mid(at, 4)), file.mid(at + 8, length - 8)});
        at += length;
    }
    return elements;
}

QByteArray element(const char *type, const QByteArray &data)
{
    QByteArray length(4, '\0');
    qToBigEndian(quint32(data.size() + 8), length.data());
    return QByteArray(type) + length + data;
}

QByteArray family(const QByteArray &elements)
{
    QByteArray length(4, '\0');
    qToBigEndian(quint32(elements.size() + 8), length.data());
    return QByteArray("icns") + length + elements;
}

// Run-length codes of `bytes`: runs of 3 to 130 alike, else literal runs.
QByteArray runs(const QByteArray &bytes)
{
    QByteArray out;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype same = 1;
        while (at + same < bytes.size() && same < 130 && bytes[at + same] == bytes[at])
            ++same;
        if (same >= 3) {
            out += char(same + 125);
            out += bytes[at];
            at += same;
            continue;
        }
        const qsizetype literal = std::min<qsizetype>(128, bytes.size() - at);
        out += char(literal - 1);
        out += bytes.mid(at, literal);
        at += literal;
    }
    return out;
}

// The planes of an image: alpha (when asked), red, green, blue.
QByteArray planes(const QImage &image, bool alpha)
{
    QByteArray out;
    for (int channel = alpha ? 0 : 1; channel < 4; ++channel)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                out += char(channel == 0 ? qAlpha(pixel) : channel == 1 ? qRed(pixel) : channel == 2 ? qGreen(pixel) : qBlue(pixel));
            }
    return out;
}

// An image as "SIDE MD5" of its RGBA bytes, as the readers' lines say it.
QString pixelsLine(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const QByteArray bytes(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    return QStringLiteral("%1 %2").arg(rgba.width()).arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));
}

// Whether two images show the same: their sizes, and every pixel but those
// both leave wholly transparent, whose colour shows nowhere.
bool showTheSame(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (p != q && (qAlpha(p) || qAlpha(q)))
                return false;
        }
    return true;
}

QImage withAlpha(int side)
{
    QImage image = patternImage(side, side).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | (quint32((x * 37 + y * 11) % 256) << 24));
    return image;
}

// The images of an icon by their side, as --extract writes them: each
// exactly as stored, alpha and all.
QMap<int, QImage> extractedImages(const QString &icon, const QString &folder)
{
    QMap<int, QImage> images;
    QDir().mkpath(folder);
    if (runConverter({QStringLiteral("--extract"), icon, QStringLiteral("-d"), folder}).exitCode != 0)
        return images;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        const QImage image = QImage(QDir(folder).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        images.insert(image.width(), image);
    }
    return images;
}

} // namespace

class tst_PlatformIcons : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void iconFamiliesHoldEverySize_data();
    void iconFamiliesHoldEverySize();
    void otherReadersSeeTheSamePixels();
    void everyKindOfFamilyIsRead();
    void damagedFamiliesAreNamed();
    void jpeg2000ElementsAreRead();
    void everyIconOfAProgramIsWhatItsOwnOptionWrites();
    void phoneAndStoreSetsHoldTheirSizes_data();
    void phoneAndStoreSetsHoldTheirSizes();
    void androidsLayersKeepToTheirShapes();
    void theBackgroundPictureIsNeverReplaced();
    void iconsetIsTheFamilysImages();
};

void tst_PlatformIcons::initTestCase()
{
    QVERIFY(saveImage(patternImage(200, 120), path(QStringLiteral("wide.png")), "PNG"));
    QVERIFY(saveImage(withAlpha(16), path(QStringLiteral("hand16.png")), "PNG"));
    QVERIFY(writeFile(path(QStringLiteral("logo.svg")),
                      "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                      "<circle cx='32' cy='32' r='28' fill='#2a6fdb'/><rect x='20' y='8' width='9' height='40'/></svg>"));
}

void tst_PlatformIcons::iconFamiliesHoldEverySize_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("a picture") << QStringList{QStringLiteral("--icns"), path(QStringLiteral("wide.png"))};
    QTest::newRow("a drawing, by the output's name") << QStringList{path(QStringLiteral("logo.svg"))};
    QTest::newRow("a drawing and a hand-drawn 16") << QStringList{QStringLiteral("--icns"), path(QStringLiteral("logo.svg")),
                                                                  path(QStringLiteral("hand16.png"))};
}

// Each PNG type macOS reads, largest first, each its size, with the pixels
// --sizes gives that size (up to 256, the largest an icon holds); a
// hand-drawn size is its picture as it is.
void tst_PlatformIcons::iconFamiliesHoldEverySize()
{
    QFETCH(QStringList, arguments);
    const QString icns = path(QStringLiteral("made.icns"));
    const QString icon = path(QStringLiteral("made.ico"));
    const Run run = runConverter(arguments + QStringList{QStringLiteral("-o"), icns});
    QVERIFY2(run.exitCode == 0 && run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    QStringList inputs = arguments;
    inputs.removeAll(QStringLiteral("--icns"));
    QCOMPARE(runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("256,128,64,32,16")} + inputs
                          + QStringList{QStringLiteral("-o"), icon}).exitCode, 0);
    const QMap<int, QImage> iconImages = extractedImages(icon, path(QStringLiteral("parts of ") + QLatin1String(QTest::currentDataTag())));
    const QList<Element> elements = elementsOf(readFile(icns));
    QStringList types;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        types << elements[i].type;
        const QImage image = QImage::fromData(elements[i].data, "PNG").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(pngSides.value(i), pngSides.value(i)));
        if (iconImages.contains(image.width()))
            QVERIFY2(showTheSame(image, iconImages.value(image.width())), qPrintable(elements[i].type));
    }
    QCOMPARE(types, pngTypes);
    if (inputs.contains(path(QStringLiteral("hand16.png"))))
        QCOMPARE(QImage::fromData(elements.last().data, "PNG").convertToFormat(QImage::Format_ARGB32), storedAsItIs(withAlpha(16)));
}

// Pillow and icns2png (libicns) read each element of a family made of a
// see-through picture with the pixels its PNG holds.
void tst_PlatformIcons::otherReadersSeeTheSamePixels()
{
    const QString icns = path(QStringLiteral("seen.icns"));
    QVERIFY(saveImage(withAlpha(300), path(QStringLiteral("clear.png")), "PNG"));
    QCOMPARE(runConverter({path(QStringLiteral("clear.png")), QStringLiteral("-o"), icns}).exitCode, 0);
    QStringList expected;
    for (const Element &element : elementsOf(readFile(icns)))
        expected << pixelsLine(QImage::fromData(element.data, "PNG"));
    expected.removeDuplicates();
    expected.sort();
    if (python3WithPillow.isEmpty())
        QSKIP_MISSING("Pillow");
    const QString pillow = QStringLiteral(
        "import sys, hashlib\nfrom PIL import Image\n"
        "icns = Image.open(sys.argv[1])\n"
        "seen = set()\n"
        "for size in icns.info['sizes']:\n"
        "    icns.size = size\n"
        "    icns.load()\n"
        "    image = icns.convert('RGBA')\n"
        "    seen.add('%d %s' % (image.width, hashlib.md5(image.tobytes()).hexdigest()))\n"
        "print('\\n'.join(sorted(seen)))\n");
    QCOMPARE(outputOf(python3WithPillow, {QStringLiteral("-c"), pillow, icns}).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    if (icns2png.isEmpty())
        QSKIP_MISSING("icns2png (icnsutils)");
    const QString folder = path(QStringLiteral("icns2png"));
    QVERIFY(QDir().mkpath(folder));
    QProcess::execute(icns2png, {QStringLiteral("-x"), QStringLiteral("-o"), folder, icns});
    const QStringList written = QDir(folder).entryList(QDir::Files);
    QVERIFY2(!written.isEmpty(), "icns2png extracted nothing");
    for (const QString &name : written)
        QVERIFY2(expected.contains(pixelsLine(QImage(QDir(folder).filePath(name)))), qPrintable(name));
}

// A family of the oldest run-length pixels with their mask, ARGB pixels, a
// PNG and a JPEG 2000 stream (which is left out) is listed element by
// element, extracted pixel for pixel, and makes an icon whose sizes are
// those images as they are.
void tst_PlatformIcons::everyKindOfFamilyIsRead()
{
    const QImage sixteen = withAlpha(16);
    const QImage thirtyTwo = withAlpha(32);
    QImage opaque = patternImage(48, 48).convertToFormat(QImage::Format_ARGB32);
    const QByteArray mask = planes(withAlpha(48), true).left(48 * 48);
    QImage masked = opaque;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            masked.setPixel(x, y, (opaque.pixel(x, y) & 0xFFFFFF) | (quint32(uchar(mask[y * 48 + x])) << 24));
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && thirtyTwo.save(&buffer, "PNG"));
    const QString icns = path(QStringLiteral("old.icns"));
    QVERIFY(writeFile(icns, family(element("ih32", runs(planes(opaque, false))) + element("h8mk", mask)
                                   + element("ic04", "ARGB" + runs(planes(sixteen, true))) + element("icp5", png))));
    const Run listed = runConverter({QStringLiteral("--list"), icns});
    QCOMPARE(listed.exitCode, 0);
    const QStringList lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("%1: macOS icon, 4 elements").arg(icns));
    QVERIFY2(lines.value(1).startsWith(QStringLiteral("1: ih32, 48 x 48, run-length RGB, ")) && lines.value(2).startsWith(QStringLiteral("2: h8mk, 48 x 48, 8-bit mask, "))
                 && lines.value(3).startsWith(QStringLiteral("3: ic04, 16 x 16, ARGB, ")) && lines.value(4).startsWith(QStringLiteral("4: icp5, 32 x 32, PNG, ")),
             qPrintable(lines.join(QLatin1Char('\n'))));
    const QString folder = path(QStringLiteral("old parts"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(runConverter({QStringLiteral("--extract"), icns, QStringLiteral("-d"), folder}).exitCode, 0);
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("old-16x16-ic04.png"), QStringLiteral("old-32x32-icp5.png"), QStringLiteral("old-48x48-ih32.png")}));
    QCOMPARE(QImage(QDir(folder).filePath(QStringLiteral("old-48x48-ih32.png"))).convertToFormat(QImage::Format_ARGB32), masked);
    QCOMPARE(QImage(QDir(folder).filePath(QStringLiteral("old-16x16-ic04.png"))).convertToFormat(QImage::Format_ARGB32), sixteen);
    const QString icon = path(QStringLiteral("old.ico"));
    QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("48,32,16"), icns, QStringLiteral("-o"), icon}).exitCode, 0);
    const QMap<int, QImage> images = extractedImages(icon, path(QStringLiteral("old icon parts")));
    QCOMPARE(images.keys(), (QList<int>{16, 32, 48}));
    QVERIFY(showTheSame(images.value(48), masked) && showTheSame(images.value(32), thirtyTwo) && showTheSame(images.value(16), sixteen));
}

// An element past the end, or one whose run-length pixels fall short, is
// named in one line, and nothing is made of it.
void tst_PlatformIcons::damagedFamiliesAreNamed()
{
    const QByteArray whole = family(element("ic04", "ARGB" + runs(planes(withAlpha(16), true))));
    QByteArray pastTheEnd = whole;
    qToBigEndian(quint32(5000), pastTheEnd.data() + 12);
    QVERIFY(writeFile(path(QStringLiteral("past.icns")), pastTheEnd));
    const Run listed = runConverter({QStringLiteral("--list"), path(QStringLiteral("past.icns"))});
    QCOMPARE(listed.exitCode, 1);
    QCOMPARE(listed.errorLines.size(), 1);
    QVERIFY2(listed.errorLines.first().endsWith(QStringLiteral("is damaged: the element \"ic04\" at byte 8 runs past the end of the file.")),
             qPrintable(listed.errorLines.first()));
    QVERIFY(writeFile(path(QStringLiteral("short.icns")), family(element("ic04", "ARGB" + runs(planes(withAlpha(16), true)).left(100)))));
    const Run converted = runConverter({path(QStringLiteral("short.icns")), QStringLiteral("-o"), path(QStringLiteral("short.ico"))});
    QCOMPARE(converted.exitCode, 1);
    QVERIFY2(converted.errorLines.value(0).contains(QStringLiteral("whose pixels are not whole")), qPrintable(converted.errorLines.value(0)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("short.ico"))));
    QVERIFY(writeFile(path(QStringLiteral("junk.icns")), family(element("ic09", QByteArray("\0\0\0\x0cjP  \r\n\x87\n", 12) + QByteArray(40, 'j')))));
    const Run junk = runConverter({QStringLiteral("--icns"), path(QStringLiteral("junk.icns")), QStringLiteral("-o"), path(QStringLiteral("junk.ico"))});
    QCOMPARE(junk.exitCode, 1);
    QVERIFY2(junk.errorLines.value(0).contains(QStringLiteral("holds an element \"ic09\" whose JPEG 2000 image is damaged")),
             qPrintable(junk.errorLines.value(0)));
}

// The large sizes older tools store as JPEG 2000 (icnsutils' png2icns: 256
// and 512) are listed with their size, extracted as stored (losslessly
// here), and an icon family made of the family keeps them, not the 128
// enlarged.
void tst_PlatformIcons::jpeg2000ElementsAreRead()
{
    const QString png2icns = icns2png.isEmpty() ? QString() : QFileInfo(icns2png).dir().filePath(QStringLiteral("png2icns"));
    if (png2icns.isEmpty() || !QFileInfo(png2icns).isExecutable())
        QSKIP_MISSING("png2icns (icnsutils)");
    const QString folder = path(QStringLiteral("jpeg2000"));
    QVERIFY(QDir().mkpath(folder));
    QStringList arguments{QDir(folder).filePath(QStringLiteral("old.icns"))};
    for (int side : {128, 256, 512}) {
        arguments << QDir(folder).filePath(QStringLiteral("p%1.png").arg(side));
        QVERIFY(saveImage(withAlpha(side), arguments.last(), "PNG"));
    }
    QProcess maker;
    maker.start(png2icns, arguments);
    QVERIFY(maker.waitForFinished(30000) && maker.exitCode() == 0);
    const Run listed = runConverter({QStringLiteral("--list"), arguments.first()});
    QVERIFY2(listed.out.contains(QStringLiteral(": ic08, 256 x 256, JPEG 2000, ")) && listed.out.contains(QStringLiteral(": ic09, 512 x 512, JPEG 2000, ")),
             qPrintable(listed.out));
    const QMap<int, QImage> stored = extractedImages(arguments.first(), QDir(folder).filePath(QStringLiteral("parts")));
    QCOMPARE(stored.keys(), (QList<int>{128, 256, 512}));
    for (int side : {256, 512})
        QVERIFY2(showTheSame(stored.value(side), withAlpha(side)), qPrintable(QString::number(side)));
    const QString remade = QDir(folder).filePath(QStringLiteral("new.icns"));
    QCOMPARE(runConverter({QStringLiteral("--icns"), arguments.first(), QStringLiteral("-o"), remade}).exitCode, 0);
    for (const Element &element : elementsOf(readFile(remade)))
        if (element.type == QLatin1String("ic08") || element.type == QLatin1String("ic09"))
            QVERIFY2(showTheSame(QImage::fromData(element.data).convertToFormat(QImage::Format_ARGB32), stored.value(element.type == QLatin1String("ic08") ? 256 : 512)),
                     qPrintable(element.type));
}

// Whether two images show the same within 2 levels of each premultiplied
// channel: a pixel nearly clear may differ in colour that shows nowhere.
bool showNearlyTheSame(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = qPremultiply(a.pixel(x, y));
            const QRgb q = qPremultiply(b.pixel(x, y));
            for (int shift : {0, 8, 16, 24})
                if (std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)) > 2)
                    return false;
        }
    return true;
}

// --app-icons writes, from one reading of a drawing and a hand-drawn 16,
// the files --sizes windows, --icns, --theme, --favicon, --android, --ios
// and --msix write of them, each in its platform's folder, and prints them,
// the web's <link> lines and the package's lines. All are the same bytes
// but the web's favicon.ico, whose 32 and 48 --favicon draws from a reading
// for 48, not for 1024: they show the same.
void tst_PlatformIcons::everyIconOfAProgramIsWhatItsOwnOptionWrites()
{
    const QStringList pictures{path(QStringLiteral("logo.svg")), path(QStringLiteral("hand16.png"))};
    const QStringList colour{QStringLiteral("--background"), QStringLiteral("#204080")};
    const QDir all(path(QStringLiteral("all")));
    const Run run = runConverter(QStringList{QStringLiteral("--app-icons"), all.path(), QStringLiteral("--name"), QStringLiteral("app")}
                                 + colour + pictures);
    QVERIFY2(run.exitCode == 0 && run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const QDir alone(path(QStringLiteral("alone")));
    QVERIFY(alone.mkpath(QStringLiteral("linux")));
    const QList<QStringList> own{
        QStringList{QStringLiteral("--sizes"), QStringLiteral("windows"), QStringLiteral("-o"), alone.filePath(QStringLiteral("windows/app.ico"))},
        QStringList{QStringLiteral("--icns"), QStringLiteral("-o"), alone.filePath(QStringLiteral("macos/app.icns"))},
        QStringList{QStringLiteral("--theme"), alone.filePath(QStringLiteral("linux")), QStringLiteral("--name"), QStringLiteral("app")},
        QStringList{QStringLiteral("--favicon"), alone.filePath(QStringLiteral("web")), QStringLiteral("--name"), QStringLiteral("app")}
            + colour,
        QStringList{QStringLiteral("--android"), alone.filePath(QStringLiteral("android"))} + colour,
        QStringList{QStringLiteral("--ios"), alone.filePath(QStringLiteral("ios"))} + colour,
        QStringList{QStringLiteral("--msix"), alone.filePath(QStringLiteral("msix")), QStringLiteral("--name"), QStringLiteral("app")}
            + colour};
    QVERIFY(alone.mkpath(QStringLiteral("windows")) && alone.mkpath(QStringLiteral("macos")));
    QStringList lines;
    for (const QStringList &options : own) {
        const Run made = runConverter(options + pictures);
        QCOMPARE(made.exitCode, 0);
        for (const QString &line : made.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.trimmed().startsWith(QLatin1Char('<')))
                lines << line;
    }
    QStringList files;
    for (const QString &written : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!written.trimmed().startsWith(QLatin1Char('<'))) // the lines of a page's head, or a package's
            files << all.relativeFilePath(written);
    QStringList expected;
    QDirIterator made(alone.path(), QDir::Files, QDirIterator::Subdirectories);
    while (made.hasNext())
        expected << alone.relativeFilePath(made.next());
    expected.sort();
    files.sort();
    QCOMPARE(files, expected);
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(files.size()), lines);
    for (const QString &file : files)
        QVERIFY2(file == QLatin1String("web/favicon.ico")
                     || (readFile(all.filePath(file)) == readFile(alone.filePath(file)) && !readFile(all.filePath(file)).isEmpty()),
                 qPrintable(file));
    const QMap<int, QImage> once = extractedImages(all.filePath(QStringLiteral("web/favicon.ico")), path(QStringLiteral("once")));
    const QMap<int, QImage> twice = extractedImages(alone.filePath(QStringLiteral("web/favicon.ico")), path(QStringLiteral("twice")));
    QCOMPARE(once.keys(), (QList<int>{16, 32, 48}));
    for (int side : once.keys())
        QVERIFY2(showNearlyTheSame(once.value(side), twice.value(side)), qPrintable(QString::number(side)));
    QVERIFY(run.out.contains(QStringLiteral("<link rel=\"manifest\" href=\"/site.webmanifest\">")));
}

// The sizes of a platform's images, as its own documentation lists them,
// by file name.
using Sizes = QMap<QString, QSize>;

Sizes squares(const QString &pattern, const QList<int> &sides)
{
    Sizes sizes;
    for (int side : sides)
        sizes.insert(pattern.arg(side), QSize(side, side));
    return sizes;
}

Sizes androidSizes()
{
    Sizes sizes{{QStringLiteral("ic_launcher-playstore.png"), QSize(512, 512)}};
    const QStringList densities{"mdpi", "hdpi", "xhdpi", "xxhdpi", "xxxhdpi"};
    const QList<int> legacy{48, 72, 96, 144, 192};
    const QList<int> layers{108, 162, 216, 324, 432};
    for (int i = 0; i < densities.size(); ++i)
        for (const char *name : {"ic_launcher", "ic_launcher_round", "ic_launcher_foreground", "ic_launcher_monochrome"}) {
            const int side = QByteArray(name).contains("ground") || QByteArray(name).contains("mono") ? layers[i] : legacy[i];
            sizes.insert(QStringLiteral("res/mipmap-%1/%2.png").arg(densities[i], QLatin1String(name)), QSize(side, side));
        }
    return sizes;
}

Sizes msixSizes()
{
    Sizes sizes;
    const QList<int> scales{100, 125, 150, 200, 400};
    const QMap<QString, QList<QSize>> logos{
        {"Square44x44Logo", {{44, 44}, {55, 55}, {66, 66}, {88, 88}, {176, 176}}},
        {"Square71x71Logo", {{71, 71}, {89, 89}, {107, 107}, {142, 142}, {284, 284}}},
        {"Square150x150Logo", {{150, 150}, {188, 188}, {225, 225}, {300, 300}, {600, 600}}},
        {"Wide310x150Logo", {{310, 150}, {388, 188}, {465, 225}, {620, 300}, {1240, 600}}},
        {"Square310x310Logo", {{310, 310}, {388, 388}, {465, 465}, {620, 620}, {1240, 1240}}},
        {"StoreLogo", {{50, 50}, {63, 63}, {75, 75}, {100, 100}, {200, 200}}}};
    for (auto logo = logos.begin(); logo != logos.end(); ++logo)
        for (int i = 0; i < scales.size(); ++i)
            sizes.insert(QStringLiteral("Assets/%1.scale-%2.png").arg(logo.key()).arg(scales[i]), logo.value()[i]);
    sizes.insert(squares(QStringLiteral("Assets/Square44x44Logo.targetsize-%1.png"), {16, 24, 32, 48, 256}));
    sizes.insert(squares(QStringLiteral("Assets/Square44x44Logo.targetsize-%1_altform-unplated.png"), {16, 24, 32, 48, 256}));
    return sizes;
}

Sizes iconsetSizes()
{
    Sizes sizes;
    for (int points : {16, 32, 128, 256, 512}) {
        sizes.insert(QStringLiteral("icon_%1x%1.png").arg(points), QSize(points, points));
        sizes.insert(QStringLiteral("icon_%1x%1@2x.png").arg(points), QSize(2 * points, 2 * points));
    }
    return sizes;
}

// Whether a PNG's pixels have no alpha channel (colour type 2, RGB), as
// stores ask of opaque icons, and say they are sRGB.
bool isOpaqueSrgbPng(const QByteArray &png)
{
    return png.size() > 25 && png[25] == 2 && png.contains("iCCP") && QImage::fromData(png).colorSpace() == QColorSpace::SRgb;
}

void tst_PlatformIcons::phoneAndStoreSetsHoldTheirSizes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Sizes>("sizes");
    QTest::addColumn<QStringList>("opaque"); // how the names of the opaque images begin
    QTest::addColumn<QString>("printed");
    const QStringList colour{QStringLiteral("--background"), QStringLiteral("#204080")};
    QTest::newRow("Android") << QStringList{QStringLiteral("--android"), QStringLiteral("set")} + colour + QStringList{path(QStringLiteral("logo.svg"))}
                             << androidSizes() << QStringList{QStringLiteral("ic_launcher-playstore.png")} << QString();
    Sizes overPicture = androidSizes();
    for (const auto &[density, side] : {std::pair("mdpi", 108), {"hdpi", 162}, {"xhdpi", 216}, {"xxhdpi", 324}, {"xxxhdpi", 432}})
        overPicture.insert(QStringLiteral("res/mipmap-%1/ic_launcher_background.png").arg(QLatin1String(density)), QSize(side, side));
    QTest::newRow("Android over a picture") << QStringList{QStringLiteral("--android"), QStringLiteral("set"), QStringLiteral("--background-picture"),
                                                           path(QStringLiteral("wide.png")), path(QStringLiteral("logo.svg"))}
                                            << overPicture << QStringList{QStringLiteral("ic_launcher-playstore.png")} << QString();
    QTest::newRow("iOS, every size") << QStringList{QStringLiteral("--ios"), QStringLiteral("set"), QStringLiteral("--ios-all"), path(QStringLiteral("wide.png"))}
                                     << squares(QStringLiteral("AppIcon.appiconset/AppIcon-%1.png"), {20, 29, 40, 58, 60, 76, 80, 87, 120, 152, 167, 180, 1024})
                                     << QStringList{QStringLiteral("AppIcon")} << QString();
    QTest::newRow("iOS") << QStringList{QStringLiteral("--ios"), QStringLiteral("set"), path(QStringLiteral("logo.svg"))}
                         << squares(QStringLiteral("AppIcon.appiconset/AppIcon-%1.png"), {1024}) << QStringList{QStringLiteral("AppIcon")} << QString();
    // The title's markup escaped, its tab kept as a reference, its control
    // character (which XML cannot hold) left out.
    QTest::newRow("Windows package") << QStringList{QStringLiteral("--msix"), QStringLiteral("set"), QStringLiteral("--title"), QStringLiteral("Logo & <Co>\t\x01"),
                                                    path(QStringLiteral("logo.svg"))}
                                     << msixSizes() << QStringList{QStringLiteral("Assets/Wide310x150Logo.scale-")}
                                     << QStringLiteral("<uap:VisualElements DisplayName=\"Logo &amp; &lt;Co&gt;&#9;\"");
    QTest::newRow("macOS .iconset, by the output's name") << QStringList{path(QStringLiteral("logo.svg")), QStringLiteral("-o"), QStringLiteral("set.iconset")}
                                                          << iconsetSizes() << QStringList() << QString();
}

// Every image each platform's tools look for, at exactly its size, and no
// other; the opaque ones without an alpha channel; the text files naming
// only images of the set; what is printed.
void tst_PlatformIcons::phoneAndStoreSetsHoldTheirSizes()
{
    QFETCH(QStringList, arguments);
    QFETCH(Sizes, sizes);
    QFETCH(QStringList, opaque);
    QFETCH(QString, printed);
    const QString folder = folderForThisTest(m_dir);
    QVERIFY(QDir().mkpath(folder));
    RunSetting setting;
    setting.workingFolder = folder;
    const Run run = runConverter(arguments, setting);
    QVERIFY2(run.exitCode == 0 && run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const QDir set(QDir(folder).filePath(arguments.contains(QStringLiteral("-o")) ? QStringLiteral("set.iconset") : QStringLiteral("set")));
    QStringList images;
    QDirIterator files(set.path(), {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        images << set.relativeFilePath(files.next());
    images.sort();
    QCOMPARE(images, sizes.keys());
    for (const QString &name : images) {
        const QByteArray png = readFile(set.filePath(name));
        QCOMPARE(QImage::fromData(png).size(), sizes.value(name));
        const bool isOpaque = std::any_of(opaque.begin(), opaque.end(), [&name](const QString &start) { return name.startsWith(start); });
        QVERIFY2(isOpaqueSrgbPng(png) == isOpaque, qPrintable(name));
    }
    QVERIFY(printed.isEmpty() ? !run.out.contains(QLatin1Char('<')) : run.out.startsWith(printed));
    // Over a picture, Android's adaptive icon names its layer, covered
    // whole by the picture's middle, and no colour.
    if (arguments.contains(QStringLiteral("--background-picture"))) {
        QVERIFY(readFile(set.filePath(QStringLiteral("res/mipmap-anydpi-v26/ic_launcher.xml"))).contains("\"@mipmap/ic_launcher_background\""));
        QVERIFY(!QFileInfo::exists(set.filePath(QStringLiteral("res/values/ic_launcher_background.xml"))));
        const QImage layer(set.filePath(QStringLiteral("res/mipmap-mdpi/ic_launcher_background.png")));
        QCOMPARE(layer.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32), layer.convertToFormat(QImage::Format_ARGB32));
    }
    // Xcode's catalogue: each image it names is there, of the points and scale it gives.
    if (arguments.contains(QStringLiteral("--ios"))) {
        const QJsonObject contents = QJsonDocument::fromJson(readFile(set.filePath(QStringLiteral("AppIcon.appiconset/Contents.json")))).object();
        QCOMPARE(contents.value(QStringLiteral("info")).toObject(), (QJsonObject{{"author", "xcode"}, {"version", 1}}));
        const QJsonArray named = contents.value(QStringLiteral("images")).toArray();
        QCOMPARE(named.size(), arguments.contains(QStringLiteral("--ios-all")) ? 18 : 1);
        for (const QJsonValue &value : named) {
            const QJsonObject image = value.toObject();
            const double points = image.value(QStringLiteral("size")).toString().section(QLatin1Char('x'), 0, 0).toDouble();
            const int scale = image.value(QStringLiteral("scale")).toString(QStringLiteral("1x")).chopped(1).toInt();
            const QImage file(set.filePath(QStringLiteral("AppIcon.appiconset/") + image.value(QStringLiteral("filename")).toString()));
            QCOMPARE(file.size(), QSize(int(points * scale), int(points * scale)));
        }
    }
    // The package manifest's lines name the logos there are.
    for (const QRegularExpressionMatch &logo : QRegularExpression(QStringLiteral("=\"Assets\\\\([A-Za-z0-9]+)\\.png\"")).globalMatch(run.out))
        QVERIFY2(sizes.contains(QStringLiteral("Assets/%1.scale-100.png").arg(logo.captured(1))), qPrintable(logo.captured(1)));
    QCOMPARE(run.out.count(QStringLiteral("Assets\\")), printed.isEmpty() ? 0 : 5);
}

// Android's layers: the round icon clear outside its disc; the adaptive
// foreground's picture within the 66 dp circle every mask keeps, and no
// smaller than the square that circle holds; the monochrome layer the same
// shape, white. The adaptive icon's XML names only resources the set has,
// and Android's resource compiler takes every file.
void tst_PlatformIcons::androidsLayersKeepToTheirShapes()
{
    const QDir set(path(QStringLiteral("android")));
    // A square picture, opaque to its corners, which reach farthest.
    QVERIFY(saveImage(patternImage(120, 120), path(QStringLiteral("square.png")), "PNG"));
    const Run run = runConverter({QStringLiteral("--android"), set.path(), QStringLiteral("--background"), QStringLiteral("#204080"),
                                  path(QStringLiteral("square.png"))});
    QCOMPARE(run.exitCode, 0);
    for (const QString &density : {QStringLiteral("mdpi"), QStringLiteral("xxxhdpi")}) {
        const QDir mipmap(set.filePath(QStringLiteral("res/mipmap-") + density));
        const QImage round = QImage(mipmap.filePath(QStringLiteral("ic_launcher_round.png"))).convertToFormat(QImage::Format_ARGB32);
        const QImage foreground = QImage(mipmap.filePath(QStringLiteral("ic_launcher_foreground.png"))).convertToFormat(QImage::Format_ARGB32);
        const QImage monochrome = QImage(mipmap.filePath(QStringLiteral("ic_launcher_monochrome.png"))).convertToFormat(QImage::Format_ARGB32);
        QRect drawn;
        for (int y = 0; y < foreground.height(); ++y)
            for (int x = 0; x < foreground.width(); ++x) {
                const double fromCentre = std::hypot(x + 0.5 - foreground.width() / 2.0, y + 0.5 - foreground.height() / 2.0);
                const QRgb pixel = foreground.pixel(x, y);
                if (qAlpha(pixel)) {
                    drawn |= QRect(x, y, 1, 1);
                    QVERIFY2(fromCentre <= foreground.width() * 33.0 / 108.0, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                }
                QCOMPARE(qAlpha(monochrome.pixel(x, y)), qAlpha(pixel));
                QVERIFY(!qAlpha(pixel) || (monochrome.pixel(x, y) | 0xFF000000) == qRgb(255, 255, 255));
            }
        QVERIFY(drawn.width() >= foreground.width() * 0.40 && drawn.height() == drawn.width());
        // The round icon: nothing outside its disc, the background at its
        // edge, the picture the largest square the disc holds.
        const double radius = round.width() / 2.0;
        QRect picture;
        for (int y = 0; y < round.height(); ++y)
            for (int x = 0; x < round.width(); ++x) {
                const QRgb pixel = round.pixel(x, y);
                if (std::hypot(x + 0.5 - radius, y + 0.5 - radius) > radius + M_SQRT1_2)
                    QCOMPARE(qAlpha(pixel), 0);
                else if (qAlpha(pixel) == 255 && pixel != qRgb(0x20, 0x40, 0x80))
                    picture |= QRect(x, y, 1, 1);
            }
        QCOMPARE(round.pixel(int(radius), 1) | 0xFF000000, qRgb(0x20, 0x40, 0x80));
        QVERIFY2(picture.width() >= round.width() * 0.66, qPrintable(QString::number(picture.width())));
    }
    // The adaptive icon's references: each mipmap in every density, the colour in the values.
    const QByteArray adaptive = readFile(set.filePath(QStringLiteral("res/mipmap-anydpi-v26/ic_launcher.xml")));
    QCOMPARE(readFile(set.filePath(QStringLiteral("res/mipmap-anydpi-v26/ic_launcher_round.xml"))), adaptive);
    QStringList references;
    for (const QRegularExpressionMatch &match : QRegularExpression(QStringLiteral("@(mipmap|color)/([a-z_]+)")).globalMatch(QString::fromUtf8(adaptive)))
        references << match.captured(0);
    QCOMPARE(references, (QStringList{"@color/ic_launcher_background", "@mipmap/ic_launcher_foreground", "@mipmap/ic_launcher_monochrome"}));
    for (const char *density : {"mdpi", "hdpi", "xhdpi", "xxhdpi", "xxxhdpi"})
        for (const char *layer : {"ic_launcher_foreground", "ic_launcher_monochrome"})
            QVERIFY(QFileInfo::exists(set.filePath(QStringLiteral("res/mipmap-%1/%2.png").arg(QLatin1String(density), QLatin1String(layer)))));
    QVERIFY(readFile(set.filePath(QStringLiteral("res/values/ic_launcher_background.xml")))
                .contains("<color name=\"ic_launcher_background\">#204080</color>"));
    QSKIP_UNLESS_TOOL(aapt2);
    QProcess compiler;
    compiler.start(aapt2, {QStringLiteral("compile"), QStringLiteral("--dir"), set.filePath(QStringLiteral("res")), QStringLiteral("-o"),
                           path(QStringLiteral("compiled.zip"))});
    QVERIFY(compiler.waitForFinished(60000));
    QVERIFY2(compiler.exitCode() == 0, compiler.readAllStandardError().constData());
    QVERIFY(QFileInfo(path(QStringLiteral("compiled.zip"))).size() > 0);
}

// The background picture is one of the set's pictures: a set whose layer
// would replace it is refused, the picture left as it was.
void tst_PlatformIcons::theBackgroundPictureIsNeverReplaced()
{
    const QDir set(path(QStringLiteral("android over itself")));
    QVERIFY(set.mkpath(QStringLiteral("res/mipmap-mdpi")));
    const QString layer = set.filePath(QStringLiteral("res/mipmap-mdpi/ic_launcher_background.png"));
    QVERIFY(QFile::copy(path(QStringLiteral("wide.png")), layer));
    const Run run = runConverter({QStringLiteral("--android"), set.path(), QStringLiteral("--background-picture"), layer, path(QStringLiteral("logo.svg"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(readFile(layer), readFile(path(QStringLiteral("wide.png"))));
    QVERIFY(!QFileInfo::exists(set.filePath(QStringLiteral("res/mipmap-mdpi/ic_launcher.png"))));
}

// A macOS .iconset holds the images of the icon family of the same
// picture, as iconutil would pack them: each size the family's own PNG.
// Given back as a picture, the folder is its hand-drawn sizes, each kept
// as it is: the family made of it is the first one, byte for byte.
void tst_PlatformIcons::iconsetIsTheFamilysImages()
{
    const QString iconset = path(QStringLiteral("logo.iconset"));
    QCOMPARE(runConverter({QStringLiteral("--iconset"), iconset, path(QStringLiteral("logo.svg"))}).exitCode, 0);
    QCOMPARE(runConverter({path(QStringLiteral("logo.svg")), QStringLiteral("-o"), path(QStringLiteral("logo.icns"))}).exitCode, 0);
    const QMap<QString, QString> fileOfType{{"icp4", "icon_16x16.png"},         {"ic11", "icon_16x16@2x.png"},
                                            {"icp5", "icon_32x32.png"},         {"ic12", "icon_32x32@2x.png"},
                                            {"ic07", "icon_128x128.png"},       {"ic13", "icon_128x128@2x.png"},
                                            {"ic08", "icon_256x256.png"},       {"ic14", "icon_256x256@2x.png"},
                                            {"ic09", "icon_512x512.png"},       {"ic10", "icon_512x512@2x.png"}};
    const QList<Element> elements = elementsOf(readFile(path(QStringLiteral("logo.icns"))));
    QCOMPARE(elements.size(), fileOfType.size());
    for (const Element &element : elements)
        QVERIFY2(showTheSame(QImage::fromData(element.data).convertToFormat(QImage::Format_ARGB32),
                             QImage(QDir(iconset).filePath(fileOfType.value(element.type))).convertToFormat(QImage::Format_ARGB32)),
                 qPrintable(element.type));
    const QString back = path(QStringLiteral("back.icns"));
    QCOMPARE(runConverter({QStringLiteral("--icns"), iconset, QStringLiteral("-o"), back}).exitCode, 0);
    QCOMPARE(readFile(back), readFile(path(QStringLiteral("logo.icns"))));
    // Its pictures are the run's: a set written over them is refused.
    const QByteArray before = readFile(QDir(iconset).filePath(QStringLiteral("icon_16x16.png")));
    QCOMPARE(runConverter({QStringLiteral("--iconset"), iconset, iconset + QLatin1Char('/')}).exitCode, 1);
    QCOMPARE(runConverter({QStringLiteral("--icns"), iconset, QStringLiteral("-o"), QDir(iconset).filePath(QStringLiteral("icon_16x16.png"))}).exitCode, 1);
    QCOMPARE(readFile(QDir(iconset).filePath(QStringLiteral("icon_16x16.png"))), before);
    QVERIFY(QDir().mkpath(path(QStringLiteral("empty.iconset"))));
    const Run empty = runConverter({QStringLiteral("--icns"), path(QStringLiteral("empty.iconset")), QStringLiteral("-o"), back});
    QCOMPARE(empty.exitCode, 1);
    QVERIFY2(empty.errorLines.value(0).contains(QStringLiteral("holds no icon_16x16.png")), qPrintable(empty.errorLines.value(0)));
}

QTEST_MAIN(tst_PlatformIcons)
#include "tst_platformicons.moc"
