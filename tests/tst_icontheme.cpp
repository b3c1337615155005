// A program's icon laid out as Linux desktops look it up (--theme DIR
// --name NAME): the hicolor folders of every size, each PNG the pixels
// --sizes gives that size, the drawing as scalable, beside the system's
// hicolor theme and the other programs' icons; found by Qt's and GTK's
// lookups and cached by GTK's tool; a file that cannot be written named in
// one line.

#include "picturetestutils.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QPainter>
#include <QStandardPaths>

using namespace testutils;

namespace {

const QList<int> themeSides{16, 22, 24, 32, 48, 64, 128, 256, 512};

// The files a theme run of the icon "app" writes into `icons`, in the order
// it prints them.
QStringList themeFiles(const QString &icons, bool drawing)
{
    QStringList files;
    for (int side : themeSides)
        files << QStringLiteral("%1/hicolor/%2x%2/apps/app.png").arg(icons).arg(side);
    if (drawing)
        files << icons + QStringLiteral("/hicolor/scalable/apps/app.svg");
    return files;
}

// The system's hicolor theme, whose index.theme desktops look every
// hicolor folder up through.
const QString systemIcons = QStringLiteral("/usr/share/icons");

// Other programs' icons, as packages install them into hicolor: NAME:SIZE
// and the folder under hicolor.
const QList<QPair<QString, QString>> otherIcons{{QStringLiteral("other-app:96"), QStringLiteral("96x96/apps")},
                                                {QStringLiteral("other-type:48"), QStringLiteral("48x48/mimetypes")},
                                                {QStringLiteral("other-status:64"), QStringLiteral("scalable/status")}};

// Every file under `folder`, sorted.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    files.sort();
    return files;
}

QImage pixelsOf(const QString &png)
{
    return QImage(png).convertToFormat(QImage::Format_ARGB32);
}

// A hand-drawn 16: every pixel its own colour and alpha.
QImage handDrawn16()
{
    QImage image = patternImage(16, 16).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | (quint32((x * 37 + y * 11) % 256) << 24));
    return image;
}

// The files GTK 3 takes for each NAME:SIZE asked, with `icons` and the
// system's icons on its search path; nothing when GTK cannot be asked.
std::optional<QStringList> gtkFinds(const QString &icons, const QStringList &asked)
{
    RunSetting gtk;
    gtk.executable = python3WithPillow.isEmpty() ? QStringLiteral("python3") : python3WithPillow;
    const Run run = runConverter(QStringList{QStringLiteral(TESTS_SOURCE_DIR "/icontheme/gtk_lookup.py"), icons, systemIcons,
                                             QStringLiteral("--")} + asked, gtk);
    if (run.exitCode == 77)
        return std::nullopt;
    return run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class tst_IconTheme : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static Run makeTheme(const QString &icons, const QStringList &inputs, const QStringList &options = {})
    {
        return runConverter(QStringList{QStringLiteral("--theme"), icons, QStringLiteral("--name"), QStringLiteral("app")}
                            + options + inputs);
    }

private slots:
    void initTestCase();
    void themeHoldsEverySize_data();
    void themeHoldsEverySize();
    void aFileThatCannotBeWrittenIsNamed();
    void desktopsFindEveryIcon_data();
    void desktopsFindEveryIcon();
    void gtkCachesTheTheme();
};

