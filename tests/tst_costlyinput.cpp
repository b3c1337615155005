// Files that once took minutes or gigabytes, and pictures of the worst
// shapes, made by tests/hostile/make_hostile_pictures.py: converted,
// listed and extracted, or refused in one line, within their time and the
// memory the picture may need.

#include "testutils.h"

#include <QDir>
#include <QRect>

using namespace testutils;

namespace {

// Each run of a file that once took minutes takes no more than this (the
// most, 65,535 PNGs extracted, takes 7 s on a disk that syncs each in 4 ms).
#ifdef TERVANA_SANITIZED
constexpr int costlyTimeLimitMs = 120000;
#else
constexpr int costlyTimeLimitMs = 40000;
#endif

// The outputs each extreme shape is converted into.
const QList<QStringList> everyOutput = {{}, {QStringLiteral("--sizes"), QStringLiteral("all")}, {QStringLiteral("--bmp")},
                                        {QStringLiteral("--mono")}};

// Each image of a written cursor, a .cur or a Linux cursor, as its size and
// its hot spot: from the directory's entries of a .cur (the hot spot in
// the fields an icon keeps its planes and depth in), from the image chunks
// the table of contents of a Linux cursor points at.
QList<QRect> cursorImages(const QByteArray &file)
{
    QList<QRect> images;
    const QList<quint32> head = littleEndianNumbers(file.left(16));
    const bool xcursor = file.startsWith("Xcur") && head.size() == 4;
    const qsizetype count = xcursor ? head[3] : head.value(0) == 0x20000 ? (head.value(1) & 0xffff) : 0;
    for (qsizetype i = 0; i < count && i < 65536; ++i) {
        if (xcursor) {
            const quint32 at = littleEndianNumbers(file.mid(16 + 12 * i + 8, 4)).value(0);
            const QList<quint32> chunk = littleEndianNumbers(file.mid(at, 36));
            if (chunk.size() == 9)
                images << QRect(QPoint(chunk[6], chunk[7]), QSize(chunk[4], chunk[5]));
        } else if (6 + 16 * (i + 1) <= file.size()) {
            const quint32 spot = littleEndianNumbers(file.mid(6 + 16 * i + 4, 4)).value(0);
            const int width = uchar(file[6 + 16 * i]), height = uchar(file[6 + 16 * i + 1]);
            images << QRect(QPoint(spot & 0xffff, spot >> 16), QSize(width ? width : 256, height ? height : 256));
        }
    }
    return images;
}

// Every image of the cursor points within itself, and where `hotSpot` says:
// "far", its last pixel; "near", its first; anything there when empty.
void verifyPointsWithinItsImages(const QByteArray &cursor, const QString &hotSpot)
{
    const QList<QRect> images = cursorImages(cursor);
    QVERIFY(!images.isEmpty());
    for (const QRect &image : images) {
        const QPoint expected = hotSpot == QLatin1String("far") ? QPoint(image.width() - 1, image.height() - 1) : QPoint();
        QVERIFY2(image.x() < image.width() && image.y() < image.height() && (hotSpot.isEmpty() || image.topLeft() == expected),
                 qPrintable(QStringLiteral("%1 x %2 pointing at %3,%4").arg(image.width()).arg(image.height()).arg(image.x()).arg(image.y())));
    }
}

// The result a costly file's run in `options` writes, named with the
// ending of what it makes (a Linux cursor has none).
QString resultName(const QStringList &options)
{
    if (options.contains(QStringLiteral("--cursor")))
        return QStringLiteral("result.cur");
    if (options.contains(QStringLiteral("--ani")))
        return QStringLiteral("result.ani");
    return options.contains(QStringLiteral("--xcursor")) ? QStringLiteral("result") : QStringLiteral("result.ico");
}

} // namespace

class tst_CostlyInput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_shapes;
    QString m_smallShapes;
    QString m_costly;

private slots:
    void initTestCase();
    void extremeShapesStayWithinTheirMemory_data();
    void extremeShapesStayWithinTheirMemory();
    void costlyFilesStayWithinTheirTimeAndMemory_data();
    void costlyFilesStayWithinTheirTimeAndMemory();
};

