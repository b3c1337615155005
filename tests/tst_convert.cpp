// tervana-convert: the same files as the window, clear refusals, and exit
// statuses scripts can rely on; where each result goes, claimed in-process
// as the run takes each picture, before anything is written.

#include "windowtestutils.h"

#include "inputstream.h"
#include "outputplan.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>

#include <fcntl.h>

using namespace testutils;

class tst_Convert : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void writesWhatTheWindowSaves_data();
    void writesWhatTheWindowSaves();
    void picturesKeepTheirOwnTransparency_data();
    void picturesKeepTheirOwnTransparency();
    void opaquePicturesKeepTheirBytes();
    void convertsTheRestWhenOnePictureFails();
    void parallelRunsReportInInputOrder();
    void badInputLeavesAnExistingOutputAlone();
    void writesToStandardOutputAndIntoPipes();
    void claimsRefuseWhatWouldReplaceAPictureOrAResult_data();
    void claimsRefuseWhatWouldReplaceAPictureOrAResult();
    void refusedPicturesAreReportedAndKept_data();
    void refusedPicturesAreReportedAndKept();
    void anInputThatIsNoRegularFileIsRefusedAtOnce();
    void permissionsAreSaidSo_data();
    void permissionsAreSaidSo();
    void aFullDiskIsSaidSo();
    void aListingThatCannotBeWrittenFails();
    void usageErrors_data();
    void usageErrors();
    void habitsOfOtherTools_data();
    void habitsOfOtherTools();
    void namesThatPromiseAnotherFormatAreWarned_data();
    void namesThatPromiseAnotherFormatAreWarned();
    void valuesThatLookLikeOptionsAreValues();
    void standardInputThatIsNoPictureIsSaidSo();
    void helpAndVersion();
    void anIconIsNotWrittenToATerminal();
};

void tst_Convert::initTestCase()
{
    QSKIP_UNLESS_TOOL(imageMagickConvert);
    QImage wide = patternImage(90, 40);
    for (int x = 0; x < 90; ++x)
        wide.setPixel(x, 20, qRgb(0, 0, 0)); // a black line: transparent where it survives the fit
    QVERIFY(saveImage(wide, path(QStringLiteral("wide.bmp")), "BMP"));
    QVERIFY(saveImage(patternImage(40, 90), path(QStringLiteral("tall.jpg")), "JPG"));
    QVERIFY(saveImage(patternImage(50, 50), path(QStringLiteral("square.gif")), "GIF"));
}

void tst_Convert::writesWhatTheWindowSaves_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<int>("size");

    for (const char *input : {"wide.bmp", "tall.jpg", "square.gif"}) {
        QTest::addRow("%s colour icon", input) << input << "" << 1 << 3262;
        QTest::addRow("%s bitmap", input) << input << "--bmp" << 2 << 54 + 32 * 96;
        QTest::addRow("%s black and white", input) << input << "--mono" << 3 << 326;
    }
}

void tst_Convert::writesWhatTheWindowSaves()
{
    QFETCH(QString, input);
    QFETCH(QString, option);
    QFETCH(int, filterIndex);
    QFETCH(int, size);

    // The window: a first Open in a fresh window, then Save.
    QTemporaryDir program;
    ScriptedWindow w(program.path());
    w.open(path(input));
    const QString fromWindow = path(QStringLiteral("window-") + input + option);
    w.dialogs.choose(fromWindow, filterIndex);
    w.boxes.answer(MsgBox::vbNo);
    w->Command1_Click();

    const QString fromConverter = path(QStringLiteral("converter-") + input + option + QStringLiteral(".result"));
    QStringList arguments{path(input), QStringLiteral("-o"), fromConverter};
    if (!option.isEmpty())
        arguments.prepend(option);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    const QByteArray converted = readFile(fromConverter);
    QCOMPARE(converted.size(), size);
    QCOMPARE(firstDifference(converted, readFile(fromWindow)), qsizetype(-1));
}

namespace {

// A picture of `width` x `height` in `fill`, with `inner` filled over the
// rectangle from (left, top) to (right, bottom).
QImage pictureWith(int width, int height, QRgb fill, QRect rectangle, QRgb inner)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(fill);
    for (int y = rectangle.top(); y <= rectangle.bottom(); ++y)
        for (int x = rectangle.left(); x <= rectangle.right(); ++x)
            picture.setPixel(x, y, inner);
    return picture;
}

} // namespace

