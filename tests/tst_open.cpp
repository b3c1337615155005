// The Open command, driven through the window with a scripted dialog.

#include "windowtestutils.h"
#include "nativename.h"

#include "picture.h"
#include "workfolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QFileInfo>
#include <QLockFile>
#include <QMimeData>
#include <QTimer>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testutils;

namespace {

constexpr Colour white{0xFFFFFF};

// A bitmap that claims 60000 x 60000 pixels and holds a few bytes of them.
QByteArray absurdBitmap()
{
    BmpLayout layout;
    layout.width = layout.height = 60000;
    layout.pixels = QByteArray(4096, '\x7f');
    return bmpBytes(layout);
}

} // namespace

class tst_Open : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_programFolder;

    QString picturePath(const QString &name) const { return m_dir.filePath(name); }
    QString workFile() const { return QDir(m_programFolder).filePath(QStringLiteral("temporaneo")); }

    QString makePicture(const QString &name, const QImage &image, const char *format = "BMP")
    {
        const QString path = picturePath(name);
        if (!saveImage(image, path, format))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

private slots:
    void init();
    void fitsProportionallyAndCentred_data();
    void fitsProportionallyAndCentred();
    void dialogIsSetUpAsTheCommandAsks();
    void cancelErasesTheDrawingsAndWritesNothing();
    void twoOpensInARow();
    void bandsAreCleanAfterASave();
    void workFileInUseWaitsThenTellsAndOpensNothing();
    void lockLeftByAnEndedWindowIsTakenOver();
    void lockFileThatIsAPipeIsNotWaitedOn();
    void failuresAreReportedAndLoseNothing_data();
    void failuresAreReportedAndLoseNothing();
    void unwritableProgramFolderUsesTheDataFolder();
    void installedProgramKeepsItsWorkFilesInTheDataFolder();
    void installedProgramsDialogsStartWithTheUsersFiles();
    void droppedPictureOpensAsApriWould_data();
    void droppedPictureOpensAsApriWould();
    void otherDropsAreIgnored_data();
    void otherDropsAreIgnored();
    void dropsAreCopiesAndWaitForNoCommand();
    void namesOfOtherBytesOpenDroppedOrNamed();
    void bigPhotoOpensAtItsNaturalSize();
    void photoOrientationIsApplied();
    void animatedGifOpensAtItsFirstFrame();
};

void tst_Open::init()
{
    // Every test gets a program folder of its own.
    m_programFolder = folderForThisTest(m_dir);
}

void tst_Open::fitsProportionallyAndCentred_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QRect>("covered");

    // The outer size of Picture4 (picture plus a 2-pixel border each side)
    // decides the proportions.
    QTest::newRow("square outer fills from 0,0") << QSize(32, 32) << QRect(0, 0, 32, 32);
    QTest::newRow("outer 2:1, rows 8-23") << QSize(60, 28) << QRect(0, 8, 32, 16);
    QTest::newRow("outer 1:2, columns 8-23") << QSize(28, 60) << QRect(8, 0, 16, 32);
    QTest::newRow("outer 3:2, fractional") << QSize(92, 60) << QRect(0, 5, 32, 22);
    QTest::newRow("big square") << QSize(500, 500) << QRect(0, 0, 32, 32);
    QTest::newRow("tiny 1x1, outer square") << QSize(1, 1) << QRect(0, 0, 32, 32);
}

void tst_Open::fitsProportionallyAndCentred()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QRect, covered);

    ScriptedWindow w(m_programFolder);
    const QString path = makePicture(QStringLiteral("solid.bmp"), solidImage(pictureSize.width(), pictureSize.height(), 0x2040C0));
    w.dialogs.choose(path, 3);
    QTest::mouseClick(w->Command3, Qt::LeftButton);

    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    QCOMPARE(QSize(w->Picture4->Width(), w->Picture4->Height()), (pictureSize + QSize(4, 4)) * 15);
    verifyRegion(*w->Picture5, covered, 0x2040C0, white);
    // The work file holds exactly Picture5's image, and comes back into Picture6 and the preview.
    const PictureLoad work = LoadPicture(workFile());
    QVERIFY(!work.failure);
    QCOMPARE(work.picture.image().convertToFormat(QImage::Format_RGB32),
             w->Picture5->Image().image().convertToFormat(QImage::Format_RGB32));
    verifySameSquare(*w->Picture5, *w->Picture6);
    verifySameSquare(*w->Picture5, *w->Picture1);
}

