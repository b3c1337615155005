// tervana-convert, run as a process: the same files as the window, clear
// refusals, and exit statuses scripts can rely on.

#include "windowtestutils.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QStandardPaths>
#include <qplatformdefs.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace testutils;

namespace {

QString kindOf(const QString &path)
{
    QT_STATBUF info;
    if (QT_STAT(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("pipe");
    if (S_ISCHR(info.st_mode))
        return QStringLiteral("device");
    return S_ISREG(info.st_mode) ? QStringLiteral("file") : QStringLiteral("other");
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
    void parallelRunsReportInInputOrder();
    void badInputLeavesAnExistingOutputAlone();
    void outputsThatAreNotRegularFiles_data();
    void outputsThatAreNotRegularFiles();
    void outputThatIsAnInputIsRefused_data();
    void outputThatIsAnInputIsRefused();
    void inputsThatAreNotRegularFilesAreRefusedAtOnce_data();
    void inputsThatAreNotRegularFilesAreRefusedAtOnce();
    void failuresSayWhatIsReallyWrong_data();
    void failuresSayWhatIsReallyWrong();
    void aFullDiskIsSaidSo();
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion();
};

void tst_Convert::initTestCase()
{
    QSKIP_UNLESS_TOOL(imageMagickConvert);
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

    // Two names that lead to one file are one output too.
    const QString linked = path(QStringLiteral("linked"));
    QDir().mkpath(linked);
    QVERIFY(writeFile(QDir(linked).filePath(QStringLiteral("tall.ico")), "earlier"));
    QVERIFY(QFile::link(QStringLiteral("tall.ico"), QDir(linked).filePath(QStringLiteral("wide.ico"))));
    const Run oneFile = runConverter({path(QStringLiteral("tall.jpg")), path(QStringLiteral("wide.bmp")),
                                      QStringLiteral("-d"), linked});
    QCOMPARE(oneFile.exitCode, 1);
    QCOMPARE(oneFile.errorLines.size(), 1);
    QVERIFY(oneFile.errorLines.first().contains(QStringLiteral("will not overwrite")));
    QVERIFY(oneFile.errorLines.first().contains(path(QStringLiteral("wide.bmp"))));
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

void tst_Convert::outputsThatAreNotRegularFiles_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason"); // in the one error line, when it fails
    QTest::newRow("the null device") << "/dev/null" << 0 << "";
    QTest::newRow("a device that is always full") << "/dev/full" << 1 << "the disk is full";
    QTest::newRow("a pipe nothing reads") << "pipe" << 1 << "nothing is reading from it";
    QTest::newRow("a pipe being read") << "read pipe" << 0 << "";
    QTest::newRow("standard output") << "-" << 0 << "";
    QTest::newRow("a folder") << "folder" << 1 << "it is a folder";
}

void tst_Convert::outputsThatAreNotRegularFiles()
{
    QFETCH(QString, output);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const QString input = path(QStringLiteral("wide.bmp"));
    const Run reference = runConverter({input, QStringLiteral("-o"), path(QStringLiteral("reference.ico"))});
    QCOMPARE(reference.exitCode, 0);
    const QByteArray icon = readFile(path(QStringLiteral("reference.ico")));

    QTemporaryDir here;
    QString target = output;
    int reader = -1;
    // As root a regression could replace the system's own devices, so the
    // test makes its own: the same kinds of device, in its own folder.
    if (output.startsWith(QLatin1String("/dev/")) && geteuid() == 0) {
        target = here.filePath(QFileInfo(output).fileName());
        const dev_t device = output == QLatin1String("/dev/null") ? makedev(1, 3) : makedev(1, 7);
        if (mknod(QFile::encodeName(target).constData(), S_IFCHR | 0600, device) != 0)
            QSKIP("this machine lets no test make a device node");
    } else if (output == QLatin1String("pipe") || output == QLatin1String("read pipe")) {
        target = here.filePath(QStringLiteral("pipe"));
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        // Opened for reading before the converter writes, without waiting.
        if (output == QLatin1String("read pipe"))
            reader = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK);
    } else if (output == QLatin1String("folder")) {
        target = here.filePath(QStringLiteral("folder.ico"));
        QVERIFY(QDir().mkpath(target));
    }
    const QString kindBefore = kindOf(target);

    const Run run = runConverter({input, QStringLiteral("-o"), target});
    QCOMPARE(run.exitCode, exitCode);
    // Never replaced by a plain file.
    QCOMPARE(kindOf(target), kindBefore);
    if (exitCode == 0) {
        QVERIFY2(run.errorLines.isEmpty(), qPrintable(run.errorLines.join(QLatin1Char('\n'))));
    } else {
        QCOMPARE(run.errorLines.size(), 1);
        QVERIFY2(run.errorLines.first().contains(reason), qPrintable(run.errorLines.first()));
    }
    if (output == QLatin1String("-"))
        QCOMPARE(run.outBytes, icon);
    if (reader >= 0) {
        QByteArray received(2 * icon.size(), '\0');
        const ssize_t got = ::read(reader, received.data(), size_t(received.size()));
        ::close(reader);
        QCOMPARE(received.left(qMax<qsizetype>(got, 0)), icon);
    }
}

void tst_Convert::outputThatIsAnInputIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("refused");   // inputs whose result would replace an input
    QTest::addColumn<QStringList>("converted"); // results written
    QTest::addColumn<QString>("standardOutput"); // a file standard output is opened on
    QTest::newRow("-o names the input") << QStringList{"x.jpg", "-o", "x.jpg"} << QStringList{"x.jpg"} << QStringList() << QString();
    QTest::newRow("-o - with standard output on the input")
        << QStringList{"--bmp", "photo.bmp", "-o", "-"} << QStringList{"photo.bmp"} << QStringList() << "photo.bmp";
    QTest::newRow("-o names it another way") << QStringList{"x.jpg", "-o", "sub/../x.jpg"} << QStringList{"x.jpg"}
                                             << QStringList() << QString();
    QTest::newRow("-o names a hard link to it") << QStringList{"x.jpg", "-o", "link.jpg"} << QStringList{"x.jpg"}
                                                << QStringList() << QString();
    QTest::newRow("-d writes a bitmap over itself") << QStringList{"--bmp", "photo.bmp", "-d", "."}
                                                    << QStringList{"photo.bmp"} << QStringList() << QString();
    QTest::newRow("-d writes over another input")
        << QStringList{"--bmp", "x.jpg", "x.bmp", "tall.jpg", "-d", "."} << QStringList{"x.jpg", "x.bmp"}
        << QStringList{"tall.bmp"} << QString();
}

void tst_Convert::outputThatIsAnInputIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, converted);
    QFETCH(QString, standardOutput);
    QTemporaryDir here;
    QVERIFY(QDir().mkpath(here.filePath(QStringLiteral("sub"))));
    QVERIFY(saveImage(patternImage(40, 30), here.filePath(QStringLiteral("x.jpg")), "JPG"));
    QVERIFY(saveImage(patternImage(30, 40), here.filePath(QStringLiteral("x.bmp")), "BMP"));
    QVERIFY(saveImage(patternImage(50, 20), here.filePath(QStringLiteral("photo.bmp")), "BMP"));
    QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), here.filePath(QStringLiteral("tall.jpg"))));
    QCOMPARE(::link(QFile::encodeName(here.filePath(QStringLiteral("x.jpg"))).constData(),
                    QFile::encodeName(here.filePath(QStringLiteral("link.jpg"))).constData()), 0);
    QHash<QString, QByteArray> before;
    for (const QString &name : QDir(here.path()).entryList(QDir::Files))
        before.insert(name, readFile(here.filePath(name)));

    QProcess converter;
    converter.setWorkingDirectory(here.path());
    if (!standardOutput.isEmpty())
        converter.setStandardOutputFile(here.filePath(standardOutput), QIODevice::Append);
    converter.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), arguments);
    QVERIFY(converter.waitForFinished(60000));
    QCOMPARE(converter.exitCode(), 1);
    const QStringList errors = QString::fromUtf8(converter.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(errors.size(), refused.size());
    for (qsizetype i = 0; i < refused.size(); ++i)
        QVERIFY2(errors[i].contains(QStringLiteral("for \"%1\": it is the picture").arg(refused[i])), qPrintable(errors[i]));
    // Every input is as it was; the others were converted.
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(readFile(here.filePath(it.key())) == it.value(), qPrintable(it.key()));
    for (const QString &name : converted)
        QCOMPARE(readFile(here.filePath(name)).left(2), QByteArray("BM"));
}

