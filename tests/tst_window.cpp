// The main window: its controls as a user sees them, start-up and the two
// ways of ending.

#include "windowtestutils.h"

#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

using namespace testutils;

class tst_Window : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void controlsAreSeenWholeAndApart();
    void squareSurfacesHoldTheIconsPixels_data();
    void squareSurfacesHoldTheIconsPixels();
    void windowIsFixedAndTitled();
    void captionsColoursAndStartTexts();
    void tabReachesEachCommandInTurn();
    void buttonsShowExactlyTheirOwnColour_data();
    void buttonsShowExactlyTheirOwnColour();
    void buttonsLookDisabledWhileACommandRuns();
    void exitEndsAtOnceWithoutACloseRequest();
    void closeRequestIsAlwaysAccepted();
    void commandLineIsAnswered_data();
    void commandLineIsAnswered();
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
};

namespace {

// The controls a user sees, and the surfaces the picture passes through
// unseen.
const QStringList seenControls = {"Frame1", "Frame2", "Picture3", "Label1", "Label2", "Label3", "Label4",
                                  "Frame3", "Picture1", "Frame4", "Command1", "Command2", "Command3"};
const QStringList unseenControls = {"Picture2", "Picture4", "Picture5", "Picture6", "picImage", "picMask", "lblPath"};

// Where a control shows on its container: a label only where its text is.
QRect shownArea(const QWidget *control)
{
    const auto *label = qobject_cast<const QLabel *>(control);
    if (!label)
        return control->geometry();
    const QFontMetrics metrics = label->fontMetrics();
    return QRect(label->pos(), QSize(metrics.horizontalAdvance(label->text()), metrics.height()));
}

QRect inWindow(const QWidget *control)
{
    return QRect(control->mapTo(control->window(), QPoint(0, 0)), control->size());
}

} // namespace

// Every control is on screen inside its container, whole, with its text in
// full, and none covers another; the work surfaces lie beyond the frame.
void tst_Window::controlsAreSeenWholeAndApart()
{
    ScriptedWindow w(m_dir.path());
    QVERIFY(w.shown());
    QList<QWidget *> seen;
    for (const QString &name : seenControls) {
        QWidget *control = w->findChild<QWidget *>(name);
        QVERIFY2(control && !control->visibleRegion().isEmpty(), qPrintable(name));
        QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(name));
        QVERIFY2(control->geometry().contains(shownArea(control)), qPrintable(name)); // the caption fits
        for (const QWidget *other : std::as_const(seen))
            if (other->parentWidget() == control->parentWidget())
                QVERIFY2(!shownArea(other).intersects(shownArea(control)), qPrintable(other->objectName() + " " + name));
        seen << control;
    }
    for (const QString &name : unseenControls) {
        QWidget *control = w->findChild<QWidget *>(name);
        QVERIFY2(control->visibleRegion().isEmpty(), qPrintable(name));
        QVERIFY2(!w->Frame1->rect().intersects(control->geometry()), qPrintable(name));
    }
    // Read as a page: the logo left of the credits, whose lines run down;
    // "Anteprima" over the preview; Apri, Salva, then the Exit button.
    QVERIFY(inWindow(w->Picture3).right() < inWindow(w->Label2).left());
    QVERIFY(w->Label2->y() < w->Label3->y() && w->Label3->y() < w->Label4->y());
    QVERIFY(inWindow(w->Label1).bottom() < inWindow(w->Picture1).top());
    QVERIFY(inWindow(w->Label1).left() < inWindow(w->Picture1).right());
    QVERIFY(inWindow(w->Command3).right() < inWindow(w->Command1).left());
    QVERIFY(inWindow(w->Command1).right() < inWindow(w->Command2).left());
}