void tst_Convert::picturesKeepTheirOwnTransparency_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("option");
    // "x,y RRGGBBAA" for each pixel checked, as Pillow reads the result.
    QTest::addColumn<QStringList>("expected");
    const QImage letter = pictureWith(64, 64, qRgba(0, 0, 0, 0), QRect(16, 16, 32, 32), qRgba(0, 0, 0, 255));
    const QStringList clearAroundBlack = {"2,2 00000000", "16,16 000000FF", "29,29 00000000"};
    QTest::newRow("black letter on clear, colour icon") << letter << "PNG" << "" << clearAroundBlack;
    QTest::newRow("black letter on clear, black and white") << letter << "PNG" << "--mono" << clearAroundBlack;
    QTest::newRow("black letter on clear, from a GIF") << letter << "GIF" << "" << clearAroundBlack;
    QTest::newRow("black letter on clear, bitmap over white")
        << letter << "PNG" << "--bmp" << QStringList{"2,2 FFFFFFFF", "16,16 000000FF"};
    QTest::newRow("less than half opaque is clear")
        << pictureWith(64, 64, qRgba(255, 0, 0, 127), QRect(32, 0, 32, 64), qRgba(255, 0, 0, 128)) << "PNG" << ""
        << QStringList{"4,8 00000000", "28,8 FF0000FF"};
    QTest::newRow("a see-through edge keeps its own colour")
        << pictureWith(64, 64, qRgba(0, 0, 0, 0), QRect(0, 0, 64, 64), qRgba(250, 250, 250, 200)) << "PNG" << ""
        << QStringList{"16,16 FAFAFAFF"};
    QTest::newRow("bands of a picture with transparency are clear")
        << pictureWith(64, 32, qRgba(0, 0, 255, 255), QRect(0, 0, 1, 1), qRgba(0, 0, 0, 0)) << "PNG" << ""
        << QStringList{"16,2 00000000", "16,16 0000FFFF"};
}

// A picture with a transparency of its own keeps it in the 32 x 32 icons:
// less than half opaque is transparent, the rest keeps its own colour,
// black too; the bands around it are transparent. A bitmap, which holds no
// transparency, is drawn over white.
void tst_Convert::picturesKeepTheirOwnTransparency()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QFETCH(QImage, picture);
    QFETCH(QString, format);
    QFETCH(QString, option);
    QFETCH(QStringList, expected);
    const QString png = path(QStringLiteral("own transparency.png"));
    QVERIFY(picture.save(png, "PNG"));
    QString input = png;
    if (format == QLatin1String("GIF")) {
        input = path(QStringLiteral("own transparency.gif"));
        QCOMPARE(QProcess::execute(imageMagickConvert, {png, input}), 0);
    }
    const QString result = path(QStringLiteral("own transparency result"));
    QStringList arguments = {input, QStringLiteral("-o"), result};
    if (!option.isEmpty())
        arguments.prepend(option);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 0);
    const QStringList pixels = decodeWithPillow(result);
    QCOMPARE(pixels.value(0), QStringLiteral("32 32"));
    for (const QString &check : expected) {
        const int x = check.section(QLatin1Char(','), 0, 0).toInt();
        const int y = check.section(QLatin1Char(','), 1).section(QLatin1Char(' '), 0, 0).toInt();
        QCOMPARE(pixels.value(1 + y * 32 + x), check.section(QLatin1Char(' '), 1));
    }
}