void tst_Convert::inputsThatAreNotRegularFilesAreRefusedAtOnce_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a pipe") << "pipe" << "it is not a regular file";
    QTest::newRow("a device") << "/dev/zero" << "it is not a regular file";
    QTest::newRow("a folder") << "folder.jpg" << "it is a folder";
}

void tst_Convert::inputsThatAreNotRegularFilesAreRefusedAtOnce()
{
    QFETCH(QString, input);
    QFETCH(QString, reason);
    QTemporaryDir here;
    QTemporaryDir temporary; // the converter's own temporary folders go here
    QString picture = input;
    if (input == QLatin1String("pipe")) {
        picture = here.filePath(input);
        QCOMPARE(mkfifo(QFile::encodeName(picture).constData(), 0600), 0);
    } else if (input == QLatin1String("folder.jpg")) {
        picture = here.filePath(input);
        QVERIFY(QDir().mkpath(picture));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporary.path());
    // Qt's own runtime folder would otherwise be made there too.
    QTemporaryDir runtime;
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const Run run = runConverter({picture, path(QStringLiteral("tall.jpg")), QStringLiteral("-d"), here.path()}, environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.milliseconds < 10000, "the converter waited on its input");
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY2(run.errorLines.first().contains(reason), qPrintable(run.errorLines.first()));
    QCOMPARE(readFile(here.filePath(QStringLiteral("tall.ico"))).size(), 3262); // the other one
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_Convert::failuresSayWhatIsReallyWrong_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("reason");
    const QString longName = QString(300, QLatin1Char('n'));
    QTest::newRow("input name too long") << longName + ".jpg" << "x.ico" << "its name is too long";
    QTest::newRow("output name too long") << "tall.jpg" << longName + ".ico" << "its name is too long";
    QTest::newRow("input in a missing folder") << "no/such.jpg" << "x.ico" << "its folder does not exist";
    QTest::newRow("input missing") << "such.jpg" << "x.ico" << "there is no such file";
    QTest::newRow("input in a folder nobody may enter") << "locked/tall.jpg" << "x.ico" << "permission denied";
    QTest::newRow("input nobody may read") << "unreadable.jpg" << "x.ico" << "permission denied";
    QTest::newRow("output in a folder nobody may write") << "tall.jpg" << "locked/x.ico" << "permission denied";
}

