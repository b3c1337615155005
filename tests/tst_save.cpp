// The Save command, from Open to the written icon, through the window with
// scripted dialogs and message boxes: the icon checked against the
// converter's bytes and by independent readers (Pillow, icotool), and what a
// failed write leaves.

#include "windowtestutils.h"

#include "picture.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>

using namespace testutils;

namespace {

constexpr Colour windowBack{0x00DCC5B8};

QString setting(const QString &key)
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelbrin"));
    return store.value(QStringLiteral("cmndlgSettings/") + key).toString();
}

void storeSettings(const QString &folder, const QString &index)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelbrin"));
    store.setValue(QStringLiteral("cmndlgSettings/cdSaveAsDirSetting"), folder);
    store.setValue(QStringLiteral("cmndlgSettings/cdSaveAsIndexSetting"), index);
}



} // namespace

class tst_Save : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_programFolder;
    QString m_icons;

    QString tempFile() const { return QDir(m_programFolder).filePath(QStringLiteral("temp")); }
    QString iconPath(const QString &name) const { return QDir(m_icons).filePath(name); }

    // Opens a 32 x 32 square of `square` (an exact copy lands on Picture5).
    void open(ScriptedWindow &w, const QImage &square)
    {
        const QString path = m_dir.filePath(QStringLiteral("square.bmp"));
        QVERIFY(square.save(path, "BMP"));
        w.open(path);
        QVERIFY(w.boxes.shown.isEmpty());
    }

private slots:
    void init();
    void openThenSaveWritesTheExactIcon_data();
    void openThenSaveWritesTheExactIcon();
    void independentReadersAgree();
    void dialogStartsWhereTheSettingsSay_data();
    void dialogStartsWhereTheSettingsSay();
    void realDialogAsksBeforeReplacing();
    void settingsOutliveTheWindow();
    void nameIsProposedFromTheLastSave_data();
    void nameIsProposedFromTheLastSave();
    void cancelChangesNothing();
    void nameWithoutExtensionIsSavedAsTyped();
    void saveBeforeAnyOpenUsesWhatPicture5Shows();
    void sizeQuestion_data();
    void sizeQuestion();
    void bitmapBranch();
    void blackAndWhiteBranchWritesAOneBitIcon();
    void otherFilterIndexEndsAfterTheSettings();
    void settingsStoreThatIsNoRegularFileIsLeftAlone_data();
    void settingsStoreThatIsNoRegularFileIsLeftAlone();
    void failedSaveIsReportedAndLosesNothing_data();
    void failedSaveIsReportedAndLosesNothing();
    void undeletableTempCopyStopsTheColourBranch();
    void commandsCannotOverlapAndCloseWaits();
};

void tst_Save::init()
{
    m_programFolder = folderForThisTest(m_dir, QStringLiteral("program-"));
    m_icons = folderForThisTest(m_dir, QStringLiteral("icons-"));
    storeSettings(QString(), QString());
}

void tst_Save::openThenSaveWritesTheExactIcon_data()
{
    QTest::addColumn<QImage>("square");
    QTest::addColumn<int>("filterIndex"); // 3: the colour question asked and answered Yes
    QImage mixed = patternImage(32, 32);
    for (int i = 0; i < 32; ++i) {
        mixed.setPixel(i, i, qRgb(0, 0, 0));           // pure black: transparent
        mixed.setPixel(31 - i, i, qRgb(1, 1, 1));      // almost black: opaque
        mixed.setPixel(i, 31 - (i + 7) % 32, qRgb(0, 0, 1));
    }
    QTest::newRow("pattern with black, (1,1,1) and (0,0,1)") << mixed << 1;
    QTest::newRow("all black") << solidImage(32, 32, 0x000000) << 1;
    QTest::newRow("all almost black") << solidImage(32, 32, 0x010101) << 1;
    QTest::newRow("all white") << solidImage(32, 32, 0xFFFFFF) << 1;
    QTest::newRow("pattern, entry 3 answered Yes (colour)") << mixed << 3;
}