// A picture without transparency, also one stored with an alpha channel
// that is opaque throughout, makes the same bytes as ever: pure black is
// transparent.
void tst_Convert::opaquePicturesKeepTheirBytes()
{
    QImage picture = patternImage(40, 30).convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 40; ++x)
        picture.setPixel(x, 15, qRgb(0, 0, 0));
    QVERIFY(picture.save(path(QStringLiteral("opaque with alpha.png")), "PNG"));
    QVERIFY(picture.convertToFormat(QImage::Format_RGB888).save(path(QStringLiteral("opaque.bmp")), "BMP"));
    for (const char *option : {"--bmp", "--mono", "--sizes"}) {
        const QStringList outputs = qstrcmp(option, "--sizes") == 0 ? QStringList() : QStringList{QLatin1String(option)};
        QCOMPARE(runConverter(outputs + QStringList{path(QStringLiteral("opaque with alpha.png")), QStringLiteral("-o"),
                                                    path(QStringLiteral("from alpha"))}).exitCode, 0);
        QCOMPARE(runConverter(outputs + QStringList{path(QStringLiteral("opaque.bmp")), QStringLiteral("-o"),
                                                    path(QStringLiteral("from bitmap"))}).exitCode, 0);
        QCOMPARE(readFile(path(QStringLiteral("from alpha"))), readFile(path(QStringLiteral("from bitmap"))));
    }
    const QByteArray icon = readFile(path(QStringLiteral("from alpha")));
    const QString difference = iconDifference(icon, fitIntoSquare(Picture(picture), qRgb(255, 255, 255)));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_Convert::convertsTheRestWhenOnePictureFails()
{
    const QString out = path(QStringLiteral("batch"));
    QDir().mkpath(out);
    QVERIFY(writeFile(path(QStringLiteral("broken.jpg")), "not a picture at all"));
    const Run run = runConverter({path(QStringLiteral("wide.bmp")), path(QStringLiteral("broken.jpg")),
                                  path(QStringLiteral("missing.gif")), path(QStringLiteral("tall.jpg")),
                                  QStringLiteral("-d"), out});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 2); // one line per picture that failed
    QVERIFY(run.errorLines[0].contains(path(QStringLiteral("broken.jpg"))));
    QVERIFY(run.errorLines[0].contains(QStringLiteral("not a picture Tervana can read")));
    QVERIFY(run.errorLines[1].contains(path(QStringLiteral("missing.gif"))));
    QVERIFY(run.errorLines[1].contains(QStringLiteral("no such file")));
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"tall.ico", "wide.ico"}));
    QCOMPARE(readFile(QDir(out).filePath(QStringLiteral("wide.ico"))).size(), 3262);

    // Two pictures of the same name: the first is kept, the second refused
    // (the plan's rules are claimsRefuseWhatWouldReplaceAPictureOrAResult's).
    const QString other = path(QStringLiteral("other"));
    QDir().mkpath(other);
    QVERIFY(saveImage(solidImage(20, 20, 0x0000FF), QDir(other).filePath(QStringLiteral("wide.jpg")), "JPG"));
    const QString same = path(QStringLiteral("same-names"));
    QDir().mkpath(same);
    const Run clash = runConverter({path(QStringLiteral("wide.bmp")), QDir(other).filePath(QStringLiteral("wide.jpg")),
                                    QStringLiteral("-d"), same});
    QCOMPARE(clash.exitCode, 1);
    QCOMPARE(clash.errorLines.size(), 1);
    QVERIFY(clash.errorLines.first().contains(QStringLiteral("will not overwrite")));
    QCOMPARE(readFile(QDir(same).filePath(QStringLiteral("wide.ico"))), readFile(QDir(out).filePath(QStringLiteral("wide.ico"))));
}

// A slow picture first and quick failures after it: with many jobs the
// failures finish first, yet the lines, the files and the status are those
// of a run that takes one picture at a time.
void tst_Convert::parallelRunsReportInInputOrder()
{
    QTemporaryDir here;
    const QString slow = here.filePath(QStringLiteral("slow.png"));
    QVERIFY(patternImage(3000, 2500).save(slow, "PNG"));
    QStringList inputs{slow};
    for (int i = 0; i < 6; ++i) {
        inputs << here.filePath(QStringLiteral("broken %1.jpg").arg(i));
        QVERIFY(writeFile(inputs.last(), "not a picture"));
        inputs << here.filePath(QStringLiteral("missing %1.gif").arg(i));
        inputs << path(i % 2 ? QStringLiteral("wide.bmp") : QStringLiteral("tall.jpg"));
    }
    QList<Run> runs;
    QList<QHash<QString, QByteArray>> files;
    for (const char *jobs : {"1", "8"}) {
        const QString out = here.filePath(QStringLiteral("out-%1").arg(QLatin1String(jobs)));
        QVERIFY(QDir().mkpath(out));
        runs << runConverter(QStringList{QStringLiteral("-j"), QLatin1String(jobs)} + inputs
                             + QStringList{QStringLiteral("-d"), out});
        runs.last().errorLines.replaceInStrings(out, QStringLiteral("OUT"));
        QHash<QString, QByteArray> made;
        for (const QString &name : QDir(out).entryList(QDir::Files))
            made.insert(name, readFile(QDir(out).filePath(name)));
        files << made;
    }
    QCOMPARE(runs[1].exitCode, 1);
    QCOMPARE(runs[1].exitCode, runs[0].exitCode);
    QCOMPARE(runs[1].errorLines, runs[0].errorLines);
    // Each picture's line in its place: the two inputs named after the test
    // pictures repeat, so only their first results are written.
    QCOMPARE(runs[1].errorLines.size(), 12 + 4);
    QVERIFY(runs[1].errorLines[0].contains(QStringLiteral("broken 0.jpg")));
    QVERIFY(runs[1].errorLines.last().contains(QStringLiteral("wide.bmp")));
    QCOMPARE(files[1], files[0]);
    QCOMPARE(files[1].keys().size(), 3); // slow, tall, wide
}

