// Bad and awkward pictures, made by tests/hostile/make_hostile_pictures.py,
// through the Open command and through tervana-convert: a clear message or a
// correct icon, never a crash or a hang, and no existing file lost. Pictures
// cut short at many places are refused in those words, no result ever
// depends on what memory held before, and drawings read no other file.
// Files that cost minutes or gigabytes are tst_costlyinput's.

#include "windowtestutils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

using namespace testutils;

namespace {

// Each run's memory limit. The sanitizers' own bookkeeping takes far more
// than the program, so under them only a giant allocation shows.
#ifdef TERVANA_SANITIZED
constexpr qint64 peakLimitKilobytes = 600 * 1024;
#else
constexpr qint64 peakLimitKilobytes = 64 * 1024;
#endif
// A drawing is drawn, or refused, within this much processor time however
// hard it is to draw: its renderer has a budget of 1.5 s of work. The
// sanitizers slow our own reading of a big document several times over.
#ifdef TERVANA_SANITIZED
constexpr qint64 drawingLimitMilliseconds = 10000;
#else
constexpr qint64 drawingLimitMilliseconds = 2000;
#endif

bool isDrawing(const QString &name)
{
    return name.endsWith(QLatin1String(".svg")) || name.endsWith(QLatin1String(".svgz"));
}

const QByteArray iconHeader = QByteArray::fromHex("000001000100"
                                                  "2020000001001800A80C000016000000"
                                                  "2800000020000000400000000100180000000000800C0000");

} // namespace

class tst_Hostile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_pictures;
    QString m_cuts;

private slots:
    void initTestCase();
    void openCommand_data();
    void openCommand();
    void converter_data();
    void converter();
    void cutShortPicturesAreRefusedByTheWindow();
    void cutShortPicturesAreRefusedByTheConverter();
    void resultsDoNotDependOnWhatMemoryHeld();
    void drawingsReadNothingButThemselves();
};

void tst_Hostile::initTestCase()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    m_pictures = m_dir.filePath(QStringLiteral("pictures"));
    m_cuts = m_dir.filePath(QStringLiteral("cuts"));
    const QStringList lines = makeHostilePictures({m_pictures});
    QVERIFY(lines.size() >= 10);
    QVERIFY(makeHostilePictures({QStringLiteral("--cuts"), m_cuts}).size() >= 100);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("list")), lines.join(QLatin1Char('\n')).toUtf8()));
}

static void addPictureRows(const QString &listPath)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expect");
    QFile list(listPath);
    if (!list.open(QIODevice::ReadOnly)) {
        // Pillow writes the pictures and their list; with it, they are there.
        QVERIFY2(python3WithPillow.isEmpty(), "the hostile pictures' list was not written");
        return;
    }
    const QStringList lines = QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 80, qPrintable(QStringLiteral("%1 hostile pictures").arg(lines.size())));
    for (const QString &line : lines) {
        const QString expect = line.section(QLatin1Char(' '), 0, 0);
        const QString name = line.section(QLatin1Char(' '), 1);
        QTest::newRow(qPrintable(name)) << name << expect;
    }
}

void tst_Hostile::openCommand_data()
{
    addPictureRows(m_dir.filePath(QStringLiteral("list")));
}

void tst_Hostile::openCommand()
{
    QFETCH(QString, name);
    QFETCH(QString, expect);
    const QString picture = QDir(m_pictures).filePath(name);

    QTemporaryDir program;
    ScriptedWindow w(program.path());
    w.dialogs.choose(picture);
    QElapsedTimer timer;
    timer.start();
    w->Command3_Click();
    QVERIFY(timer.elapsed() < 20000);
    const bool refused = !w.boxes.shown.isEmpty();
    if (expect == QLatin1String("ok"))
        QVERIFY2(!refused, qPrintable(w.boxes.shown.value(0).prompt));
    if (expect == QLatin1String("refused") || expect == QLatin1String("cut"))
        QVERIFY(refused);
    if (expect == QLatin1String("cut"))
        QVERIFY2(w.boxes.shown.first().prompt.endsWith(QStringLiteral("the file is cut short.")),
                 qPrintable(w.boxes.shown.first().prompt));
    if (refused) {
        QCOMPARE(w.boxes.shown.size(), 1);
        QVERIFY(w.boxes.shown.first().prompt.contains(QDir::toNativeSeparators(picture)));
        QVERIFY(!QFileInfo::exists(QDir(program.path()).filePath(QStringLiteral("temporaneo"))));
    } else {
        // The preview shows exactly the square that was made.
        verifySameSquare(*w->Picture1, *w->Picture5);
    }
    // The window keeps working: a save afterwards writes a whole icon.
    const QString icon = m_dir.filePath(QStringLiteral("after-open.ico"));
    w.save(icon);
    QCOMPARE(readFile(icon).left(62), iconHeader + QByteArray(16, '\0'));
    QCOMPARE(readFile(icon).size(), 3262);
}

