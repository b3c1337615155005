// A web site's icons from the converter (--favicon): the files the manifest
// and the link lines name, what --sizes makes, over the background where
// opaque, the maskable picture within the circle any mask keeps.

#include "picturetestutils.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
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

// The image of `side` in --sizes' icon of `inputs`, alpha and all, as
// --extract writes it (Qt's icon reader would apply the AND mask).
QImage fittedAs(const QStringList &inputs, int side)
{
    QTemporaryDir folder;
    const QString icon = folder.filePath(QStringLiteral("made.ico"));
    if (runConverter(QStringList{QStringLiteral("--sizes"), QString::number(side)} + inputs + QStringList{QStringLiteral("-o"), icon}).exitCode != 0
        || runConverter({QStringLiteral("--extract"), icon, QStringLiteral("-d"), folder.path()}).exitCode != 0)
        return QImage();
    return pngIn(folder.path(), QDir(folder.path()).entryList({QStringLiteral("*.png")}).value(0));
}

// A set made of `inputs`: its folder and the converter's run.
struct MadeSet
{
    QStringList inputs;
    QStringList options; // beyond --favicon and --background
    QString folder;
    Run run;
    // The app's name and short name, and the path its lines link the files under.
    QString name() const { return options.contains(QStringLiteral("--title")) ? QStringLiteral("Logo Maker Pro") : shortName(); }
    QString shortName() const { return options.contains(QStringLiteral("--name")) ? QStringLiteral("logo maker") : QFileInfo(inputs.first()).completeBaseName(); }
    QString servedAt() const { return options.contains(QStringLiteral("--web-path")) ? QStringLiteral("/static/icons/") : QStringLiteral("/"); }
    bool drawing() const { return inputs.first().endsWith(QStringLiteral(".svg")); }
    QString file(const QString &name) const { return QDir(folder).filePath(name); }
};

} // namespace

class tst_FaviconSet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QMap<QString, MadeSet> m_sets; // by the row that checks it
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void addSetRows();
    const MadeSet &setOfThisRow() const
    {
        QFETCH(QString, row);
        return m_sets.find(row).value();
    }

private slots:
    void initTestCase();
    void setHoldsEveryFile_data() { addSetRows(); }
    void setHoldsEveryFile();
    void picturesAreFittedAsSizesFitsThem_data() { addSetRows(); }
    void picturesAreFittedAsSizesFitsThem();
    void aFileThatCannotBeWrittenIsNamed_data();
    void aFileThatCannotBeWrittenIsNamed();
    void theSitesManifestIsMerged_data();
    void theSitesManifestIsMerged();
};

// Each set is made once, into a folder that is not there yet (made, as -d
// makes one, when the folder it would be in is there).
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
    m_sets.insert(QStringLiteral("a wide picture with transparency"), {{path(QStringLiteral("wide.png"))}, {}, {}, {}});
    m_sets.insert(QStringLiteral("a drawing"), {{path(QStringLiteral("logo.svg"))}, {}, {}, {}});
    m_sets.insert(QStringLiteral("a drawing and a hand-drawn 16, named and served under a path"),
                  {{path(QStringLiteral("logo.svg")), path(QStringLiteral("hand16.png"))},
                   {QStringLiteral("--name"), QStringLiteral("logo maker"), QStringLiteral("--title"), QStringLiteral("Logo Maker Pro"),
                    QStringLiteral("--web-path"), QStringLiteral("/static/icons")},
                   {},
                   {}});
    for (auto set = m_sets.begin(); set != m_sets.end(); ++set) {
        set->folder = path(set.key());
        set->run = runConverter(QStringList{QStringLiteral("--favicon"), set->folder, QStringLiteral("--background"), QStringLiteral("#204080")} + set->options + set->inputs);
        QVERIFY2(set->run.exitCode == 0 && set->run.errorLines.isEmpty(), qPrintable(set->run.errorLines.join(QLatin1Char('\n'))));
    }
}

void tst_FaviconSet::addSetRows()
{
    QTest::addColumn<QString>("row");
    for (const QString &row : m_sets.keys())
        QTest::newRow(qPrintable(row)) << row;
}

