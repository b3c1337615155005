// The drawing surfaces and picture files every command works on.

#include "boxtestutils.h"

#include "picture.h"
#include "picturefiles.h"
#include "picturebox.h"

#include <QtEndian>

using namespace testutils;

class tst_PictureBox : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A 540 x 540 twip box with the 3D border, as the square surfaces are.
    static std::unique_ptr<PictureBox> squareBox(Colour backColor = Colours::windowBackground)
    {
        auto box = std::make_unique<PictureBox>();
        box->setBounds(0, 0, 540, 540);
        box->setScaleMode(PictureBox::ScaleModeKind::Pixels);
        box->setAutoRedraw(true);
        box->setAutoSize(true);
        box->setBackColor(backColor);
        return box;
    }

private slots:
    void clientAreaFollowsBorderAndScale_data();
    void clientAreaFollowsBorderAndScale();
    void autoSizeFollowsThePicture_data();
    void autoSizeFollowsThePicture();
    void clsKeepsTheAssignedPicture();
    void assigningAPictureErasesTheDrawing();
    void backColorResolvesSystemColoursAndClearsDrawing();
    void paintPictureFillsExactlyTheRoundedRectangle_data();
    void paintPictureFillsExactlyTheRoundedRectangle();
    void paintPictureAveragesWhenShrinking();
    void paintPictureCopiesExactlyAtOneToOne();
    void pointAndPSetRoundTripOffScreen_data();
    void pointAndPSetRoundTripOffScreen();
    void imageSnapshotCarriesToAnotherBox();
    void loadPictureRecognisesTheContent_data();
    void loadPictureRecognisesTheContent();
    void loadPictureRefusesWhatItCannotRead_data();
    void loadPictureRefusesWhatItCannotRead();
    void savePictureWritesA24BitBitmap();
};

void tst_PictureBox::clientAreaFollowsBorderAndScale_data()
{
    QTest::addColumn<bool>("border");
    QTest::addColumn<bool>("pixels");
    QTest::addColumn<int>("outerTwips");
    QTest::addColumn<float>("scaleWidth");

    QTest::newRow("540 twips bordered, pixels") << true << true << 540 << 32.0f;
    QTest::newRow("540 twips bordered, twips") << true << false << 540 << 480.0f;
    QTest::newRow("540 twips no border, pixels") << false << true << 540 << 36.0f;
    QTest::newRow("2595 twips bordered, twips") << true << false << 2595 << 2535.0f;
}

void tst_PictureBox::clientAreaFollowsBorderAndScale()
{
    QFETCH(bool, border);
    QFETCH(bool, pixels);
    QFETCH(int, outerTwips);
    QFETCH(float, scaleWidth);

    PictureBox box;
    box.setBorder(border);
    box.setScaleMode(pixels ? PictureBox::ScaleModeKind::Pixels : PictureBox::ScaleModeKind::Twips);
    box.setBounds(0, 0, outerTwips, outerTwips);
    QCOMPARE(box.ScaleWidth(), scaleWidth);
    QCOMPARE(box.ScaleHeight(), scaleWidth);
    QCOMPARE(box.Width(), outerTwips);
}

void tst_PictureBox::autoSizeFollowsThePicture_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<bool>("autoSize");
    QTest::addColumn<QSize>("outerTwips");

    QTest::newRow("200x100 grows") << QSize(200, 100) << true << QSize(204 * 15, 104 * 15);
    QTest::newRow("10x5 shrinks") << QSize(10, 5) << true << QSize(14 * 15, 9 * 15);
    QTest::newRow("32x32 keeps 540") << QSize(32, 32) << true << QSize(540, 540);
    QTest::newRow("no autosize keeps 540") << QSize(200, 100) << false << QSize(540, 540);
}

void tst_PictureBox::autoSizeFollowsThePicture()
{
    QFETCH(QSize, pictureSize);
    QFETCH(bool, autoSize);
    QFETCH(QSize, outerTwips);

    auto box = squareBox();
    box->setAutoSize(autoSize);
    box->setPicture(Picture(solidImage(pictureSize.width(), pictureSize.height(), 0x112233)));
    QCOMPARE(QSize(box->Width(), box->Height()), outerTwips);
    if (autoSize) {
        QCOMPARE(box->ScaleWidth(), float(pictureSize.width()));
        QCOMPARE(box->ScaleHeight(), float(pictureSize.height()));
    }
}

void tst_PictureBox::clsKeepsTheAssignedPicture()
{
    auto box = squareBox();
    box->setPicture(Picture(solidImage(32, 32, 0x123456)));
    box->PSet(3, 4, Colour(0x00FF00));
    box->PaintPicture(Picture(solidImage(4, 4, 0x0000FF)), 10, 10, 4, 4);
    QCOMPARE(box->Point(3, 4), Colour(0x00FF00));
    box->Cls();
    verifyRegion(*box, QRect(0, 0, 32, 32), 0x123456, 0x123456);
}

