// tervana-convert, run as a process: the same files as the window, clear
// refusals, and exit statuses scripts can rely on.

#include "testutils.h"

#include <QDir>
#include <QFileInfo>

using namespace testutils;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QStringList errorLines;
};

Run runConverter(const QStringList &arguments)
{
    QProcess converter;
    converter.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), arguments);
    Run run;
    if (!converter.waitForFinished(60000) || converter.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = converter.exitCode();
    run.out = QString::fromUtf8(converter.readAllStandardOutput());
    run.errorLines = QString::fromUtf8(converter.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

} // namespace

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
    void convertsTheRestWhenOnePictureFails();
    void badInputLeavesAnExistingOutputAlone();
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion();
};

void tst_Convert::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
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
    w.dialogs.choose(path(input));
    w->Command3_Click();
    const QString fromWindow = path(QStringLiteral("window-") + input + option);
    w.dialogs.choose(fromWindow, filterIndex);
    w.boxes.answer(MsgBox::vbNo);
    w->Command1_Click();

    const QString fromConverter = path(QStringLiteral("converter-") + input + option);
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

    // Two pictures of the same name: the first is kept, the second refused.
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
    QVERIFY(nowhere.errorLines.value(0).contains(QStringLiteral("Path not found")));
}

void tst_Convert::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("no output") << QStringList{"a.jpg"};
    QTest::newRow("both outputs") << QStringList{"a.jpg", "-o", "x.ico", "-d", "."};
    QTest::newRow("-o with two inputs") << QStringList{"a.jpg", "b.jpg", "-o", "x.ico"};
    QTest::newRow("bmp and mono") << QStringList{"--bmp", "--mono", "a.jpg", "-o", "x.ico"};
    QTest::newRow("unknown option") << QStringList{"--sharpen", "a.jpg", "-o", "x.ico"};
    QTest::newRow("-d not a folder") << QStringList{"a.jpg", "-d", "/no/such/folder"};
}

void tst_Convert::usageErrors()
{
    QFETCH(QStringList, arguments);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.errorLines.isEmpty());
    QVERIFY(!QFileInfo::exists(QStringLiteral("x.ico")));
}

void tst_Convert::helpAndVersion()
{
    const Run help = runConverter({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(QStringLiteral("tervana-convert [--bmp | --mono] INPUT... (-o OUTPUT | -d DIR)")));
    const Run version = runConverter({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith(QStringLiteral("tervana-convert ")));
}

QTEST_MAIN(tst_Convert)
#include "tst_convert.moc"