void tst_Save::openThenSaveWritesTheExactIcon()
{
    QFETCH(QImage, square);
    QFETCH(int, filterIndex);
    ScriptedWindow w(m_programFolder);
    open(w, square);
    const QString chosen = iconPath(QStringLiteral("Mare.ico"));
    QVERIFY(writeFile(chosen, QByteArray(10000, 'x'))); // both replaced whole
    QVERIFY(writeFile(tempFile(), QByteArray(9000, 'o')));
    if (filterIndex == 3)
        w.boxes.answer(MsgBox::vbYes);
    w.save(chosen, filterIndex);
    QCOMPARE(w.boxes.shown.size(), filterIndex == 3 ? 1 : 0);

    const QByteArray icon = readFile(chosen);
    QCOMPARE(iconDifference(icon, square), QString());
    // The bytes the converter writes of the same square.
    QCOMPARE(firstDifference(icon, encodeSquare(square, SquareOutput::ColourIcon)), qsizetype(-1));
    QCOMPARE(readFile(tempFile()), icon);
    QCOMPARE(w->lblPath->Caption(), chosen);
    QCOMPARE(setting(QStringLiteral("cdSaveAsDirSetting")), m_icons + QLatin1Char('/'));
    QCOMPARE(setting(QStringLiteral("cdSaveAsIndexSetting")), QString::number(filterIndex));
    // Kept in the user's configuration folder, as an INI file here.
    const QString store = sandboxHome.settingsFile(QStringLiteral("Kelbrin"));
    QVERIFY(readFile(store).contains("cdSaveAsIndexSetting=" + QByteArray::number(filterIndex)));
    QCOMPARE(w->MousePointer(), defaultPointer);
    // The saved icon is shown again: transparent pixels over the window's
    // colour; the work surfaces hold its colours and its mask.
    QCOMPARE(w->Picture5->BackColor(), windowBack);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const Colour c = colourFromQRgb(square.pixel(x, y));
            const bool transparent = c == Colours::black;
            QCOMPARE(w->Picture5->Point(x, y), transparent ? windowBack : c);
            QCOMPARE(w->Picture6->Point(x, y), transparent ? Colours::white : c);
            QCOMPARE(w->picImage->Point(x, y), c);
            QCOMPARE(w->picMask->Point(x, y), transparent ? Colours::white : Colours::black);
        }
}

// Pillow and icotool read the saved icon as the window meant it.
void tst_Save::independentReadersAgree()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QSKIP_UNLESS_TOOL(icotool);
    QImage square(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            square.setPixel(x, y, x == y ? qRgb(0, 0, 0) : qRgb(x * 8, y * 8, (x + y) * 4));
    ScriptedWindow w(m_programFolder);
    open(w, square);
    const QString path = iconPath(QStringLiteral("pattern.ico"));
    w.save(path);
    const QStringList pixels = decodeWithPillow(path);
    QCOMPARE(pixels.value(0), QStringLiteral("32 32"));
    QCOMPARE(pixels.size(), 1 + 1024);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QString expected = x == y ? QStringLiteral("00000000")
                                            : QStringLiteral("%1FF").arg(square.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
            if (pixels[1 + y * 32 + x] != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): Pillow reads %3, expected %4")
                                     .arg(x).arg(y).arg(pixels[1 + y * 32 + x], expected)));
        }

    const QString listing = outputOf(icotool, {QStringLiteral("--list"), path});
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

void tst_Save::dialogStartsWhereTheSettingsSay_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("index");
    QTest::addColumn<bool>("applied");

    QTest::newRow("first save ever") << "" << "" << false;
    QTest::newRow("both present") << "/stored/folder/" << "1" << true;
    QTest::newRow("folder only") << "/stored/folder/" << "" << false;
    QTest::newRow("index only") << "" << "1" << false;
    QTest::newRow("index not a number") << "/stored/folder/" << "one" << false;
    QTest::newRow("index beyond 16 bits") << "/stored/folder/" << "70000" << false;
    QTest::newRow("index 3 stored") << "/stored/folder/" << "3" << true;
}

void tst_Save::dialogStartsWhereTheSettingsSay()
{
    QFETCH(QString, folder);
    QFETCH(QString, index);
    QFETCH(bool, applied);

    storeSettings(folder, index);
    ScriptedWindow w(m_programFolder);
    open(w, solidImage(32, 32, 0x336699));
    w.dialogs.cancel();
    w->Command1_Click();

    const FileDialogRequest &request = w.dialogs.requests.last();
    if (applied) {
        QCOMPARE(request.initDir, folder);
        QCOMPARE(request.filterIndex, index.toInt());
    } else {
        // Where the Open left the shared dialog: the program folder, entry 1.
        QCOMPARE(request.initDir, QDir::toNativeSeparators(m_programFolder));
        QCOMPARE(request.filterIndex, 1);
    }
    // A cancel writes no setting.
    QCOMPARE(setting(QStringLiteral("cdSaveAsDirSetting")), folder);
    QCOMPARE(setting(QStringLiteral("cdSaveAsIndexSetting")), index);
}