void tst_PictureBox::assigningAPictureErasesTheDrawing()
{
    auto box = squareBox(Colour(0x0000FF));
    box->PSet(0, 0, Colour(0x00FF00));
    box->setPicture(Picture(solidImage(16, 16, 0xABCDEF)));
    QCOMPARE(box->Point(0, 0), Colour(0xABCDEF));
    // The picture is drawn from the top-left corner over the background.
    auto fixedBox = squareBox(Colour(0x0000FF));
    fixedBox->setAutoSize(false);
    fixedBox->PSet(20, 20, Colour(0x00FF00));
    fixedBox->setPicture(Picture(solidImage(16, 16, 0xABCDEF)));
    verifyRegion(*fixedBox, QRect(0, 0, 16, 16), 0xABCDEF, 0x0000FF);
}

void tst_PictureBox::backColorResolvesSystemColoursAndClearsDrawing()
{
    auto box = squareBox(Colours::windowBackground);
    QCOMPARE(box->Point(5, 5), Colours::white); // window background on the default palette
    box->setAutoSize(false);
    box->setPicture(Picture(solidImage(8, 8, 0x010203)));
    box->PSet(20, 20, Colour(0x00FF00));
    box->setBackColor(Colour(0x00DCC5B8));
    QCOMPARE(box->Point(20, 20), Colour(0x00DCC5B8)); // drawing gone
    QCOMPARE(box->Point(2, 2), Colour(0x010203));     // picture stays
}

void tst_PictureBox::paintPictureFillsExactlyTheRoundedRectangle_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("w");
    QTest::addColumn<double>("h");
    QTest::addColumn<QRect>("covered");

    QTest::newRow("square fills all") << 0.0 << 0.0 << 32.0 << 32.0 << QRect(0, 0, 32, 32);
    QTest::newRow("2:1 wide, rows 8-23") << 0.0 << 8.0 << 32.0 << 16.0 << QRect(0, 8, 32, 16);
    QTest::newRow("1:2 tall, columns 8-23") << 8.0 << 0.0 << 16.0 << 32.0 << QRect(8, 0, 16, 32);
    const double f = 32.0 * 2 / 3;
    const double o = double(float((32 - f) / 2));
    QTest::newRow("3:2 fractional") << 0.0 << o << 32.0 << f << QRect(0, 5, 32, 22);
    QTest::newRow("partly outside") << 24.0 << 24.0 << 16.0 << 16.0 << QRect(24, 24, 8, 8);
}

void tst_PictureBox::paintPictureFillsExactlyTheRoundedRectangle()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, w);
    QFETCH(double, h);
    QFETCH(QRect, covered);

    auto box = squareBox(Colour(0x00DCC5B8));
    // A uniform source must stay uniform: no edge row may be blended.
    box->PaintPicture(Picture(solidImage(300, 200, 0x2040C0)), x, y, w, h);
    verifyRegion(*box, covered, 0x2040C0, 0x00DCC5B8);
}