void tst_Open::dialogIsSetUpAsTheCommandAsks()
{
    ScriptedWindow w(m_programFolder);
    w->cmndlg->setFilterIndex(2); // left by an earlier use
    w.dialogs.cancel();
    w->Command3_Click();

    QCOMPARE(w.dialogs.requests.size(), 1);
    QCOMPARE(w.dialogs.requests.first().fileName, QString());
    QCOMPARE(realDialogSays(w.dialogs.requests.first()),
             QStringList({"open", "Apri file Immagine",
                          "File Immagine jpg (*.jpg) | File Immagine gif (*.gif) | File Immagine bmp (*.bmp)",
                          "File Immagine gif (*.gif)", QDir(m_programFolder).canonicalPath(), "replaces without asking",
                          "any name", "adds \"\""}));
}

void tst_Open::cancelErasesTheDrawingsAndWritesNothing()
{
    ScriptedWindow w(m_programFolder);
    const QString earlier = makePicture(QStringLiteral("earlier.bmp"), solidImage(40, 20, 0x00FF00));
    w.open(earlier);
    QVERIFY(QFile::remove(workFile()));
    w->Picture4->PSet(0, 0, Colour(0x0000FF));

    w.dialogs.cancel();
    w->Command3_Click();
    QVERIFY(w.boxes.shown.isEmpty());
    QVERIFY(!QFileInfo::exists(workFile()));
    verifyRegion(*w->Picture1, QRect(), 0, white); // the preview is blank
    verifyRegion(*w->Picture5, QRect(), 0, white);
    // Picture4 and Picture6 keep the pictures of the earlier Open.
    QCOMPARE(w->Picture4->Picture().size(), QSize(40, 20));
    QCOMPARE(w->Picture4->Point(0, 0), Colour(0x00FF00));
    QCOMPARE(w->Picture6->Point(0, 0), white);       // band of the earlier square
    QCOMPARE(w->Picture6->Point(0, 16), Colour(0x00FF00));
}

void tst_Open::twoOpensInARow()
{
    ScriptedWindow w(m_programFolder);
    w.dialogs.choose(makePicture(QStringLiteral("first.bmp"), solidImage(10, 10, 0x0000FF)));
    w.open(makePicture(QStringLiteral("second.gif"), solidImage(10, 10, 0xFF0000), "GIF"), 2);
    const QByteArray first = readFile(workFile());
    w->Command3_Click();
    const QByteArray second = readFile(workFile());
    QVERIFY(first != second);
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0xFF0000, 0);
    QCOMPARE(w.dialogs.requests.size(), 2);
    QCOMPARE(w.dialogs.requests[1].fileName, QString());
    QCOMPARE(w.dialogs.requests[1].initDir, QDir::toNativeSeparators(m_programFolder));
    QCOMPARE(w.dialogs.requests[1].filterIndex, 1); // what the first Open left
}

void tst_Open::bandsAreCleanAfterASave()
{
    ScriptedWindow w(m_programFolder);
    // A save leaves its icon on Picture5, over the window's colour ...
    w.open(makePicture(QStringLiteral("square.bmp"), solidImage(32, 32, 0x00FFFF)));
    w.save(m_dir.filePath(QStringLiteral("saved.ico")));
    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    QCOMPARE(w->Picture5->BackColor(), Colour(0x00DCC5B8));
    // ... and none of it shows in the bands of the next picture.
    w.open(makePicture(QStringLiteral("wide.bmp"), solidImage(60, 28, 0x000080)));
    QCOMPARE(w->Picture5->BackColor(), Colours::windowBackground);
    verifyRegion(*w->Picture5, QRect(0, 8, 32, 16), 0x000080, white);
    verifyRegion(*w->Picture1, QRect(0, 8, 32, 16), 0x000080, white);
}