// The files of the set, icon.svg (the drawing's document) only of a
// drawing; the manifest names the PNGs, each its true size and type, the
// maskable one so marked; every link line names a file of the set.
void tst_FaviconSet::setHoldsEveryFile()
{
    const MadeSet &set = setOfThisRow();
    const QStringList expected = QStringList{QStringLiteral("apple-touch-icon.png"), QStringLiteral("favicon.ico"), QStringLiteral("icon-192.png"),
                                             QStringLiteral("icon-512.png"), QStringLiteral("icon-maskable-512.png")}
                                 + (set.drawing() ? QStringList{QStringLiteral("icon.svg")} : QStringList()) + QStringList{QStringLiteral("site.webmanifest")};
    QCOMPARE(QDir(set.folder).entryList(QDir::Files, QDir::Name), expected);
    if (set.drawing())
        QCOMPARE(readFile(set.file(QStringLiteral("icon.svg"))), readFile(set.inputs.first()));
    const QJsonObject manifest = QJsonDocument::fromJson(readFile(set.file(QStringLiteral("site.webmanifest")))).object();
    QCOMPARE(manifest.value(QStringLiteral("background_color")).toString() + manifest.value(QStringLiteral("theme_color")).toString(), QStringLiteral("#204080#204080"));
    QStringList named;
    for (const QJsonValue &value : manifest.value(QStringLiteral("icons")).toArray()) {
        const QJsonObject icon = value.toObject();
        const QImage image = pngIn(set.folder, icon.value(QStringLiteral("src")).toString());
        QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), icon.value(QStringLiteral("sizes")).toString());
        QCOMPARE(icon.value(QStringLiteral("type")).toString(), QStringLiteral("image/png"));
        named << icon.value(QStringLiteral("src")).toString() + QLatin1Char(' ') + icon.value(QStringLiteral("purpose")).toString();
    }
    QCOMPARE(named, (QStringList{QStringLiteral("icon-192.png any"), QStringLiteral("icon-512.png any"),
                                 QStringLiteral("icon-maskable-512.png maskable")}));
    // What a browser asks of an app it installs: a name, where it starts,
    // how it shows.
    QStringList app;
    for (const char *field : {"name", "short_name", "start_url", "display"})
        app << manifest.value(QLatin1String(field)).toString();
    QCOMPARE(app, (QStringList{set.name(), set.shortName(), QStringLiteral("/"), QStringLiteral("standalone")}));
    // The lines link the files under the path they are served under; the
    // manifest names its icons relative to itself.
    QStringList linked;
    const QString served = QRegularExpression::escape(set.servedAt());
    for (const QRegularExpressionMatch &match : QRegularExpression(QStringLiteral("^<link rel=\"[a-z-]+\" href=\"%1([^\"]+)\"[^>]*>$").arg(served),
                                                                   QRegularExpression::MultilineOption).globalMatch(set.run.out))
        linked << match.captured(1);
    // Each line links a file, but the last, which tints the browser's bar
    // as the manifest does.
    QCOMPARE(linked.size() + 1, set.run.out.count(QLatin1Char('\n')));
    QVERIFY(set.run.out.endsWith(QStringLiteral("<meta name=\"theme-color\" content=\"#204080\">\n")));
    QVERIFY(set.run.out.contains(QStringLiteral("<link rel=\"apple-touch-icon\" href=\"%1apple-touch-icon.png\" sizes=\"180x180\">").arg(set.servedAt())));
    for (const QString &name : linked)
        QVERIFY2(expected.contains(name), qPrintable(name));
    QCOMPARE(linked.contains(QStringLiteral("icon.svg")), set.drawing());
}

// favicon.ico is --sizes 48,32,16's icon byte for byte; icon-192.png the
// 192 image of --sizes 192; apple-touch-icon.png the 180 image over the
// background; the maskable icon opaque, the background wherever a mask may
// cut (farther than 40 % of the side from the centre), the picture as
// large as the square within that circle (289.6) allows.
void tst_FaviconSet::picturesAreFittedAsSizesFitsThem()
{
    const MadeSet &set = setOfThisRow();
    const QString reference = set.folder + QStringLiteral(".ico");
    QCOMPARE(runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("48,32,16")} + set.inputs + QStringList{QStringLiteral("-o"), reference}).exitCode, 0);
    QCOMPARE(readFile(set.file(QStringLiteral("favicon.ico"))), readFile(reference));
    QCOMPARE(pngIn(set.folder, QStringLiteral("icon-192.png")), fittedAs(set.inputs, 192));
    QVERIFY(isOverBackground(pngIn(set.folder, QStringLiteral("apple-touch-icon.png")), fittedAs(set.inputs, 180)));
    const QImage maskable = pngIn(set.folder, QStringLiteral("icon-maskable-512.png"));
    QVERIFY(opaqueOverBackground(maskable, [](int x, int y) { return std::hypot(x + 0.5 - 256, y + 0.5 - 256) > 0.4 * 512; }));
    const QSize extent = pictureExtent(maskable);
    QVERIFY2(std::max(extent.width(), extent.height()) >= 286, qPrintable(QStringLiteral("%1 x %2").arg(extent.width()).arg(extent.height())));
}

