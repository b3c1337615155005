// Every kind of result the converter makes, tried with every option of its
// command line: an option a kind takes changes what the run writes or says;
// one it does not take is refused in one line naming it, before anything
// is written. Nothing is dropped silently.

#include "testutils.h"

#include "optiontable.h"
#include "outputkinds.h"

#include <QDirIterator>
#include <QHash>

#include <mutex>
#include <thread>

using namespace testutils;

namespace {

// A run of a kind that succeeds: the arguments, with the pictures each run
// finds in its own folder.
const QHash<OutputKind, QStringList> kindRuns{
    {OutputKind::Icon, {"dark.png", "-o", "out.ico"}},
    {OutputKind::Bitmap, {"--bmp", "dark.png", "-o", "out.bmp"}},
    {OutputKind::Cursor, {"--cursor", "dark.png", "-o", "out.cur"}},
    {OutputKind::AnimatedCursor, {"--ani", "dark.png", "-o", "out.ani"}},
    {OutputKind::Xcursor, {"--xcursor", "dark.png", "-o", "out"}},
    {OutputKind::Icns, {"--icns", "dark.png", "-o", "out"}},
    {OutputKind::CursorTheme, {"--cursor-theme", "ct", "left_ptr.png"}},
    {OutputKind::IconTheme, {"--theme", "th", "--name", "app", "dark.png"}},
    {OutputKind::FaviconSet, {"--favicon", "site", "dark.png"}},
    // Three platforms, which every option of --app-icons changes, each run
    // compared with the run of all.
    {OutputKind::AppIcons, {"--app-icons", "ai", "--platforms", "android,ios,web", "dark.png"}},
    {OutputKind::Android, {"--android", "and", "dark.png"}},
    {OutputKind::Ios, {"--ios", "ios", "dark.png"}},
    {OutputKind::Msix, {"--msix", "msix", "dark.png"}},
    {OutputKind::Iconset, {"--iconset", "is", "dark.png"}},
    {OutputKind::Listing, {"--list", "dark.ico"}},
    {OutputKind::Extraction, {"--extract", "dark.ico", "-d", "images"}},
};

// A value of each option that takes one, read as valid.
QString validValueOf(const OptionEntry &entry)
{
    static const QHash<QString, QString> values{
        {"output", "other.ico"}, {"directory", "results"}, {"jobs", "2"},          {"sizes", "16"},
        {"favicon", "site"},     {"background", "red"},    {"app-icons", "ai"},    {"theme", "th"},
        {"name", "other"},       {"hotspot", "1,1"},       {"cursor-theme", "ct"}, {"delay", "50"},
        {"title", "a title"},    {"author", "an author"},  {"files-from", "list"},  {"web-path", "/static"},
        {"platforms", "linux"},  {"android", "and"},       {"ios", "ios"},         {"msix", "msix"},
        {"iconset", "is"},       {"background-picture", "light.png"}};
    return values.value(QLatin1String(entry.name));
}

// What an option needs beside it to have something to do, in the runs
// with it and without it: -r, a folder to walk.
QStringList alsoGiven(const OptionEntry &entry)
{
    return QByteArray(entry.name) == "recursive" ? QStringList{QStringLiteral("more")} : QStringList();
}

// The options of the whole run, which change neither the files nor, on a
// run that goes well, the messages: each has a probe of its own.
bool isRunWide(const OptionEntry &entry)
{
    return QByteArray(entry.name) == "jobs" || QByteArray(entry.name) == "quiet";
}

// What a run came to: its status, what it printed, and every file it left
// beside its pictures, with its bytes.
struct Outcome
{
    int exitCode = -1;
    QString out;
    QStringList errorLines;
    QMap<QString, QByteArray> files;

    bool operator==(const Outcome &other) const
    {
        return exitCode == other.exitCode && out == other.out && errorLines == other.errorLines && files == other.files;
    }
};

// `arguments` without the option `shown` and its value.
QStringList without(QStringList arguments, const OptionEntry &entry)
{
    const qsizetype at = arguments.indexOf(shownOption(entry));
    if (at >= 0)
        arguments.remove(at, entry.valueName ? 2 : 1);
    return arguments;
}

} // namespace

class tst_OutputKinds : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_pictures;

    // Runs `arguments` in a folder of its own holding the pictures.
    Outcome outcomeOf(const QStringList &arguments, const QString &folder) const;

