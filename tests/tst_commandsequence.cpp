// One window used for an afternoon: long random sequences of Opens of
// pictures of many shapes and formats, cancelled and failed Opens, Saves in
// every output and cancelled Saves, all in the same window. After every Save
// the file must be exactly what a freshly started window writes after the
// same last Open (or with nothing opened, when the last Open was cancelled or
// failed); after every Open the preview and the work file must be too.

#include "windowtestutils.h"

#include <QDir>
#include <QHash>
#include <QLockFile>

#include <optional>
#include <random>

using namespace testutils;

namespace {

// What a save writes: the save dialog's filter entry, and for entry 3 the
// answer to the colour question (0: none asked).
enum class Output { Icon, Bitmap, ColourIcon, BlackAndWhiteIcon };
struct OutputChoice
{
    int filterIndex;
    int answer;
    const char *name;
};
const OutputChoice outputChoices[] = {{1, 0, "icon"},
                                      {2, 0, "bitmap"},
                                      {3, MsgBox::vbYes, "colour icon (entry 3, Yes)"},
                                      {3, MsgBox::vbNo, "black-and-white icon (entry 3, No)"}};
constexpr int outputCount = 4;

const OutputChoice &choiceOf(Output output)
{
    return outputChoices[int(output)];
}

struct Step
{
    enum Kind { Open, CancelledOpen, FailedOpen, BusyOpen, Save, CancelledSave, FailedSave };
    Kind kind = Open;
    int picture = 0; // Open: a good picture; FailedOpen: a bad one
    Output output = Output::Icon;
};

// A picture with pure black in it, so transparency is at stake in every save.
QImage pictureWithBlack(int width, int height)
{
    QImage image = patternImage(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + 2 * y) % 7 < 2 || x < width / 4)
                image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

// What went wrong in one played sequence: the step it showed at, what went
// wrong there, and how.
struct Mismatch
{
    enum Kind { Messages, Preview, WorkFile, SavedFile };
    int step = 0;
    Kind kind = Messages;
    QString what;
};

} // namespace

class tst_CommandSequence : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_pictures;
    QStringList m_badPictures;
    int m_plays = 0;

    // What a fresh window makes: the preview and work file after an Open,
    // and the file a save writes, by picture (-1: nothing opened) and output.
    struct Opened
    {
        QImage preview;
        QByteArray workFile;
    };
    QHash<int, Opened> m_opened;
    QHash<QPair<int, int>, QByteArray> m_saved;

    QString newFolder(const QString &prefix)
    {
        const QString folder = m_dir.filePath(prefix + QString::number(++m_plays));
        QDir().mkpath(folder);
        return folder;
    }

    QString describe(const Step &step) const;
    QString describe(const QList<Step> &steps) const;
    QList<Step> randomSteps(quint32 seed, int count) const;
    const Opened &freshOpen(int picture);
    const QByteArray &freshSave(int picture, Output output);
    std::optional<Mismatch> play(const QList<Step> &steps);
    QList<Step> shrink(QList<Step> failing, Mismatch::Kind kind);

    void save(ScriptedWindow &w, const QString &path, Output output);

private slots:
    void initTestCase();
    void everySaveIsWhatAFreshWindowWrites_data();
    void everySaveIsWhatAFreshWindowWrites();
    void theFaultsAsReported();
};

