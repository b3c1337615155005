// The window's icon writer: picImage and picMask become an icon file, checked
// byte by byte and by independent readers (Pillow, icotool).

#include "windowtestutils.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>


using namespace testutils;

namespace {

// Paints both work surfaces: picImage gets `colour` everywhere, picMask black
// (opaque) everywhere.
void fillSurfaces(frmBmp2Icon &w, Colour colour)
{
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            w.picImage->PSet(x, y, colour);
            w.picMask->PSet(x, y, Colours::black);
        }
}

} // namespace

class tst_IconWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void writesTheSurfacesAsAnIcon();
    void independentReadersAgree();
    void onlyPureWhiteOnTheMaskIsTransparent_data();
    void onlyPureWhiteOnTheMaskIsTransparent();
    void failedSurfaceReadIsRedAndOpaque();
    void overwritingLeavesExactlyTheIcon();
    void missingFolderCreatesNothingAndSaysWhy();
    void failedWriteKeepsTheEarlierFile();
};

void tst_IconWriter::writesTheSurfacesAsAnIcon()
{
    ScriptedWindow w(m_dir.path());
    fillSurfaces(*w.window, Colour(0xFFFFFF));
    w->picImage->PSet(0, 31, Colour(0x123456)); // bottom-left, opaque: red 56, green 34, blue 12
    w->picMask->PSet(0, 0, Colours::white); // top-left, transparent
    const QString path = m_dir.filePath(QStringLiteral("one.ico"));
    QVERIFY(!w->WriteIconFile(path));
    const QByteArray file = readFile(path);
    QCOMPARE(file.size(), 3262);
    QCOMPARE(file.mid(62, 3).toHex(), QByteArray("123456"));
    QCOMPARE(file.mid(3038, 3).toHex(), QByteArray("000000"));
    QCOMPARE(uchar(file[3258]), uchar(0x80));
    QCOMPARE(uchar(file[3134]) & 0x80, 0);
    QVERIFY(w.boxes.shown.isEmpty());
}

void tst_IconWriter::independentReadersAgree()
{
    ScriptedWindow w(m_dir.path());
    // A pattern of colours, and a diagonal of transparent pixels.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            w->picImage->PSet(x, y, Colour((x * 8) | (y * 8) << 8 | ((x + y) * 4) << 16));
            w->picMask->PSet(x, y, x == y ? Colours::white : Colours::black);
        }
    const QString path = m_dir.filePath(QStringLiteral("pattern.ico"));
    QVERIFY(!w->WriteIconFile(path));

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

    QProcess icotool;
    icotool.start(testutils::icotool, {QStringLiteral("--list"), path});
    QVERIFY(icotool.waitForFinished(10000));
    const QString listing = QString::fromLatin1(icotool.readAllStandardOutput());
    QVERIFY2(listing.contains(QStringLiteral("--width=32 --height=32 --bit-depth=24")), qPrintable(listing));
    const QString extracted = m_dir.filePath(QStringLiteral("extracted"));
    QDir().mkpath(extracted);
    QCOMPARE(QProcess::execute(testutils::icotool, {QStringLiteral("-x"), QStringLiteral("-o"), extracted, path}), 0);
    const QStringList pngs = QDir(extracted).entryList({QStringLiteral("*.png")});
    QCOMPARE(pngs.size(), 1);
    const QImage png(QDir(extracted).filePath(pngs.first()));
    QCOMPARE(qAlpha(png.pixel(5, 5)), 0);
    QCOMPARE(png.pixel(5, 6), qRgba(40, 48, 44, 255));
}

void tst_IconWriter::onlyPureWhiteOnTheMaskIsTransparent_data()
{
    QTest::addColumn<Colour>("maskColour");
    QTest::addColumn<Colour>("imageColour");
    QTest::addColumn<QByteArray>("pixelBytes");
    QTest::addColumn<bool>("transparent");

    QTest::newRow("white is transparent, image not black") << Colour(0xFFFFFF) << Colour(0x00FF00) << QByteArray::fromHex("000000") << true;
    QTest::newRow("almost white is opaque") << Colour(0xFEFEFE) << Colour(0x00FF00) << QByteArray::fromHex("00FF00") << false;
    QTest::newRow("black is opaque") << Colour(0x000000) << Colour(0x010203) << QByteArray::fromHex("010203") << false;
    QTest::newRow("grey is opaque") << Colour(0x808080) << Colour(0x000000) << QByteArray::fromHex("000000") << false;
}