void tst_PictureBox::paintPictureAveragesWhenShrinking()
{
    // Four pixels shrink into one: each target pixel is their exact mean.
    QImage source(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            source.setPixel(x, y, (x + y) % 2 ? qRgb(200, 100, 0) : qRgb(0, 50, 100));
    auto box = squareBox();
    box->PaintPicture(Picture(source), 0, 0, 32, 32);
    verifyRegion(*box, QRect(0, 0, 32, 32), 0x324B64, 0x324B64); // (100, 75, 50)

    // Three to one along an axis that does not divide evenly still averages.
    QImage stripes(96, 1, QImage::Format_RGB32);
    for (int x = 0; x < 96; ++x)
        stripes.setPixel(x, 0, x % 3 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    auto row = squareBox();
    row->PaintPicture(Picture(stripes), 0, 0, 32, 1);
    QCOMPARE(row->Point(13, 0), Colour(0x555555));
}

void tst_PictureBox::paintPictureCopiesExactlyAtOneToOne()
{
    const QImage source = patternImage(32, 32);
    auto box = squareBox();
    box->PaintPicture(Picture(source), 0, 0, 32, 32);
    QCOMPARE(box->Image().image().convertToFormat(QImage::Format_RGB32), source);
}

void tst_PictureBox::pointAndPSetRoundTripOffScreen_data()
{
    QTest::addColumn<Colour>("colour");
    QTest::newRow("black") << Colour(0x000000);
    QTest::newRow("white") << Colour(0xFFFFFF);
    QTest::newRow("almost black") << Colour(0x010101);
    QTest::newRow("blue 12 green 34 red 56") << Colour(0x123456);
    QTest::newRow("almost white") << Colour(0xFEFEFE);
}

void tst_PictureBox::pointAndPSetRoundTripOffScreen()
{
    QFETCH(Colour, colour);
    // Never shown, as the work surfaces are.
    auto box = squareBox(Colour(0x00DCC5B8));
    QVERIFY(!box->isVisible());
    box->PSet(31, 0, colour);
    box->PSet(0, 31, colour);
    QCOMPARE(box->Point(31, 0), colour);
    QCOMPARE(box->Point(0, 31), colour);
    QCOMPARE(box->Point(1, 1), Colour(0x00DCC5B8));
    QCOMPARE(box->Point(32, 0), Colours::invalid);
    QCOMPARE(box->Point(-1, 5), Colours::invalid);
}

void tst_PictureBox::imageSnapshotCarriesToAnotherBox()
{
    auto from = squareBox(Colour(0x00DCC5B8));
    from->PaintPicture(Picture(solidImage(10, 10, 0x0000FF)), 0, 8, 32, 16);
    from->PSet(0, 0, Colour(0x00FF00));
    const Picture snapshot = from->Image();
    QCOMPARE(snapshot.size(), QSize(32, 32));
    auto to = squareBox(Colours::black);
    to->setPicture(snapshot);
    verifySameSquare(*to, *from);
    // Drawing on the source afterwards does not reach the copy.
    from->PSet(5, 5, Colour(0xFFFFFF));
    QCOMPARE(to->Point(5, 5), Colour(0x00DCC5B8));
}

void tst_PictureBox::loadPictureRecognisesTheContent_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("exact");
    QTest::newRow("jpeg") << "JPG" << false;
    QTest::newRow("gif") << "GIF" << true;
    QTest::newRow("bmp") << "BMP" << true;
    QTest::newRow("ico") << "ICO" << true;
}

void tst_PictureBox::loadPictureRecognisesTheContent()
{
    QFETCH(QString, format);
    QFETCH(bool, exact);
    // The name says nothing: the content decides.
    const QString path = m_dir.filePath(QStringLiteral("picture-%1.dat").arg(format));
    QVERIFY(saveImage(solidImage(24, 16, 0x3366CC), path, qPrintable(format)));
    const PictureLoad load = LoadPicture(path);
    QVERIFY2(!load.failure, qPrintable(reasonOf(load.failure)));
    QCOMPARE(load.picture.size(), QSize(24, 16));
    const QRgb p = load.picture.image().pixel(5, 5);
    if (exact)
        QCOMPARE(colourFromQRgb(p), Colour(0x3366CC));
    else
        QVERIFY(qAbs(qRed(p) - 0xCC) < 6 && qAbs(qGreen(p) - 0x66) < 6 && qAbs(qBlue(p) - 0x33) < 6);
}

void tst_PictureBox::loadPictureRefusesWhatItCannotRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Failure::Kind>("kind");

    QTest::newRow("missing file") << "missing.jpg" << QByteArray() << Failure::Kind::NoSuchFile;
    QTest::newRow("missing folder") << "nowhere/x.jpg" << QByteArray() << Failure::Kind::NoSuchFolder;
    QTest::newRow("text named bmp") << "text.bmp" << QByteArray("hello, not a picture\n") << Failure::Kind::NotAPicture;
    QTest::newRow("zero bytes") << "empty.gif" << QByteArray("") << Failure::Kind::NotAPicture;
}

void tst_PictureBox::loadPictureRefusesWhatItCannotRead()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(Failure::Kind, kind);

    const QString path = m_dir.filePath(name);
    if (!content.isNull())
        QVERIFY(writeFile(path, content));
    const PictureLoad load = LoadPicture(path);
    QVERIFY(load.failure);
    QCOMPARE(load.failure->kind, kind);
    QVERIFY(load.picture.isNull());
    QVERIFY(!load.failure->reason.isEmpty());
}

void tst_PictureBox::savePictureWritesA24BitBitmap()
{
    const QImage source = patternImage(33, 7); // a width whose rows need padding
    const QString path = m_dir.filePath(QStringLiteral("out"));
    QVERIFY(!SavePicture(Picture(source), path));
    const QByteArray bytes = readFile(path);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 28), quint16(24));
    QCOMPARE(bytes.size(), 54 + 100 * 7); // 33 * 3 = 99, padded to 100
    const PictureLoad back = LoadPicture(path);
    QVERIFY(!back.failure);
    QCOMPARE(back.picture.image().convertToFormat(QImage::Format_RGB32), source);

    // A failed save reports why and writes nothing.
    const std::optional<Failure> failed = SavePicture(Picture(source), m_dir.filePath(QStringLiteral("no/such/folder/x.bmp")));
    QVERIFY(failed);
    QCOMPARE(failed->kind, Failure::Kind::NoSuchFolder);
}

QTEST_MAIN(tst_PictureBox)
#include "tst_picturebox.moc"
