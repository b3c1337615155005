// The picture formats beyond the window's three and PNG, as other tools
// write them: each read as Pillow reads it (or, where Pillow clips deep
// samples, as it reads the picture they were made from), and SVG drawings drawn from
// their shapes at every size, as exactly as their coverage of each pixel;
// and the formats the help, the manual pages, the README, docs/using.md and
// the completions name, and the MIME types the desktop entry and the
// AppStream description offer, held to the table of formats; and a few files
// of every format, committed (tests/corpus/), read as the pictures beside them;
// HEIC files whose boxes state what would cost too much refused before they
// are decoded, and their thumbnails read, upright, for small drawings.

#include "picturetestutils.h"

#include "formats.h"
#include "picture.h"
#include "picturefiles.h"
#include "readpicture.h"
#include "svgrendering.h"

#include <QBuffer>
#include <QRegularExpression>

#include <QDir>

using namespace testutils;

namespace {

// Pixels premultiplied by their alpha, as both sides keep them comparable:
// a transparent pixel has no colour to compare.
QRgb premultipliedOf(const QString &rrggbbaa)
{
    const uint value = rrggbbaa.toUInt(nullptr, 16);
    return qPremultiply(qRgba(value >> 24, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
}

// Where Tervana's pixels differ from Pillow's by more than `tolerance` in a
// premultiplied channel; empty when they agree.
QString differenceFromPillow(const QImage &image, const QStringList &pillow, int tolerance)
{
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (pillow.value(0) != QStringLiteral("%1 %2").arg(image.width()).arg(image.height()))
        return QStringLiteral("Pillow: %1, Tervana: %2 x %3").arg(pillow.value(0)).arg(image.width()).arg(image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb ours = premultiplied.pixel(x, y);
            const QRgb theirs = premultipliedOf(pillow.value(1 + y * image.width() + x));
            if (qAbs(qRed(ours) - qRed(theirs)) > tolerance || qAbs(qGreen(ours) - qGreen(theirs)) > tolerance
                || qAbs(qBlue(ours) - qBlue(theirs)) > tolerance || qAbs(qAlpha(ours) - qAlpha(theirs)) > tolerance)
                return QStringLiteral("pixel (%1, %2): Tervana %3, Pillow %4")
                    .arg(x).arg(y).arg(ours, 8, 16).arg(theirs, 8, 16);
        }
    return QString();
}

const QByteArray logo = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100' width='100' height='100'>"
"  <circle cx='50' cy='50' r='44' fill='#2a6fdb'/>"
"  <path d='M30 70 L50 22 L70 70 Z' fill='#ffd23f' stroke='#102040' stroke-width='3'/>"
"  <rect x='12.3' y='80.7' width='75.1' height='6.2' fill='#e4572e' opacity='0.8'/>"
"  <circle cx='50' cy='55' r='7.5' fill='none' stroke='white' stroke-width='2.2'/>"
"</svg>";

const QByteArray thinLines = "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>"
"  <g stroke='#000' stroke-width='0.7' fill='none'>"
"    <path d='M2 2 L46 9 L5 30 L44 46'/><circle cx='24' cy='24' r='17.3'/><circle cx='24' cy='24' r='5.1'/>"
"  </g>"
"  <rect x='30' y='3' width='15' height='15' fill='#c02' fill-opacity='0.5'/>"
"</svg>";

// The names of the table's formats, each part of one named alike ("ICO/CUR"
// is ICO and CUR), sorted.
QStringList tableNames()
{
    QStringList names;
    for (const PictureFormat &format : pictureFormats())
        names += format.name.split(QLatin1Char('/'));
    names.sort();
    return names;
}

// The format names in a list of them ("JPEG, GIF, ... ICO or CUR, or an SVG
// drawing"), sorted.
QStringList namesIn(const QString &list)
{
    QStringList names;
    static const QRegularExpression name(QStringLiteral("\\b(JPEG 2000|[A-Z]{3,4}|WebP|Xcursor)\\b"));
    for (const QRegularExpressionMatch &match : name.globalMatch(list))
        names += match.captured(1);
    names.sort();
    return names;
}

// The words of `pattern`'s first capture in `text`, split at `separators`.
QStringList wordsOf(const QString &text, const QString &pattern, const QString &separators)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.captured(1).split(QRegularExpression(separators), Qt::SkipEmptyParts);
}

// The committed corpus (tests/corpus/): a folder for each format of the
// table, named after it in lower case ("ICO/CUR" in "ico-cur"), holding a
// few files each beside NAME.expected.png, the picture it must read as.
const QString corpus = QStringLiteral(TESTS_SOURCE_DIR "/corpus");
const QString expectedEnding = QStringLiteral(".expected.png");

QString corpusFolderOf(const PictureFormat &format)
{
    return format.name.toLower().replace(QLatin1Char('/'), QLatin1Char('-'));
}

// The first pixel at which two pictures differ, premultiplied (a clear
// pixel has no colour to compare); empty when they are alike.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("read as %1 x %2, expected %3 x %4")
            .arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height());
    const QImage ours = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage theirs = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x)
            if (ours.pixel(x, y) != theirs.pixel(x, y))
                return QStringLiteral("pixel (%1, %2): read %3, expected %4")
                    .arg(x).arg(y).arg(ours.pixel(x, y), 8, 16, QLatin1Char('0')).arg(theirs.pixel(x, y), 8, 16, QLatin1Char('0'));
    return QString();
}

} // namespace