void tst_Window::squareSurfacesHoldTheIconsPixels_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"Picture1", "Picture2", "Picture5", "Picture6", "picImage", "picMask"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Each surface the square passes through draws the icon's 32 x 32 pixels in
// its own coordinates, and keeps them unseen.
void tst_Window::squareSurfacesHoldTheIconsPixels()
{
    QFETCH(QString, name);
    ScriptedWindow w(m_dir.path());
    auto *box = w->findChild<PictureBox *>(name);
    QVERIFY(box);
    QCOMPARE(box->clientSize(), QSize(32, 32));
    QCOMPARE(QSizeF(box->ScaleWidth(), box->ScaleHeight()), QSizeF(32, 32));
    box->PSet(31, 31, Colour(0x123456));
    box->PSet(7, 9, Colours::white);
    QCOMPARE(box->Point(31, 31), Colour(0x123456));
    QCOMPARE(box->Point(7, 9), Colours::white);
    QCOMPARE(box->Point(32, 31), Colours::invalid);
}

void tst_Window::windowIsFixedAndTitled()
{
    ScriptedWindow w(m_dir.path());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tervana"));
    QCOMPARE(w->size(), QSize(368, 194));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    const QIcon icon = w->windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(64, 64)));
    QVERIFY(icon.pixmap(64, 64).toImage().convertToFormat(QImage::Format_Indexed8).colorCount() <= 256);

    QVERIFY(w.shown());
    const QRect screen = w->screen()->availableGeometry();
    QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 1);
}

void tst_Window::captionsColoursAndStartTexts()
{
    ScriptedWindow w(m_dir.path());
    QCOMPARE(w->Label1->Caption(), QStringLiteral("Anteprima"));
    QCOMPARE(w->Command3->Caption(), QStringLiteral("Apri"));
    QCOMPARE(w->Command1->Caption(), QStringLiteral("Salva"));
    QCOMPARE(w->Command2->Caption(), QString());
    for (Label *credit : {w->Label2, w->Label3, w->Label4})
        QVERIFY(!credit->Caption().isEmpty());
    QVERIFY(w->Label3->Caption().contains(QStringLiteral("Tervana")));
    for (CommandButton *button : {w->Command1, w->Command3})
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // The preview starts blank; the logo box shows the whole 45 x 64 logo.
    verifyRegion(*w->Picture1, QRect(), 0, Colours::white);
    QCOMPARE(w->Picture3->clientSize(), QSize(45, 64));
    QCOMPARE(w->Picture3->Picture().size(), QSize(45, 64));
    // The frame shows the window's colour between its controls.
    QVERIFY(w.shown());
    const QPoint between = w->Frame1->mapTo(w.window.get(), QPoint(w->Frame4->x() + 10, w->Frame2->geometry().bottom() + 3));
    QCOMPARE(QColor(w->grab().toImage().pixel(between)), QColor(0xB8, 0xC5, 0xDC));
}

namespace {

QImage look(CommandButton *button)
{
    return button->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Names the first pixel of the button's margin (between its edge and its
// focus rectangle, beside the picture) that is not exactly `colour`.
QString marginNotFilledWith(const QImage &image, QRgb colour)
{
    const int x[] = {2, image.width() - 3};
    for (const int column : x)
        for (int y = 2; y < image.height() - 2; ++y)
            if (image.pixel(column, y) != colour)
                return QStringLiteral("pixel (%1, %2) is %3").arg(column).arg(y).arg(image.pixel(column, y), 8, 16);
    return QString();
}

// The share of the pixels inside the button's edge that are exactly `colour`.
double shareFilledWith(const QImage &image, QRgb colour)
{
    int filled = 0;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            filled += image.pixel(x, y) == colour;
    return double(filled) / ((image.width() - 4) * (image.height() - 4));
}

// How many pixels of the focus rectangle's outline differ between two looks.
int focusLineDifferences(const QImage &a, const QImage &b)
{
    const QRect line = a.rect().adjusted(CommandButton::focusInset, CommandButton::focusInset,
                                         -CommandButton::focusInset - 1, -CommandButton::focusInset - 1);
    int differences = 0;
    for (int y = line.top(); y <= line.bottom(); ++y)
        for (int x = line.left(); x <= line.right(); ++x) {
            const bool onLine = y == line.top() || y == line.bottom() || x == line.left() || x == line.right();
            differences += onLine && a.pixel(x, y) != b.pixel(x, y);
        }
    return differences;
}

} // namespace

void tst_Window::buttonsShowExactlyTheirOwnColour_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("Apri") << "Command3" << QColor(0xB8, 0xC5, 0xDC);
    QTest::newRow("Salva") << "Command1" << QColor(0xB8, 0xC5, 0xDC);
    QTest::newRow("Exit") << "Command2" << QColor(209, 71, 18);
}