private slots:
    void initTestCase();
    void everyKindTakesOrRefusesEachOption_data();
    void everyKindTakesOrRefusesEachOption();
    void runWideOptionsKeepTheirPromise_data();
    void runWideOptionsKeepTheirPromise();
};

void tst_OutputKinds::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pictures = m_dir.filePath(QStringLiteral("pictures"));
    QVERIFY(QDir().mkpath(m_pictures));
    // Pure black beside colour: --key-black has something to make
    // transparent, --mono something to keep.
    QImage dark(40, 30, QImage::Format_RGB32);
    dark.fill(qRgb(0, 0, 0));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 40; ++x)
            dark.setPixel(x, y, qRgb(200, 40 + x, 90));
    QVERIFY(dark.save(QDir(m_pictures).filePath(QStringLiteral("dark.png"))));
    QVERIFY(dark.save(QDir(m_pictures).filePath(QStringLiteral("left_ptr.png"))));
    QImage light = dark.mirrored(true, false);
    QVERIFY(light.save(QDir(m_pictures).filePath(QStringLiteral("light.png"))));
    QVERIFY(writeFile(QDir(m_pictures).filePath(QStringLiteral("list")), "light.png\n"));
    QVERIFY(QDir(m_pictures).mkdir(QStringLiteral("more")));
    QVERIFY(light.save(QDir(m_pictures).filePath(QStringLiteral("more/light.png"))));
    RunSetting setting;
    setting.workingFolder = m_pictures;
    QCOMPARE(runConverter({QStringLiteral("--sizes"), QStringLiteral("32,16"), QStringLiteral("dark.png"),
                           QStringLiteral("-o"), QStringLiteral("dark.ico")},
                          setting)
                 .exitCode,
             0);
}

Outcome tst_OutputKinds::outcomeOf(const QStringList &arguments, const QString &folder) const
{
    QDir().mkpath(folder);
    QStringList pictures;
    QDirIterator given(m_pictures, QDir::Files, QDirIterator::Subdirectories);
    while (given.hasNext()) {
        const QString name = QDir(m_pictures).relativeFilePath(given.next());
        QDir(folder).mkpath(QFileInfo(name).path());
        QFile::copy(QDir(m_pictures).filePath(name), QDir(folder).filePath(name));
        pictures << name;
    }
    RunSetting setting;
    setting.workingFolder = folder;
    const Run run = runConverter(arguments, setting);
    Outcome outcome{run.exitCode, run.out, run.errorLines, {}};
    // Each progress line holds the time taken, which differs from run to run.
    for (QString &line : outcome.errorLines)
        line.replace(QRegularExpression(QStringLiteral("[0-9.]+ s\\b")), QStringLiteral("T s"));
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString name = QDir(folder).relativeFilePath(path);
        if (!pictures.contains(name))
            outcome.files.insert(name, readFile(path));
    }
    return outcome;
}

void tst_OutputKinds::everyKindTakesOrRefusesEachOption_data()
{
    QTest::addColumn<OutputKind>("kind");
    for (const OutputKindRow &row : outputKinds())
        QTest::newRow(row.option ? row.option : "icon") << row.kind;
    QCOMPARE(kindRuns.size(), qsizetype(outputKinds().size()));
}