void tst_Convert::badInputLeavesAnExistingOutputAlone()
{
    const QString output = path(QStringLiteral("precious.ico"));
    QVERIFY(writeFile(output, "an icon the user wants to keep"));
    QVERIFY(writeFile(path(QStringLiteral("half.bmp")), QByteArray("BM") + QByteArray(30, '\x01')));
    const Run run = runConverter({path(QStringLiteral("half.bmp")), QStringLiteral("-o"), output});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 1);
    QCOMPARE(readFile(output), QByteArray("an icon the user wants to keep"));

    // An output in a missing folder is a failure too, not a silent success.
    const Run nowhere = runConverter({path(QStringLiteral("wide.bmp")), QStringLiteral("-o"), path(QStringLiteral("no/such/x.ico"))});
    QCOMPARE(nowhere.exitCode, 1);
    QVERIFY(nowhere.errorLines.value(0).contains(QStringLiteral("its folder does not exist")));
}

// Which outputs are written into and which refused is tst_files's; here the
// converter's side: "-o -", and one refusal in its one line.
void tst_Convert::writesToStandardOutputAndIntoPipes()
{
    const QString input = path(QStringLiteral("wide.bmp"));
    const QString reference = path(QStringLiteral("reference.ico"));
    QCOMPARE(runConverter({input, QStringLiteral("-o"), reference}).exitCode, 0);
    const Run toStandardOutput = runConverter({input, QStringLiteral("-o"), QStringLiteral("-")});
    QCOMPARE(toStandardOutput.exitCode, 0);
    QCOMPARE(toStandardOutput.outBytes, readFile(reference));

    QTemporaryDir here;
    const QString pipe = here.filePath(QStringLiteral("pipe"));
    QVERIFY(makeSpecialFile(QStringLiteral("pipe"), pipe));
    const Run unread = runConverter({input, QStringLiteral("-o"), pipe});
    QCOMPARE(unread.exitCode, 1);
    QCOMPARE(unread.errorLines, QStringList{QStringLiteral("tervana-convert: Tervana cannot write \"%1\" for \"%2\": "
                                                           "nothing is reading from it.").arg(pipe, input)});
    QCOMPARE(kindAt(pipe), QStringLiteral("pipe"));
}

void tst_Convert::claimsRefuseWhatWouldReplaceAPictureOrAResult_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("output"); // -o; empty: -d .
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("refusals"); // per input: "picture", "result" or ""

    QTest::newRow("-o names the input") << QStringList{"x.jpg"} << "x.jpg" << ".ico" << QStringList{"picture"};
    QTest::newRow("-o names it another way") << QStringList{"x.jpg"} << "sub/../x.jpg" << ".ico" << QStringList{"picture"};
    QTest::newRow("-o names a hard link to it") << QStringList{"x.jpg"} << "hard.jpg" << ".ico" << QStringList{"picture"};
    QTest::newRow("-o names a new file") << QStringList{"x.jpg"} << "new.ico" << ".ico" << QStringList{""};
    QTest::newRow("-d writes a bitmap over itself") << QStringList{"photo.bmp"} << "" << ".bmp" << QStringList{"picture"};
    QTest::newRow("-d writes over another input")
        << QStringList{"x.jpg", "x.bmp", "tall.jpg"} << "" << ".bmp" << QStringList{"picture", "picture", ""};
    QTest::newRow("two pictures of one name") << QStringList{"x.jpg", "sub/x.gif"} << "" << ".ico" << QStringList{"", "result"};
    QTest::newRow("names that lead to one file")
        << QStringList{"tall.jpg", "linked.gif"} << "" << ".ico" << QStringList{"", "result"};
    QTest::newRow("a missing picture") << QStringList{"missing.bmp"} << "" << ".bmp" << QStringList{""};
}

