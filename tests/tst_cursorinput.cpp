// Cursors given as input: an animated cursor (.ani) and a Linux cursor
// (Xcursor) convert to each other and back unchanged, an animation makes an
// animated Xcursor that libXcursor reads, and an animated cursor gives its
// first step as a picture; --list names what they hold and what is wrong
// with them, and --extract writes each frame at each size.

#include "cursortestutils.h"
#include "picturetestutils.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

using namespace testutils;

namespace {

const QStringList sizes{QStringLiteral("--sizes"), QStringLiteral("48,32")};
const QStringList times{QStringLiteral("--delay"), QStringLiteral("50,100,200"), QStringLiteral("--hotspot"),
                        QStringLiteral("5,6")};

// `bytes` with the 32-bit little-endian field at `at` set to `value`.
QByteArray withField(QByteArray bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
    return bytes;
}

// A macOS icon family of `count` elements, each the signature of a PNG
// stream and nothing more.
QByteArray icnsOfBarePngSignatures(int count)
{
    QByteArray element("ic07\0\0\0\x10\x89PNG\r\n\x1a\n", 16);
    QByteArray family = QByteArray("icns\0\0\0\0", 8) + element.repeated(count);
    qToBigEndian(quint32(family.size()), family.data() + 4);
    return family;
}

} // namespace

class tst_CursorInput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList frames() const { return {path(QStringLiteral("a.png")), path(QStringLiteral("b.png")), path(QStringLiteral("a.png"))}; }
    QByteArray m_ani;
    QByteArray m_xcursor;

private slots:
    void initTestCase();
    void animationsConvertBackAndForthUnchanged_data();
    void animationsConvertBackAndForthUnchanged();
    void animatedLinuxCursorsAreReadByLibXcursor();
    void listingsNameContentsAndDamage_data();
    void listingsNameContentsAndDamage();
    void framesAreExtractedAndTheFirstStepIsThePicture();
    void animationFramesAreWhatBrowsersShow_data();
    void animationFramesAreWhatBrowsersShow();
    void cursorThemesAreFoundByLibXcursor();
    void aThemesNameCannotAddToItsIndex();
    void themeHasAdwaitasNamesAndPrintsThem();
    void themeRunsSideBySideBothSucceed();
    void anIconFamilysBrokenPngsAreSaidToBe();
    void timesAreHeldToOneRange();
    void configurationsMakeWhatXcursorgenMakes();
    void configurationsThatCannotBeUsedAreRefused_data();
    void configurationsThatCannotBeUsedAreRefused();
};

// An animated cursor and an animated Xcursor of the same three steps: a,
// b, then a again, for 50, 100 and 200 ms, each at 48 and 32 pixels.
void tst_CursorInput::initTestCase()
{
    QVERIFY(saveImage(patternImage(64, 48), path(QStringLiteral("a.png")), "PNG"));
    QVERIFY(saveImage(patternImage(40, 40).mirrored(), path(QStringLiteral("b.png")), "PNG"));
    const QStringList title{QStringLiteral("--title"), QStringLiteral("Busy"), QStringLiteral("--author"), QStringLiteral("Ann")};
    QCOMPARE(runConverter(QStringList{QStringLiteral("--ani")} + sizes + times + title + frames()
                          + QStringList{QStringLiteral("-o"), path(QStringLiteral("busy.ani"))}).exitCode, 0);
    QCOMPARE(runConverter(QStringList{QStringLiteral("--xcursor")} + sizes + times + frames()
                          + QStringList{QStringLiteral("-o"), path(QStringLiteral("watch"))}).exitCode, 0);
    m_ani = readFile(path(QStringLiteral("busy.ani")));
    m_xcursor = readFile(path(QStringLiteral("watch")));
}

void tst_CursorInput::animationsConvertBackAndForthUnchanged_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected");
    const QStringList ani{QStringLiteral("--ani"), QStringLiteral("--title"), QStringLiteral("Busy"), QStringLiteral("--author"), QStringLiteral("Ann")};
    QTest::newRow(".ani to .ani") << QStringLiteral("busy.ani") << ani << QStringLiteral("busy.ani");
    QTest::newRow(".ani to Xcursor") << QStringLiteral("busy.ani") << QStringList{QStringLiteral("--xcursor")} << QStringLiteral("watch");
    QTest::newRow("Xcursor to .ani") << QStringLiteral("watch") << ani << QStringLiteral("busy.ani");
    QTest::newRow("Xcursor to Xcursor") << QStringLiteral("watch") << QStringList{QStringLiteral("--xcursor")} << QStringLiteral("watch");
}