void tst_IconTheme::initTestCase()
{
    QImage wide = patternImage(200, 120);
    QPainter(&wide).fillRect(20, 20, 40, 30, Qt::black);
    QVERIFY(saveImage(wide, path(QStringLiteral("wide.png")), "PNG"));
    QVERIFY(saveImage(handDrawn16(), path(QStringLiteral("hand16.png")), "PNG"));
    QVERIFY(writeFile(path(QStringLiteral("logo.svg")),
                      "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                      "<circle cx='32' cy='32' r='28' fill='#2a6fdb'/><rect x='20' y='8' width='9' height='40'/></svg>"));
    QProcess gzip;
    gzip.setStandardOutputFile(path(QStringLiteral("logo.svgz")));
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c"), path(QStringLiteral("logo.svg"))});
    QVERIFY(gzip.waitForFinished() && gzip.exitCode() == 0);
}

void tst_IconTheme::themeHoldsEverySize_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("drawing"); // the document the scalable icon holds, or none
    const QString wide = path(QStringLiteral("wide.png"));
    const QString logo = path(QStringLiteral("logo.svg"));
    QTest::newRow("a picture") << QStringList{wide} << QStringList() << QString();
    QTest::newRow("a picture, pure black transparent") << QStringList{wide} << QStringList{QStringLiteral("--key-black")}
                                                       << QString();
    QTest::newRow("a drawing and a hand-drawn 16") << QStringList{logo, path(QStringLiteral("hand16.png"))} << QStringList()
                                                   << logo;
    QTest::newRow("a compressed drawing") << QStringList{path(QStringLiteral("logo.svgz"))} << QStringList() << logo;
}

// The files printed are those written, each PNG its folder's size with the
// pixels --sizes gives that size (up to 256, the largest an icon holds); a
// hand-drawn 16 is as it was drawn; a drawing is the scalable icon.
void tst_IconTheme::themeHoldsEverySize()
{
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, options);
    QFETCH(QString, drawing);
    const QString folder = folderForThisTest(m_dir);
    const QString icons = folder + QStringLiteral("/icons");
    const Run run = makeTheme(icons, inputs, options);
    QVERIFY2(run.exitCode == 0 && run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const QStringList written = themeFiles(icons, !drawing.isEmpty());
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), written);
    QStringList sorted = written;
    sorted.sort();
    QCOMPARE(filesUnder(icons), sorted);
    const QString icon = folder + QStringLiteral("/sizes.ico");
    QCOMPARE(runConverter(QStringList{QStringLiteral("--sizes"), QStringLiteral("256,128,64,48,32,24,22,16")} + options
                          + inputs + QStringList{QStringLiteral("-o"), icon}).exitCode, 0);
    QCOMPARE(runConverter({QStringLiteral("--extract"), icon, QStringLiteral("-d"), folder}).exitCode, 0);
    for (qsizetype i = 0; i < themeSides.size(); ++i) {
        const int side = themeSides[i];
        const QImage made = pixelsOf(written[i]);
        QCOMPARE(made.size(), QSize(side, side));
        if (side <= 256)
            QCOMPARE(made, pixelsOf(QStringLiteral("%1/sizes-%2x%2-32bit.png").arg(folder).arg(side)));
    }
    if (inputs.contains(path(QStringLiteral("hand16.png"))))
        QCOMPARE(pixelsOf(written.first()), storedAsItIs(handDrawn16()));
    if (!drawing.isEmpty())
        QCOMPARE(readFile(written[themeSides.size()]), readFile(drawing));
}

// A folder where the 48 goes: the one line names it and why; the files
// written before it are printed; the folder stays.
void tst_IconTheme::aFileThatCannotBeWrittenIsNamed()
{
    const QString icons = folderForThisTest(m_dir) + QStringLiteral("/icons");
    const QString blocker = icons + QStringLiteral("/hicolor/48x48/apps/app.png");
    QVERIFY(QDir().mkpath(blocker));
    const QString wide = path(QStringLiteral("wide.png"));
    const Run run = makeTheme(icons, {wide});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines, QStringList{QStringLiteral("tervana-convert: Tervana cannot write \"%1\" for \"%2\": it is a folder.").arg(blocker, wide)});
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), themeFiles(icons, false).mid(0, 4));
    QVERIFY(QFileInfo(blocker).isDir());
}

// The index.theme an earlier version wrote into hicolor, which listed its
// own folders alone.
const QByteArray earlierIndex = "# Written by Tervana, as no index.theme was here: without one, Qt's and GTK's\n"
                                "# icon lookups see no folders in this hicolor theme, and find none of its icons.\n"
                                "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n";

void tst_IconTheme::desktopsFindEveryIcon_data()
{
    QTest::addColumn<QByteArray>("index"); // hicolor/index.theme in the folder before the run, or none
    QTest::addColumn<bool>("removed");
    QTest::newRow("no index of its own") << QByteArray() << false;
    QTest::newRow("an earlier version's index") << earlierIndex << true;
}