void tst_Save::realDialogAsksBeforeReplacing()
{
    storeSettings(m_icons + QLatin1Char('/'), QStringLiteral("1"));
    ScriptedWindow w(m_programFolder);
    w.dialogs.cancel();
    w->Command1_Click();

    // The real dialog made from the request: a save dialog that asks before
    // replacing a file and adds no extension of its own.
    QCOMPARE(realDialogSays(w.dialogs.requests.first()),
             QStringList({"save", "Salva file ico", "Icona (*.ico)", "Icona (*.ico)", QDir(m_icons).canonicalPath(),
                          "asks before replacing", "any name", "adds \"\""}));
}

void tst_Save::settingsOutliveTheWindow()
{
    {
        ScriptedWindow first(m_programFolder);
        first.save(iconPath(QStringLiteral("mare.ico")), 1);
    }
    ScriptedWindow second(m_programFolder);
    second.dialogs.cancel();
    second->Command1_Click();
    QCOMPARE(second.dialogs.requests.first().initDir, m_icons + QLatin1Char('/'));
    QCOMPARE(second.dialogs.requests.first().filterIndex, 1);
}

void tst_Save::nameIsProposedFromTheLastSave_data()
{
    QTest::addColumn<QString>("savedAs"); // in the icons folder; empty: nothing saved yet
    QTest::addColumn<QString>("proposal");
    QTest::newRow("nothing saved yet") << "" << "";
    QTest::newRow("Mare.ico") << "Icone/Mare.ico" << "mare";
    QTest::newRow("dot in folder and name") << "a.b/foto.ico" << "foto";
    QTest::newRow("dot only in folder") << "a.b/Foto" << "foto";
    QTest::newRow("two dots in name") << "My.Icon.ICO" << "my.icon";
}

// The next Save dialog proposes the last saved file's name, lower case,
// without its ending.
void tst_Save::nameIsProposedFromTheLastSave()
{
    QFETCH(QString, savedAs);
    QFETCH(QString, proposal);
    ScriptedWindow w(m_programFolder);
    if (!savedAs.isEmpty()) {
        QVERIFY(QDir(m_icons).mkpath(QFileInfo(savedAs).path()));
        w.save(iconPath(savedAs));
        QVERIFY(QFileInfo::exists(iconPath(savedAs)));
    }
    w.dialogs.cancel();
    w->Command1_Click();
    QCOMPARE(w.dialogs.requests.last().fileName, proposal);
}

void tst_Save::cancelChangesNothing()
{
    ScriptedWindow w(m_programFolder);
    open(w, solidImage(32, 32, 0x445566));
    w.dialogs.cancel();
    w->Command1_Click();
    QVERIFY(w.boxes.shown.isEmpty());
    QVERIFY(!QFileInfo::exists(tempFile()));
    QCOMPARE(QDir(m_icons).entryList(QDir::Files), QStringList());
    QCOMPARE(setting(QStringLiteral("cdSaveAsDirSetting")), QString());
    QCOMPARE(w->lblPath->Caption(), QStringLiteral("Label1"));
    QCOMPARE(w->Picture5->Point(3, 3), Colour(0x445566));
    QCOMPARE(w->Picture5->BackColor(), Colours::windowBackground);
    QCOMPARE(w->MousePointer(), defaultPointer);
}

void tst_Save::nameWithoutExtensionIsSavedAsTyped()
{
    ScriptedWindow w(m_programFolder);
    open(w, solidImage(32, 32, 0x102030));
    w.save(iconPath(QStringLiteral("Mare.ico")));
    // The proposal "mare" accepted as it is: no extension is added.
    w.save(iconPath(QStringLiteral("mare")));
    QCOMPARE(w.dialogs.requests.last().fileName, QStringLiteral("mare"));
    QVERIFY(w.boxes.shown.isEmpty());
    QCOMPARE(readFile(iconPath(QStringLiteral("mare"))).size(), 3262);
    QCOMPARE(w->lblPath->Caption(), iconPath(QStringLiteral("mare")));
    QCOMPARE(w->Picture5->Point(0, 0), Colour(0x102030)); // reloaded by its content
}