void tst_IconWriter::onlyPureWhiteOnTheMaskIsTransparent()
{
    QFETCH(Colour, maskColour);
    QFETCH(Colour, imageColour);
    QFETCH(QByteArray, pixelBytes);
    QFETCH(bool, transparent);

    ScriptedWindow w(m_dir.path());
    fillSurfaces(*w.window, imageColour);
    w->picMask->PSet(4, 31, maskColour);
    const QString path = m_dir.filePath(QStringLiteral("mask.ico"));
    QVERIFY(!w->WriteIconFile(path));
    const QByteArray file = readFile(path);
    QCOMPARE(file.mid(62 + 12, 3).toHex(), pixelBytes.toHex());
    QCOMPARE(bool(uchar(file[3134]) & 0x08), transparent);
}

void tst_IconWriter::failedSurfaceReadIsRedAndOpaque()
{
    ScriptedWindow w(m_dir.path());
    fillSurfaces(*w.window, Colour(0x000000));
    // A colour surface one pixel too small: its last column and row cannot be read.
    w->picImage->setBounds(7410, 210, 525, 525);
    QCOMPARE(w->picImage->ScaleWidth(), 31.0f);
    const QString path = m_dir.filePath(QStringLiteral("failed.ico"));
    QVERIFY(!w->WriteIconFile(path));
    const QByteArray file = readFile(path);
    QCOMPARE(file.mid(62 + 3 * 31, 3).toHex(), QByteArray("0000ff")); // (31, 31)
    QCOMPARE(file.mid(62 + 96, 3).toHex(), QByteArray("000000"));     // (0, 30) was read
    QCOMPARE(file.mid(3134).count('\0'), 128);                         // all opaque
}

void tst_IconWriter::overwritingLeavesExactlyTheIcon()
{
    ScriptedWindow w(m_dir.path());
    fillSurfaces(*w.window, Colour(0x336699));
    const QString path = m_dir.filePath(QStringLiteral("big.ico"));
    QVERIFY(writeFile(path, QByteArray(10000, 'x')));
    QVERIFY(!w->WriteIconFile(path));
    const QByteArray replaced = readFile(path);
    const QString fresh = m_dir.filePath(QStringLiteral("fresh.ico"));
    QVERIFY(!w->WriteIconFile(fresh));
    QCOMPARE(replaced.size(), 3262);
    QCOMPARE(replaced, readFile(fresh));
}

void tst_IconWriter::missingFolderCreatesNothingAndSaysWhy()
{
    ScriptedWindow w(m_dir.path());
    const QString path = m_dir.filePath(QStringLiteral("no-such-folder/x.ico"));
    const VbError failure = w->WriteIconFile(path);
    QCOMPARE(failure.number, 76);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("no-such-folder"))));
    QVERIFY(w.boxes.shown.isEmpty());
    // The caller goes on: the next write works.
    QVERIFY(!w->WriteIconFile(m_dir.filePath(QStringLiteral("next.ico"))));
}

void tst_IconWriter::failedWriteKeepsTheEarlierFile()
{
    ScriptedWindow w(m_dir.path());
    fillSurfaces(*w.window, Colour(0x445566));
    const QString path = m_dir.filePath(QStringLiteral("good.ico"));
    const QByteArray good = QByteArray("an earlier good file ").repeated(300);
    QVERIFY(writeFile(path, good));
    VbError failure;
    {
        const FileSizeLimit fullDisk(2000); // the new file cannot be written whole
        failure = w->WriteIconFile(path);
    }
    QVERIFY(failure.isError());
    QCOMPARE(readFile(path), good);
    // No half-written work file is left beside it either.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("good.ico")), QStringList{"good.ico"});
}

QTEST_MAIN(tst_IconWriter)
#include "tst_iconwriter.moc"