void tst_Open::workFileInUseWaitsThenTellsAndOpensNothing()
{
    ScriptedWindow w(m_programFolder, std::chrono::milliseconds(200));
    // Another Tervana holds the work file's lock for longer than the window waits.
    QLockFile other(workFile() + QStringLiteral(".lock"));
    QVERIFY(other.tryLock(0));
    const QString picture = makePicture(QStringLiteral("any.bmp"), solidImage(16, 16, 0x445566));
    w.dialogs.choose(picture);
    QElapsedTimer waited;
    waited.start();
    // The window keeps repainting while it waits, with the hourglass up.
    frmBmp2Icon::Pointer pointerWhileWaiting = defaultPointer;
    QTimer::singleShot(50, w.window.get(), [&] { pointerWhileWaiting = w->MousePointer(); });
    w->Command3_Click();
    QVERIFY(waited.elapsed() >= 150);
    QCOMPARE(pointerWhileWaiting, hourglass);
    QCOMPARE(w->MousePointer(), defaultPointer);
    QCOMPARE(w.boxes.shown.size(), 1);
    QVERIFY2(w.boxes.shown.first().prompt.contains(QStringLiteral("another Tervana window is using it")),
             qPrintable(w.boxes.shown.first().prompt));
    QVERIFY(!QFileInfo::exists(workFile()));
    verifyRegion(*w->Picture5, QRect(), 0, white); // opened nothing
    verifyRegion(*w->Picture1, QRect(), 0, white);
    // So a save now writes what a fresh window writes with nothing opened.
    const QString saved = m_dir.filePath(QStringLiteral("after-busy.ico"));
    w.save(saved);
    QTemporaryDir elsewhere;
    ScriptedWindow fresh(elsewhere.path());
    fresh.save(elsewhere.filePath(QStringLiteral("fresh.ico")));
    QCOMPARE(readFile(saved), readFile(elsewhere.filePath(QStringLiteral("fresh.ico"))));

    // Once the other one is done, the same Open works.
    other.unlock();
    w.open(picture);
    QCOMPARE(w.boxes.shown.size(), 1);
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0x445566, 0);
    QVERIFY(!QFileInfo::exists(workFile() + QStringLiteral(".lock"))); // released
}

void tst_Open::lockLeftByAnEndedWindowIsTakenOver()
{
    // A Tervana that died while it held the lock left the lock file behind.
    const pid_t child = fork();
    if (child == 0) {
        QLockFile held(workFile() + QStringLiteral(".lock"));
        _exit(held.tryLock(0) ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(workFile() + QStringLiteral(".lock")));

    ScriptedWindow w(m_programFolder, std::chrono::milliseconds(2000));
    w.open(makePicture(QStringLiteral("any.bmp"), solidImage(16, 16, 0x445566)));
    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0x445566, 0);
}

void tst_Open::lockFileThatIsAPipeIsNotWaitedOn()
{
    QVERIFY(makeSpecialFile(QStringLiteral("pipe"), workFile() + QStringLiteral(".lock")));
    ScriptedWindow w(m_programFolder);
    w.dialogs.choose(makePicture(QStringLiteral("any.bmp"), solidImage(16, 16, 0x445566)));
    QElapsedTimer timer;
    timer.start();
    w->Command3_Click();
    QVERIFY(timer.elapsed() < 4000);
    QCOMPARE(w.boxes.shown.size(), 1);
    QVERIFY2(w.boxes.shown.first().prompt.endsWith(QStringLiteral("its lock file is not a regular file.")),
             qPrintable(w.boxes.shown.first().prompt));
    QVERIFY(!QFileInfo::exists(workFile()));
    QFile::remove(workFile() + QStringLiteral(".lock"));
}

void tst_Open::failuresAreReportedAndLoseNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing written
    QTest::addColumn<QString>("special");    // a pipe, when not empty
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing file typed") << "missing.jpg" << QByteArray() << "" << "there is no such file";
    QTest::newRow("a name of other bytes, as the dialog passes it on")
        << QStringLiteral("bad\uFFFDname.jpg") << QByteArray() << ""
        << "its name holds bytes that are not UTF-8 text, which the dialog cannot pass on; drop it on the window, or rename it";
    QTest::newRow("text named bmp") << "notes.bmp" << QByteArray("just some words\n") << "" << "it is not a picture Tervana can read";
    QTest::newRow("zero bytes") << "empty.jpg" << QByteArray("") << "" << "it is not a picture Tervana can read";
    QTest::newRow("header claims 60000 x 60000")
        << "huge.bmp" << absurdBitmap() << ""
        << "the picture is too large (60000 x 60000 pixels; at most 400 million are read)";
    QTest::newRow("a pipe") << "pipe.bmp" << QByteArray() << "pipe" << "it is not a regular file";
}

