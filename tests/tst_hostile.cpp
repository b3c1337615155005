// Bad and awkward pictures, made by tests/hostile/make_hostile_pictures.py,
// through the Open command and through tervana-convert: a clear message or a
// correct icon, never a crash or a hang, and no existing file lost.

#include "testutils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

using namespace testutils;

namespace {

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

private slots:
    void initTestCase();
    void openCommand_data();
    void openCommand();
    void converter_data();
    void converter();
};

void tst_Hostile::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    m_pictures = m_dir.filePath(QStringLiteral("pictures"));
    QProcess maker;
    maker.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(TESTS_SOURCE_DIR "/hostile/make_hostile_pictures.py"), m_pictures});
    QVERIFY(maker.waitForFinished(60000));
    QCOMPARE(maker.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(maker.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 10);
    QFile list(m_dir.filePath(QStringLiteral("list")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(lines.join(QLatin1Char('\n')).toUtf8());
}

static void addPictureRows(const QString &listPath)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expect");
    QFile list(listPath);
    if (!list.open(QIODevice::ReadOnly))
        return;
    for (const QString &line : QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
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
    if (expect == QLatin1String("refused"))
        QVERIFY(refused);
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
    w.dialogs.choose(icon);
    w->Command1_Click();
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

    QProcess converter;
    converter.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), {picture, QStringLiteral("-o"), output});
    QVERIFY2(converter.waitForFinished(30000), "the converter hung");
    QCOMPARE(converter.exitStatus(), QProcess::NormalExit); // no crash
    // Nor a giant allocation: the peak of every converter run so far.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    QVERIFY2(usage.ru_maxrss < 600 * 1024, qPrintable(QStringLiteral("peak %1 KB").arg(usage.ru_maxrss)));
    const QStringList errors = QString::fromUtf8(converter.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const int status = converter.exitCode();
    QVERIFY(status == 0 || status == 1);
    if (expect == QLatin1String("ok"))
        QCOMPARE(status, 0);
    if (expect == QLatin1String("refused"))
        QCOMPARE(status, 1);
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

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