// A file of the set that cannot be written, or that is one of its
// pictures, is named, with why, in one line; no picture is replaced.
void tst_FaviconSet::aFileThatCannotBeWrittenIsNamed_data()
{
    QTest::addColumn<bool>("inputThere");
    QTest::addColumn<QString>("said");
    QTest::newRow("a folder") << false << "Tervana cannot write \"%1/icon-192.png\" for \"%2\": it is a folder.";
    QTest::newRow("the picture") << true << "Tervana will not write \"%1/icon-192.png\": it is the picture \"%2\".";
}

void tst_FaviconSet::aFileThatCannotBeWrittenIsNamed()
{
    QFETCH(bool, inputThere);
    QFETCH(QString, said);
    const QString folder = folderForThisTest(m_dir);
    const QString input = inputThere ? QDir(folder).filePath(QStringLiteral("icon-192.png")) : path(QStringLiteral("wide.png"));
    QVERIFY(inputThere ? QFile::copy(path(QStringLiteral("wide.png")), input) : QDir().mkpath(QDir(folder).filePath(QStringLiteral("icon-192.png"))));
    const Run run = runConverter({QStringLiteral("--favicon"), folder, input});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines, QStringList{QStringLiteral("tervana-convert: ") + said.arg(folder, input)});
    QVERIFY(run.out.isEmpty());
    if (inputThere)
        QCOMPARE(readFile(input), readFile(path(QStringLiteral("wide.png"))));
}

// A manifest edited by hand keeps its own fields; "icons" is the set's; the
// colours are replaced only when --background gives them. One that is no
// JSON object is left as it is, and the run says so.
void tst_FaviconSet::theSitesManifestIsMerged_data()
{
    QTest::addColumn<QByteArray>("earlier");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected"); // the manifest's fields besides "icons"; empty: left as it was
    const QByteArray edited = R"({"name": "My site", "short_name": "Site", "start_url": "/", "display": "standalone",
                                 "theme_color": "#112233", "icons": [{"src": "old.png"}]})";
    QTest::newRow("edited, no colour given")
        << edited << QStringList()
        << QByteArray(R"({"background_color":"#ffffff","display":"standalone","name":"My site","short_name":"Site","start_url":"/","theme_color":"#112233"})");
    QTest::newRow("edited, a colour given")
        << edited << QStringList{QStringLiteral("--background"), QStringLiteral("#204080")}
        << QByteArray(R"({"background_color":"#204080","display":"standalone","name":"My site","short_name":"Site","start_url":"/","theme_color":"#204080"})");
    QTest::newRow("no JSON object") << QByteArray("{\"name\": \"My site\",") << QStringList() << QByteArray();
}

void tst_FaviconSet::theSitesManifestIsMerged()
{
    QFETCH(QByteArray, earlier);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    const QString folder = folderForThisTest(m_dir);
    const QString manifest = QDir(folder).filePath(QStringLiteral("site.webmanifest"));
    QVERIFY(QDir().mkpath(folder) && writeFile(manifest, earlier));
    const Run run = runConverter(QStringList{QStringLiteral("--favicon"), folder} + options + QStringList{path(QStringLiteral("wide.png"))});
    QCOMPARE(run.exitCode, 0);
    if (expected.isEmpty()) {
        QCOMPARE(run.errorLines, QStringList{QStringLiteral("tervana-convert: \"%1\" is left as it is: the icons can be added only to a manifest (a JSON object) in a file Tervana can read.").arg(manifest)});
        QCOMPARE(readFile(manifest), earlier);
        return;
    }
    QJsonObject merged = QJsonDocument::fromJson(readFile(manifest)).object();
    QCOMPARE(merged.take(QStringLiteral("icons")).toArray().size(), 3);
    QCOMPARE(QJsonDocument(merged).toJson(QJsonDocument::Compact), expected);
}

QTEST_MAIN(tst_FaviconSet)
#include "tst_faviconset.moc"