void tst_Save::saveBeforeAnyOpenUsesWhatPicture5Shows()
{
    ScriptedWindow w(m_programFolder);
    w.save(iconPath(QStringLiteral("blank.ico")));
    QVERIFY(w.boxes.shown.isEmpty());
    QCOMPARE(iconDifference(readFile(iconPath(QStringLiteral("blank.ico"))), solidImage(32, 32, 0xFFFFFF)), QString());
}

void tst_Save::sizeQuestion_data()
{
    QTest::addColumn<QSize>("fileSize");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");

    QTest::newRow("32x32, not asked") << QSize(32, 32) << int(MsgBox::vbNo) << false;
    QTest::newRow("64x32, No") << QSize(64, 32) << int(MsgBox::vbNo) << true;
    QTest::newRow("64x32, Yes") << QSize(64, 32) << int(MsgBox::vbYes) << true;
    QTest::newRow("32x33, Yes") << QSize(32, 33) << int(MsgBox::vbYes) << true;
}

void tst_Save::sizeQuestion()
{
    QFETCH(QSize, fileSize);
    QFETCH(int, answer);
    QFETCH(bool, asked);

    ScriptedWindow w(m_programFolder);
    // The file found at the chosen path: left half red, right half blue.
    QImage picture = solidImage(fileSize.width(), fileSize.height(), 0x0000FF);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = picture.width() / 2; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(0, 0, 255));
    const QString path = iconPath(QStringLiteral("found.bmp"));
    QVERIFY(picture.save(path, "BMP"));
    w->Picture5->PSet(0, 0, Colour(0x00FF00));
    w.boxes.answer(answer);

    const frmBmp2Icon::StepOutcome outcome = w->ReloadSavedIcon(path);
    QVERIFY(!outcome.failure);
    QCOMPARE(w.boxes.shown.size(), asked ? 1 : 0);
    if (asked) {
        QCOMPARE(w.boxes.shown.first().prompt, QStringLiteral("Image not in 32X32 pixel format. Do you wish to resize?"));
        QCOMPARE(w.boxes.shown.first().buttons, MsgBox::vbYesNo);
        QCOMPARE(w.boxes.shown.first().title, QStringLiteral("Image Size Test"));
    }
    QCOMPARE(outcome.ended, asked && answer != MsgBox::vbYes);
    // The new background erased Picture5's drawing in every case.
    if (outcome.ended) {
        QCOMPARE(w->Picture5->Point(0, 0), windowBack);
    } else {
        // Shrunk (or copied) into 32 x 32: red on the left, blue on the right.
        QCOMPARE(w->Picture5->Point(0, 0), Colour(0x0000FF));
        QCOMPARE(w->Picture5->Point(31, 31), Colour(0xFF0000));
    }
}

void tst_Save::bitmapBranch()
{
    ScriptedWindow w(m_programFolder);
    open(w, patternImage(32, 32));
    const QString chosen = iconPath(QStringLiteral("copy.ico")); // whatever the extension
    w.save(chosen, 2);
    QVERIFY(w.boxes.shown.isEmpty());
    const QByteArray bytes = readFile(chosen);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32), patternImage(32, 32));
    QVERIFY(!QFileInfo::exists(tempFile()));
    QCOMPARE(w->lblPath->Caption(), chosen);
    QCOMPARE(setting(QStringLiteral("cdSaveAsIndexSetting")), QStringLiteral("2"));
}