// At once (neither waiting on a pipe nor touching 14 GB), in one box naming
// the file, and nothing the last Open made is lost.
void tst_Open::failuresAreReportedAndLoseNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, special);
    QFETCH(QString, reason);

    ScriptedWindow w(m_programFolder);
    w.open(makePicture(QStringLiteral("good.bmp"), solidImage(20, 20, 0x808000)));
    const QByteArray workBefore = readFile(workFile());

    const QString path = picturePath(name);
    if (!content.isNull())
        QVERIFY(writeFile(path, content));
    if (!special.isEmpty())
        QVERIFY(makeSpecialFile(special, path));
    QElapsedTimer timer;
    timer.start();
    w.open(path);
    QVERIFY2(timer.elapsed() < 2000, "the Open command waited on the file");
    QCOMPARE(w.boxes.shown.size(), 1);
    const ScriptedMessageBoxes::Shown &box = w.boxes.shown.first();
    QCOMPARE(box.prompt, QStringLiteral("Tervana cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(path), reason));
    QCOMPARE(box.buttons, MsgBox::vbOKOnly);
    QCOMPARE(box.title, QCoreApplication::applicationName());
    QCOMPARE(readFile(workFile()), workBefore);
    QCOMPARE(w->Picture4->Picture().size(), QSize(20, 20));

    // The window keeps working.
    w.open(makePicture(QStringLiteral("after.bmp"), solidImage(8, 8, 0x0000FF)));
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0x0000FF, 0);
}

void tst_Open::unwritableProgramFolderUsesTheDataFolder()
{
    // A program folder that cannot take files (here it is not even a folder).
    const QString notAFolder = m_dir.filePath(QStringLiteral("program-file"));
    QVERIFY(writeFile(notAFolder, "x"));
    ScriptedWindow w(notAFolder);
    w.open(makePicture(QStringLiteral("any.bmp"), solidImage(16, 16, 0x123456)));
    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    const QString fallback = QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                                 .filePath(QStringLiteral("temporaneo"));
    QVERIFY(QFileInfo::exists(fallback));
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0x123456, 0);

    // When the work file itself cannot be written the user is told so.
    ScriptedWindow blocked(m_programFolder);
    QVERIFY(QDir().mkpath(workFile())); // a folder where the work file belongs
    blocked.open(makePicture(QStringLiteral("any2.bmp"), solidImage(16, 16, 0x654321)));
    QCOMPARE(blocked.boxes.shown.size(), 1);
    QVERIFY(blocked.boxes.shown.first().prompt.contains(QStringLiteral("work file")));
    // An Open that failed opened nothing: the square is blank again, and so
    // is what a save writes now.
    verifyRegion(*blocked->Picture5, QRect(), 0, white);
    verifyRegion(*blocked->Picture1, QRect(), 0, white);
}

void tst_Open::installedProgramKeepsItsWorkFilesInTheDataFolder()
{
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // Run from its build folder, under any name for it, the program keeps
    // its work files beside itself.
    QCOMPARE(workFolderFor(m_programFolder, m_programFolder), m_programFolder);
    const QString link = m_dir.filePath(QStringLiteral("build-link"));
    QVERIFY(QFile::link(m_programFolder, link));
    QCOMPARE(workFolderFor(m_programFolder, link), m_programFolder);
    // Anywhere else it is installed, writable or not.
    QCOMPARE(workFolderFor(m_programFolder, m_dir.filePath(QStringLiteral("elsewhere"))), dataFolder);
    QCOMPARE(workFolderFor(QStringLiteral("/usr/bin"), m_programFolder), dataFolder);
}