void tst_Convert::failuresSayWhatIsReallyWrong()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, reason);
    // The permission cases need a user the permissions apply to; root is
    // let through everywhere, so then the converter runs as "nobody".
    if (geteuid() == 0)
        QSKIP_UNLESS_TOOL(setpriv);
    // A folder everyone may enter, holding one that nobody may, and the
    // converter itself (the build folder may be closed to others).
    const QString open = QDir::tempPath() + QStringLiteral("/tervana-permissions-%1").arg(QCoreApplication::applicationPid());
    QDir(open).removeRecursively();
    QVERIFY(QDir().mkpath(open + QStringLiteral("/locked")));
    QStringList command{open + QStringLiteral("/tervana-convert")};
    QVERIFY(QFile::copy(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), command.first()));
    QFile::setPermissions(command.first(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    if (geteuid() == 0) {
        command = QStringList{setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups"), command.first()};
    }
    QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), open + QStringLiteral("/tall.jpg")));
    QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), open + QStringLiteral("/locked/tall.jpg")));
    QVERIFY(QFile::copy(path(QStringLiteral("tall.jpg")), open + QStringLiteral("/unreadable.jpg")));
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                    | QFile::WriteOther | QFile::ExeOther);
    QFile::setPermissions(open + QStringLiteral("/locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(open + QStringLiteral("/unreadable.jpg"), QFile::WriteOwner);
    QFile::setPermissions(open + QStringLiteral("/tall.jpg"), QFile::ReadOwner | QFile::ReadOther);

    QProcess converter;
    converter.setWorkingDirectory(open);
    converter.start(command.first(), command.mid(1) + QStringList{input, QStringLiteral("-o"), output});
    QVERIFY(converter.waitForFinished(60000));
    const QString errors = QString::fromUtf8(converter.readAllStandardError());
    QDir(open).removeRecursively();
    QCOMPARE(converter.exitCode(), 1);
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.contains(reason), qPrintable(errors));
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
    QTest::newRow("-o with an empty name") << QStringList{path(QStringLiteral("wide.bmp")), "-o", ""};
}

void tst_Convert::usageErrors()
{
    QFETCH(QStringList, arguments);
    const Run run = runConverter(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.errorLines.isEmpty());
    QVERIFY(!QFileInfo::exists(QStringLiteral("x.ico")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("wide.ico")));
}

void tst_Convert::helpAndVersion()
{
    const Run help = runConverter({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(QStringLiteral("tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] "
                                             "INPUT... (-o OUTPUT | -d DIR)")));
    QVERIFY(help.out.contains(QStringLiteral("--sizes all logo.png -o logo.ico")));
    const Run helpAll = runConverter({QStringLiteral("--help-all")});
    QCOMPARE(helpAll.exitCode, 0);
    QCOMPARE(helpAll.out, help.out);
    const Run version = runConverter({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith(QStringLiteral("tervana-convert ")));
}

QTEST_MAIN(tst_Convert)
#include "tst_convert.moc"
