// The icon build chain on its own: SaveIcon, ChangePixels and MakeIcon with a
// stand-in for the window, and the drawing handles they use.

#include "testutils.h"

#include "module1.h"

using namespace testutils;

namespace {

// Counts the builds and fails them when told to.
class FakeWindow : public IconBuilder
{
public:
    VbError Create24BitIcon() override
    {
        ++builds;
        return failure;
    }
    int builds = 0;
    VbError failure;
};

} // namespace

class tst_Module1 : public QObject
{
    Q_OBJECT

private:
    FakeWindow m_window;
    ScriptedMessageBoxes m_boxes;

private slots:
    void init();
    void cleanup();
    void saveIconBuildsOnceAndReleasesEverything();
    void saveIconShowsTheBuildsFailure_data();
    void saveIconShowsTheBuildsFailure();
    void changePixels_data();
    void changePixels();
    void memorySurfaceCapturesAndReadsBack();
    void selectedBitmapCannotBeDeletedBeforeItsContext();
};

void tst_Module1::init()
{
    m_window = FakeWindow();
    m_boxes.shown.clear();
    Module1::setMainWindow(&m_window, &m_boxes);
}

void tst_Module1::cleanup()
{
    Module1::setMainWindow(nullptr, nullptr);
    QCOMPARE(gdi::liveObjectCount(), 0);
}

void tst_Module1::saveIconBuildsOnceAndReleasesEverything()
{
    const gdi::HDC memDC = gdi::CreateCompatibleDC(0);
    Module1::SaveIcon(QStringLiteral("ignored.ico"), memDC, 0, 24);
    QCOMPARE(m_window.builds, 1);
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(gdi::liveObjectCount(), 1); // only the caller's own context is left
    QVERIFY(gdi::DeleteDC(memDC));
    // The surface description is a 32 x 32, 24-bit uncompressed one.
    QCOMPARE(Module1::BmpInfo.bmiHeader.biSize, quint32(40));
    QCOMPARE(Module1::BmpInfo.bmiHeader.biWidth, 32);
    QCOMPARE(Module1::BmpInfo.bmiHeader.biHeight, 32);
    QCOMPARE(Module1::BmpInfo.bmiHeader.biBitCount, quint16(24));
}

void tst_Module1::saveIconShowsTheBuildsFailure_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::newRow("invalid picture") << 481 << "Invalid picture" << "SaveIcon error # 481 Invalid picture";
    QTest::newRow("out of memory") << 7 << "Out of memory" << "SaveIcon error # 7 Out of memory";
}

void tst_Module1::saveIconShowsTheBuildsFailure()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, message);
    m_window.failure = {number, description, QString()};
    Module1::SaveIcon(QString(), 0, 0, 24); // returns normally
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown.first().prompt, message);
    QCOMPARE(m_boxes.shown.first().buttons, MsgBox::vbOKOnly);
    QCOMPARE(m_boxes.shown.first().title, QCoreApplication::applicationName());
    QCOMPARE(Module1::MakeIcon().number, number); // MakeIcon passes it on
}

void tst_Module1::changePixels_data()
{
    QTest::addColumn<bool>("failSelection");
    QTest::newRow("selection works") << false;
    QTest::newRow("selection fails") << true;
}

void tst_Module1::changePixels()
{
    QFETCH(bool, failSelection);
    const gdi::HDC reference = gdi::CreateCompatibleDC(0);
    if (failSelection)
        gdi::failCall(gdi::Call::SelectObject);
    QCOMPARE(Module1::ChangePixels(reference, 32, 32, Colours::black), !failSelection);
    QCOMPARE(m_boxes.shown.size(), failSelection ? 1 : 0);
    if (failSelection)
        QCOMPARE(m_boxes.shown.first().prompt, QStringLiteral("In ChangePixels - SelectObject(CopyDC, CopyBitmap) = 0"));
    // Brush, context and surface are released on both paths.
    QCOMPARE(gdi::liveObjectCount(), 1);
    gdi::DeleteDC(reference);
}

void tst_Module1::memorySurfaceCapturesAndReadsBack()
{
    PictureBox box;
    box.setBounds(0, 0, 540, 540);
    box.setBackColor(0x00DCC5B8);
    box.PSet(31, 31, 0x010203);
    const gdi::HDC dc = gdi::CreateCompatibleDC(0);
    Module1::describeSurface(32, 32);
    const gdi::HBITMAP bitmap = gdi::CreateDIBSection(dc, Module1::BmpInfo, gdi::DIB_RGB_COLORS, nullptr, 0, 0);
    QVERIFY(bitmap);
    QVERIFY(gdi::SelectObject(dc, bitmap));
    QVERIFY(gdi::BitBlt(dc, 0, 0, 32, 32, box.hDC(), 0, 0, gdi::SRCCOPY));
    QCOMPARE(gdi::GetPixel(dc, 31, 31), Colour(0x010203));
    QCOMPARE(gdi::GetPixel(dc, 0, 0), Colour(0x00DCC5B8));
    QCOMPARE(gdi::GetPixel(dc, 32, 0), Colours::invalid);
    QVERIFY(gdi::DeleteDC(dc));
    QVERIFY(gdi::DeleteObject(bitmap));
}

void tst_Module1::selectedBitmapCannotBeDeletedBeforeItsContext()
{
    const gdi::HDC dc = gdi::CreateCompatibleDC(0);
    Module1::describeSurface(32, 32);
    const gdi::HBITMAP bitmap = gdi::CreateDIBSection(dc, Module1::BmpInfo, gdi::DIB_RGB_COLORS, nullptr, 0, 0);
    gdi::SelectObject(dc, bitmap);
    QVERIFY(!gdi::DeleteObject(bitmap)); // still selected
    QCOMPARE(gdi::liveObjectCount(), 2);
    QVERIFY(gdi::DeleteDC(dc));
    QVERIFY(gdi::DeleteObject(bitmap));
    QVERIFY(!gdi::DeleteObject(bitmap)); // already gone
}

QTEST_MAIN(tst_Module1)
#include "tst_module1.moc"