// The file dialogs start in the program folder while it runs from its build
// folder; installed, in the user's Pictures folder, or home without one,
// and Salva there too until a save has stored its folder.
void tst_Open::installedProgramsDialogsStartWithTheUsersFiles()
{
    QCOMPARE(dialogFolderFor(m_programFolder, m_programFolder), m_programFolder);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const bool hadPictures = QFileInfo(pictures).isDir();
    const auto removePictures = qScopeGuard([&] {
        if (!hadPictures)
            QDir(pictures).removeRecursively();
    });
    QDir(pictures).removeRecursively(); // the sandbox home's
    QCOMPARE(dialogFolderFor(QStringLiteral("/usr/bin"), m_programFolder), QDir::homePath());
    QVERIFY(QDir().mkpath(pictures));
    QCOMPARE(dialogFolderFor(QStringLiteral("/usr/bin"), m_programFolder), pictures);

    QFile::remove(sandboxHome.settingsFile(QStringLiteral("Kelbrin"))); // no save has stored a folder
    ScriptedWindow w(m_programFolder);
    w.window.reset(); // rebuilt as installed, its dialogs starting in Pictures
    WindowServices services{&w.dialogs, &w.boxes, m_programFolder, m_programFolder};
    services.dialogFolder = pictures;
    w.window = std::make_unique<frmBmp2Icon>(services);
    // A picture opened with no dialog (dropped, or named on the command
    // line): Salva's first dialog starts in Pictures too.
    const QString picture = makePicture(QStringLiteral("installed.jpg"), patternImage(40, 30), "JPG");
    w.openNamed(picture);
    w.save(m_dir.filePath(QStringLiteral("installed.ico")));
    w.open(picture);
    QCOMPARE(w.dialogs.requests.size(), 2);
    QCOMPARE(w.dialogs.requests[0].initDir, QDir::toNativeSeparators(pictures));
    QCOMPARE(w.dialogs.requests[1].initDir, QDir::toNativeSeparators(pictures));
    // Once a save has stored its folder, Salva starts there.
    w.save(m_dir.filePath(QStringLiteral("installed again.ico")));
    QCOMPARE(QDir(w.dialogs.requests[2].initDir).canonicalPath(), QDir(m_dir.path()).canonicalPath());
}

// What a drag from a file manager carries: the files' URLs.
std::unique_ptr<QMimeData> dragOf(const QList<QUrl> &urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

// Drags `data` onto the window's middle and drops it, the source offering
// `actions` and proposing the first of them; the action the window took the
// drop as, or IgnoreAction when it did not take it.
Qt::DropAction dragAndDrop(frmBmp2Icon &window, const QMimeData &data,
                           Qt::DropActions actions = Qt::CopyAction)
{
    const QPoint middle = window.rect().center();
    QDragEnterEvent enter(middle, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(QPointF(middle), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents(); // the Open runs just after the drop
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

void tst_Open::droppedPictureOpensAsApriWould_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format"); // empty: not a picture; "-": no file at all
    QTest::addColumn<bool>("commandLine"); // named on the command line rather than dropped
    QTest::newRow("bmp") << "dropped.bmp" << QByteArray("BMP") << false;
    QTest::newRow("jpg") << "dropped.jpg" << QByteArray("JPG") << false;
    QTest::newRow("gif, upper-case name") << "DROPPED.GIF" << QByteArray("GIF") << false;
    QTest::newRow("not really a picture") << "broken.jpg" << QByteArray() << false;
    QTest::newRow("png") << "logo.png" << QByteArray("PNG") << false;
    QTest::newRow("png named without an ending") << "logo" << QByteArray("PNG") << false;
    QTest::newRow("a note, not a picture") << "notes.txt" << QByteArray() << false;
    QTest::newRow("command line, jpg") << "named.jpg" << QByteArray("JPG") << true;
    QTest::newRow("command line, png") << "named.png" << QByteArray("PNG") << true;
    QTest::newRow("command line, not a picture") << "named-broken.gif" << QByteArray() << true;
    QTest::newRow("command line, no such file") << "nowhere.jpg" << QByteArray("-") << true;
}

// A dropped picture, or one named on the command line (as "Open with"
// gives it), opens as Apri opens the same file: the same boxes, the same
// drawings, and no dialog.
void tst_Open::droppedPictureOpensAsApriWould()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(bool, commandLine);
    const bool picture = !format.isEmpty() && format != "-";
    const QString path = picture ? makePicture(name, patternImage(60, 28), format.constData()) : picturePath(name);
    if (format.isEmpty())
        QVERIFY(writeFile(path, "not a picture"));

    ScriptedWindow dropped(m_programFolder);
    if (commandLine) {
        dropped.openNamed(path);
    } else {
        QCOMPARE(dragAndDrop(*dropped.window, *dragOf({QUrl::fromLocalFile(path)})), Qt::CopyAction);
    }
    QVERIFY(dropped.dialogs.requests.isEmpty()); // no dialog

    ScriptedWindow opened(m_programFolder);
    opened.open(path);
    QCOMPARE(dropped.boxes.shown.size(), opened.boxes.shown.size());
    if (!opened.boxes.shown.isEmpty())
        QCOMPARE(dropped.boxes.shown.first().prompt, opened.boxes.shown.first().prompt);
    verifySameSquare(*dropped->Picture5, *opened->Picture5);
    verifySameSquare(*dropped->Picture1, *opened->Picture1);
    // The buttons are back for the next command.
    QVERIFY(dropped->Command3->isEnabled());
}

void tst_Open::otherDropsAreIgnored_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("withText");
    const QUrl picture = QUrl::fromLocalFile(makePicture(QStringLiteral("ignored.bmp"), patternImage(16, 16)));
    QTest::newRow("two pictures") << QList<QUrl>{picture, picture} << false;
    QTest::newRow("a picture on the web") << QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.jpg"))} << false;
    QTest::newRow("text") << QList<QUrl>{} << true;
}

void tst_Open::otherDropsAreIgnored()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, withText);
    const std::unique_ptr<QMimeData> data = dragOf(urls);
    if (withText)
        data->setText(picturePath(QStringLiteral("ignored.bmp")));
    ScriptedWindow w(m_programFolder);
    QCOMPARE(dragAndDrop(*w.window, *data), Qt::IgnoreAction);
    QVERIFY(w.dialogs.requests.isEmpty());
    QVERIFY(w.boxes.shown.isEmpty());
    verifyRegion(*w->Picture1, QRect(), 0, white);
    QVERIFY(!QFileInfo::exists(workFile()));
}