void tst_Convert::claimsRefuseWhatWouldReplaceAPictureOrAResult()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, output);
    QFETCH(QString, extension);
    QFETCH(QStringList, refusals);
    const QString folder = folderForThisTest(m_dir);
    QDir here(folder);
    QVERIFY(here.mkpath(QStringLiteral("sub")));
    for (const char *name : {"x.jpg", "x.bmp", "photo.bmp", "tall.jpg", "sub/x.gif"})
        QVERIFY(writeFile(here.filePath(QLatin1String(name)), "a picture"));
    QCOMPARE(::link(QFile::encodeName(here.filePath(QStringLiteral("x.jpg"))).constData(),
                    QFile::encodeName(here.filePath(QStringLiteral("hard.jpg"))).constData()), 0);
    QVERIFY(writeFile(here.filePath(QStringLiteral("tall.ico")), "an earlier result"));
    QVERIFY(QFile::link(QStringLiteral("tall.ico"), here.filePath(QStringLiteral("linked.ico"))));

    InputChoice choice;
    for (const QString &input : inputs)
        choice.arguments << here.filePath(input);
    choice.resultFolder = output.isEmpty() ? folder : QString();
    const Destination destination{output.isEmpty() ? QString() : here.filePath(output), extension, choice.resultFolder, {}};
    OutputClaims claims;
    const std::atomic<bool> stop{false};
    InputStream stream(choice, claims, stop);
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const std::optional<RunInput> taken = stream.next();
        QVERIFY(taken && !taken->failure);
        const std::optional<RunFailure> refusal =
            claims.claim(taken->input, destination.outputFor(taken->input.name(), taken->resultFolder));
        const std::optional<RunFailure::Step> expected =
            refusals[i] == QLatin1String("picture")  ? std::optional(RunFailure::Step::RefuseWrite)
            : refusals[i] == QLatin1String("result") ? std::optional(RunFailure::Step::RefuseOverwrite)
                                                     : std::nullopt;
        QVERIFY2((refusal ? std::optional(refusal->step) : std::nullopt) == expected, qPrintable(inputs[i]));
    }
    QVERIFY(!stream.next());
}

void tst_Convert::refusedPicturesAreReportedAndKept_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("refused");   // inputs whose result would replace an input
    QTest::addColumn<QStringList>("converted"); // results written
    QTest::addColumn<QString>("standardOutput"); // a file standard output is opened on
    QTest::newRow("-o - with standard output on the input")
        << QStringList{"--bmp", "photo.bmp", "-o", "-"} << QStringList{"photo.bmp"} << QStringList() << "photo.bmp";
    QTest::newRow("-d writes over another input")
        << QStringList{"--bmp", "x.jpg", "x.bmp", "tall.jpg", "-d", "."} << QStringList{"x.jpg", "x.bmp"}
        << QStringList{"tall.bmp"} << QString();
}

void tst_Convert::refusedPicturesAreReportedAndKept()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, converted);
    QFETCH(QString, standardOutput);
    QTemporaryDir here;
    QVERIFY(saveImage(patternImage(40, 30), here.filePath(QStringLiteral("x.jpg")), "JPG"));
    QVERIFY(saveImage(patternImage(30, 40), here.filePath(QStringLiteral("x.bmp")), "BMP"));
    QVERIFY(saveImage(patternImage(50, 20), here.filePath(QStringLiteral("photo.bmp")), "BMP"));
    QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), here.filePath(QStringLiteral("tall.jpg"))));
    QHash<QString, QByteArray> before;
    for (const QString &name : QDir(here.path()).entryList(QDir::Files))
        before.insert(name, readFile(here.filePath(name)));

    RunSetting setting;
    setting.workingFolder = here.path();
    if (!standardOutput.isEmpty())
        setting.standardOutputFile = here.filePath(standardOutput);
    const Run run = runConverter(arguments, setting);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), refused.size());
    for (qsizetype i = 0; i < refused.size(); ++i)
        QVERIFY2(run.errorLines[i].contains(QStringLiteral("for \"%1\": it is one of the pictures being converted").arg(refused[i])),
                 qPrintable(run.errorLines[i]));
    // Every input is as it was; the others were converted.
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(readFile(here.filePath(it.key())) == it.value(), qPrintable(it.key()));
    for (const QString &name : converted)
        QCOMPARE(readFile(here.filePath(name)).left(2), QByteArray("BM"));
}

void tst_Convert::anInputThatIsNoRegularFileIsRefusedAtOnce()
{
    QTemporaryDir here;
    QTemporaryDir temporary; // the converter's own temporary folders go here
    const QString pipe = here.filePath(QStringLiteral("pipe"));
    QVERIFY(makeSpecialFile(QStringLiteral("pipe"), pipe));
    RunSetting setting;
    setting.environment.insert(QStringLiteral("TMPDIR"), temporary.path());
    // Qt's own runtime folder would otherwise be made there too.
    QTemporaryDir runtime;
    setting.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const Run run = runConverter({pipe, path(QStringLiteral("tall.jpg")), QStringLiteral("-d"), here.path()}, setting);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.milliseconds < 10000, "the converter waited on its input");
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().endsWith(QStringLiteral("it is not a regular file.")), qPrintable(run.errorLines.first()));
    QCOMPARE(readFile(here.filePath(QStringLiteral("tall.ico"))).size(), 3262); // the other one
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_Convert::permissionsAreSaidSo_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("input in a folder nobody may enter") << "locked/tall.jpg" << "x.ico";
    QTest::newRow("input nobody may read") << "unreadable.jpg" << "x.ico";
    QTest::newRow("output in a folder nobody may write") << "tall.jpg" << "locked/x.ico";
}