// Each frame keeps its images (packed pixel for pixel), its hot spots and
// its time; a frame shown again is stored once in the .ani.
void tst_CursorInput::animationsConvertBackAndForthUnchanged()
{
    QFETCH(QString, input);
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    const QString result = path(QStringLiteral("result"));
    const Run run = runConverter(options + sizes + QStringList{path(input), QStringLiteral("-o"), result});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    QCOMPARE(firstDifference(readFile(result), readFile(path(expected))), qsizetype(-1));
}

// Each size holds every frame in turn, with its time and its hot spot; the
// third frame is the first again.
void tst_CursorInput::animatedLinuxCursorsAreReadByLibXcursor()
{
    const QString reader = QStringLiteral(XCURSOR_READER);
    if (reader.isEmpty())
        QSKIP_MISSING("libXcursor");
    const QStringList lines = outputOf(reader, {path(QStringLiteral("watch"))}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QStringList withoutPixels;
    for (const QString &line : lines)
        withoutPixels << line.section(QLatin1Char(' '), 0, 5);
    // 5,6 of each frame's picture: of a, 64 x 48, fitted into 48 x 36 and
    // 32 x 24 between bands of 6 and 4 rows; of b, 40 x 40, filling each.
    QCOMPARE(withoutPixels, (QStringList{QStringLiteral("48 48 48 3 10 50"), QStringLiteral("48 48 48 6 7 100"),
                                         QStringLiteral("48 48 48 3 10 200"), QStringLiteral("32 32 32 2 7 50"),
                                         QStringLiteral("32 32 32 4 4 100"), QStringLiteral("32 32 32 2 7 200")}));
    QCOMPARE(lines[2].section(QLatin1Char(' '), 6), lines[0].section(QLatin1Char(' '), 6));
    QVERIFY(lines[1].section(QLatin1Char(' '), 6) != lines[0].section(QLatin1Char(' '), 6));
}

void tst_CursorInput::listingsNameContentsAndDamage_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("firstLines");
    QTest::addColumn<QString>("damage"); // empty when the file is whole
    QTest::addColumn<QString>("lastLine"); // of the listing; empty when any
    // The .ani: RIFF (12 bytes), LIST INFO (8 + 4 + 14 + 12), anih at 50,
    // then rate (at 94), seq (at 114), LIST fram (at 134).
    const QStringList aniLines{QStringLiteral("busy.ani: animated cursor, 2 frames, 3 steps, title \"Busy\", author \"Ann\""),
                               QStringLiteral("rates: 3, 6, 12 jiffies"), QStringLiteral("sequence: frames 1, 2, 1"),
                               QStringLiteral("frame 1: cursor, 2 images")};
    QTest::newRow(".ani") << m_ani << aniLines << QString() << QString();
    QTest::newRow(".ani chunk past the end") << withField(m_ani, 138, 10'000'000) << QStringList()
                                             << QStringLiteral("the chunk \"LIST\" at byte 134 runs past the end of the file") << QString();
    QTest::newRow(".ani step of a missing frame") << withField(m_ani, 126, 4) << QStringList()
                                                  << QStringLiteral("step 2 shows frame 5, which the file does not hold") << QString();
    QTest::newRow(".ani of three steps of missing frames") << withField(withField(withField(m_ani, 122, 9), 126, 9), 130, 9)
        << QStringList() << QStringLiteral("step 1 shows frame 10, which the file does not hold; step 2 shows frame 10, which the "
                                           "file does not hold; step 3 shows frame 10, which the file does not hold.") << QString();
    QTest::newRow(".ani step of the last frame there can be") << withField(m_ani, 126, 0xFFFFFFFF) << QStringList()
        << QStringLiteral("step 2 shows frame 4294967296, which the file does not hold") << QString();
    // The rate chunk without its last time, the sizes mended.
    const QByteArray shortRates = withField(withField(QByteArray(m_ani).remove(110, 4), 98, 8), 4, quint32(m_ani.size() - 12));
    QTest::newRow(".ani rate count") << shortRates << QStringList()
                                     << QStringLiteral("its \"rate\" chunk gives 2 times for 3 steps") << QString();
    QTest::newRow(".ani rate chunk of 11 bytes") << withField(m_ani, 98, 11) << QStringList()
                                                 << QStringLiteral("its \"rate\" chunk is 11 bytes long, not a whole number of times")
                                                 << QString();
    QTest::newRow(".ani frame count") << withField(m_ani, 62, 3) << QStringList()
                                      << QStringLiteral("its header says 3 frames, and it holds 2") << QString();
    // Text from the file is escaped as a file name is: it cannot retitle
    // the terminal or start a line of its own.
    QTest::newRow(".ani title of control characters")
        << QByteArray(m_ani).replace("Busy", "B\x1b\ny") << QStringList{QString(aniLines.first()).replace(QStringLiteral("Busy"), QStringLiteral("B\\x1B\\ny"))}
        << QString() << QString();
    const QString longTitle = path(QStringLiteral("long title.ani"));
    runConverter({QStringLiteral("--ani"), QStringLiteral("--title"), QString(300, QLatin1Char('t')), path(QStringLiteral("b.png")),
                  QStringLiteral("-o"), longTitle});
    const QString escapedTitle = path(QStringLiteral("escaped title.ani"));
    runConverter({QStringLiteral("--ani"), QStringLiteral("--title"), QString(300, QChar(0x1B)), path(QStringLiteral("b.png")),
                  QStringLiteral("-o"), escapedTitle});
    QTest::newRow(".ani title of 300 escapes") << readFile(escapedTitle)
        << QStringList{QStringLiteral("busy.ani: animated cursor, 1 frames, 1 steps, title \"%1...\"")
                           .arg(QStringLiteral("\\x1B").repeated(50))}
        << QString() << QString();
    QTest::newRow(".ani title of 300 letters") << readFile(longTitle)
        << QStringList{QStringLiteral("busy.ani: animated cursor, 1 frames, 1 steps, title \"%1...\"").arg(QString(200, QLatin1Char('t')))}
        << QString() << QString();
    // A file damaged in many places is told of the first five, then counted.
    QString firstFive;
    for (int element = 1; element <= 5; ++element)
        firstFive += QStringLiteral("the PNG of element %1 (ic07) is not whole; ").arg(element);
    QTest::newRow("icns of 7 broken PNGs") << icnsOfBarePngSignatures(7)
        << QStringList{QStringLiteral("busy.ani: macOS icon, 7 elements"), QStringLiteral("1: ic07, 128 x 128, PNG, 8 bytes at 16")}
        << firstFive + QStringLiteral("2 more.") << QString();
    // A file of more entries than a listing names is counted past them.
    QTest::newRow("icns of 65540 broken PNGs") << icnsOfBarePngSignatures(65540)
        << QStringList{QStringLiteral("busy.ani: macOS icon, 65540 elements")} << firstFive + QStringLiteral("65535 more.")
        << QStringLiteral("... 4 more elements, not listed");
    // The Xcursor: its header (16 bytes), 6 entries (72), then the images,
    // the first at 88.
    const QStringList xcursorLines{QStringLiteral("busy.ani: Xcursor, 6 images, 3 frames"),
                                   QStringLiteral("1: nominal size 48, 48 x 48, hot spot 3,10, delay 50 ms")};
    QTest::newRow("Xcursor") << m_xcursor << xcursorLines << QString() << QString();
    QTest::newRow("Xcursor table past the end") << withField(m_xcursor, 12, 60'000) << xcursorLines.mid(0, 0)
                                                << QStringLiteral("its table of 60000 entries runs past the end of the file") << QString();
    QTest::newRow("Xcursor image past the end") << withField(m_xcursor, 88 + 16, 32'767) << xcursorLines.mid(0, 0)
                                                << QStringLiteral("image 1 runs past the end of the file") << QString();
    QTest::newRow("Xcursor hot spot outside") << withField(m_xcursor, 88 + 24, 49) << xcursorLines.mid(0, 0)
                                              << QStringLiteral("the hot spot 49,10 of image 1 lies outside it") << QString();
    QTest::newRow("Xcursor images sharing bytes") << withField(m_xcursor, 16 + 12 + 8, 88) << xcursorLines.mid(0, 0)
                                                  << QStringLiteral("images 1 and 2 share their bytes") << QString();
}

// --list prints what an animated cursor, an Xcursor or an icon family
// holds; a damaged one is named in one line, with exit status 1.
void tst_CursorInput::listingsNameContentsAndDamage()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, firstLines);
    QFETCH(QString, damage);
    QFETCH(QString, lastLine);
    const QString copy = path(QStringLiteral("listed"));
    QVERIFY(writeFile(copy, file));
    const Run run = runConverter({QStringLiteral("--list"), copy});
    const QStringList lines = QString(run.out).replace(copy, QStringLiteral("busy.ani")).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, firstLines.size()), firstLines);
    if (!lastLine.isEmpty())
        QCOMPARE(lines.value(lines.size() - 2), lastLine); // the last is empty, after the last line break
    QCOMPARE(run.exitCode, damage.isEmpty() ? 0 : 1);
    QCOMPARE(run.errorLines.size(), damage.isEmpty() ? 0 : 1);
    if (!damage.isEmpty())
        QVERIFY2(run.errorLines.first().contains(QStringLiteral("is damaged: ") + damage), qPrintable(run.errorLines.first()));
}