void tst_CommandSequence::initTestCase()
{
    QSKIP_UNLESS_TOOL(imageMagickConvert); // for the GIF
    const QString folder = m_dir.filePath(QStringLiteral("pictures"));
    QDir().mkpath(folder);
    const struct
    {
        const char *name;
        QImage image;
        const char *format;
    } pictures[] = {
        {"square.bmp", pictureWithBlack(32, 32), "BMP"},
        {"wide.jpg", pictureWithBlack(60, 28), "JPG"},
        {"tall.gif", pictureWithBlack(20, 50), "GIF"},
        {"photo.png", pictureWithBlack(90, 60), "PNG"},
        {"dot.bmp", solidImage(1, 1, 0x000080), "BMP"},
        {"thin.bmp", pictureWithBlack(3, 40), "BMP"},
        {"landscape.jpg", pictureWithBlack(1600, 900), "JPG"},
        {"logo.ico", pictureWithBlack(48, 48), "ICO"},
    };
    for (const auto &picture : pictures) {
        const QString path = QDir(folder).filePath(QLatin1String(picture.name));
        QVERIFY2(saveImage(picture.image, path, picture.format), picture.name);
        m_pictures << path;
    }
    m_badPictures << QDir(folder).filePath(QStringLiteral("missing.bmp"));
    m_badPictures << QDir(folder).filePath(QStringLiteral("notes.jpg"));
    QVERIFY(writeFile(m_badPictures.last(), "not a picture\n"));
}

QString tst_CommandSequence::describe(const Step &step) const
{
    switch (step.kind) {
    case Step::Open: return QStringLiteral("Open %1").arg(QFileInfo(m_pictures[step.picture]).fileName());
    case Step::CancelledOpen: return QStringLiteral("Open, cancelled");
    case Step::FailedOpen: return QStringLiteral("Open %1 (fails)").arg(QFileInfo(m_badPictures[step.picture]).fileName());
    case Step::BusyOpen:
        return QStringLiteral("Open %1 while another window holds the work file")
            .arg(QFileInfo(m_pictures[step.picture]).fileName());
    case Step::Save: return QStringLiteral("Save as %1").arg(QLatin1String(choiceOf(step.output).name));
    case Step::CancelledSave: return QStringLiteral("Save, cancelled");
    case Step::FailedSave:
        return QStringLiteral("Save as %1 into a missing folder").arg(QLatin1String(choiceOf(step.output).name));
    }
    return QString();
}

QString tst_CommandSequence::describe(const QList<Step> &steps) const
{
    QStringList lines;
    for (qsizetype i = 0; i < steps.size(); ++i)
        lines << QStringLiteral("  %1. %2").arg(i + 1).arg(describe(steps[i]));
    return lines.join(QLatin1Char('\n'));
}

// The same steps for the same seed on every machine: only the generator's
// raw output is used, never a library distribution.
QList<Step> tst_CommandSequence::randomSteps(quint32 seed, int count) const
{
    std::mt19937 random(seed);
    const auto pick = [&random](qsizetype n) { return int(random() % quint32(n)); };
    QList<Step> steps;
    for (int i = 0; i < count; ++i) {
        Step step;
        const int roll = pick(100);
        if (roll < 30) {
            step.kind = Step::Open;
            step.picture = pick(m_pictures.size());
        } else if (roll < 35) {
            step.kind = Step::CancelledOpen;
        } else if (roll < 40) {
            step.kind = Step::FailedOpen;
            step.picture = pick(m_badPictures.size());
        } else if (roll < 43) {
            step.kind = Step::BusyOpen;
            step.picture = pick(m_pictures.size());
        } else if (roll < 84) {
            step.kind = Step::Save;
            step.output = Output(pick(outputCount));
        } else if (roll < 92) {
            step.kind = Step::CancelledSave;
        } else {
            step.kind = Step::FailedSave;
            step.output = Output(pick(outputCount));
        }
        steps << step;
    }
    return steps;
}

void tst_CommandSequence::save(ScriptedWindow &w, const QString &path, Output output)
{
    if (choiceOf(output).answer)
        w.boxes.answer(choiceOf(output).answer);
    w.save(path, choiceOf(output).filterIndex);
}

const tst_CommandSequence::Opened &tst_CommandSequence::freshOpen(int picture)
{
    if (!m_opened.contains(picture)) {
        const QString folder = newFolder(QStringLiteral("fresh-"));
        ScriptedWindow w(folder);
        w.open(m_pictures[picture]);
        m_opened.insert(picture, {w->Picture1->Image().image().convertToFormat(QImage::Format_RGB32),
                                  readFile(QDir(folder).filePath(QStringLiteral("temporaneo")))});
    }
    return m_opened[picture];
}