// The permissions a user meets, which root does not: as root the converter
// runs as "nobody".
void tst_Convert::permissionsAreSaidSo()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    RunSetting setting;
    if (geteuid() == 0) {
        QSKIP_UNLESS_TOOL(setpriv);
        setting.wrapper = {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups")};
    }
    // A folder everyone may enter, holding one that nobody may, and the
    // converter itself (the build folder may be closed to others).
    const QString open = QDir::tempPath() + QStringLiteral("/tervana-permissions-%1").arg(QCoreApplication::applicationPid());
    const auto removeOpen = qScopeGuard([&] { QDir(open).removeRecursively(); });
    QVERIFY(QDir().mkpath(open + QStringLiteral("/locked")));
    setting.executable = open + QStringLiteral("/tervana-convert");
    setting.workingFolder = open;
    QVERIFY(QFile::copy(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), setting.executable));
    for (const char *name : {"tall.jpg", "locked/tall.jpg", "unreadable.jpg"})
        QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), open + QLatin1Char('/') + QLatin1String(name)));
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(setting.executable, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(open, everyone | QFile::WriteOther);
    QFile::setPermissions(open + QStringLiteral("/locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(open + QStringLiteral("/unreadable.jpg"), QFile::WriteOwner);
    QFile::setPermissions(open + QStringLiteral("/tall.jpg"), QFile::ReadOwner | QFile::ReadOther);

    const Run run = runConverter({input, QStringLiteral("-o"), output}, setting);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errorLines.size() == 1, qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    QVERIFY2(run.errorLines.first().endsWith(QStringLiteral(": permission denied.")), qPrintable(run.errorLines.first()));
}

// A real file system with no room left: a small one of its own, filled up.
void tst_Convert::aFullDiskIsSaidSo()
{
    QTemporaryDir mountPoint;
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                     QStringLiteral("size=16k"), QStringLiteral("tmpfs"), mountPoint.path()})
        != 0)
        QSKIP("this machine lets no test mount a small file system");
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint.path()}); });
    QFile filler(mountPoint.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(1024, 'x')) == 1024 && filler.flush()) {
    }
    filler.close();
    const QString output = mountPoint.filePath(QStringLiteral("x.ico"));
    const Run run = runConverter({path(QStringLiteral("tall.jpg")), QStringLiteral("-o"), output});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().endsWith(QStringLiteral("the disk is full.")), qPrintable(run.errorLines.first()));
    // Nothing half-written is left behind.
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files), QStringList{QStringLiteral("filler")});
}

// A listing sent where nothing can be written (a full device) is no
// listing: the run fails and says so.
void tst_Convert::aListingThatCannotBeWrittenFails()
{
    const QString icon = path(QStringLiteral("listed.ico"));
    QCOMPARE(runConverter({path(QStringLiteral("tall.jpg")), QStringLiteral("-o"), icon}).exitCode, 0);
    RunSetting setting;
    setting.standardOutputFile = QStringLiteral("/dev/full");
    const Run run = runConverter({QStringLiteral("--list"), icon}, setting);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errorLines.value(0).contains(QStringLiteral("cannot write to standard output")), qPrintable(run.errorLines.join('\n')));
}