// A picture whose name is not UTF-8 (an old archive's, a camera card's)
// opens by the exact bytes of its name, dropped or named on the command
// line: the square is the one a plainly named copy gives.
void tst_Open::namesOfOtherBytesOpenDroppedOrNamed()
{
    const QString reference = makePicture(QStringLiteral("plain.bmp"), patternImage(60, 28));
    const QString odd = picturePath(nameFromNative("caf\xe9 \xff.bmp"));
    QVERIFY(QFile::copy(reference, picturePath(QStringLiteral("copy.bmp"))));
    QCOMPARE(::rename(nativeName(picturePath(QStringLiteral("copy.bmp"))).constData(), nativeName(odd).constData()), 0);
    const auto removeIt = qScopeGuard([&] { ::unlink(nativeName(odd).constData()); }); // beyond Qt's reach
    ScriptedWindow opened(m_programFolder);
    opened.open(reference);

    ScriptedWindow dropped(m_programFolder);
    const QUrl address = QUrl::fromEncoded("file://" + nativeName(odd).toPercentEncoding("/"));
    QCOMPARE(dragAndDrop(*dropped.window, *dragOf({address})), Qt::CopyAction);
    QVERIFY2(dropped.boxes.shown.isEmpty(), qPrintable(dropped.boxes.shown.value(0).prompt));
    verifySameSquare(*dropped->Picture5, *opened->Picture5);

    ScriptedWindow named(m_programFolder);
    named.openNamed(odd);
    QVERIFY2(named.boxes.shown.isEmpty(), qPrintable(named.boxes.shown.value(0).prompt));
    verifySameSquare(*named->Picture5, *opened->Picture5);
}

void tst_Open::dropsAreCopiesAndWaitForNoCommand()
{
    const QString path = makePicture(QStringLiteral("copied.bmp"), patternImage(16, 16));
    const std::unique_ptr<QMimeData> data = dragOf({QUrl::fromLocalFile(path)});
    ScriptedWindow w(m_programFolder);
    // A source that offers only a move is refused; one that proposes a move
    // among others gets a copy, so it never deletes the picture.
    QCOMPARE(dragAndDrop(*w.window, *data, Qt::MoveAction), Qt::IgnoreAction);
    QCOMPARE(dragAndDrop(*w.window, *data, Qt::MoveAction | Qt::CopyAction), Qt::CopyAction);
    QVERIFY(QFileInfo::exists(path));

    // While the Open command's dialog is up, a drop is not taken.
    Qt::DropAction duringCommand = Qt::CopyAction;
    w.dialogs.onShow = [&] { duringCommand = dragAndDrop(*w.window, *data); };
    w.dialogs.cancel();
    w->Command3->click();
    QCOMPARE(duringCommand, Qt::IgnoreAction);
    QCOMPARE(w.dialogs.requests.size(), 1);
}