class tst_Formats : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void readsAsPillowDoes_data();
    void readsAsPillowDoes();
    void drawingsMatchTheirShapesAtEverySize_data();
    void drawingsMatchTheirShapesAtEverySize();
    void drawingsKeepTheirTransparency();
    void drawingsTooBigForTheirMemory_data();
    void drawingsTooBigForTheirMemory();
    void aRendererOutOfMemorySaysSo();
    void drawingsAreDrawnAsAloneWithinARun();
    void theDrawingBudgetOnlyRefuses();
    void pdfPagesMatchTheirDrawingsAtEverySize();
    void pdfPagesReadAsAsked_data();
    void pdfPagesReadAsAsked();
    void foldersLeaveDocumentsOut();
    void completionsOfferTheTablesEndings_data();
    void completionsOfferTheTablesEndings();
    void documentsNameTheTablesFormats_data();
    void documentsNameTheTablesFormats();
    void desktopFilesOfferTheTablesMimeTypes_data();
    void desktopFilesOfferTheTablesMimeTypes();
    void corpusReadsAsItsPictures_data();
    void corpusReadsAsItsPictures();
    void heifRefusedBeforeDecoding_data();
    void heifRefusedBeforeDecoding();
    void heifThumbnailForSmallDrawings_data();
    void heifThumbnailForSmallDrawings();
};

void tst_Formats::readsAsPillowDoes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shows"); // what Pillow reads for comparison
    if (python3WithPillow.isEmpty())
        return;
    const QString folder = m_dir.filePath(QStringLiteral("formats"));
    const QStringList names = outputOf(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/formats/make_format_pictures.py"),
                                                           folder, imageMagickConvert})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(names.size() >= 30, qPrintable(QStringLiteral("%1 pictures made").arg(names.size())));
    for (const QString &line : names) {
        const QString name = line.section(QLatin1Char('\t'), 0, 0);
        const QString shows = line.section(QLatin1Char('\t'), 1);
        QTest::newRow(qPrintable(name)) << QDir(folder).filePath(name) << QDir(folder).filePath(shows.isEmpty() ? name : shows);
    }
}

void tst_Formats::readsAsPillowDoes()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QFETCH(QString, path);
    QFETCH(QString, shows);
    const PictureLoad load = LoadPicture(path);
    QVERIFY2(!load.failure, qPrintable(reasonOf(load.failure)));
    // Both sides round once when they premultiply.
    const QString difference = differenceFromPillow(load.picture.image(), decodeWithPillow(shows), 1);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// How a drawing reaches the converter.
enum class Given { AsFile, Compressed, OnStandardInput };
Q_DECLARE_METATYPE(Given)

void tst_Formats::drawingsMatchTheirShapesAtEverySize_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<Given>("given");
    QTest::newRow("logo") << logo << Given::AsFile;
    QTest::newRow("thin lines and a see-through square, compressed") << thinLines << Given::Compressed;
#ifndef TERVANA_SANITIZED
    // A drawing for each kind of thing SVG draws (clip paths, masks,
    // filters, patterns, markers, symbols, style sheets, switches, embedded
    // pictures, text); text comes on standard input, with no name. Under
    // the sanitizers these take minutes and exercise no further code of ours.
    const QDir drawings(QStringLiteral(TESTS_SOURCE_DIR "/formats/svg"));
    for (const QString &name : drawings.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << readFile(drawings.filePath(name))
                                        << (name == QLatin1String("text.svg") ? Given::OnStandardInput : Given::AsFile);
#endif
}