void tst_Convert::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said"); // in the first line, when given
    QTest::newRow("nothing") << QStringList() << QString();
    QTest::newRow("no output") << QStringList{"a.jpg"} << QString();
    QTest::newRow("both outputs") << QStringList{"a.jpg", "-o", "x.ico", "-d", "."} << QString();
    QTest::newRow("-o with two inputs") << QStringList{"a.jpg", "b.jpg", "-o", "x.ico"} << QString();
    QTest::newRow("bmp and mono") << QStringList{"--bmp", "--mono", "a.jpg", "-o", "x.ico"} << QString();
    QTest::newRow("unknown option") << QStringList{"--sharpen", "a.jpg", "-o", "x.ico"} << QString();
    QTest::newRow("-d missing") << QStringList{"a.jpg", "-d", "/no/such/folder"} << "does not exist";
    QTest::newRow("-d a file") << QStringList{"a.jpg", "-d", path(QStringLiteral("wide.bmp"))} << "is a file, not a folder";
    QTest::newRow("-r into one of its folders, with others") << QStringList{"-r", ".", "/", "-d", "."}
                                                            << "a folder given to -r with other pictures";
    QTest::newRow("-r with -o") << QStringList{"-r", ".", "-o", "x.ico"} << "into -d DIR";
    QTest::newRow("-L without -r") << QStringList{"-L", ".", "-d", "."} << "-L goes with -r.";
    QTest::newRow("-0 without a list") << QStringList{"-0", "a.jpg", "-d", "."} << "-0 goes with --files-from.";
    QTest::newRow("--progress and --quiet") << QStringList{"--progress", "-q", "a.jpg", "-d", "."} << "either";
    QTest::newRow("-o with an empty name") << QStringList{path(QStringLiteral("wide.bmp")), "-o", ""} << QString();
    QTest::newRow("one dash, mistyped") << QStringList{"-monox", "a.jpg", "-o", "x.ico"} << "did you mean --mono?";
    QTest::newRow("one dash, a long option mistyped after a short one's letter")
        << QStringList{"a.jpg", "-outptu", "x.ico"} << "did you mean --output?";
    QTest::newRow("-output and no file") << QStringList{path(QStringLiteral("wide.bmp")), "-output"}
                                         << "Missing value after '--output'";
    QTest::newRow("standard input twice") << QStringList{"--sizes", "32", "-", "-", "-o", "x.ico"}
                                          << "Standard input (-) can be given once.";
    QTest::newRow("standard input with -d") << QStringList{"-", "-d", "."} << "has no name";
    QTest::newRow("-j twice, two values") << QStringList{"-j", "2", "a.jpg", "-j", "3", "-o", "x.ico"}
                                          << "-j is given twice, as \"2\" and \"3\"; give it once.";
    QTest::newRow("several options of other kinds, in the order given")
        << QStringList{"--favicon", "site", "--theme", "th", "--delay", "100", "a.jpg"}
        << "--favicon cannot be used with --theme or --delay: it writes its own files and sizes into DIR.";
}

void tst_Convert::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.errorLines.isEmpty());
    QVERIFY2(run.errorLines.first().contains(said), qPrintable(run.errorLines.first()));
    for (const char *written : {"x.ico", "wide.ico", "utput"})
        QVERIFY(!QFileInfo::exists(QLatin1String(written)));
}

void tst_Convert::habitsOfOtherTools_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("fromStandardInput");
    QTest::addColumn<QStringList>("sameAs"); // the options that must write the same bytes
    QTest::newRow("-mono") << QStringList{"-mono"} << false << QStringList{"--mono"};
    QTest::newRow("-bmp") << QStringList{"-bmp"} << false << QStringList{"--bmp"};
    QTest::newRow("-sizes 32,16 -key-black") << QStringList{"-sizes", "32,16", "-key-black"} << false
                                             << QStringList{"--sizes", "32,16", "--key-black"};
    QTest::newRow("standard input") << QStringList() << true << QStringList();
    QTest::newRow("standard input, -sizes all") << QStringList{"-sizes", "all"} << true << QStringList{"--sizes", "all"};
}



void tst_Convert::namesThatPromiseAnotherFormatAreWarned_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("said"); // empty: nothing
    QTest::newRow("an icon named .png") << QStringList() << "x.png" << "will hold an icon, whatever its ending \".png\"";
    QTest::newRow("an icon named .bmp") << QStringList() << "x.bmp" << "(--bmp writes a bitmap)";
    QTest::newRow("a bitmap named .ICO") << QStringList{"--bmp"} << "x.ICO" << "will hold a bitmap";
    QTest::newRow("an icon named .ico") << QStringList() << "x.ico" << QString();
    QTest::newRow("a bitmap named .dib") << QStringList{"--bmp"} << "x.dib" << QString();
    QTest::newRow("a name of the user's own") << QStringList() << "x.result" << QString();
}

// The file is written all the same, and the status says it was.
void tst_Convert::namesThatPromiseAnotherFormatAreWarned()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QString, said);
    const QString written = path(QStringLiteral("promise ") + output);
    const Run run = runConverter(options + QStringList{path(QStringLiteral("wide.bmp")), QStringLiteral("-o"), written});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QFileInfo(written).size() > 0);
    QCOMPARE(run.errorLines.size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty())
        QVERIFY2(run.errorLines.first().contains(said), qPrintable(run.errorLines.first()));
}

