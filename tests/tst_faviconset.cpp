// A web site's icons from the converter (--favicon): every file the
// manifest and the link lines name is there with its true size and type,
// favicon.ico and the transparent PNGs are what --sizes makes, and the
// opaque icons lie over the background, the maskable one's picture within
// the circle any mask keeps.

#include "picturetestutils.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QMap>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

using namespace testutils;

namespace {

const QRgb background = qRgb(0x20, 0x40, 0x80);

QImage pngIn(const QString &folder, const QString &name)
{
    return QImage(QDir(folder).filePath(name), "PNG").convertToFormat(QImage::Format_ARGB32);
}

// Whether every pixel is opaque, and those of `outside` exactly the
// background.
bool opaqueOverBackground(const QImage &image, const std::function<bool(int, int)> &outside)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 255 || (outside(x, y) && image.pixel(x, y) != background))
                return false;
    return true;
}

// Whether `opaque` is `fitted` laid over the background: exactly where
// `fitted` is clear or opaque, within one level where Qt's blending rounds.
bool isOverBackground(const QImage &opaque, const QImage &fitted)
{
    const auto blend = [](int colour, int under, int alpha) { return (colour * alpha + under * (255 - alpha)) / 255.0; };
    for (int y = 0; y < fitted.height(); ++y)
        for (int x = 0; x < fitted.width(); ++x) {
            const QRgb p = fitted.pixel(x, y);
            const QRgb q = opaque.pixel(x, y);
            const int rounding = qAlpha(p) % 255 ? 1 : 0;
            if (qAlpha(q) != 255 || std::abs(qRed(q) - blend(qRed(p), 0x20, qAlpha(p))) > rounding
                || std::abs(qGreen(q) - blend(qGreen(p), 0x40, qAlpha(p))) > rounding
                || std::abs(qBlue(q) - blend(qBlue(p), 0x80, qAlpha(p))) > rounding)
                return false;
        }
    return opaque.size() == fitted.size();
}

// The width and height of what differs from the background.
QSize pictureExtent(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box.size();
}

} // namespace

class tst_FaviconSet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void setHoldsEveryFile_data();
    void setHoldsEveryFile();
    void aFileThatCannotBeWrittenIsNamed();
};

void tst_FaviconSet::initTestCase()
{
    QImage wide = patternImage(200, 120).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < wide.height(); ++y)
        for (int x = 0; x < wide.width(); ++x)
            wide.setPixel(x, y, (wide.pixel(x, y) & 0xFFFFFF) | (quint32(64 + (x * 3 + y) % 192) << 24));
    QVERIFY(saveImage(wide, path(QStringLiteral("wide.png")), "PNG"));
    QVERIFY(saveImage(patternImage(16, 16), path(QStringLiteral("hand16.png")), "PNG"));
    QVERIFY(writeFile(path(QStringLiteral("logo.svg")), "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                                                        "<rect width='64' height='64' fill='#2a6fdb'/><circle cx='32' cy='32' r='20' fill='#f0c020'/></svg>"));
}

void tst_FaviconSet::setHoldsEveryFile_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::newRow("a wide picture with transparency") << QStringList{path(QStringLiteral("wide.png"))};
    QTest::newRow("a drawing") << QStringList{path(QStringLiteral("logo.svg"))};
    QTest::newRow("a drawing and a hand-drawn 16") << QStringList{path(QStringLiteral("logo.svg")), path(QStringLiteral("hand16.png"))};
}