// At every size, each pixel holds what the shapes cover of it: within 45 dB
// of librsvg's rendering 16 times finer, area-averaged.
void tst_Formats::drawingsMatchTheirShapesAtEverySize()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QSKIP_UNLESS_TOOL(rsvgConvert);
    QFETCH(QByteArray, svg);
    QFETCH(Given, given);
    const QString folder = folderForThisTest(m_dir);
    const QString drawing = QDir(folder).filePath(QStringLiteral("drawing.svg"));
    QVERIFY(writeFile(drawing, svg));
    QString input = drawing;
    RunSetting setting;
    if (given == Given::Compressed) {
        input = QDir(folder).filePath(QStringLiteral("drawing.svgz"));
        QCOMPARE(QProcess::execute(python3WithPillow, {QStringLiteral("-c"),
                                                        QStringLiteral("import gzip, sys; open(sys.argv[2], 'wb').write("
                                                                       "gzip.compress(open(sys.argv[1], 'rb').read()))"),
                                                        drawing, input}),
                 0);
    } else if (given == Given::OnStandardInput) {
        input = QStringLiteral("-");
        setting.standardInputFile = drawing;
    }
    const QString icon = QDir(folder).filePath(QStringLiteral("drawing.ico"));
    const Run run = runConverter({QStringLiteral("--sizes"), QStringLiteral("256,128,64,48,40,32,24,20,16"), input,
                                  QStringLiteral("-o"), icon}, setting);
    QCOMPARE(run.errorLines, QStringList());
    QProcess measure;
    measure.start(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/formats/svg_psnr.py"), drawing, icon});
    QVERIFY(measure.waitForFinished(120000));
    if (measure.exitCode() == 77)
        QSKIP_MISSING("numpy");
    const QStringList lines = QString::fromUtf8(measure.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 9);
    for (const QString &line : lines)
        QVERIFY2(line.section(QLatin1Char(' '), 1).toDouble() >= 45.0, qPrintable(QStringLiteral("size %1 dB").arg(line)));
}

// A drawing's own transparency stays in icons of several sizes, and in the
// 32 x 32 icon as in any picture's: what is at least half opaque keeps its
// own colour, the rest and the bands are transparent.
void tst_Formats::drawingsKeepTheirTransparency()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    const QString folder = folderForThisTest(m_dir);
    const QString drawing = QDir(folder).filePath(QStringLiteral("wide.svg"));
    QVERIFY(writeFile(drawing, "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'>"
"        <rect width='200' height='100' fill='#0000ff' fill-opacity='0.6'/><circle cx='100' cy='50' r='30' fill='#ff0000'/>"
"        </svg>"));
    const QString sizes = QDir(folder).filePath(QStringLiteral("sizes.ico"));
    const QString classic = QDir(folder).filePath(QStringLiteral("classic.ico"));
    QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("32"), drawing, QStringLiteral("-o"), sizes}).exitCode, 0);
    QCOMPARE(runConverter({drawing, QStringLiteral("-o"), classic}).exitCode, 0);
    const QStringList clear = decodeWithPillow(sizes);
    const QStringList keyed = decodeWithPillow(classic);
    // Row 2 is in the band above the picture, row 12 in its see-through
    // blue part, row 16 through the red circle. Renderers round opacity
    // their own way.
    const auto near = [](const QStringList &pixels, int x, int y, quint32 rrggbbaa) {
        const quint32 value = pixels.value(1 + y * 32 + x).toUInt(nullptr, 16);
        for (int shift = 0; shift < 32; shift += 8)
            if (qAbs(int((value >> shift) & 0xFF) - int((rrggbbaa >> shift) & 0xFF)) > 2)
                return false;
        return true;
    };
    QVERIFY(near(clear, 2, 2, 0x00000000));
    QVERIFY(near(clear, 2, 12, 0x0000FF99));
    QVERIFY(near(clear, 16, 16, 0xFF0000FF));
    QVERIFY(near(keyed, 2, 2, 0x00000000));
    QVERIFY(near(keyed, 2, 12, 0x0000FFFF));
    QVERIFY(near(keyed, 16, 16, 0xFF0000FF));
}

void tst_Formats::drawingsTooBigForTheirMemory_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("drawnWhole");
    QTest::newRow("drawn whole") << 40 << true;
    QTest::newRow("drawn in part, and said so") << 400 << false;
}