// --extract writes each stored frame at each size, named after the file,
// the frame and the size, with the pixels of that frame's cursor; the
// picture of an animated cursor is its first step's image of 32 pixels.
void tst_CursorInput::framesAreExtractedAndTheFirstStepIsThePicture()
{
    const QString folder = path(QStringLiteral("extracted"));
    QVERIFY(QDir().mkpath(folder));
    const Run run = runConverter({QStringLiteral("--extract"), path(QStringLiteral("busy.ani")), path(QStringLiteral("watch")),
                                  QStringLiteral("-d"), folder});
    QCOMPARE(run.exitCode, 0);
    QStringList expected{QStringLiteral("busy-1-32x32.png"), QStringLiteral("busy-1-48x48.png"),
                         QStringLiteral("busy-2-32x32.png"), QStringLiteral("busy-2-48x48.png")};
    for (int frame = 1; frame <= 3; ++frame)
        expected << QStringLiteral("watch-%1-32x32.png").arg(frame) << QStringLiteral("watch-%1-48x48.png").arg(frame);
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    const QImage extracted = QImage(QDir(folder).filePath(QStringLiteral("busy-2-48x48.png"))).convertToFormat(QImage::Format_ARGB32);
    const QString frameTwo = path(QStringLiteral("frame2.cur"));
    QCOMPARE(runConverter(QStringList{QStringLiteral("--cursor"), QStringLiteral("--hotspot"), QStringLiteral("5,6")} + sizes
                          + QStringList{path(QStringLiteral("b.png")), QStringLiteral("-o"), frameTwo}).exitCode, 0);
    QCOMPARE(extracted, QImage(frameTwo).convertToFormat(QImage::Format_ARGB32));
    const QString fromAni = path(QStringLiteral("from-ani.ico"));
    const QString fromPng = path(QStringLiteral("from-png.ico"));
    QCOMPARE(runConverter({path(QStringLiteral("busy.ani")), QStringLiteral("-o"), fromAni}).exitCode, 0);
    QCOMPARE(runConverter({QDir(folder).filePath(QStringLiteral("busy-1-32x32.png")), QStringLiteral("-o"), fromPng}).exitCode, 0);
    QCOMPARE(readFile(fromAni), readFile(fromPng));
}

