// The main window: its controls as the layout gives them, start-up and the
// two ways of ending.

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
    void controlIsPlacedAsTheLayoutSays_data();
    void controlIsPlacedAsTheLayoutSays();
    void onlyTheVisibleControlsCanBeSeen();
    void windowIsFixedAndTitled();
    void captionsColoursAndStartTexts();
    void tabOrderFollowsTheIndexes();
    void buttonsShowExactlyTheirOwnColour_data();
    void buttonsShowExactlyTheirOwnColour();
    void buttonsLookDisabledWhileACommandRuns();
    void squareSurfacesStartAt32By32();
    void loadSwitchesAutoRedrawOnForTheWorkSurfaces();
    void exitEndsAtOnceWithoutACloseRequest();
    void closeRequestIsAlwaysAccepted();
    void commandLineIsAnswered_data();
    void commandLineIsAnswered();
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
};

void tst_Window::controlIsPlacedAsTheLayoutSays_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");

    const auto row = [](const char *name, const char *kind, const char *container, QRect twips) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind)
                            << QString::fromLatin1(container) << twips;
    };
    row("Frame1", "Frame", "frmBmp2Icon", QRect(30, 60, 5445, 2805));
    row("Frame2", "Frame", "Frame1", QRect(90, 120, 5265, 1305));
    row("Picture3", "PictureBox", "Frame2", QRect(90, 180, 735, 1020));
    row("Label2", "Label", "Frame2", QRect(870, 240, 4275, 285));
    row("Label3", "Label", "Frame2", QRect(870, 450, 3495, 225));
    row("Label4", "Label", "Frame2", QRect(870, 660, 2985, 225));
    row("Label1", "Label", "Frame1", QRect(210, 1500, 1155, 255));
    row("Frame3", "Frame", "Frame1", QRect(150, 1740, 1215, 1005));
    row("Picture1", "PictureBox", "Frame3", QRect(330, 270, 540, 540));
    row("Frame4", "Frame", "Frame1", QRect(1470, 1740, 3015, 1005));
    row("Command3", "CommandButton", "Frame4", QRect(240, 180, 1005, 735));
    row("Command1", "CommandButton", "Frame4", QRect(1710, 180, 1035, 705));
    row("Command2", "CommandButton", "Frame1", QRect(4710, 2100, 495, 465));
    row("Picture4", "PictureBox", "Frame1", QRect(750, 4350, 2595, 1725));
    row("Picture5", "PictureBox", "Frame1", QRect(4860, 4500, 540, 540));
    row("Picture6", "PictureBox", "Frame1", QRect(5730, 4710, 540, 540));
    row("Picture2", "PictureBox", "Frame1", QRect(5880, 3360, 540, 540));
    row("picImage", "PictureBox", "Frame1", QRect(7410, 210, 540, 540));
    row("picMask", "PictureBox", "Frame1", QRect(7410, 780, 540, 540));
    row("lblPath", "Label", "Frame1", QRect(6960, 2040, 1935, 735));
}

void tst_Window::controlIsPlacedAsTheLayoutSays()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, twips);

    ScriptedWindow w(m_dir.path());
    auto *control = w->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
    QCOMPARE(control->parentWidget()->objectName(), container);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->geometry(), pixels);
}

void tst_Window::onlyTheVisibleControlsCanBeSeen()
{
    ScriptedWindow w(m_dir.path());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QStringList seen = {"Frame1", "Frame2", "Picture3", "Label1", "Label2", "Label3", "Label4",
                              "Frame3", "Picture1", "Frame4", "Command1", "Command2", "Command3"};
    const QStringList unseen = {"Picture2", "Picture4", "Picture5", "Picture6", "picImage", "picMask", "lblPath"};
    for (const QString &name : seen)
        QVERIFY2(!w->findChild<QWidget *>(name)->visibleRegion().isEmpty(), qPrintable(name));
    for (const QString &name : unseen) {
        QWidget *control = w->findChild<QWidget *>(name);
        QVERIFY2(control->visibleRegion().isEmpty(), qPrintable(name));
        QVERIFY2(!w->Frame1->rect().intersects(control->geometry()), qPrintable(name));
    }
    // The common dialog is an object of the window, not a widget on it.
    QVERIFY(w->findChild<CommonDialog *>(QStringLiteral("cmndlg")));
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

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
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
    QCOMPARE(w->lblPath->Caption(), QStringLiteral("Label1"));
    for (Label *credit : {w->Label2, w->Label3, w->Label4})
        QVERIFY(!credit->Caption().isEmpty());
    QVERIFY(w->Label3->Caption().contains(QStringLiteral("Tervana")));

    QCOMPARE(w->Frame1->BackColor(), Colour(0x00DCC5B8));
    QCOMPARE(w->Command2->BackColor(), Colour(0x001247D1));
    QCOMPARE(w->Command2->palette().color(QPalette::Button), QColor(209, 71, 18));
    QCOMPARE(w->picImage->BackColor(), Colours::black);
    QCOMPARE(w->picMask->BackColor(), Colours::windowBackground);
    QCOMPARE(w->Picture1->BackColor(), Colours::windowBackground);
    QCOMPARE(w->Picture1->Point(0, 0), Colours::white);
    for (CommandButton *button : {w->Command1, w->Command3})
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // The logo box is sized to its 45 x 64 picture.
    QCOMPARE(w->Picture3->Picture().size(), QSize(45, 64));
    QCOMPARE(w->Picture3->ScaleWidth(), 45.0f * 15);
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
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
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

void tst_Window::tabOrderFollowsTheIndexes()
{
    ScriptedWindow w(m_dir.path());
    QCOMPARE(w->Frame1->property("TabIndex").toInt(), 0);
    QCOMPARE(w->Command2->property("TabIndex").toInt(), 4);
    QCOMPARE(w->Label1->property("TabIndex").toInt(), 19);
    // Tab moves between the buttons in index order: Exit, Save, Open.
    QStringList tabStops;
    QWidget *widget = w->Command2;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            tabStops << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != w->Command2);
    QCOMPARE(tabStops, QStringList({"Command2", "Command1", "Command3"}));
}

void tst_Window::squareSurfacesStartAt32By32()
{
    ScriptedWindow w(m_dir.path());
    for (PictureBox *box : {w->Picture1, w->Picture2, w->Picture5, w->Picture6, w->picImage, w->picMask}) {
        QCOMPARE(box->ScaleMode(), PictureBox::ScaleModeKind::Pixels);
        QCOMPARE(box->ScaleWidth(), 32.0f);
        QCOMPARE(box->ScaleHeight(), 32.0f);
    }
    QVERIFY(w->Picture5->AutoSize());
    QVERIFY(!w->picImage->AutoSize());
    QCOMPARE(w->Picture4->ScaleMode(), PictureBox::ScaleModeKind::Twips);
}

void tst_Window::loadSwitchesAutoRedrawOnForTheWorkSurfaces()
{
    ScriptedWindow w(m_dir.path());
    QVERIFY(w->picImage->AutoRedraw());
    QVERIFY(w->picMask->AutoRedraw());
    // They keep what is drawn, unseen.
    w->picMask->PSet(7, 9, Colours::white);
    w->picImage->PSet(7, 9, Colour(0x123456));
    QCOMPARE(w->picMask->Point(7, 9), Colours::white);
    QCOMPARE(w->picImage->Point(7, 9), Colour(0x123456));
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
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
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
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
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