// A filter of many steps over the whole drawing costs more for every pixel
// drawn: it is drawn at the size of the 256 x 256 image, and where even
// that needs more memory than a drawing is given librsvg says what it
// cannot draw, and the icon is written with a line that says so.
void tst_Formats::drawingsTooBigForTheirMemory()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QFETCH(int, steps);
    QFETCH(bool, drawnWhole);
    const QString folder = folderForThisTest(m_dir);
    const QString drawing = QDir(folder).filePath(QStringLiteral("filtered.svg"));
    QString filter;
    for (int i = 0; i < steps; ++i)
        filter += QStringLiteral("<feOffset dx='0' result='r%1'/>").arg(i);
    QVERIFY(writeFile(drawing, QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                                              "<filter id='f' x='0' y='0' width='1' height='1'>%1</filter>"
                                              "<circle cx='32' cy='32' r='20' fill='#f00'/>"
                                              "<rect width='64' height='16' fill='#00f' filter='url(#f)'/></svg>")
                                   .arg(filter)
                                   .toUtf8()));
    const QString icon = QDir(folder).filePath(QStringLiteral("filtered.ico"));
    const Run run = runConverter({QStringLiteral("--sizes"), QStringLiteral("256"), drawing, QStringLiteral("-o"), icon});
    QCOMPARE(run.exitCode, 0);
    const QStringList pixels = decodeWithPillow(icon);
    QCOMPARE(pixels.value(1 + 128 * 256 + 128), QStringLiteral("FF0000FF"));
    if (drawnWhole) {
        QCOMPARE(run.errorLines, QStringList());
        QCOMPARE(pixels.value(1 + 8 * 256 + 128), QStringLiteral("0000FFFF"));
    } else {
        QCOMPARE(run.errorLines.size(), 1);
        QVERIFY2(run.errorLines.first().contains(
                     QStringLiteral("\"%1\" is drawn in part: librsvg could not draw all of it").arg(drawing)),
                 qPrintable(run.errorLines.first()));
    }
}

// A renderer that runs out of its memory where a drawing's filter starts
// its threads is refused in the words of the memory it had, not as a
// renderer that stopped.
void tst_Formats::aRendererOutOfMemorySaysSo()
{
    const QByteArray blurred("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                             "<filter id='f'><feGaussianBlur stdDeviation='3'/></filter>"
                             "<circle cx='32' cy='32' r='20' filter='url(#f)'/></svg>");
    const SvgRendering rendering = renderSvg(blurred, SvgSize{SvgSize::Rule::Fit, 256}, 3);
    QVERIFY(rendering.failure);
    QCOMPARE(rendering.failure->reason, QStringLiteral("the drawing needs more than 3 MB to draw"));
    QVERIFY(!renderSvg(blurred, SvgSize{SvgSize::Rule::Fit, 256}).failure);
}

namespace {

// A drawing of `count` rectangles, each with a soft shadow of its own: a
// filter of five steps, whose cost grows with every pixel drawn.
QByteArray softShadows(int count)
{
    QByteArray defs;
    QByteArray shapes;
    for (int i = 0; i < count; ++i) {
        defs += QStringLiteral("<filter id='s%1' x='-50%' y='-50%' width='200%' height='200%'><feGaussianBlur "
                               "in='SourceAlpha' stdDeviation='%2'/><feOffset dx='2' dy='3' result='b'/><feFlood "
                               "flood-opacity='0.4'/><feComposite in2='b' operator='in'/><feMerge><feMergeNode/>"
                               "<feMergeNode in='SourceGraphic'/></feMerge></filter>")
                    .arg(i)
                    .arg(2 + i % 5)
                    .toUtf8();
        shapes += QStringLiteral("<rect x='%1' y='%2' width='50' height='40' rx='8' fill='hsl(%3,70%,55%)' "
                                 "filter='url(#s%4)'/>")
                      .arg(10 + i * 37 % 180)
                      .arg(10 + i * 53 % 180)
                      .arg(i * 47 % 360)
                      .arg(i)
                      .toUtf8();
    }
    return "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 256 256' width='256' height='256'><defs>" + defs
           + "</defs>" + shapes + "</svg>";
}

} // namespace