namespace {

// Writes an animation of four 64 x 64 frames with Pillow: a disc moving over
// a half-transparent square, the first frame cleared after it shows, each
// frame for its own time.
const QString writeAnimation = QStringLiteral(
    "import sys\nfrom PIL import Image, ImageDraw\n"
    "frames = []\n"
    "for i in range(4):\n"
    "    frame = Image.new('RGBA', (64, 64), (0, 0, 0, 0))\n"
    "    draw = ImageDraw.Draw(frame)\n"
    "    draw.rectangle([30, 30, 60, 60], fill=(0, 0, 255, 128))\n"
    "    draw.ellipse([i * 8, 4, i * 8 + 30, 40], fill=(200, 60 * i, 30, 255))\n"
    "    frames.append(frame)\n"
    "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=[100, 200, 50, 300], loop=0,\n"
    "               lossless=True, disposal=[2, 1, 2, 1])\n");

// Prints, for each frame Pillow shows (libwebp's and Pillow's own GIF
// compositing), how many of its visible pixels the extracted PNG of that
// frame differs from by more than 2 levels.
const QString compareFrames = QStringLiteral(
    "import sys\nfrom PIL import Image, ImageSequence\n"
    "for i, frame in enumerate(ImageSequence.Iterator(Image.open(sys.argv[1]))):\n"
    "    ours = Image.open(sys.argv[2] % (i + 1)).convert('RGBA')\n"
    "    pairs = zip(frame.convert('RGBA').getdata(), ours.getdata())\n"
    "    print(sum(1 for a, b in pairs if (a[3] or b[3]) and max(abs(x - y) for x, y in zip(a, b)) > 2))\n");

} // namespace

void tst_CursorInput::animationFramesAreWhatBrowsersShow_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("GIF") << QStringLiteral("moving.gif");
    QTest::newRow("WebP") << QStringLiteral("moving.webp");
}