// Every option of the table with every kind. Taken: the run with it and
// the run without it differ in their files, their output, their messages
// or their status (a kind's own option left out makes another kind, or is
// missed). Not taken: exit status 2, one line naming it, nothing written.
// Under the sanitizers only the refusals are tried: the runs of the options
// taken convert as the other tests there do, and the normal build tries
// them all.
void tst_OutputKinds::everyKindTakesOrRefusesEachOption()
{
    QFETCH(OutputKind, kind);
    const QStringList base = kindRuns.value(kind);
    const QString folder = folderForThisTest(m_dir);
    const Outcome plain = outcomeOf(base, folder + QStringLiteral("/plain"));
    QCOMPARE(plain.exitCode, 0);
    std::vector<const OptionEntry *> options;
    for (const OptionEntry &entry : optionTable())
        if (entry.description && QByteArray(entry.name) != "help" && !isRunWide(entry))
            options.push_back(&entry);
    QVERIFY(options.size() >= 28);
    QStringList faults;
    std::mutex faulting;
    std::atomic<size_t> next{0};
    const auto probe = [&] {
        for (size_t i; (i = next++) < options.size();) {
            const OptionEntry &entry = *options[i];
            // An option that asks for another kind makes that kind of the
            // icon's run, which asks for none.
            const bool takenHere = (entry.kinds & kindsOf(kind))
                                   || (kind == OutputKind::Icon && kindNamedBy(shownOption(entry)));
            if (takenHere && sanitizedBuild)
                continue;
            const bool given = base.contains(shownOption(entry));
            const QStringList other = given ? without(base, entry) : base + alsoGiven(entry);
            QStringList arguments = given ? base : other;
            if (!given) {
                arguments << shownOption(entry);
                if (entry.valueName)
                    arguments << validValueOf(entry);
            }
            const QString probed = folder + QLatin1Char('/') + QLatin1String(entry.name);
            const Outcome tried = outcomeOf(arguments, probed);
            const Outcome otherwise = !takenHere                                 ? plain
                                      : given || !alsoGiven(entry).isEmpty() ? outcomeOf(other, probed + QStringLiteral("-not"))
                                                                             : plain;
            const QString line = tried.errorLines.value(0);
            QString fault;
            if (!takenHere) {
                if (tried.exitCode != 2 || tried.errorLines.size() != 2 || !line.contains(shownOption(entry))
                    || !(line.contains(QStringLiteral(" cannot be used with ")) || line.contains(QStringLiteral(" goes with ")))
                    || !tried.files.isEmpty())
                    fault = QStringLiteral("not refused: ");
            } else if (tried == otherwise) {
                fault = QStringLiteral("dropped silently: ");
            }
            const std::lock_guard<std::mutex> lock(faulting);
            if (!fault.isEmpty())
                faults << fault + arguments.join(QLatin1Char(' ')) + QStringLiteral(" -> ") + line;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(probe);
    for (std::thread &thread : threads)
        thread.join();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void tst_OutputKinds::runWideOptionsKeepTheirPromise_data()
{
    QTest::addColumn<OutputKind>("kind");
    for (const OutputKindRow &row : outputKinds())
        QTest::newRow(row.option ? row.option : "icon") << row.kind;
}

// -q: a run of any kind that fails says nothing, and its status still
// tells. -j: read by every kind that takes it (a count out of range is
// refused), and the files are the same whatever it is.
void tst_OutputKinds::runWideOptionsKeepTheirPromise()
{
    QFETCH(OutputKind, kind);
    QStringList failing = kindRuns.value(kind);
    const qsizetype picture = failing.indexOf(QRegularExpression(QStringLiteral("^(dark|left_ptr)\\.(png|ico)$")));
    QVERIFY(picture >= 0);
    failing[picture] = QStringLiteral("missing.png");
    const QString folder = folderForThisTest(m_dir);
    const Outcome loud = outcomeOf(failing, folder + QStringLiteral("/loud"));
    QCOMPARE(loud.exitCode, 1);
    QVERIFY(!loud.errorLines.isEmpty());
    const Outcome quiet = outcomeOf(failing + QStringList{QStringLiteral("-q")}, folder + QStringLiteral("/quiet"));
    QCOMPARE(quiet.exitCode, 1);
    QCOMPARE(quiet.errorLines, QStringList());

    const OptionEntry *jobs = nullptr;
    for (const OptionEntry &entry : optionTable())
        if (QByteArray(entry.name) == "jobs")
            jobs = &entry;
    QVERIFY(jobs);
    if (!(jobs->kinds & kindsOf(kind)) || sanitizedBuild)
        return; // refused, as the matrix above holds; or the same runs again
    const QStringList base = kindRuns.value(kind);
    const Outcome refused = outcomeOf(base + QStringList{QStringLiteral("-j"), QStringLiteral("0")}, folder + QStringLiteral("/j0"));
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.errorLines.value(0).contains(QStringLiteral("-j takes")), qPrintable(refused.errorLines.value(0)));
    const Outcome one = outcomeOf(base + QStringList{QStringLiteral("-j"), QStringLiteral("1")}, folder + QStringLiteral("/j1"));
    const Outcome four = outcomeOf(base + QStringList{QStringLiteral("-j"), QStringLiteral("4")}, folder + QStringLiteral("/j4"));
    QCOMPARE(one.exitCode, 0);
    QVERIFY(one == four);
}

QTEST_MAIN(tst_OutputKinds)
#include "tst_outputkinds.moc"