// One renderer draws every drawing of a thread in turn: each drawing is
// still what a run of it alone makes, whatever was drawn before it: a
// plain one, one costly for every pixel, and one drawn in part for want of
// memory after them.
void tst_Formats::drawingsAreDrawnAsAloneWithinARun()
{
    const QString folder = folderForThisTest(m_dir);
    QString steps;
    for (int i = 0; i < 400; ++i)
        steps += QStringLiteral("<feOffset dx='0' result='r%1'/>").arg(i);
    const QList<QPair<QString, QByteArray>> drawings = {
        {QStringLiteral("3 hungry.svg"), QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                                                         "<filter id='f' x='0' y='0' width='1' height='1'>%1</filter>"
                                                         "<rect width='64' height='16' fill='#00f' filter='url(#f)'/></svg>")
                                              .arg(steps)
                                              .toUtf8()},
        {QStringLiteral("1 plain.svg"), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'>"
                                        "<circle cx='5' cy='5' r='4.3' fill='#c33'/></svg>"},
        {QStringLiteral("2 shadows.svg"), softShadows(30)}};
    QStringList inputs;
    for (const auto &[name, content] : drawings) {
        inputs << QDir(folder).filePath(name);
        QVERIFY(writeFile(inputs.last(), content));
    }
    const QString together = QDir(folder).filePath(QStringLiteral("together"));
    QVERIFY(QDir().mkpath(together));
    QCOMPARE(runConverter(QStringList{QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("--sizes"), QStringLiteral("all")}
                          + inputs + QStringList{QStringLiteral("-d"), together}).exitCode, 0);
    for (const QString &input : inputs) {
        const QString alone = QDir(folder).filePath(QStringLiteral("alone.ico"));
        QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("all"), input, QStringLiteral("-o"), alone}).exitCode, 0);
        const QString made = QDir(together).filePath(QFileInfo(input).completeBaseName() + QStringLiteral(".ico"));
        QVERIFY2(readFile(made) == readFile(alone) && !readFile(alone).isEmpty(), qPrintable(input));
    }
}

// The budget refuses what takes longer and changes nothing else: 240 soft
// shadows, drawn at the 256's own size as a drawing this costly is, take
// about 0.3 s; a tenth of a second refuses them in one line.
void tst_Formats::theDrawingBudgetOnlyRefuses()
{
    const QString folder = folderForThisTest(m_dir);
    const QString drawing = QDir(folder).filePath(QStringLiteral("shadows.svg"));
    QVERIFY(writeFile(drawing, softShadows(240)));
    const QString icon = QDir(folder).filePath(QStringLiteral("shadows.ico"));
    const Run tight = runConverter({QStringLiteral("--drawing-budget"), QStringLiteral("0.1"), QStringLiteral("--sizes"),
                                    QStringLiteral("all"), drawing, QStringLiteral("-o"), icon});
    QCOMPARE(tight.exitCode, 1);
    QCOMPARE(tight.errorLines, QStringList{QStringLiteral("tervana-convert: Tervana cannot open \"%1\": the drawing takes "
                                                          "longer than 0.1 s to draw.").arg(drawing)});
    QVERIFY(!QFileInfo::exists(icon));
    const Run usual = runConverter({QStringLiteral("--sizes"), QStringLiteral("all"), drawing, QStringLiteral("-o"), icon});
    QVERIFY2(usual.exitCode == 0 && usual.errorLines.isEmpty(), qPrintable(usual.errorLines.join(QLatin1Char('\n'))));
    const QByteArray made = readFile(icon);
    QCOMPARE(runConverter({QStringLiteral("--drawing-budget"), QStringLiteral("60"), QStringLiteral("--sizes"),
                           QStringLiteral("all"), drawing, QStringLiteral("-o"), icon}).exitCode, 0);
    QCOMPARE(readFile(icon), made);
}