void tst_Hostile::converter_data()
{
    addPictureRows(m_dir.filePath(QStringLiteral("list")));
}

void tst_Hostile::converter()
{
    QFETCH(QString, name);
    QFETCH(QString, expect);
    const QString picture = QDir(m_pictures).filePath(name);
    const QString output = m_dir.filePath(QStringLiteral("existing output.ico"));
    const QByteArray earlier("an earlier file at the output path");
    QVERIFY(writeFile(output, earlier));

    RunSetting setting;
    setting.timeoutMilliseconds = 30000;
    setting.measurePeak = true;
    // Nor a giant allocation: each is refused or converted within 64 MB,
    // also into icons of every size.
    const Run sizes = runConverter({QStringLiteral("--sizes"), QStringLiteral("all"), picture, QStringLiteral("-o"),
                                    m_dir.filePath(QStringLiteral("sizes.ico"))}, setting);
    QVERIFY2(sizes.exitCode == 0 || sizes.exitCode == 1, "the converter crashed or hung");
    QVERIFY2(sizes.peakKilobytes > 0 && sizes.peakKilobytes < peakLimitKilobytes, qPrintable(QStringLiteral("peak %1 KB").arg(sizes.peakKilobytes)));
    if (isDrawing(name))
        QVERIFY2(sizes.processorMilliseconds < drawingLimitMilliseconds,
                 qPrintable(QStringLiteral("%1 ms of processor time").arg(sizes.processorMilliseconds)));
    const Run run = runConverter({picture, QStringLiteral("-o"), output}, setting);
    QVERIFY2(run.exitCode >= 0, "the converter crashed or hung");
    QVERIFY2(run.peakKilobytes > 0 && run.peakKilobytes < peakLimitKilobytes, qPrintable(QStringLiteral("peak %1 KB").arg(run.peakKilobytes)));
    const QStringList &errors = run.errorLines;
    const int status = run.exitCode;
    QVERIFY(status == 0 || status == 1);
    if (expect == QLatin1String("ok"))
        QCOMPARE(status, 0);
    if (expect == QLatin1String("refused") || expect == QLatin1String("cut"))
        QCOMPARE(status, 1);
    if (expect == QLatin1String("cut"))
        QVERIFY2(errors.value(0).endsWith(QStringLiteral("the file is cut short.")), qPrintable(errors.value(0)));
    if (status == 1) {
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(picture));
        QCOMPARE(readFile(output), earlier);
    } else {
        QVERIFY(errors.isEmpty());
        const QStringList pixels = decodeWithPillow(output);
        QCOMPARE(pixels.value(0), QStringLiteral("32 32"));
        QCOMPARE(readFile(output).left(46), iconHeader);
    }
}

void tst_Hostile::cutShortPicturesAreRefusedByTheWindow()
{
    QTemporaryDir program;
    ScriptedWindow w(program.path());
    const QStringList cuts = QDir(m_cuts).entryList(QDir::Files, QDir::Name);
    for (const QString &name : cuts) {
        w.open(QDir(m_cuts).filePath(name));
        const QString prompt = w.boxes.shown.isEmpty() ? QString() : w.boxes.shown.takeLast().prompt;
        if (!prompt.endsWith(QStringLiteral("the file is cut short.")))
            QFAIL(qPrintable(QStringLiteral("%1: %2").arg(name, prompt.isEmpty() ? QStringLiteral("opened") : prompt)));
    }
}