void tst_CostlyInput::initTestCase()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    // Each set's lines, kept in a file of its own for the data functions.
    const auto keep = [this](const char *listName, const QStringList &lines) {
        return !lines.isEmpty() && writeFile(m_dir.filePath(QLatin1String(listName)), lines.join(QLatin1Char('\n')).toUtf8());
    };
    // The sanitizers look for memory faults, which small copies of the
    // costly files and of the extreme shapes (every reader's walk over the
    // same lies and shapes) find as the bombs do; the bombs' time and
    // memory are measured in the normal build. Under the sanitizers the
    // extreme shapes themselves are read once each, into the 32 x 32 icon,
    // for the reduced readers' walks that only big pictures take.
    const QStringList small = sanitizedBuild ? QStringList{QStringLiteral("--small")} : QStringList();
    m_shapes = m_dir.filePath(QStringLiteral("shapes"));
    QVERIFY(keep("shapes list", makeHostilePictures({QStringLiteral("--shapes"), m_shapes})));
    m_smallShapes = m_dir.filePath(QStringLiteral("small shapes"));
    if (sanitizedBuild)
        QVERIFY(keep("small shapes list", makeHostilePictures(QStringList{QStringLiteral("--shapes"), m_smallShapes} + small)));
    m_costly = m_dir.filePath(QStringLiteral("costly"));
    QVERIFY(keep("costly list", makeHostilePictures(QStringList{QStringLiteral("--costly"), m_costly} + small)));
}

void tst_CostlyInput::extremeShapesStayWithinTheirMemory_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<qint64>("budgetKilobytes");
    const auto addRows = [this](const char *listName, const QString &folder, const QList<QStringList> &outputs) {
        const QString lines = QString::fromUtf8(readFile(m_dir.filePath(QLatin1String(listName))));
        for (const QString &line : lines.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString name = line.section(QLatin1Char(' '), 1);
            for (const QStringList &options : outputs)
                QTest::addRow("%s %s", qPrintable(name), qPrintable(options.join(QLatin1Char(' '))))
                    << QDir(folder).filePath(name) << options << line.section(QLatin1Char(' '), 0, 0).toLongLong() * 1024;
        }
    };
    addRows("shapes list", m_shapes, sanitizedBuild ? QList<QStringList>{{}} : everyOutput);
    if (sanitizedBuild)
        addRows("small shapes list", m_smallShapes, everyOutput);
}

// 1 x N and N x 1 pictures of every kind, in every output: converted, or
// refused as too large, within 64 MB and 4 bytes for each pixel that must be
// decoded whole.
void tst_CostlyInput::extremeShapesStayWithinTheirMemory()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, options);
    QFETCH(qint64, budgetKilobytes);
    RunSetting setting;
    setting.measurePeak = true;
    const Run run = runConverter(options + QStringList{picture, QStringLiteral("-o"), m_dir.filePath(QStringLiteral("shape result"))},
                                 setting);
    QVERIFY2(run.exitCode == 0 || (run.exitCode == 1 && run.errorLines.value(0).contains(QStringLiteral("too large"))),
             qPrintable(run.errorLines.join(QLatin1Char('\n'))));
#ifdef TERVANA_SANITIZED
    Q_UNUSED(budgetKilobytes);
#else
    QVERIFY2(run.peakKilobytes > 0 && run.peakKilobytes <= budgetKilobytes, qPrintable(QStringLiteral("peak %1 KB").arg(run.peakKilobytes)));
#endif
}

// The modes a costly file is run in, by what it is: a picture is converted,
// an icon also listed and extracted; an animation or a cursor made into
// cursors; an animated or Linux cursor, which only a reader of cursors
// takes, in every mode.
static QList<QStringList> costlyModes(const QString &name)
{
    const QList<QStringList> pictureModes = {{}, {QStringLiteral("--sizes"), QStringLiteral("all")}};
    const QList<QStringList> cursorModes = {{QStringLiteral("--cursor")}, {QStringLiteral("--xcursor")}};
    const QList<QStringList> readingModes = {{QStringLiteral("--list")}, {QStringLiteral("--extract")}};
    if (name.endsWith(QStringLiteral(".ico")) || name.endsWith(QStringLiteral(".icns")))
        return pictureModes + readingModes;
    if (name.endsWith(QStringLiteral(".gif")) || name.endsWith(QStringLiteral(".webp")))
        return cursorModes + QList<QStringList>{{QStringLiteral("--ani")}};
    if (name.endsWith(QStringLiteral(".cur")) || name.endsWith(QStringLiteral(".svg")))
        return cursorModes;
    if (name.endsWith(QStringLiteral(".ani")) || name.endsWith(QStringLiteral("xcursor")))
        return readingModes + cursorModes + QList<QStringList>{{QStringLiteral("--ani")}};
    return pictureModes;
}