QTEST_MAIN(tst_Formats)
// A PDF logo cairo wrote from an SVG drawing's shapes makes the icons the
// drawing makes: within 45 dB of them at every size.
void tst_Formats::pdfPagesMatchTheirDrawingsAtEverySize()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    const QString folder = folderForThisTest(m_dir);
    const QString fromSvg = QDir(folder).filePath(QStringLiteral("svg.ico"));
    const QString fromPdf = QDir(folder).filePath(QStringLiteral("pdf.ico"));
    const QStringList sizes{QStringLiteral("--sizes"), QStringLiteral("16,32,48,256")};
    QCOMPARE(runConverter(sizes + QStringList{QStringLiteral(TESTS_SOURCE_DIR "/formats/logo.svg"), QStringLiteral("-o"), fromSvg})
                 .errorLines,
             QStringList());
    QCOMPARE(runConverter(sizes + QStringList{corpus + QStringLiteral("/pdf/logo.pdf"), QStringLiteral("-o"), fromPdf})
                 .errorLines,
             QStringList());
    QProcess measure;
    measure.start(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/formats/icons_psnr.py"), fromSvg, fromPdf});
    QVERIFY(measure.waitForFinished(60000));
    if (measure.exitCode() == 77)
        QSKIP_MISSING("numpy");
    const QStringList lines = QString::fromUtf8(measure.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    for (const QString &line : lines)
        QVERIFY2(line.section(QLatin1Char(' '), 1).toDouble() >= 45.0, qPrintable(QStringLiteral("size %1 dB").arg(line)));
}

void tst_Formats::pdfPagesReadAsAsked_data()
{
    QTest::addColumn<QStringList>("page"); // the options that choose it
    QTest::addColumn<QRgb>("centre"); // the icon's centre, when it is read
    QTest::addColumn<QString>("failure"); // or the one line that says why not
    QTest::newRow("the first unless told") << QStringList() << qRgb(0xff, 0xd2, 0x3f) << QString();
    QTest::newRow("--page 2") << QStringList{QStringLiteral("--page"), QStringLiteral("2")} << qRgb(0x20, 0xa0, 0x40)
                              << QString();
    QTest::newRow("--page 3 of 2") << QStringList{QStringLiteral("--page"), QStringLiteral("3")} << QRgb(0)
                                   << QStringLiteral("it has no page 3; it has 2.");
}

// The page --page names is the one read (the corpus's two pages: squares,
// then a green circle); a document without it is refused in one line.
void tst_Formats::pdfPagesReadAsAsked()
{
    QFETCH(QStringList, page);
    QFETCH(QRgb, centre);
    QFETCH(QString, failure);
    const QString icon = QDir(folderForThisTest(m_dir)).filePath(QStringLiteral("page.ico"));
    const Run run = runConverter(page + QStringList{QStringLiteral("--sizes"), QStringLiteral("32"),
                                                    corpus + QStringLiteral("/pdf/two-pages.pdf"), QStringLiteral("-o"), icon});
    if (!failure.isEmpty()) {
        QCOMPARE(run.errorLines.size(), 1);
        QVERIFY2(run.errorLines.front().endsWith(failure), qPrintable(run.errorLines.front()));
        QVERIFY(!QFileInfo::exists(icon));
        return;
    }
    QCOMPARE(run.errorLines, QStringList());
    const PictureLoad load = LoadPicture(icon);
    QVERIFY2(!load.failure, qPrintable(reasonOf(load.failure)));
    const QRgb read = load.picture.image().pixel(16, 16);
    const int off = qMax(qMax(qAbs(qRed(read) - qRed(centre)), qAbs(qGreen(read) - qGreen(centre))),
                         qAbs(qBlue(read) - qBlue(centre)));
    QVERIFY2(off <= 2 && qAlpha(read) == 255, qPrintable(QString::number(read, 16)));
}

// -r converts the pictures under a folder but not a PDF document among
// them; named, the same document is read.
void tst_Formats::foldersLeaveDocumentsOut()
{
    const QDir folder(folderForThisTest(m_dir));
    QVERIFY(folder.mkpath(QStringLiteral("in")) && folder.mkpath(QStringLiteral("out")));
    QVERIFY(QFile::copy(corpus + QStringLiteral("/png/alpha.png"), folder.filePath(QStringLiteral("in/alpha.png"))));
    QVERIFY(QFile::copy(corpus + QStringLiteral("/pdf/logo.pdf"), folder.filePath(QStringLiteral("in/logo.pdf"))));
    QVERIFY(QFile::copy(corpus + QStringLiteral("/pdf/logo.ai"), folder.filePath(QStringLiteral("in/logo.ai"))));
    const QString out = folder.filePath(QStringLiteral("out"));
    QCOMPARE(runConverter({QStringLiteral("-r"), folder.filePath(QStringLiteral("in")), QStringLiteral("-d"), out}).errorLines,
             QStringList{QStringLiteral("tervana-convert: 2 files were not a picture, left alone.")});
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("alpha.ico")});
    QCOMPARE(runConverter({folder.filePath(QStringLiteral("in/logo.pdf")), QStringLiteral("-d"), out}).errorLines,
             QStringList());
    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{QStringLiteral("alpha.ico"), QStringLiteral("logo.ico")}));
}

void tst_Formats::completionsOfferTheTablesEndings_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("pattern"); // where the endings are listed
    QTest::addColumn<QString>("separators");
    QTest::newRow("bash") << QStringLiteral("tervana-convert.bash") << QStringLiteral("local extensions=\"([^\"]*)\"")
                          << QStringLiteral(" ");
    QTest::newRow("zsh") << QStringLiteral("_tervana-convert") << QStringLiteral("\\(#i\\)\\(([^)]*)\\)")
                         << QStringLiteral("\\|");
}