const QByteArray &tst_CommandSequence::freshSave(int picture, Output output)
{
    const QPair<int, int> key(picture, int(output));
    if (!m_saved.contains(key)) {
        const QString folder = newFolder(QStringLiteral("fresh-"));
        ScriptedWindow w(folder);
        if (picture >= 0) {
            w.open(m_pictures[picture]);
        }
        const QString path = QDir(folder).filePath(QStringLiteral("saved"));
        save(w, path, output);
        m_saved.insert(key, readFile(path));
    }
    return m_saved[key];
}

// Plays the steps in one window; returns the first step whose result is not
// what a fresh window gives.
std::optional<Mismatch> tst_CommandSequence::play(const QList<Step> &steps)
{
    const QString folder = newFolder(QStringLiteral("play-"));
    // Another window holding the work file is not waited for long here.
    ScriptedWindow w(folder, std::chrono::milliseconds(20));
    const QString workFile = QDir(folder).filePath(QStringLiteral("temporaneo"));
    int lastOpened = -1; // the picture of the last Open; -1 when it opened nothing
    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps[i];
        const qsizetype messagesBefore = w.boxes.shown.size();
        const QString saved = QDir(folder).filePath(QStringLiteral("saved-%1").arg(i + 1));
        const QString unsaved = QDir(folder).filePath(QStringLiteral("missing/saved-%1").arg(i + 1));
        switch (step.kind) {
        case Step::Open:
        case Step::FailedOpen:
            w.dialogs.choose(step.kind == Step::Open ? m_pictures[step.picture] : m_badPictures[step.picture],
                             1 + i % 3);
            w->Command3_Click();
            lastOpened = step.kind == Step::Open ? step.picture : -1;
            break;
        case Step::CancelledOpen:
            w.dialogs.cancel();
            w->Command3_Click();
            lastOpened = -1;
            break;
        case Step::BusyOpen: {
            // Fails after the picture is drawn, when the work file is due.
            QLockFile otherWindow(workFile + QStringLiteral(".lock"));
            if (!otherWindow.tryLock(0))
                return Mismatch{i, Mismatch::Messages, QStringLiteral("the window left its lock behind")};
            w.open(m_pictures[step.picture]);
            lastOpened = -1;
            break;
        }
        case Step::Save:
            save(w, saved, step.output);
            break;
        case Step::CancelledSave:
            w.dialogs.cancel();
            w->Command1_Click();
            break;
        case Step::FailedSave:
            save(w, unsaved, step.output);
            break;
        }

        // A failed Open or Save tells why in one box, and entry 3 asks its
        // colour question; nothing else shows any.
        const bool saves = step.kind == Step::Save || step.kind == Step::FailedSave;
        const qsizetype expected = (step.kind == Step::FailedOpen || step.kind == Step::BusyOpen)
                                   + (step.kind == Step::FailedSave)
                                   + (saves && choiceOf(step.output).answer != 0);
        const qsizetype shown = w.boxes.shown.size() - messagesBefore;
        if (shown != expected)
            return Mismatch{i, Mismatch::Messages, QStringLiteral("%1 message(s) shown, %2 expected; last: %3")
                                  .arg(shown).arg(expected)
                                  .arg(shown ? w.boxes.shown.last().prompt : QString())};
        if (step.kind == Step::FailedSave && QFileInfo::exists(unsaved))
            return Mismatch{i, Mismatch::SavedFile, QStringLiteral("a file appeared in a missing folder")};

        if (step.kind == Step::Open) {
            const Opened &fresh = freshOpen(step.picture);
            if (w->Picture1->Image().image().convertToFormat(QImage::Format_RGB32) != fresh.preview)
                return Mismatch{i, Mismatch::Preview, QStringLiteral("the preview differs from a fresh window's")};
            if (const qsizetype at = firstDifference(readFile(workFile), fresh.workFile); at >= 0)
                return Mismatch{i, Mismatch::WorkFile, QStringLiteral("the work file differs from a fresh window's at byte %1").arg(at)};
        }
        if (step.kind == Step::Save) {
            const QByteArray bytes = readFile(saved);
            const QByteArray &fresh = freshSave(lastOpened, step.output);
            if (const qsizetype at = firstDifference(bytes, fresh); at >= 0)
                return Mismatch{i, Mismatch::SavedFile, QStringLiteral("the saved file differs from a fresh window's at byte %1 "
                                                 "(%2 bytes, fresh %3)")
                                      .arg(at).arg(bytes.size()).arg(fresh.size())};
        }
    }
    return std::nullopt;
}