void tst_Window::buttonsShowExactlyTheirOwnColour()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    ScriptedWindow w(m_dir.path());
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    auto *button = w->findChild<CommandButton *>(name);
    QVERIFY(button);
    w->setFocus(); // no button has the focus yet
    const QRgb fill = colour.rgb();

    const QImage normal = look(button);
    const QString flat = marginNotFilledWith(normal, fill);
    QVERIFY2(flat.isEmpty(), qPrintable(flat));
    // Everything but the picture and the caption: no gradient, no shading.
    QVERIFY2(shareFilledWith(normal, fill) > 0.4, qPrintable(QString::number(shareFilledWith(normal, fill))));

    // Pressed: sunken edge, the picture one pixel down and right, same fill.
    button->setDown(true);
    const QImage pressed = look(button);
    button->setDown(false);
    QVERIFY(pressed.pixel(0, 0) != normal.pixel(0, 0));
    QVERIFY(pressed.copy(2, 2, pressed.width() - 4, pressed.height() - 4)
            != normal.copy(2, 2, normal.width() - 4, normal.height() - 4));
    QVERIFY(marginNotFilledWith(pressed, fill).isEmpty());

    // Focus: a dotted rectangle inside the edge, over the same fill.
    button->setFocus();
    QVERIFY(button->hasFocus());
    const QImage focused = look(button);
    const int outline = 2 * (focused.width() + focused.height() - 4 * CommandButton::focusInset);
    QVERIFY(focusLineDifferences(focused, normal) >= outline / 8); // dotted
    QVERIFY(marginNotFilledWith(focused, fill).isEmpty());
    w->setFocus();

    // Disabled: the picture and caption greyed, the fill unchanged.
    button->setEnabled(false);
    const QImage disabled = look(button);
    QVERIFY(disabled != normal);
    QVERIFY(marginNotFilledWith(disabled, fill).isEmpty());
}

void tst_Window::buttonsLookDisabledWhileACommandRuns()
{
    ScriptedWindow w(m_dir.path());
    QVERIFY(w.shown());
    const QImage idle = look(w->Command1);
    QImage whileOpen;
    bool disabledWhileOpen = false;
    w.dialogs.onShow = [&] {
        disabledWhileOpen = !w->Command1->isEnabled();
        whileOpen = look(w->Command1);
    };
    w.dialogs.cancel();
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QVERIFY(disabledWhileOpen);
    QVERIFY(!whileOpen.isNull());
    QVERIFY(whileOpen != idle);
    // Afterwards it looks as it did before.
    QCOMPARE(look(w->Command1), idle);
}

// Tab moves the keyboard focus from button to button: Exit, Salva, Apri,
// and round again.
void tst_Window::tabReachesEachCommandInTurn()
{
    ScriptedWindow w(m_dir.path());
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    w->Command2->setFocus();
    QStringList focused{w->focusWidget()->objectName()};
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        focused << w->focusWidget()->objectName();
    }
    QCOMPARE(focused, QStringList({"Command2", "Command1", "Command3", "Command2"}));
}