// Each frame of an animated cursor of a GIF or WebP is the frame as Pillow
// composes it, pixel for pixel, and shows for its own time.
void tst_CursorInput::animationFramesAreWhatBrowsersShow()
{
    QFETCH(QString, name);
    if (python3WithPillow.isEmpty())
        QSKIP_MISSING("Pillow");
    const QString animation = path(name);
    QCOMPARE(QProcess::execute(python3WithPillow, {QStringLiteral("-c"), writeAnimation, animation}), 0);
    const QString cursor = path(QStringLiteral("moving.ani"));
    const QString folder = path(QStringLiteral("moving frames"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(runConverter({QStringLiteral("--ani"), QStringLiteral("--sizes"), QStringLiteral("64"), animation, QStringLiteral("-o"), cursor}).exitCode, 0);
    QCOMPARE(aniContents(readFile(cursor)).rates, (QList<quint32>{6, 12, 3, 18}));
    QCOMPARE(runConverter({QStringLiteral("--extract"), cursor, QStringLiteral("-d"), folder}).exitCode, 0);
    const QString differing = outputOf(python3WithPillow, {QStringLiteral("-c"), compareFrames, animation,
                                                          QDir(folder).filePath(QStringLiteral("moving-%d-64x64.png"))});
    QCOMPARE(differing.split(QLatin1Char('\n'), Qt::SkipEmptyParts), (QStringList{QStringLiteral("0"), QStringLiteral("0"),
                                                                                  QStringLiteral("0"), QStringLiteral("0")}));
}

// A theme's folder named with line breaks and a group of its own: its
// index.theme names it on one line, escaped, and holds no other key or
// group.
void tst_CursorInput::aThemesNameCannotAddToItsIndex()
{
    const QString theme = path(QStringLiteral("ct\nInherits=Adwaita\n[Evil]\\"));
    QVERIFY(QFile::copy(path(QStringLiteral("a.png")), path(QStringLiteral("left_ptr.png"))) || QFileInfo::exists(path(QStringLiteral("left_ptr.png"))));
    QCOMPARE(runConverter({QStringLiteral("--cursor-theme"), theme, path(QStringLiteral("left_ptr.png"))}).exitCode, 0);
    QCOMPARE(readFile(QDir(theme).filePath(QStringLiteral("index.theme"))),
             QByteArray("# Written by Tervana for the cursors in cursors/.\n[Icon Theme]\n"
                        "Name=ct\\nInherits=Adwaita\\n[Evil]\\\\\nComment=Cursors made with Tervana\n"));
}

// A theme made of a picture named left_ptr and an animated cursor named
// watch: libXcursor finds each under its other names, as desktops look
// them up; a file of the user's under such a name stays, and a second run
// leaves the theme as the first made it. A later picture named default
// replaces the link of that name, not the cursor it led to. A run with no
// readable picture makes no theme.
void tst_CursorInput::cursorThemesAreFoundByLibXcursor()
{
    const QString reader = QStringLiteral(XCURSOR_READER);
    if (reader.isEmpty())
        QSKIP_MISSING("libXcursor");
    const QDir themes(path(QStringLiteral("themes")));
    const QDir cursors(themes.filePath(QStringLiteral("Mine/cursors")));
    QVERIFY(cursors.mkpath(QStringLiteral(".")) && writeFile(cursors.filePath(QStringLiteral("arrow")), "mine"));
    QVERIFY(QFile::copy(path(QStringLiteral("a.png")), path(QStringLiteral("left_ptr.png")))
            && QFile::copy(path(QStringLiteral("busy.ani")), path(QStringLiteral("watch.ani"))));
    const QStringList make{QStringLiteral("--cursor-theme"), themes.filePath(QStringLiteral("Mine")),
                           path(QStringLiteral("left_ptr.png")), path(QStringLiteral("watch.ani"))};
    for (int run = 0; run < 2; ++run)
        QCOMPARE(runConverter(make).exitCode, 0);
    QCOMPARE(readFile(themes.filePath(QStringLiteral("Mine/index.theme"))),
             QByteArray("# Written by Tervana for the cursors in cursors/.\n[Icon Theme]\nName=Mine\nComment=Cursors made with Tervana\n"));
    QCOMPARE(readFile(cursors.filePath(QStringLiteral("arrow"))), QByteArray("mine"));
    const QStringList linked = cursors.entryList(QDir::System | QDir::Files, QDir::Name);
    QCOMPARE(linked, (QStringList{QStringLiteral("arrow"), QStringLiteral("default"), QStringLiteral("left-arrow"),
                                  QStringLiteral("left_ptr"), QStringLiteral("top_left_arrow"), QStringLiteral("wait"),
                                  QStringLiteral("watch")}));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XCURSOR_PATH"), themes.path());
    const auto lookUp = [&](const QString &name, const QString &size) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(reader, {QStringLiteral("--theme"), QStringLiteral("Mine"), name, size});
        return process.waitForFinished(30000) && process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("failed");
    };
    QCOMPARE(lookUp(QStringLiteral("default"), QStringLiteral("48")), lookUp(QStringLiteral("left_ptr"), QStringLiteral("48")));
    QVERIFY(lookUp(QStringLiteral("default"), QStringLiteral("48")).startsWith("48 48 48 0 6 0 "));
    QCOMPARE(lookUp(QStringLiteral("wait"), QStringLiteral("32")).count('\n'), 3);
    const QByteArray pointer = readFile(cursors.filePath(QStringLiteral("left_ptr")));
    QVERIFY(QFile::copy(path(QStringLiteral("b.png")), path(QStringLiteral("default.png"))));
    QCOMPARE(runConverter({QStringLiteral("--cursor-theme"), themes.filePath(QStringLiteral("Mine")),
                           path(QStringLiteral("default.png"))}).exitCode, 0);
    QVERIFY(!QFileInfo(cursors.filePath(QStringLiteral("default"))).isSymLink());
    QVERIFY(readFile(cursors.filePath(QStringLiteral("default"))) != pointer);
    QCOMPARE(readFile(cursors.filePath(QStringLiteral("left_ptr"))), pointer);
    QCOMPARE(QFileInfo(cursors.filePath(QStringLiteral("top_left_arrow"))).symLinkTarget(), cursors.absoluteFilePath(QStringLiteral("left_ptr")));
    QVERIFY(writeFile(path(QStringLiteral("broken.png")), "not a picture"));
    QCOMPARE(runConverter({QStringLiteral("--cursor-theme"), themes.filePath(QStringLiteral("None")),
                           path(QStringLiteral("broken.png"))}).exitCode, 1);
    QVERIFY(!QFileInfo::exists(themes.filePath(QStringLiteral("None"))));
}

// A theme of a cursor for each of Adwaita's own (Debian's
// adwaita-icon-theme) has every name Adwaita has, its hashed names among
// them; a missing name links to the cursor its shape is first looked up
// by (ew-resize to sb_h_double_arrow, not to col-resize, which comes first
// by name); and the run prints each file it writes, the cursors in the
// order given, then the index and the links.
void tst_CursorInput::themeHasAdwaitasNamesAndPrintsThem()
{
    const QDir adwaita(QStringLiteral("/usr/share/icons/Adwaita/cursors"));
    if (!adwaita.exists())
        QSKIP_MISSING("adwaita-icon-theme");
    const QDir pictures(path(QStringLiteral("adwaita pictures")));
    QVERIFY(pictures.mkpath(QStringLiteral(".")));
    QStringList given;
    for (const QFileInfo &cursor : adwaita.entryInfoList(QDir::Files | QDir::System, QDir::Name))
        if (!cursor.isSymLink()) {
            given << pictures.filePath(cursor.fileName() + QStringLiteral(".png"));
            QVERIFY(QFile::copy(path(QStringLiteral("a.png")), given.last()));
        }
    QVERIFY(given.size() > 40);
    const QDir theme(path(QStringLiteral("themes/Like Adwaita")));
    const Run run = runConverter(QStringList{QStringLiteral("--cursor-theme"), theme.path(), QStringLiteral("--sizes"), QStringLiteral("24")} + given);
    QCOMPARE(run.exitCode, 0);
    const QDir cursors(theme.filePath(QStringLiteral("cursors")));
    QStringList missing;
    for (const QString &name : adwaita.entryList(QDir::Files | QDir::System, QDir::Name))
        if (!QFileInfo(cursors.filePath(name)).exists())
            missing << name;
    QCOMPARE(missing, QStringList());
    QCOMPARE(QFileInfo(cursors.filePath(QStringLiteral("ew-resize"))).symLinkTarget(), cursors.absoluteFilePath(QStringLiteral("sb_h_double_arrow")));
    QCOMPARE(QFileInfo(cursors.filePath(QStringLiteral("left_ptr_help"))).symLinkTarget(), cursors.absoluteFilePath(QStringLiteral("question_arrow")));
    const QStringList printed = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList expected;
    for (const QString &picture : given)
        expected << cursors.filePath(QFileInfo(picture).completeBaseName());
    expected << theme.filePath(QStringLiteral("index.theme"));
    QCOMPARE(printed.mid(0, expected.size()), expected);
    QCOMPARE(printed.size(), cursors.entryList(QDir::Files | QDir::System).size() + 1);
    for (const QString &link : printed.mid(expected.size()))
        QVERIFY2(QFileInfo(link).isSymLink() && QFileInfo(link).exists(), qPrintable(link));
}

// Two runs that make one theme at the same time both succeed: a link one
// finds made by the other is the link it would make.
void tst_CursorInput::themeRunsSideBySideBothSucceed()
{
    QVERIFY(QFile::copy(path(QStringLiteral("a.png")), path(QStringLiteral("hand2.png")))
            || QFileInfo::exists(path(QStringLiteral("hand2.png"))));
    for (int pair = 0; pair < 12; ++pair) {
        // Sizes the 64 x 48 picture holds: nothing is said of enlarging it.
        const QStringList make{QStringLiteral("--cursor-theme"), path(QStringLiteral("raced %1").arg(pair)),
                               QStringLiteral("--sizes"), QStringLiteral("48,32"), path(QStringLiteral("hand2.png"))};
        QProcess first, second;
        first.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), make);
        second.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), make);
        QVERIFY2(first.waitForFinished(30000) && second.waitForFinished(30000), "a run did not end within 30 s");
        QCOMPARE(first.readAllStandardError() + second.readAllStandardError(), QByteArray());
        QCOMPARE(first.exitCode() + second.exitCode(), 0);
    }
}

