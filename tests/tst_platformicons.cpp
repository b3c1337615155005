// Other platforms' icons from the converter: a macOS icon family (--icns)
// holds a PNG of each size macOS asks for, made as --sizes makes them, and
// Pillow and icns2png read every one with the same pixels; icon families of
// every kind Tervana reads are listed, extracted and converted.

#include "picturetestutils.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

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
    void everyIconOfAProgramIsWhatItsOwnOptionWrites();
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
        QCOMPARE(QImage::fromData(elements.last().data, "PNG").convertToFormat(QImage::Format_ARGB32), withAlpha(16));
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
                                   + element("ic04", "ARGB" + runs(planes(sixteen, true))) + element("icp5", png)
                                   + element("ic09", QByteArray("\0\0\0\x0cjP  \r\n\x87\n", 12) + QByteArray(40, 'j')))));
    const Run listed = runConverter({QStringLiteral("--list"), icns});
    QCOMPARE(listed.exitCode, 0);
    const QStringList lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("%1: macOS icon, 5 elements").arg(icns));
    QVERIFY2(lines.value(5).startsWith(QStringLiteral("5: ic09, 512 x 512, JPEG 2000, not read, ")), qPrintable(lines.value(5)));
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
// the files --sizes windows, --icns, --theme and --favicon write of them,
// each in its platform's folder, and prints them and the web's <link>
// lines. All are the same bytes but the web's favicon.ico, whose 32 and 48
// --favicon draws from a reading for 48, not for 1024: they show the same.
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
            + colour};
    QVERIFY(alone.mkpath(QStringLiteral("windows")) && alone.mkpath(QStringLiteral("macos")));
    QStringList expected;
    for (const QStringList &options : own) {
        const Run made = runConverter(options + pictures);
        QCOMPARE(made.exitCode, 0);
        expected << made.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList files;
    for (const QString &written : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!written.startsWith(QLatin1Char('<'))) // the lines of a page's head
            files << all.relativeFilePath(written);
    QCOMPARE(files.size(), 19);
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

QTEST_MAIN(tst_PlatformIcons)
#include "tst_platformicons.moc"