void tst_Save::blackAndWhiteBranchWritesAOneBitIcon()
{
    ScriptedWindow w(m_programFolder);
    QImage square = solidImage(32, 32, 0xFFFFFF);
    for (int x = 0; x < 32; ++x) {
        square.setPixel(x, 0, qRgb(0, 0, 0));       // transparent
        square.setPixel(x, 1, qRgb(40, 40, 40));    // dark: black
        square.setPixel(x, 2, qRgb(200, 180, 190)); // light: white
    }
    open(w, square);
    const QString chosen = iconPath(QStringLiteral("mono.ico"));
    w.dialogs.choose(chosen, 3);
    w.boxes.answer(MsgBox::vbNo);
    frmBmp2Icon::Pointer pointerWhileAsked = hourglass;
    w.boxes.onShow = [&] { pointerWhileAsked = w->MousePointer(); };
    w->Command1_Click();
    QCOMPARE(pointerWhileAsked, defaultPointer); // the hourglass comes after the question
    QCOMPARE(w.boxes.shown.size(), 1); // only the colour question
    QCOMPARE(w.boxes.shown.first().prompt,
             QStringLiteral("Do you wish to save in Color to be used in creating an animated (.ani) cursor file "
                            "later OR a colored static .cur file?"));
    QCOMPARE(w.boxes.shown.first().title, QStringLiteral("Color or B-W?"));
    QCOMPARE(w.boxes.shown.first().buttons, MsgBox::vbYesNo);
    const QByteArray icon = readFile(chosen);
    QCOMPARE(icon.size(), 326);
    QCOMPARE(firstDifference(icon, encodeSquare(square, SquareOutput::BlackAndWhiteIcon)), qsizetype(-1));
    QCOMPARE(readFile(tempFile()), icon);

    QSKIP_UNLESS_TOOL(python3WithPillow);
    const QStringList pixels = decodeWithPillow(chosen);
    QCOMPARE(pixels.value(0), QStringLiteral("32 32"));
    QCOMPARE(pixels.value(1 + 0 * 32 + 5), QStringLiteral("00000000"));
    QCOMPARE(pixels.value(1 + 1 * 32 + 5), QStringLiteral("000000FF"));
    QCOMPARE(pixels.value(1 + 2 * 32 + 5), QStringLiteral("FFFFFFFF"));
    QCOMPARE(pixels.value(1 + 9 * 32 + 9), QStringLiteral("FFFFFFFF"));
    // The reload shows it.
    QCOMPARE(w->Picture5->Point(5, 1), Colours::black);
    QCOMPARE(w->Picture5->Point(5, 0), windowBack);
}

void tst_Save::settingsStoreThatIsNoRegularFileIsLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("lockFile"); // the store's lock file rather than the store
    QTest::newRow("a pipe") << "pipe" << false;
    QTest::newRow("a link to a pipe") << "link to a pipe" << false;
    QTest::newRow("a device") << "null device" << false;
    QTest::newRow("a pipe as its lock file") << "pipe" << true;
}

// Neither read (a pipe would never answer) nor written (it would become a
// plain file): the settings are left at their defaults and the save works.
void tst_Save::settingsStoreThatIsNoRegularFileIsLeftAlone()
{
    QFETCH(QString, kind);
    QFETCH(bool, lockFile);
    const QString settings = sandboxHome.settingsFile(QStringLiteral("Kelbrin"));
    const QString store = lockFile ? settings + QStringLiteral(".lock") : settings;
    QFile::remove(settings);
    if (!makeSpecialFile(kind, store))
        QSKIP("this machine lets no test make such a file");
    const auto removeStore = qScopeGuard([&] { QFile::remove(store); });
    const QString kindBefore = kindAt(store);

    ScriptedWindow w(m_programFolder);
    open(w, patternImage(32, 32));
    const QString chosen = iconPath(QStringLiteral("saved.ico"));
    w.save(chosen);
    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    QCOMPARE(iconDifference(readFile(chosen), patternImage(32, 32)), QString());
    // Where the Open left the dialog, as with no settings at all.
    QCOMPARE(w.dialogs.requests.last().initDir, QDir::toNativeSeparators(m_programFolder));
    QCOMPARE(kindAt(store), kindBefore);
}

void tst_Save::otherFilterIndexEndsAfterTheSettings()
{
    ScriptedWindow w(m_programFolder);
    const QString chosen = iconPath(QStringLiteral("four.ico"));
    w.save(chosen, 4);
    QVERIFY(w.boxes.shown.isEmpty());
    QVERIFY(!QFileInfo::exists(chosen));
    QCOMPARE(setting(QStringLiteral("cdSaveAsIndexSetting")), QStringLiteral("4"));
    QCOMPARE(w->lblPath->Caption(), QStringLiteral("Label1"));
}

void tst_Save::failedSaveIsReportedAndLosesNothing_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("fullDisk"); // over an earlier icon
    QTest::addColumn<QString>("prompt");
    QTest::newRow("in a missing folder") << "missing-folder/x.ico" << false << "mnuSave Error # 76 - Path not found";
    QTest::newRow("over an earlier icon, disk full") << "earlier.ico" << true << "mnuSave Error # 61 - Disk full";
}