void tst_CostlyInput::costlyFilesStayWithinTheirTimeAndMemory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expect");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<qint64>("budgetKilobytes");
    QTest::addColumn<qint64>("budgetMilliseconds"); // of processor time; 0 when only the run's time limit holds
    QTest::addColumn<QString>("hotSpot");
    QFile list(m_dir.filePath(QStringLiteral("costly list")));
    if (!list.open(QIODevice::ReadOnly)) {
        // Pillow writes the files and their list; with it, they are there.
        QVERIFY2(python3WithPillow.isEmpty(), "the costly files' list was not written");
        return;
    }
    // Each line is "<expect> <megabytes>[,<milliseconds>] <name>", the
    // expectation "ok",
    // "refused" or "either", then after a slash the one with --ani and
    // --xcursor (which animate an animation) where it differs, and after "@" where every cursor made of it points: "far"
    // (each image's last pixel) or "near" (its first).
    for (const QString &line : QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString name = line.section(QLatin1Char(' '), 2);
        const QString expect = line.section(QLatin1Char(' '), 0, 0);
        const QString outcomes = expect.section(QLatin1Char('@'), 0, 0);
        for (const QStringList &options : costlyModes(name)) {
            const bool animates = options.contains(QStringLiteral("--ani")) || options.contains(QStringLiteral("--xcursor"));
            const int outcome = animates ? -1 : 0;
            const QString budget = line.section(QLatin1Char(' '), 1, 1);
            QTest::addRow("%s %s", qPrintable(name), qPrintable(options.join(QLatin1Char(' '))))
                << name << outcomes.section(QLatin1Char('/'), outcome, outcome) << options
                << budget.section(QLatin1Char(','), 0, 0).toLongLong() * 1024
                << budget.section(QLatin1Char(','), 1, 1).toLongLong() << expect.section(QLatin1Char('@'), 1);
        }
    }
}

// Files that once took minutes or gigabytes (icons of 65,535 entries, or of
// images far larger than their entries say; JPEGs of 20,000 scans, or of
// more coefficients than the limit allows), and animations and cursors
// that claim far more than they hold, in every mode: converted, listed or
// extracted, or refused in one line, within their time and the memory the
// picture may need, leaving no temporary file. Every cursor written points
// within each of its images, where the file says.
void tst_CostlyInput::costlyFilesStayWithinTheirTimeAndMemory()
{
    QFETCH(QString, name);
    QFETCH(QString, expect);
    QFETCH(QStringList, options);
    QFETCH(qint64, budgetKilobytes);
    QFETCH(qint64, budgetMilliseconds);
    QFETCH(QString, hotSpot);
    const QString file = QDir(m_costly).filePath(name);
    // Extracted into memory where the system has a folder there: on a disk,
    // the time would be that of 65,535 files each waiting to reach it.
    const QTemporaryDir inMemory(QStringLiteral("/dev/shm/tervana-test-XXXXXX"));
    const QString folder = inMemory.isValid() ? inMemory.path() : folderForThisTest(m_dir);
    const QString result = QDir(folder).filePath(resultName(options));
    QStringList arguments = options << file;
    if (options.contains(QStringLiteral("--extract")))
        arguments << QStringLiteral("-d") << folder;
    else if (!options.contains(QStringLiteral("--list")))
        arguments << QStringLiteral("-o") << result;
    RunSetting setting;
    setting.measurePeak = true;
    setting.timeoutMilliseconds = costlyTimeLimitMs;
    const Run run = runConverter(arguments, setting);
    QVERIFY2(run.exitCode == 0 || run.exitCode == 1, "the converter crashed or ran out of its time");
    if (expect == QLatin1String("ok"))
        QCOMPARE(run.exitCode, 0);
    if (expect == QLatin1String("refused"))
        QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errorLines.size(), run.exitCode);
    // One short line naming the file, however many faults the file has.
    QVERIFY(run.errorLines.isEmpty() || run.errorLines.first().contains(file));
    QVERIFY2(run.errorLines.value(0).size() < 1000, qPrintable(run.errorLines.value(0).left(1000)));
#ifdef TERVANA_SANITIZED
    Q_UNUSED(budgetKilobytes); // the sanitizers keep 256 MB of what is freed aside, filled by 65,535 small files
    Q_UNUSED(budgetMilliseconds);
#else
    QVERIFY2(run.peakKilobytes > 0 && run.peakKilobytes <= budgetKilobytes,
             qPrintable(QStringLiteral("peak %1 KB").arg(run.peakKilobytes)));
    QVERIFY2(budgetMilliseconds == 0 || run.processorMilliseconds <= budgetMilliseconds,
             qPrintable(QStringLiteral("%1 ms of processor time").arg(run.processorMilliseconds)));
#endif
    QCOMPARE(QDir(folder).entryList({QStringLiteral(".tervana-*")}, QDir::Files | QDir::Hidden), QStringList());
    if (run.exitCode == 0 && (options.contains(QStringLiteral("--cursor")) || options.contains(QStringLiteral("--xcursor"))))
        verifyPointsWithinItsImages(readFile(result), hotSpot);
}

QTEST_GUILESS_MAIN(tst_CostlyInput)
#include "tst_costlyinput.moc"
