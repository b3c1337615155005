// The icon build chain from SaveIcon to the window's writer: what it writes
// at each depth, where, and what it leaves on the window's surfaces.

#include "windowtestutils.h"

#include "module1.h"
#include "square.h"

#include <QDir>
#include <QFileInfo>

using namespace testutils;

class tst_Module1 : public QObject
{
    Q_OBJECT

private slots:
    void saveIconWritesAtItsDepth_data();
    void saveIconWritesAtItsDepth();
};

void tst_Module1::saveIconWritesAtItsDepth_data()
{
    QTest::addColumn<int>("bitDepth");
    QTest::addColumn<int>("fileBytes");
    QTest::newRow("colour") << 24 << 3262;
    QTest::newRow("black and white") << 1 << 326;
}

void tst_Module1::saveIconWritesAtItsDepth()
{
    QFETCH(int, bitDepth);
    QFETCH(int, fileBytes);
    QTemporaryDir program;
    ScriptedWindow w(program.path());
    QImage square = patternImage(32, 32);
    square.setPixel(4, 5, qRgb(0, 0, 0));
    w->Picture5->PaintPicture(Picture(square), 0, 0, 32, 32);
    const QString chosen = program.filePath(QStringLiteral("chosen.ico"));

    QVERIFY(!Module1::SaveIcon(*w.window, chosen, bitDepth));
    const QString temp = QDir(program.path()).filePath(QStringLiteral("temp"));
    const QByteArray icon = readFile(chosen);
    QCOMPARE(icon.size(), fileBytes);
    QCOMPARE(readFile(temp), icon);
    // The same bytes the core makes of the square.
    QCOMPARE(icon, encodeSquare(square, bitDepth == 24 ? SquareOutput::ColourIcon : SquareOutput::BlackAndWhiteIcon));
    // The mask surface holds this save's mask.
    QCOMPARE(w->picMask->Point(4, 5), Colours::white);
    QCOMPARE(w->picMask->Point(5, 5), Colours::black);
    // What was drawn on Picture5 is now its picture.
    w->Picture5->Cls();
    QCOMPARE(w->Picture5->Point(0, 0), colourFromQRgb(square.pixel(0, 0)));
}

QTEST_MAIN(tst_Module1)
#include "tst_module1.moc"