void tst_FaviconSet::setHoldsEveryFile()
{
    QFETCH(QStringList, inputs);
    // The folder is made, as -d makes one, when the folder it would be in is there.
    const QString folder = folderForThisTest(m_dir) + QStringLiteral("/site");
    const Run run = runConverter(QStringList{QStringLiteral("--favicon"), folder, QStringLiteral("--background"), QStringLiteral("#204080")} + inputs);
    QVERIFY2(run.exitCode == 0 && run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const bool drawing = inputs.first().endsWith(QStringLiteral(".svg"));
    QStringList expected{QStringLiteral("apple-touch-icon.png"), QStringLiteral("favicon.ico"), QStringLiteral("icon-192.png"),
                         QStringLiteral("icon-512.png"), QStringLiteral("icon-maskable-512.png"), QStringLiteral("site.webmanifest")};
    if (drawing)
        expected.insert(5, QStringLiteral("icon.svg"));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    if (drawing)
        QCOMPARE(readFile(QDir(folder).filePath(QStringLiteral("icon.svg"))), readFile(inputs.first()));

    // favicon.ico is --sizes 48,32,16's icon; icon-192.png the 192 image of
    // --sizes 192,180, alpha and all, and apple-touch-icon.png its 180 over
    // the background.
    const QString reference = path(QLatin1String(QTest::currentDataTag()) + QStringLiteral(".ico"));
    QCOMPARE(runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("48,32,16")} + inputs + QStringList{QStringLiteral("-o"), reference}).exitCode, 0);
    QCOMPARE(readFile(QDir(folder).filePath(QStringLiteral("favicon.ico"))), readFile(reference));
    const QString parts = folder + QStringLiteral("-192");
    QVERIFY(QDir().mkpath(parts));
    QCOMPARE(runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("192,180")} + inputs + QStringList{QStringLiteral("-o"), reference}).exitCode, 0);
    QCOMPARE(runConverter({QStringLiteral("--extract"), reference, QStringLiteral("-d"), parts}).exitCode, 0);
    QMap<int, QImage> sizes;
    for (const QString &name : QDir(parts).entryList(QDir::Files))
        sizes.insert(pngIn(parts, name).width(), pngIn(parts, name));
    QCOMPARE(pngIn(folder, QStringLiteral("icon-192.png")), sizes.value(192));
    QCOMPARE(pngIn(folder, QStringLiteral("icon-512.png")).size(), QSize(512, 512));

    QVERIFY(isOverBackground(pngIn(folder, QStringLiteral("apple-touch-icon.png")), sizes.value(180)));
    // The maskable icon: opaque, the background wherever a mask may cut
    // (farther than 40 % of the side from the centre), the picture as large
    // as the square within that circle (289.6) allows.
    const QImage maskable = pngIn(folder, QStringLiteral("icon-maskable-512.png"));
    QCOMPARE(maskable.size(), QSize(512, 512));
    QVERIFY(opaqueOverBackground(maskable, [](int x, int y) { return std::hypot(x + 0.5 - 256, y + 0.5 - 256) > 0.4 * 512; }));
    const QSize extent = pictureExtent(maskable);
    QVERIFY2(std::max(extent.width(), extent.height()) >= 286, qPrintable(QStringLiteral("%1 x %2").arg(extent.width()).arg(extent.height())));

    // The manifest and the link lines name files that are there, each its
    // size and type.
    const QJsonObject manifest = QJsonDocument::fromJson(readFile(QDir(folder).filePath(QStringLiteral("site.webmanifest")))).object();
    QCOMPARE(manifest.value(QStringLiteral("background_color")).toString(), QStringLiteral("#204080"));
    QCOMPARE(manifest.value(QStringLiteral("theme_color")).toString(), QStringLiteral("#204080"));
    QStringList named;
    for (const QJsonValue &value : manifest.value(QStringLiteral("icons")).toArray()) {
        const QJsonObject icon = value.toObject();
        const QImage image = pngIn(folder, icon.value(QStringLiteral("src")).toString());
        QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), icon.value(QStringLiteral("sizes")).toString());
        QCOMPARE(icon.value(QStringLiteral("type")).toString(), QStringLiteral("image/png"));
        named << icon.value(QStringLiteral("src")).toString() + QLatin1Char(' ') + icon.value(QStringLiteral("purpose")).toString();
    }
    QCOMPARE(named, (QStringList{QStringLiteral("icon-192.png "), QStringLiteral("icon-512.png "), QStringLiteral("icon-maskable-512.png maskable")}));
    QStringList linked;
    for (const QRegularExpressionMatch &match : QRegularExpression(QStringLiteral("^<link rel=\"[a-z-]+\" href=\"/([^\"]+)\"[^>]*>$"),
                                                                   QRegularExpression::MultilineOption).globalMatch(run.out))
        linked << match.captured(1);
    QCOMPARE(linked.size(), run.out.count(QLatin1Char('\n')));
    for (const QString &name : linked)
        QVERIFY2(expected.contains(name), qPrintable(name));
    QCOMPARE(linked.contains(QStringLiteral("icon.svg")), drawing);
}

// A file of the set that cannot be written is named, with why, in one line.
void tst_FaviconSet::aFileThatCannotBeWrittenIsNamed()
{
    const QString folder = folderForThisTest(m_dir);
    QVERIFY(QDir().mkpath(QDir(folder).filePath(QStringLiteral("icon-512.png"))));
    const Run run = runConverter({QStringLiteral("--favicon"), folder, path(QStringLiteral("wide.png"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines, QStringList{QStringLiteral("tervana-convert: Tervana cannot write \"%1/icon-512.png\" for \"%2\": it is a folder.")
                                             .arg(folder, path(QStringLiteral("wide.png")))});
    QVERIFY(run.out.isEmpty());
}

QTEST_MAIN(tst_FaviconSet)
#include "tst_faviconset.moc"
