// The window's icon build: the square on Picture5 becomes the icon file at
// the chosen path and the temp copy, checked against the core's encoding
// and by independent readers (Pillow, icotool), and what a failed write
// leaves.

#include "windowtestutils.h"

#include "iconfile.h"

#include <QFileInfo>

using namespace testutils;

namespace {

// A square with a diagonal of pure black, which the icon makes transparent.
QImage squareWithBlackDiagonal()
{
    QImage square(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            square.setPixel(x, y, x == y ? qRgb(0, 0, 0) : qRgb(x * 8, y * 8, (x + y) * 4));
    return square;
}

} // namespace

class tst_SaveIcon : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_program;

    // A fresh window whose Picture5 shows `square`.
    std::unique_ptr<ScriptedWindow> showing(const QImage &square) const
    {
        auto w = std::make_unique<ScriptedWindow>(m_program);
        (*w)->Picture5->PaintPicture(Picture(square), 0, 0, 32, 32);
        return w;
    }
    QString temp() const { return QDir(m_program).filePath(QStringLiteral("temp")); }

private slots:
    void init() { m_program = folderForThisTest(m_dir); }
    void writesTheChosenFileAndTheTempCopy_data();
    void writesTheChosenFileAndTheTempCopy();
    void independentReadersAgree();
    void failedWritesLoseNothing_data();
    void failedWritesLoseNothing();
};

void tst_SaveIcon::writesTheChosenFileAndTheTempCopy_data()
{
    QTest::addColumn<SquareOutput>("output");
    QTest::addColumn<int>("fileBytes");
    QTest::newRow("colour") << SquareOutput::ColourIcon << IconFile::fileBytes;
    QTest::newRow("black and white") << SquareOutput::BlackAndWhiteIcon << MonoIconFile::fileBytes;
}

void tst_SaveIcon::writesTheChosenFileAndTheTempCopy()
{
    QFETCH(SquareOutput, output);
    QFETCH(int, fileBytes);
    QImage square = patternImage(32, 32);
    square.setPixel(4, 5, qRgb(0, 0, 0));
    const std::unique_ptr<ScriptedWindow> window = showing(square);
    ScriptedWindow &w = *window;
    const QString chosen = m_dir.filePath(QStringLiteral("chosen.ico"));
    QVERIFY(writeFile(chosen, QByteArray(10000, 'x'))); // replaced whole

    QVERIFY(!w->SaveIcon(chosen, output));
    const QByteArray icon = readFile(chosen);
    QCOMPARE(icon.size(), fileBytes);
    QCOMPARE(readFile(temp()), icon);
    // The bytes the core makes of the square, as the converter writes them,
    // and, read as the format lays them out, the window's rule.
    QCOMPARE(firstDifference(icon, encodeSquare(square, output)), qsizetype(-1));
    if (output == SquareOutput::ColourIcon)
        QCOMPARE(iconDifference(icon, square), QString());
    // The work surfaces show the icon: its transparency, its colours.
    QCOMPARE(w->picMask->Point(4, 5), Colours::white);
    QCOMPARE(w->picMask->Point(5, 5), Colours::black);
    QCOMPARE(w->picImage->Point(4, 5), Colours::black);
    QCOMPARE(w->picImage->Point(5, 5), colourFromQRgb(square.pixel(5, 5)));
    // What was drawn on Picture5 is now its picture.
    w->Picture5->Cls();
    QCOMPARE(w->Picture5->Point(0, 0), colourFromQRgb(square.pixel(0, 0)));
    QVERIFY(w.boxes.shown.isEmpty());
}

void tst_SaveIcon::independentReadersAgree()
{
    const QString path = m_dir.filePath(QStringLiteral("pattern.ico"));
    QVERIFY(!(*showing(squareWithBlackDiagonal()))->SaveIcon(path, SquareOutput::ColourIcon));
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QSKIP_UNLESS_TOOL(icotool);
    const QStringList pixels = decodeWithPillow(path);
    QCOMPARE(pixels.value(0), QStringLiteral("32 32"));
    QCOMPARE(pixels.size(), 1 + 1024);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QString expected = x == y ? QStringLiteral("00000000")
                                            : QStringLiteral("%1%2%3FF").arg(x * 8, 2, 16, QLatin1Char('0'))
                                                  .arg(y * 8, 2, 16, QLatin1Char('0'))
                                                  .arg((x + y) * 4, 2, 16, QLatin1Char('0')).toUpper();
            if (pixels[1 + y * 32 + x] != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): Pillow reads %3, expected %4")
                                     .arg(x).arg(y).arg(pixels[1 + y * 32 + x], expected)));
        }

    QProcess lister;
    lister.start(icotool, {QStringLiteral("--list"), path});
    QVERIFY(lister.waitForFinished(10000));
    const QString listing = QString::fromLatin1(lister.readAllStandardOutput());
    QVERIFY2(listing.contains(QStringLiteral("--width=32 --height=32 --bit-depth=24")), qPrintable(listing));
    const QString extracted = m_dir.filePath(QStringLiteral("extracted"));
    QDir().mkpath(extracted);
    QCOMPARE(QProcess::execute(icotool, {QStringLiteral("-x"), QStringLiteral("-o"), extracted, path}), 0);
    const QStringList pngs = QDir(extracted).entryList({QStringLiteral("*.png")});
    QCOMPARE(pngs.size(), 1);
    const QImage png(QDir(extracted).filePath(pngs.first()));
    QCOMPARE(qAlpha(png.pixel(5, 5)), 0);
    QCOMPARE(png.pixel(5, 6), qRgba(40, 48, 44, 255));
}

void tst_SaveIcon::failedWritesLoseNothing_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<Failure::Kind>("kind");
    QTest::newRow("in a missing folder") << "no-such-folder/x.ico" << false << Failure::Kind::NoSuchFolder;
    QTest::newRow("over a good file, disk full") << "good.ico" << true << Failure::Kind::DiskFull;
}

// The chosen file is whole or not written at all, and the failure goes back
// to the caller; the temp copy is still written when it can be.
void tst_SaveIcon::failedWritesLoseNothing()
{
    QFETCH(QString, chosen);
    QFETCH(bool, fullDisk);
    QFETCH(Failure::Kind, kind);
    const QString path = QDir(m_program).filePath(chosen);
    const QByteArray good = QByteArray("an earlier good file ").repeated(300);
    if (fullDisk)
        QVERIFY(writeFile(path, good));
    const std::unique_ptr<ScriptedWindow> w = showing(patternImage(32, 32));
    std::optional<Failure> failure;
    {
        const FileSizeLimit limit(fullDisk ? 2000 : RLIM_INFINITY);
        failure = (*w)->SaveIcon(path, SquareOutput::ColourIcon);
    }
    QVERIFY(failure);
    QVERIFY(w->boxes.shown.isEmpty()); // the Save command reports it
    QCOMPARE(failure->kind, kind);
    QCOMPARE(readFile(path), fullDisk ? good : QByteArray());
    QVERIFY(QFileInfo::exists(QFileInfo(path).absolutePath()) == fullDisk);
    // No half-written work file is left beside it.
    QCOMPARE(QDir(m_program).entryList(QDir::Files), fullDisk ? QStringList{"good.ico"} : QStringList{"temp"});
    // And the window goes on: the next save works.
    const QString next = QDir(m_program).filePath(QStringLiteral("next.ico"));
    QVERIFY(!(*w)->SaveIcon(next, SquareOutput::ColourIcon));
    QCOMPARE(readFile(next).size(), IconFile::fileBytes);
}

QTEST_MAIN(tst_SaveIcon)
#include "tst_saveicon.moc"