// Qt's lookup and GTK's, with the folder and the system's icons on the
// search path, as ~/.local/share/icons and /usr/share/icons are: other
// programs' icons in the folder are found after the run as before it, and
// the program's at every size of the theme, from the folder. No
// index.theme is written; an earlier version's is removed, and said.
void tst_IconTheme::desktopsFindEveryIcon()
{
    QFETCH(QByteArray, index);
    QFETCH(bool, removed);
    if (!QFileInfo::exists(systemIcons + QStringLiteral("/hicolor/index.theme")))
        QSKIP_MISSING("hicolor-icon-theme");
    const QString folder = folderForThisTest(m_dir);
    const QString icons = folder + QStringLiteral("/share/icons");
    for (const auto &[asked, place] : otherIcons) {
        const QString name = asked.section(QLatin1Char(':'), 0, 0);
        const bool scalable = place.startsWith(QLatin1String("scalable"));
        const QString file = QStringLiteral("%1/hicolor/%2/%3.%4").arg(icons, place, name, scalable ? "svg" : "png");
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(scalable ? writeFile(file, readFile(path(QStringLiteral("logo.svg")))) : patternImage(8, 8).save(file));
    }
    QStringList asked;
    QStringList expected;
    for (const auto &[name, place] : otherIcons) {
        asked << name;
        expected << QStringLiteral("%1/hicolor/%2/%3.%4").arg(icons, place, name.section(QLatin1Char(':'), 0, 0),
                                                           place.startsWith(QLatin1String("scalable")) ? "svg" : "png");
    }
    const std::optional<QStringList> before = gtkFinds(icons, asked);
    if (!before)
        QSKIP_MISSING("PyGObject or GTK 3");
    if (index.isEmpty())
        QCOMPARE(*before, expected);
    else
        QVERIFY(writeFile(icons + QStringLiteral("/hicolor/index.theme"), index));
    const Run run = makeTheme(icons, {path(QStringLiteral("wide.png"))});
    QCOMPARE(run.exitCode, 0);
    const QString indexFile = icons + QStringLiteral("/hicolor/index.theme");
    QCOMPARE(run.errorLines, removed ? QStringList{QStringLiteral("tervana-convert: removed \"%1\", which an earlier version of Tervana wrote: the hicolor theme's index is the system's, and that one hid other programs' icons.").arg(indexFile)} : QStringList());
    QVERIFY(!QFileInfo::exists(indexFile));
    for (int side : themeSides) {
        asked << QStringLiteral("app:%1").arg(side);
        expected << QStringLiteral("%1/hicolor/%2x%2/apps/app.png").arg(icons).arg(side);
    }
    QCOMPARE(gtkFinds(icons, asked).value_or(QStringList()), expected);
    RunSetting qt;
    qt.executable = QStringLiteral(ICON_LOOKUP);
    qt.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    qt.environment.insert(QStringLiteral("XDG_DATA_DIRS"), folder + QStringLiteral("/share:/usr/share"));
    qt.environment.insert(QStringLiteral("HOME"), folder + QStringLiteral("/home"));
    qt.environment.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/home/.local/share"));
    for (const auto &[name, place] : otherIcons)
        QCOMPARE(runConverter({name.section(QLatin1Char(':'), 0, 0)}, qt).exitCode, 0);
    const QStringList lines = runConverter({QStringLiteral("app"), QStringLiteral("48")}, qt).out.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("sizes 16 22 24 32 48 64 128 256 512"));
    const QImage png = QImage(icons + QStringLiteral("/hicolor/48x48/apps/app.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QByteArray pixels(reinterpret_cast<const char *>(png.constBits()), png.sizeInBytes());
    QCOMPARE(lines.value(1), QStringLiteral("48 48x48 ") + QString::fromLatin1(QCryptographicHash::hash(pixels, QCryptographicHash::Md5).toHex()));
}

// GTK's cache of a theme is built from its index.theme and folders without
// a word of complaint, and validates.
void tst_IconTheme::gtkCachesTheTheme()
{
    RunSetting cache;
    cache.executable = QStandardPaths::findExecutable(QStringLiteral("gtk-update-icon-cache"));
    if (cache.executable.isEmpty())
        QSKIP_MISSING("gtk-update-icon-cache");
    const QString icons = folderForThisTest(m_dir) + QStringLiteral("/icons");
    QCOMPARE(makeTheme(icons, {path(QStringLiteral("logo.svg")), path(QStringLiteral("hand16.png"))}).exitCode, 0);
    const QString hicolor = icons + QStringLiteral("/hicolor");
    // The theme's index is the system's, as in ~/.local/share/icons/hicolor.
    const Run built = runConverter({QStringLiteral("--force"), QStringLiteral("--ignore-theme-index"), QStringLiteral("--quiet"), hicolor}, cache);
    QVERIFY2(built.exitCode == 0 && built.errorLines.isEmpty(), qPrintable(built.errorLines.join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(hicolor + QStringLiteral("/icon-theme.cache")).size() > 0);
    const Run validated = runConverter({QStringLiteral("--validate"), hicolor}, cache);
    QVERIFY2(validated.exitCode == 0 && validated.errorLines.isEmpty(), qPrintable(validated.errorLines.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_IconTheme)
#include "tst_icontheme.moc"