void tst_Open::bigPhotoOpensAtItsNaturalSize()
{
    // 48 megapixels: left half red, right half blue.
    QImage photo(8000, 6000, QImage::Format_RGB32);
    photo.fill(qRgb(230, 20, 20));
    for (int y = 0; y < photo.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        std::fill(line + 4000, line + 8000, qRgb(20, 20, 230));
    }
    const QString path = makePicture(QStringLiteral("photo.jpg"), photo, "JPG");
    photo = QImage();

    ScriptedWindow w(m_programFolder);
    w.open(path);
    QVERIFY2(w.boxes.shown.isEmpty(), qPrintable(w.boxes.shown.value(0).prompt));
    QCOMPARE(w->Picture4->Width(), 8004 * 15);
    QCOMPARE(w->Picture4->Height(), 6004 * 15);
    // It was decoded far below its natural size.
    QVERIFY(w->Picture4->Picture().image().width() <= 1000);
    // 4:3 fits into rows 4 to 27; left red, right blue.
    const QColor left = QColor::fromRgb(toQRgb(w->Picture5->Point(4, 16)));
    const QColor right = QColor::fromRgb(toQRgb(w->Picture5->Point(27, 16)));
    QVERIFY(left.red() > 200 && left.blue() < 50);
    QVERIFY(right.blue() > 200 && right.red() < 50);
    QCOMPARE(w->Picture5->Point(10, 2), white);
    QCOMPARE(w->Picture5->Point(10, 29), white);
}

void tst_Open::photoOrientationIsApplied()
{
    // Stored 40 x 20, top half red; tagged "rotate 90 clockwise" to be shown 20 x 40.
    QImage stored(40, 20, QImage::Format_RGB32);
    stored.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    const QString plain = makePicture(QStringLiteral("plain.jpg"), stored, "JPG");
    const QString tagged = picturePath(QStringLiteral("tagged.jpg"));
    const QString tagWithPillow = QStringLiteral("from PIL import Image; import sys; e = Image.Exif(); e[0x0112] = 6; "
                                                 "Image.open(sys.argv[1]).save(sys.argv[2], exif=e, quality=95)");
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QCOMPARE(QProcess::execute(python3WithPillow, {QStringLiteral("-c"), tagWithPillow, plain, tagged}), 0);

    ScriptedWindow w(m_programFolder);
    w.open(tagged);
    QCOMPARE(w->Picture4->Picture().size(), QSize(20, 40));
    QCOMPARE(w->Picture4->Width(), 24 * 15);
    // Turned clockwise, the red top half becomes the right half.
    const QColor right = QColor::fromRgb(toQRgb(w->Picture5->Point(20, 16)));
    const QColor left = QColor::fromRgb(toQRgb(w->Picture5->Point(11, 16)));
    QVERIFY2(right.red() > 200 && right.blue() < 60, qPrintable(right.name()));
    QVERIFY2(left.blue() > 200 && left.red() < 60, qPrintable(left.name()));
}

void tst_Open::animatedGifOpensAtItsFirstFrame()
{
    const QString red = makePicture(QStringLiteral("red.bmp"), solidImage(16, 16, 0x0000FF));
    const QString green = makePicture(QStringLiteral("green.bmp"), solidImage(16, 16, 0x00FF00));
    const QString animated = picturePath(QStringLiteral("animated.gif"));
    QSKIP_UNLESS_TOOL(imageMagickConvert);
    QCOMPARE(QProcess::execute(imageMagickConvert, {QStringLiteral("-delay"), QStringLiteral("10"), red, green, animated}), 0);
    ScriptedWindow w(m_programFolder);
    w.open(animated, 2);
    QVERIFY(w.boxes.shown.isEmpty());
    verifyRegion(*w->Picture1, QRect(0, 0, 32, 32), 0x0000FF, 0);
}

QTEST_MAIN(tst_Open)
#include "tst_open.moc"