// Leaves out steps one at a time while the sequence still fails the same way,
// so a report shows only the steps the fault needs.
QList<Step> tst_CommandSequence::shrink(QList<Step> failing, Mismatch::Kind kind)
{
    for (bool shorter = true; shorter;) {
        shorter = false;
        for (qsizetype i = failing.size() - 2; i >= 0; --i) {
            QList<Step> candidate = failing;
            candidate.removeAt(i);
            const std::optional<Mismatch> failure = play(candidate);
            if (failure && failure->kind == kind) {
                failing = candidate.mid(0, failure->step + 1);
                shorter = true;
                i = qMin(i, failing.size() - 1);
            }
        }
    }
    return failing;
}

void tst_CommandSequence::everySaveIsWhatAFreshWindowWrites_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    // Six seeds of 60 steps: 360 steps in all, each seed its own window.
    for (quint32 seed = 1; seed <= 6; ++seed)
        QTest::addRow("seed %u", seed) << seed << 60;
    // Longer runs on demand, e.g. TERVANA_SEQUENCE_SEED=12345 TERVANA_SEQUENCE_STEPS=2000.
    if (qEnvironmentVariableIsSet("TERVANA_SEQUENCE_SEED"))
        QTest::addRow("seed from the environment")
            << quint32(qEnvironmentVariableIntValue("TERVANA_SEQUENCE_SEED"))
            << qMax(1, qEnvironmentVariableIntValue("TERVANA_SEQUENCE_STEPS"));
}

void tst_CommandSequence::everySaveIsWhatAFreshWindowWrites()
{
    QFETCH(quint32, seed);
    QFETCH(int, count);
    const QList<Step> steps = randomSteps(seed, count);
    const std::optional<Mismatch> failure = play(steps);
    if (!failure)
        return;
    const QList<Step> prefix = steps.mid(0, failure->step + 1);
    const QList<Step> shortest = shrink(prefix, failure->kind);
    const std::optional<Mismatch> shortestFailure = play(shortest);
    QFAIL(qPrintable(QStringLiteral("seed %1, step %2: %3\nshortest failing prefix (%4 steps):\n%5\n"
                                    "the fewest steps found that fail (%6):\n%7")
                         .arg(seed).arg(failure->step + 1).arg(failure->what).arg(prefix.size())
                         .arg(describe(prefix))
                         .arg(shortestFailure ? shortestFailure->what : QStringLiteral("no longer fails"))
                         .arg(describe(shortest))));
}

// The sequences first reported: a 32 x 32 picture with black in it saved
// twice, then a wide picture, whose bands must come out clean.
void tst_CommandSequence::theFaultsAsReported()
{
    const int square = 0;
    const int wide = 1;
    const QList<Step> sequence = {{Step::Open, square},        {Step::Save, 0, Output::Icon},
                                  {Step::Save, 0, Output::Icon}, {Step::Open, wide},
                                  {Step::Save, 0, Output::Icon}, {Step::Save, 0, Output::Bitmap},
                                  {Step::Save, 0, Output::BlackAndWhiteIcon}, {Step::Save, 0, Output::ColourIcon},
                                  {Step::CancelledOpen},       {Step::Save, 0, Output::Icon}};
    if (const std::optional<Mismatch> failure = play(sequence))
        QFAIL(qPrintable(QStringLiteral("step %1: %2\n%3").arg(failure->step + 1).arg(failure->what)
                             .arg(describe(sequence.mid(0, failure->step + 1)))));
}

QTEST_MAIN(tst_CommandSequence)
#include "tst_commandsequence.moc"