// An icon family of PNG streams that are not whole is refused in those
// words, not as holding too many pixels.
void tst_CursorInput::anIconFamilysBrokenPngsAreSaidToBe()
{
    QVERIFY(writeFile(path(QStringLiteral("broken.icns")), icnsOfBarePngSignatures(100'000)));
    const Run run = runConverter({path(QStringLiteral("broken.icns")), QStringLiteral("-o"), path(QStringLiteral("broken.ico"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errorLines.value(0).endsWith(QStringLiteral("the icon family holds an element \"ic07\" whose PNG stream is not whole.")),
             qPrintable(run.errorLines.value(0)));
}

// A step's time, however an animated cursor gives it, is held to 1 ms to a
// minute, and 0 shows as long as a GIF's 0 does: 100 ms.
void tst_CursorInput::timesAreHeldToOneRange()
{
    // The rates of busy.ani's three steps, at byte 102: the longest there
    // is, 0, and half the longest.
    QByteArray rates = withField(withField(withField(m_ani, 102, 0xFFFFFFFF), 106, 0), 110, 0x80000000);
    QVERIFY(writeFile(path(QStringLiteral("long times.ani")), rates));
    const QStringList made{QStringLiteral("--sizes"), QStringLiteral("32"), path(QStringLiteral("long times.ani")), QStringLiteral("-o")};
    QCOMPARE(runConverter(QStringList{QStringLiteral("--xcursor")} + made + QStringList{path(QStringLiteral("held"))}).exitCode, 0);
    QCOMPARE(runConverter(QStringList{QStringLiteral("--ani")} + made + QStringList{path(QStringLiteral("held.ani"))}).exitCode, 0);
    const auto listed = [this](const QString &name) { return QString(runConverter({QStringLiteral("--list"), path(name)}).out); };
    const QString xcursor = listed(QStringLiteral("held"));
    for (const char *delay : {"1: nominal size 32, 32 x 32, hot spot 2,7, delay 60000 ms",
                              "2: nominal size 32, 32 x 32, hot spot 4,4, delay 100 ms",
                              "3: nominal size 32, 32 x 32, hot spot 2,7, delay 60000 ms"})
        QVERIFY2(xcursor.contains(QLatin1String(delay)), qPrintable(xcursor));
    const QString ani = listed(QStringLiteral("held.ani"));
    QVERIFY2(ani.contains(QStringLiteral("\nrates: 3600, 6, 3600 jiffies\n")), qPrintable(ani));
}


namespace {

// A folder of xcursorgen's kind: 24 and 32-pixel pictures, two frames of
// each, and the configurations of a still pointer and an animated watch,
// each size with a hot spot of its own.
bool writeCursorConfigs(const QDir &folder)
{
    bool written = folder.mkpath(QStringLiteral("24")) && folder.mkpath(QStringLiteral("32"));
    for (int side : {24, 32})
        for (int frame : {0, 1})
            written = written && saveImage(frame ? patternImage(side, side).mirrored() : patternImage(side, side),
                                           folder.filePath(QStringLiteral("%1/f%2.png").arg(side).arg(frame)), "PNG");
    return written && writeFile(folder.filePath(QStringLiteral("left_ptr.cursor")), "# the pointer\n24 3 4 24/f0.png\n32 5 6 32/f0.png\n")
           && writeFile(folder.filePath(QStringLiteral("watch.cursor")),
                        "24 12 11 24/f0.png 100\n24 12 11 24/f1.png 250\n32 16 15 32/f0.png 100\n32 16 15 32/f1.png 250\n");
}

// What libXcursor reads of a cursor, a line an image, in order of the lines;
// a still cursor's without its delay, which shows nowhere.
QStringList xcursorImages(const QString &cursor, bool still)
{
    QStringList images = outputOf(QStringLiteral(XCURSOR_READER), {cursor}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &image : images)
        if (still)
            image = image.section(QLatin1Char(' '), 0, 4) + QLatin1Char(' ') + image.section(QLatin1Char(' '), 6);
    images.sort();
    return images;
}

} // namespace

// A theme made of xcursorgen's configurations: libXcursor reads each of its
// cursors as it reads the one xcursorgen makes of the same configuration,
// every size pointing where its line says and each frame showing its time.
void tst_CursorInput::configurationsMakeWhatXcursorgenMakes()
{
    const QString xcursorgen = QStringLiteral(XCURSORGEN);
    if (QStringLiteral(XCURSOR_READER).isEmpty() || xcursorgen.isEmpty())
        QSKIP_MISSING("libXcursor or xcursorgen");
    const QDir config(path(QStringLiteral("config")));
    QVERIFY(writeCursorConfigs(config));
    const QDir theme(path(QStringLiteral("config theme")));
    QCOMPARE(runConverter({QStringLiteral("--cursor-theme"), theme.path(), QStringLiteral("--sizes"), QStringLiteral("32,24"),
                           config.filePath(QStringLiteral("left_ptr.cursor")), config.filePath(QStringLiteral("watch.cursor"))})
                 .exitCode, 0);
    for (const QString &name : {QStringLiteral("left_ptr"), QStringLiteral("watch")}) {
        const QString made = path(name + QStringLiteral(" by xcursorgen"));
        QCOMPARE(QProcess::execute(xcursorgen, {QStringLiteral("-p"), config.path(), config.filePath(name + QStringLiteral(".cursor")), made}), 0);
        const bool still = name == QStringLiteral("left_ptr");
        const QStringList ours = xcursorImages(theme.filePath(QStringLiteral("cursors/") + name), still);
        QCOMPARE(ours.size(), still ? 2 : 4);
        QCOMPARE(ours, xcursorImages(made, still));
    }
}

void tst_CursorInput::configurationsThatCannotBeUsedAreRefused_data()
{
    QTest::addColumn<QByteArray>("configuration");
    QTest::addColumn<QString>("output"); // within the configuration's folder
    QTest::addColumn<QString>("refusal"); // the message's end
    const auto row = [](const char *name, const QByteArray &configuration, const QString &refusal, const QString &output = QStringLiteral("made")) {
        QTest::newRow(name) << configuration << output << refusal;
    };
    row("a name outside its folder", "24 0 0 ../outside.png\n", QStringLiteral("line 1 of the cursor configuration names \"../outside.png\", which is not within its folder."));
    row("an absolute name", "24 0 0 24/f0.png\n32 0 0 /etc/passwd\n", QStringLiteral("line 2 of the cursor configuration names \"/etc/passwd\", which is not within its folder."));
    row("a link that leads out", "24 0 0 out.png\n", QStringLiteral("out.png\": it leads out of the cursor configuration's folder."));
    row("a hot spot off its picture", "24 0 0 24/f0.png\n32 12 32 32/f0.png\n",
        QStringLiteral("32/f0.png\": line 2 of the cursor configuration points at 12,32, which is not within the picture, 32 x 32 pixels"));
    row("sizes of unlike frames", "24 0 0 24/f0.png 50\n24 0 0 24/f1.png 50\n32 0 0 32/f0.png\n",
        QStringLiteral("the cursor configuration's size 24 has 2 frames and its size 32 1; an animation has a picture of each size in each frame."));
    row("a line of another shape", "24 0 0 24/f0.png\n24 0 0\n", QStringLiteral("line 2 of the cursor configuration is not \"SIZE XHOT YHOT FILE\" or \"SIZE XHOT YHOT FILE MS\"."));
    row("a time out of range", "24 0 0 24/f0.png 0\n", QStringLiteral("line 1 of the cursor configuration gives the time \"0\"; a frame shows 1 to 60000 milliseconds."));
    row("a frame of two pictures of one size", "24 0 0 24/f0.png 50\n32 0 0 32/f0.png 50\n24 0 0 24/f1.png 50\n32 0 0 24/f0.png 50\n",
        QStringLiteral("two pictures are 24 x 24; give one picture of each size."));
    row("more frames than an animation has", QByteArray("24 0 0 24/f0.png 50\n").repeated(1001),
        QStringLiteral("the cursor configuration has 1001 frames; an animation has at most 1000."));
    row("written over its own picture", "24 0 0 24/f0.png\n", QStringLiteral("it is one of the pictures being converted."), QStringLiteral("24/f0.png"));
}

// A configuration that names a file outside its folder, a hot spot off its
// picture or frames that cannot be one animation is refused in one line
// that says where, and nothing is written.
void tst_CursorInput::configurationsThatCannotBeUsedAreRefused()
{
    QFETCH(QByteArray, configuration);
    QFETCH(QString, output);
    QFETCH(QString, refusal);
    const QDir config(path(QStringLiteral("refused config")));
    QVERIFY(writeCursorConfigs(config));
    QVERIFY(QFile::link(path(QStringLiteral("a.png")), config.filePath(QStringLiteral("out.png"))) || QFileInfo(config.filePath(QStringLiteral("out.png"))).isSymLink());
    QVERIFY(writeFile(config.filePath(QStringLiteral("refused.cursor")), configuration));
    const QByteArray kept = readFile(config.filePath(output));
    const Run run = runConverter({QStringLiteral("--xcursor"), config.filePath(QStringLiteral("refused.cursor")), QStringLiteral("-o"), config.filePath(output)});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().endsWith(refusal), qPrintable(run.errorLines.first()));
    QCOMPARE(readFile(config.filePath(output)), kept);
}

QTEST_MAIN(tst_CursorInput)
#include "tst_cursorinput.moc"