void tst_Hostile::cutShortPicturesAreRefusedByTheConverter()
{
    const QString output = m_dir.filePath(QStringLiteral("cuts converted"));
    const Run run = convertFolder(m_cuts, output);
    QCOMPARE(run.exitCode, 1);
    // Exactly one line per picture, each saying why; nothing written.
    QCOMPARE(run.errorLines.size(), QDir(m_cuts).entryList(QDir::Files).size());
    for (const QString &line : run.errorLines)
        QVERIFY2(line.endsWith(QStringLiteral("the file is cut short.")), qPrintable(line));
    QCOMPARE(QDir(output).entryList(QDir::Files), QStringList());
}

// Memory handed out filled with 0, 85 or 170 where it used to be free: the
// same files and the same refusals every time. The C library fills it as
// MALLOC_PERTURB_ asks; AddressSanitizer's allocator, which replaces it,
// does not, so this runs in the normal build.
void tst_Hostile::resultsDoNotDependOnWhatMemoryHeld()
{
    if (sanitizedBuild)
        QSKIP("the sanitizers' allocator does not fill memory as MALLOC_PERTURB_ asks; the normal build checks this");
    const QString everything = m_dir.filePath(QStringLiteral("all pictures"));
    QDir().mkpath(everything);
    for (const QString &folder : {m_pictures, m_cuts})
        for (const QString &name : QDir(folder).entryList(QDir::Files))
            QVERIFY(QFile::copy(QDir(folder).filePath(name), QDir(everything).filePath(name)));

    QList<QHash<QString, QByteArray>> results;
    QList<QStringList> refusals;
    for (const char *fill : {"0", "85", "170"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MALLOC_PERTURB_"), QLatin1String(fill));
        const QString output = m_dir.filePath(QStringLiteral("filled with %1").arg(QLatin1String(fill)));
        const Run run = convertFolder(everything, output, {}, environment);
        QCOMPARE(run.exitCode, 1);
        QHash<QString, QByteArray> files;
        for (const QString &name : QDir(output).entryList(QDir::Files))
            files.insert(name, readFile(QDir(output).filePath(name)));
        QVERIFY(files.size() >= 8);
        results << files;
        refusals << run.errorLines;
    }
    for (qsizetype i = 1; i < results.size(); ++i) {
        QCOMPARE(refusals[i], refusals[0]);
        QCOMPARE(results[i].keys().size(), results[0].keys().size());
        for (auto it = results[0].cbegin(); it != results[0].cend(); ++it)
            QVERIFY2(results[i].value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

namespace {

// Drawings that name files beside them, every way an SVG can name one.
// FOLDER stands for their folder.
const char *const drawingsNamingFiles[] = {
    "<image width='9' height='9' href='secret.png'/>",
    "<image width='9' height='9' xlink:href='FOLDER/secret.png'/>",
    "<image width='9' height='9' href='file://FOLDER/secret.png'/>",
    "<image width='9' height='9' href='data:' xlink:href='secret.png'/>",
    "<image width='9' height='9' href='fifo'/>",
    "<use href='secret.svg#shape'/>",
    "<style>@import url(secret.css);</style><rect width='9' height='9'/>",
    "<rect width='9' height='9' fill='url(secret.svg#paint)'/>",
    "<filter id='f'><feImage href='secret.png'/></filter><rect width='9' height='9' filter='url(#f)'/>",
    "<g xml:base='file://FOLDER/'><use href='#shape'/></g>",
    "<xi:include xmlns:xi='http://www.w3.org/2001/XInclude' href='secret.css' parse='text'/>",
    ("<image width='9' height='9' href='data:image/svg+xml,%3Csvg xmlns=\"http://www.w3.org/2000/svg\"%3E"
     "%3Cimage href=\"FOLDER/secret.png\" width=\"9\" height=\"9\"/%3E%3C/svg%3E'/>"),
    "<a href='secret.svg'><rect width='9' height='9'/></a>",
    "<!DOCTYPE svg SYSTEM 'secret.css'>",
    "<style>@\\69mport url(secret.css);</style>",
    "<style>@imp<!-- split -->ort url(secret.css);</style>",
    "<rect width='9' height='9' style='fill:u\\72l(secret.svg#paint)'/>",
    "<rect width='9' height='9' fill='url(/**/secret.svg#paint)'/>",
};

// The drawing with `body` inside it, or before it when it is a document
// type declaration.
QByteArray drawingNaming(const char *body, const QString &folder)
{
    const QString text = QString::fromLatin1(body).replace(QStringLiteral("FOLDER"), folder);
    const bool declaration = text.startsWith(QLatin1String("<!"));
    return QStringLiteral("%1<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                          "width='64' height='64'>%2<rect width='9' height='9'/></svg>")
        .arg(declaration ? text : QString(), declaration ? QString() : text)
        .toUtf8();
}

// The files a command opens, and those its children open, as strace sees
// them; relative names are taken from `folder`, where it runs.
QStringList filesOpened(const QStringList &command, const QString &folder, const QString &input = QString())
{
    const QString trace = QDir(folder).filePath(QStringLiteral("trace"));
    QProcess traced;
    traced.setWorkingDirectory(folder);
    if (!input.isEmpty())
        traced.setStandardInputFile(input);
    traced.start(strace, QStringList{QStringLiteral("-f"), QStringLiteral("-e"),
                                     QStringLiteral("trace=open,openat,openat2,creat"), QStringLiteral("-o"), trace}
                             + command);
    if (!traced.waitForFinished(60000))
        return {QStringLiteral("(the traced command did not end within 60 s)")};
    QStringList opened;
    for (const QString &line : QString::fromUtf8(readFile(trace)).split(QLatin1Char('\n'))) {
        const QString name = line.section(QLatin1Char('"'), 1, 1);
        if (!name.isEmpty())
            opened << QDir::cleanPath(QDir(folder).absoluteFilePath(name));
    }
    QFile::remove(trace);
    return opened;
}

} // namespace

// An SVG never reads another file: those that name one are refused, and
// librsvg, given no base file, reads nothing but the document, whether the
// converter's checks let it through or not. The renderer opens the
// system's fonts and libraries, and nothing of the drawing's folder.
void tst_Hostile::drawingsReadNothingButThemselves()
{
    QSKIP_UNLESS_TOOL(strace);
    const QString folder = m_dir.filePath(QStringLiteral("drawings naming files"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/out")));
    const QStringList secrets = {QStringLiteral("secret.png"), QStringLiteral("secret.svg"), QStringLiteral("secret.css"),
                                 QStringLiteral("fifo")};
    QVERIFY(writeFile(QDir(folder).filePath(secrets[0]), readFile(QStringLiteral(TESTS_SOURCE_DIR "/../docs/screenshot.png"))));
    QVERIFY(writeFile(QDir(folder).filePath(secrets[1]), drawingNaming("<rect id='shape' width='64' height='64'/>", folder)));
    QVERIFY(writeFile(QDir(folder).filePath(secrets[2]), "rect { fill: red }"));
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {QDir(folder).filePath(secrets[3])}), 0);
    QStringList inputs;
    for (const char *body : drawingsNamingFiles) {
        inputs << QDir(folder).filePath(QStringLiteral("naming %1.svg").arg(inputs.size()));
        QVERIFY(writeFile(inputs.last(), drawingNaming(body, folder)));
    }
    const QString out = QDir(folder).filePath(QStringLiteral("out"));
    QStringList opened = filesOpened(QStringList{QStringLiteral(TERVANA_CONVERT_EXECUTABLE), QStringLiteral("-d"), out} + inputs, folder);
    for (const QString &input : inputs)
        opened += filesOpened({QStringLiteral(TERVANA_SVG_RENDER_EXECUTABLE), QStringLiteral("--fit"), QStringLiteral("64")},
                              folder, input);
    QVERIFY(opened.size() > inputs.size());
    for (const QString &path : opened) {
        const bool ofTheFolder = path.startsWith(folder + QLatin1Char('/'));
        const bool inputOrResult = inputs.contains(path) || path == out || path.startsWith(out + QLatin1Char('/'));
        QVERIFY2(!ofTheFolder || inputOrResult, qPrintable(QStringLiteral("opened %1").arg(path)));
    }
}

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