void tst_Formats::completionsOfferTheTablesEndings()
{
    QFETCH(QString, script);
    QFETCH(QString, pattern);
    QFETCH(QString, separators);
    const QString text = QString::fromUtf8(readFile(QStringLiteral(TESTS_SOURCE_DIR "/../desktop/completion/") + script));
    QStringList offered = wordsOf(text, pattern, separators);
    QStringList endings = pictureEndings();
    offered.sort();
    endings.sort();
    QCOMPARE(offered, endings);
}

void tst_Formats::documentsNameTheTablesFormats_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern"); // where the formats are listed
    const QString desktop = QStringLiteral(TESTS_SOURCE_DIR "/../desktop/");
    QTest::newRow("--help") << outputOf(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), {QStringLiteral("--help")})
                            << QStringLiteral("Turns pictures \\(([^)]*)\\)");
    QTest::newRow("tervana-convert.1") << QString::fromUtf8(readFile(desktop + QStringLiteral("tervana-convert.1")))
                                       << QStringLiteral("each picture \\(([^)]*)\\)");
    QTest::newRow("tervana.1") << QString::fromUtf8(readFile(desktop + QStringLiteral("tervana.1")))
                               << QStringLiteral("a picture \\(([^)]*)\\)");
    QTest::newRow("README") << QString::fromUtf8(readFile(QStringLiteral(TESTS_SOURCE_DIR "/../README.md")))
                            << QStringLiteral("The window reads ([^.]*) drawings");
    QTest::newRow("docs/using.md") << QString::fromUtf8(readFile(QStringLiteral(TESTS_SOURCE_DIR "/../docs/using.md")))
                                   << QStringLiteral("whatever its name: ([^`]*) drawings");
}

void tst_Formats::documentsNameTheTablesFormats()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    const QRegularExpressionMatch listed = QRegularExpression(pattern).match(text);
    QVERIFY2(listed.hasMatch(), qPrintable(pattern));
    QCOMPARE(namesIn(listed.captured(1)), tableNames());
}

void tst_Formats::desktopFilesOfferTheTablesMimeTypes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("pattern"); // each match's first capture lists MIME types
    QTest::newRow("desktop entry") << QStringLiteral("org.example.tervana.desktop")
                                   << QStringLiteral("(?m)^MimeType=(.*)$");
    QTest::newRow("AppStream") << QStringLiteral("org.example.tervana.metainfo.xml")
                               << QStringLiteral("<mediatype>([^<]*)</mediatype>");
}

// A file manager offers Tervana for exactly the files it reads and should
// open: every MIME type of the table's rows offered to open, and none else
// (not application/pdf, which a PDF viewer should own).
void tst_Formats::desktopFilesOfferTheTablesMimeTypes()
{
    QFETCH(QString, file);
    QFETCH(QString, pattern);
    const QString text = QString::fromUtf8(readFile(QStringLiteral(TESTS_SOURCE_DIR "/../desktop/") + file));
    QStringList offered;
    for (const QRegularExpressionMatch &match : QRegularExpression(pattern).globalMatch(text))
        offered += match.captured(1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QStringList types;
    for (const PictureFormat &format : pictureFormats())
        if (format.offeredToOpen)
            types += format.mimeTypes;
    offered.sort();
    types.sort();
    QCOMPARE(offered, types);
}

void tst_Formats::corpusReadsAsItsPictures_data()
{
    QTest::addColumn<QString>("path");
    const QDir folders(corpus);
    QStringList unknown = folders.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const PictureFormat &format : pictureFormats()) {
        const QString folder = corpusFolderOf(format);
        unknown.removeAll(folder);
        const QDir files(folders.filePath(folder));
        QStringList names;
        for (const QString &name : files.entryList(QDir::Files, QDir::Name))
            if (!name.endsWith(expectedEnding))
                names += name;
        QVERIFY2(!names.isEmpty(), qPrintable(QStringLiteral("the corpus holds no %1 file (tests/corpus/%2/)").arg(format.name, folder)));
        for (const QString &name : names)
            QTest::newRow(qPrintable(folder + QLatin1Char('/') + name)) << files.filePath(name);
    }
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("corpus folders of no format of the table: ") + unknown.join(QStringLiteral(", "))));
}