// One box says why; the chosen file is whole or not written at all, the temp
// copy is written when it can be, nothing half-written is left, and the
// next save works.
void tst_Save::failedSaveIsReportedAndLosesNothing()
{
    QFETCH(QString, chosen);
    QFETCH(bool, fullDisk);
    QFETCH(QString, prompt);
    const QString path = iconPath(chosen);
    const QByteArray earlier = QByteArray("an earlier icon ").repeated(100);
    if (fullDisk)
        QVERIFY(writeFile(path, earlier));
    const QImage square = solidImage(32, 32, 0x123456);
    ScriptedWindow w(m_programFolder);
    open(w, square);
    w.dialogs.choose(path);
    {
        const FileSizeLimit limit(fullDisk ? 1000 : RLIM_INFINITY);
        w->Command1_Click();
    }
    QCOMPARE(w.boxes.shown.size(), 1);
    QCOMPARE(w.boxes.shown.first().prompt, prompt);
    QCOMPARE(w.boxes.shown.first().title, QCoreApplication::applicationName());
    QCOMPARE(readFile(path), fullDisk ? earlier : QByteArray());
    QCOMPARE(iconDifference(readFile(tempFile()), square).isEmpty(), !fullDisk);
    QCOMPARE(QDir(m_icons).entryList(QDir::Files | QDir::Hidden), fullDisk ? QStringList{chosen} : QStringList());
    QCOMPARE(QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden),
             fullDisk ? QStringList{"temporaneo"} : QStringList({"temp", "temporaneo"}));
    QCOMPARE(w->MousePointer(), defaultPointer);
    QCOMPARE(w->lblPath->Caption(), path);

    w.save(iconPath(QStringLiteral("next.ico")));
    QCOMPARE(iconDifference(readFile(iconPath(QStringLiteral("next.ico"))), square), QString());
}

void tst_Save::undeletableTempCopyStopsTheColourBranch()
{
    ScriptedWindow w(m_programFolder);
    open(w, solidImage(32, 32, 0x224466));
    QVERIFY(writeFile(tempFile(), "an earlier copy"));
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), tempFile()}) != 0)
        QSKIP("this file system cannot make a file undeletable");
    const QString chosen = iconPath(QStringLiteral("blocked.ico"));
    w.dialogs.choose(chosen, 3);
    w.boxes.answer(MsgBox::vbYes);
    w->Command1_Click();
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), tempFile()});

    QCOMPARE(w.boxes.shown.size(), 2);
    QCOMPARE(w.boxes.shown[1].prompt, QStringLiteral("mnuSave Error # 75 - Path/File access error"));
    QVERIFY(!QFileInfo::exists(chosen)); // stopped before the icon was built
    QCOMPARE(readFile(tempFile()), QByteArray("an earlier copy"));
    QCOMPARE(w->MousePointer(), defaultPointer);
    QCOMPARE(setting(QStringLiteral("cdSaveAsIndexSetting")), QStringLiteral("3"));
}

void tst_Save::commandsCannotOverlapAndCloseWaits()
{
    ScriptedWindow w(m_programFolder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    open(w, solidImage(32, 32, 0x777777));
    QSignalSpy closeRequests(w.window.get(), &frmBmp2Icon::queryUnload);
    w.dialogs.choose(iconPath(QStringLiteral("busy.ico")), 3);
    bool buttonsWereDisabled = false;
    w.boxes.onShow = [&] {
        // While the save asks its question: the buttons are off, and a click
        // on Open or a close request does not cut in.
        buttonsWereDisabled = !w->Command1->isEnabled() && !w->Command2->isEnabled() && !w->Command3->isEnabled();
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        w->close();
        QCoreApplication::processEvents();
        QVERIFY(w->isVisible());
    };
    w.boxes.answer(MsgBox::vbYes);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(buttonsWereDisabled);
    QCOMPARE(w.dialogs.requests.size(), 2); // the Open, then the Save; no second Open
    QCOMPARE(readFile(iconPath(QStringLiteral("busy.ico"))).size(), 3262);
    // The close request was carried out once the save was done.
    QCOMPARE(closeRequests.count(), 1);
    QVERIFY(!w->isVisible());
}

QTEST_MAIN(tst_Save)
#include "tst_save.moc"