// Long options written with one dash work as with two, and "-" reads the
// picture from standard input: the same bytes as the file gives.
void tst_Convert::habitsOfOtherTools()
{
    QFETCH(QStringList, options);
    QFETCH(bool, fromStandardInput);
    QFETCH(QStringList, sameAs);
    const QString picture = path(QStringLiteral("wide.bmp"));
    const QString expected = path(QStringLiteral("habit expected"));
    const QString written = path(QStringLiteral("habit written"));
    QCOMPARE(runConverter(sameAs + QStringList{picture, QStringLiteral("-o"), expected}).exitCode, 0);
    RunSetting setting;
    if (fromStandardInput)
        setting.standardInputFile = picture;
    const Run run = runConverter(options + QStringList{fromStandardInput ? QStringLiteral("-") : picture,
                                                       QStringLiteral("--output"), written},
                                 setting);
    if (fromStandardInput) { // and through a pipe, as a program writing it gives it
        const QString big = path(QStringLiteral("big for a pipe.bmp"));
        QVERIFY(saveImage(patternImage(600, 400), big, "BMP"));
        QCOMPARE(runConverter(sameAs + QStringList{big, QStringLiteral("-o"), expected}).exitCode, 0);
        RunSetting piped;
        piped.standardInputBytes = readFile(big);
        const Run throughPipe = runConverter(options + QStringList{QStringLiteral("-"), QStringLiteral("-o"), written}, piped);
        QVERIFY2(throughPipe.exitCode == 0, qPrintable(throughPipe.errorLines.join(QLatin1Char('\n'))));
        QCOMPARE(readFile(written), readFile(expected));
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    QCOMPARE(readFile(written), readFile(expected));
}

// Values that look like options are values: "-o -x.ico" writes "-x.ico",
// and "-dFOLDER" is -d with its folder.
void tst_Convert::valuesThatLookLikeOptionsAreValues()
{
    const QString folder = folderForThisTest(m_dir);
    RunSetting setting;
    setting.workingFolder = folder;
    const QString picture = path(QStringLiteral("wide.bmp"));
    QCOMPARE(runConverter({picture, QStringLiteral("-o"), QStringLiteral("-x.ico")}, setting).exitCode, 0);
    QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("-x.ico"))));
    QVERIFY(QDir(folder).mkdir(QStringLiteral("dtmp")));
    QCOMPARE(runConverter({QStringLiteral("-ddtmp"), picture}, setting).exitCode, 0);
    QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("dtmp/wide.ico"))));
}

void tst_Convert::standardInputThatIsNoPictureIsSaidSo()
{
    RunSetting setting;
    setting.standardInputFile = path(QStringLiteral("not a picture.txt"));
    QVERIFY(writeFile(setting.standardInputFile, "just words"));
    const Run run = runConverter({QStringLiteral("-"), QStringLiteral("-o"), path(QStringLiteral("never.ico"))}, setting);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines, QStringList{QStringLiteral("tervana-convert: Tervana cannot open \"standard input\": "
                                                        "it is not a picture Tervana can read.")});
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("never.ico"))));
}

void tst_Convert::helpAndVersion()
{
    // The usage lines come first, one form a line, naming the program as
    // installed wherever it was started from; no --help-all that shows no
    // more; the examples point a logo's owner to --sizes.
    const Run help = runConverter({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    const QStringList lines = help.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] "
                                            "INPUT... (-o OUTPUT | -d DIR)"));
    QCOMPARE(lines.value(1), QStringLiteral("       tervana-convert [OPTIONS] -r FOLDER... -d DIR"));
    QVERIFY(!help.out.contains(QStringLiteral(TERVANA_CONVERT_EXECUTABLE)));
    QVERIFY(!help.out.contains(QStringLiteral("--help-all")));
    QVERIFY(help.out.contains(QStringLiteral("tervana-convert --sizes all logo.png -o logo.ico")));
    QCOMPARE(runConverter({QStringLiteral("--help-all")}).exitCode, 2);
    const Run version = runConverter({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith(QStringLiteral("tervana-convert ")));
}

// As gzip does, binary output is not sent to a terminal: the run is refused
// before anything is read. `script` gives the converter a terminal.
void tst_Convert::anIconIsNotWrittenToATerminal()
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        QSKIP_MISSING("script (util-linux)");
    QProcess terminal;
    terminal.start(script, {QStringLiteral("-qec"),
                            QStringLiteral("'%1' '%2' -o -").arg(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), path(QStringLiteral("wide.bmp"))),
                            QStringLiteral("/dev/null")});
    QVERIFY(terminal.waitForFinished(30000));
    QCOMPARE(terminal.exitCode(), 2);
    const QByteArray shown = terminal.readAllStandardOutput();
    QVERIFY2(shown.contains("An icon is not written to a terminal"), shown.constData());
    QVERIFY(!shown.contains(QByteArray::fromHex("00000100")));
}

QTEST_MAIN(tst_Convert)
#include "tst_convert.moc"