void tst_Window::exitEndsAtOnceWithoutACloseRequest()
{
    ScriptedWindow w(m_dir.path());
    w->show();
    QSignalSpy closeRequests(w.window.get(), &frmBmp2Icon::queryUnload);
    QEventLoop loop;
    QTimer::singleShot(0, w->Command2, &QAbstractButton::click);
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(99); });
    QCOMPARE(loop.exec(), 0); // ended by the Exit button, not the time-out
    QCOMPARE(closeRequests.count(), 0);
}

void tst_Window::closeRequestIsAlwaysAccepted()
{
    ScriptedWindow w(m_dir.path());
    QVERIFY(w.shown());
    QSignalSpy closeRequests(w.window.get(), &frmBmp2Icon::queryUnload);
    QVERIFY(w->close());
    QCOMPARE(closeRequests.count(), 1);
    QVERIFY(!w->isVisible());
    QVERIFY(w.boxes.shown.isEmpty()); // no message on the way out
}

void tst_Window::commandLineIsAnswered_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("unset"); // environment variables taken away
    QTest::addColumn<QString>("display");   // DISPLAY, when set
    QTest::addColumn<int>("status");        // -1: still running, the window open
    QTest::addColumn<QString>("said");      // the start of what it prints
    const QStringList noPlatform = {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY"),
                                    QStringLiteral("WAYLAND_DISPLAY")};
    const QString noDisplay = QStringLiteral("tervana: the window needs a display, and none can be reached. "
                                             "tervana-convert makes the same icons without one.");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << noPlatform << QString() << 0
                            << "Usage: tervana [options] [PICTURE]";
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << noPlatform << QString() << 0
                               << "tervana 1.";
    QTest::newRow("an unknown option") << QStringList{QStringLiteral("--nonsense")} << QStringList() << QString() << 2
                                       << "tervana: Unknown option 'nonsense'.";
    QTest::newRow("an unknown option, no display") << QStringList{QStringLiteral("--bogus")} << noPlatform << QString()
                                                   << 2 << "tervana: Unknown option 'bogus'.";
    QTest::newRow("no display") << QStringList() << noPlatform << QString() << 1 << noDisplay;
    QTest::newRow("a display that is not there") << QStringList() << noPlatform << ":9999" << 1 << noDisplay;
    QTest::newRow("a picture that is not there") << QStringList{QStringLiteral("nowhere.jpg")} << QStringList()
                                                 << QString() << -1 << QString();
}

// The real program answers --help and --version, says in one line that it
// needs a display, and given a picture that is not there, keeps its window
// open (Apri's box waits for the user).
void tst_Window::commandLineIsAnswered()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, unset);
    QFETCH(QString, display);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : unset)
        environment.remove(name);
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TERVANA_EXECUTABLE), arguments);
    QVERIFY(program.waitForStarted());
    if (status < 0) {
        QVERIFY(!program.waitForFinished(1500)); // still running: the window waits for the user
        program.terminate();
        QVERIFY(program.waitForFinished(5000));
        return;
    }
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString output = QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY2(output.startsWith(said), qPrintable(output));
    if (status == 1)
        QCOMPARE(output.trimmed(), said); // one line, not Qt's advice
}

void tst_Window::keysPressTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("presses");
    QTest::newRow("Space") << int(Qt::Key_Space) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("Enter of the number pad") << int(Qt::Key_Enter) << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
}

// With the keyboard focus on Apri, Space or Enter presses it, as on Windows
// and in GTK programs: its dialog opens.
void tst_Window::keysPressTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(bool, presses);
    ScriptedWindow w(m_dir.path());
    QVERIFY(w.shown());
    w->Command3->setFocus();
    QTest::keyClick(w->Command3, Qt::Key(key));
    QTRY_COMPARE_WITH_TIMEOUT(w.dialogs.requests.size(), presses ? 1 : 0, 2000);
    if (!presses) {
        QTest::qWait(300); // an animated click would have come by now
        QVERIFY(w.dialogs.requests.isEmpty());
    }
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