// Each file of the corpus reads as the picture beside it, pixel for pixel;
// what one was read as instead is kept in the test's build folder for a look.
void tst_Formats::corpusReadsAsItsPictures()
{
    QFETCH(QString, path);
    const QImage expected(path + expectedEnding);
    QVERIFY2(!expected.isNull(), qPrintable(QStringLiteral("no picture to compare with: ") + path + expectedEnding));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const PictureLoad load = readPicture(file);
    QVERIFY2(!load.failure, qPrintable(reasonOf(load.failure)));
    const QImage actual = load.picture.image();
    const QString difference = firstDifference(actual, expected);
    if (!difference.isEmpty()) {
        const QDir keep(QCoreApplication::applicationDirPath() + QStringLiteral("/corpus-actual"));
        keep.mkpath(QStringLiteral("."));
        const QString kept = keep.filePath(QFileInfo(path).fileName() + QStringLiteral(".png"));
        QVERIFY(actual.save(kept, "PNG"));
        QFAIL(qPrintable(difference + QStringLiteral("; read as ") + kept));
    }
}

// The corpus's HEIC files, each with its bytes `from` (first found)
// changed to `to`, or cut to half, refused with the words `says`.
void tst_Formats::heifRefusedBeforeDecoding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("says");
    const QByteArray grid("\0\0\0\0\0\x30\0\x20", 8); // version, flags, one row, one column, 48 x 32
    const QByteArray ispe("ispe\0\0\0\0\0\0\0\x30\0\0\0\x20", 16);
    QTest::newRow("cut short") << "alpha.heic" << QByteArray() << QByteArray() << "the file is cut short";
    QTest::newRow("a grid of 65,536 cells") << "alpha.heic" << grid << QByteArray("\0\0\xff\xff\0\x30\0\x20", 8)
                                            << "a grid of 65536 cells, more than 1024";
    QTest::newRow("stating 65535 x 65535") << "alpha.heic" << ispe << QByteArray("ispe\0\0\0\0\0\0\xff\xff\0\0\xff\xff", 16)
                                           << "too large (65535 x 65535";
    // The primary grid (item 2) made of item 2 instead of its cell, item 1.
    QTest::newRow("a grid made of itself") << "turned.heic" << QByteArray("dimg\0\x02\0\x01\0\x01", 10)
                                           << QByteArray("dimg\0\x02\0\x01\0\x02", 10) << "made of itself";
    QTest::newRow("no primary picture") << "turned.heic" << QByteArray("pitm") << QByteArray("free")
                                        << "names no primary picture";
}

void tst_Formats::heifRefusedBeforeDecoding()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, says);
    QFile file(corpus + QStringLiteral("/heic/") + name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray data = file.readAll();
    const qsizetype at = data.indexOf(from);
    QVERIFY2(at >= 0, "the bytes to change are not in the file");
    data = from.isEmpty() ? data.left(data.size() / 2) : data.replace(at, from.size(), to);
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const PictureLoad load = readPicture(buffer, QSize(32, 32));
    QVERIFY2(load.failure && load.failure->reason.contains(says), qPrintable(reasonOf(load.failure)));
}

// The turned HEIC (32 x 48 upright, its thumbnail 16 x 24) read for a
// drawing of each size: the thumbnail where it keeps the detail asked,
// upright too; the picture's own size is its primary picture's.
void tst_Formats::heifThumbnailForSmallDrawings_data()
{
    QTest::addColumn<QSize>("drawSize");
    QTest::addColumn<bool>("fine");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("4 x 4, light") << QSize(4, 4) << false << QSize(16, 24);
    QTest::newRow("2 x 2, fine") << QSize(2, 2) << true << QSize(16, 24);
    QTest::newRow("4 x 4, fine") << QSize(4, 4) << true << QSize(32, 48);
    QTest::newRow("256 x 256") << QSize(256, 256) << false << QSize(32, 48);
    QTest::newRow("its own size") << QSize() << true << QSize(32, 48);
}

void tst_Formats::heifThumbnailForSmallDrawings()
{
    QFETCH(QSize, drawSize);
    QFETCH(bool, fine);
    QFETCH(QSize, decoded);
    QFile file(corpus + QStringLiteral("/heic/turned.heic"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const PictureLoad load = readPicture(file, drawSize, fine ? DrawDetail::Fine : DrawDetail::Light);
    QVERIFY2(!load.failure, qPrintable(reasonOf(load.failure)));
    QCOMPARE(load.picture.image().size(), decoded);
    QCOMPARE(load.picture.size(), QSize(32, 48));
}

#include "tst_formats.moc"
