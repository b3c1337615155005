#include "frmbmp2icon.h"

#include "artwork.h"
#include "nativename.h"
#include "twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// Every control is created from fixed settings; these helpers keep one line
// per setting below.
template<typename Control>
Control *make(QWidget *container, const char *name, int left, int top, int width, int height)
{
    auto *control = new Control(container);
    control->setObjectName(QLatin1String(name));
    control->setBounds(left, top, width, height);
    return control;
}

// The 32 x 32 pixel surfaces: pixel scale, kept drawing, sized to pictures.
void makeSquareSurface(PictureBox *box, Colour backColor)
{
    box->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    box->setAutoRedraw(true);
    box->setAutoSize(true);
    box->setBackColor(backColor);
}

// The dropped file's name by its exact bytes: the address keeps the bytes
// that are not UTF-8 percent-encoded, which toLocalFile() turns into U+FFFD.
QString localFileOf(const QUrl &url)
{
#ifdef Q_OS_WIN
    return url.toLocalFile();
#else
    return nameFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
#endif
}

} // namespace

frmBmp2Icon::frmBmp2Icon(const WindowServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_services(services)
{
    setObjectName(QStringLiteral("frmBmp2Icon"));
    setWindowTitle(QStringLiteral("Tervana"));
    setWindowIcon(QIcon(QPixmap::fromImage(Artwork::windowIcon())));
    setFixedSize(pixelsFromTwips(5520), pixelsFromTwips(2910));
    applyBackColor(this, windowBackColor);
    // One small font for every control, so the captions fit the fixed layout.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    createControls();
    applyTabOrder();
    setAcceptDrops(true);
    m_openedSquare = Picture5->Image();
    Load();
}

frmBmp2Icon::~frmBmp2Icon() = default;

void frmBmp2Icon::createControls()
{
    Frame1 = make<Frame>(this, "Frame1", 30, 60, 5445, 2805);
    Frame1->setBackColor(windowBackColor);
    createCredits();
    createPreview();
    createCommands();
    createWorkSurfaces();
    cmndlg = new CommonDialog(m_services.fileDialogs, this);
    cmndlg->setObjectName(QStringLiteral("cmndlg"));
}

// The credits at the top: the logo and three lines of text.
void frmBmp2Icon::createCredits()
{
    Frame2 = make<Frame>(Frame1, "Frame2", 90, 120, 5265, 1305);
    Frame2->setBackColor(windowBackColor);
    Picture3 = make<PictureBox>(Frame2, "Picture3", 90, 180, 735, 1020);
    Picture3->setAutoSize(true);
    Picture3->setPicture(Picture(Artwork::logo()));
    Label2 = make<Label>(Frame2, "Label2", 870, 240, 4275, 285);
    Label2->setCaption(QStringLiteral("Written and distributed by Tervana Workshop"));
    Label3 = make<Label>(Frame2, "Label3", 870, 450, 3495, 225);
    Label3->setCaption(QStringLiteral("Tervana Workshop, tervana.example 2026"));
    Label4 = make<Label>(Frame2, "Label4", 870, 660, 2985, 225);
    Label4->setCaption(QStringLiteral("All rights reserved."));
    for (Label *label : {Label2, Label3, Label4})
        label->setBackColor(windowBackColor);
}

// The preview of the icon, under its caption.
void frmBmp2Icon::createPreview()
{
    Label1 = make<Label>(Frame1, "Label1", 210, 1500, 1155, 255);
    Label1->setCaption(QStringLiteral("Anteprima"));
    Label1->setBackColor(windowBackColor);
    Frame3 = make<Frame>(Frame1, "Frame3", 150, 1740, 1215, 1005);
    Frame3->setBackColor(windowBackColor);
    Picture1 = make<PictureBox>(Frame3, "Picture1", 330, 270, 540, 540);
    makeSquareSurface(Picture1, Colours::windowBackground);
}

// Apri and Salva in their frame, and the exit button beside it.
void frmBmp2Icon::createCommands()
{
    Frame4 = make<Frame>(Frame1, "Frame4", 1470, 1740, 3015, 1005);
    Frame4->setBackColor(windowBackColor);
    Command3 = make<CommandButton>(Frame4, "Command3", 240, 180, 1005, 735);
    Command3->setCaption(QStringLiteral("Apri"));
    Command3->setPicture(QIcon(QPixmap::fromImage(Artwork::openPicture())), QSize(32, 32));
    Command3->setBackColor(windowBackColor);
    connect(Command3, &QAbstractButton::clicked, this, [this] { runCommand([this] { Command3_Click(); }); });
    Command1 = make<CommandButton>(Frame4, "Command1", 1710, 180, 1035, 705);
    Command1->setCaption(QStringLiteral("Salva"));
    Command1->setPicture(QIcon(QPixmap::fromImage(Artwork::savePicture())), QSize(32, 32));
    Command1->setBackColor(windowBackColor);
    connect(Command1, &QAbstractButton::clicked, this, [this] { runCommand([this] { Command1_Click(); }); });

    Command2 = make<CommandButton>(Frame1, "Command2", 4710, 2100, 495, 465);
    Command2->setPicture(QIcon(QPixmap::fromImage(Artwork::exitPicture())), QSize(24, 24));
    Command2->setBackColor(exitBackColor);
    connect(Command2, &QAbstractButton::clicked, this, &frmBmp2Icon::Command2_Click);
}

// The surfaces the commands draw the picture, the square and the icon on.
void frmBmp2Icon::createWorkSurfaces()
{
    // The surfaces below lie outside Frame1's client area: clipped, never seen.
    Picture4 = make<PictureBox>(Frame1, "Picture4", 750, 4350, 2595, 1725);
    Picture4->setAutoSize(true);
    Picture5 = make<PictureBox>(Frame1, "Picture5", 4860, 4500, 540, 540);
    makeSquareSurface(Picture5, Colours::windowBackground);
    Picture6 = make<PictureBox>(Frame1, "Picture6", 5730, 4710, 540, 540);
    makeSquareSurface(Picture6, Colours::windowBackground);
    Picture2 = make<PictureBox>(Frame1, "Picture2", 5880, 3360, 540, 540);
    makeSquareSurface(Picture2, Colours::windowBackground);
    picImage = make<PictureBox>(Frame1, "picImage", 7410, 210, 540, 540);
    picImage->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    picImage->setAutoRedraw(true);
    picImage->setBackColor(Colours::black);
    picMask = make<PictureBox>(Frame1, "picMask", 7410, 780, 540, 540);
    picMask->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    picMask->setAutoRedraw(true);
    picMask->setBackColor(Colours::windowBackground);

    lblPath = make<Label>(Frame1, "lblPath", 6960, 2040, 1935, 735);
    lblPath->setCaption(QStringLiteral("Label1"));
}

// Only the buttons take the keyboard focus; they follow one another in the
// order of their tab indexes. Every control keeps its index as a property.
void frmBmp2Icon::applyTabOrder()
{
    const std::pair<QWidget *, int> indexes[] = {
        {Frame1, 0},   {Picture2, 1}, {picImage, 2}, {picMask, 3},  {Command2, 4},
        {Frame2, 5},   {Label2, 6},   {Label3, 7},   {Label4, 8},   {Picture4, 9},
        {Picture5, 10}, {Picture6, 11}, {Picture3, 12}, {Frame3, 13}, {Picture1, 14},
        {Frame4, 15},  {Command1, 16}, {Command3, 17}, {lblPath, 18}, {Label1, 19},
    };
    QWidget *previous = nullptr;
    for (const auto &[widget, index] : indexes) {
        widget->setProperty("TabIndex", index);
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previous)
                setTabOrder(previous, widget);
            previous = widget;
        }
    }
}

void frmBmp2Icon::Load()
{
    picImage->setAutoRedraw(true);
    picMask->setAutoRedraw(true);
}

void frmBmp2Icon::showEvent(QShowEvent *event)
{
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

QString frmBmp2Icon::droppedPicture(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return QString();
    // Any file: it is read by its content, as a picture named on the command
    // line is, and one that is not a picture gets the Open command's box.
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? localFileOf(url) : QString();
}

// A dropped picture is only read: the drop is taken as a copy, whatever the
// source proposed, so that no source takes it for a move and deletes it.
bool frmBmp2Icon::takeAsCopy(QDropEvent *event) const
{
    if (m_busy || !(event->possibleActions() & Qt::CopyAction) || droppedPicture(event->mimeData()).isEmpty())
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void frmBmp2Icon::dragEnterEvent(QDragEnterEvent *event)
{
    takeAsCopy(event);
}

void frmBmp2Icon::dropEvent(QDropEvent *event)
{
    if (!takeAsCopy(event))
        return;
    // The drop is answered first; the Open, which may show a message, runs
    // right after, as a click on Apri would.
    OpenPictureLater(droppedPicture(event->mimeData()));
}

void frmBmp2Icon::OpenPictureLater(const QString &path)
{
    QTimer::singleShot(0, this, [this, path] {
        if (!m_busy)
            runCommand([this, path] { OpenDroppedPicture(path); });
    });
}

bool frmBmp2Icon::QueryUnload()
{
    emit queryUnload();
    return true; // a close request is never refused
}

void frmBmp2Icon::runCommand(const std::function<void()> &command)
{
    m_busy = true;
    setButtonsEnabled(false);
    command();
    setButtonsEnabled(true);
    m_busy = false;
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void frmBmp2Icon::setButtonsEnabled(bool enabled)
{
    for (CommandButton *button : {Command1, Command2, Command3})
        button->setEnabled(enabled);
}

void frmBmp2Icon::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        // Never refused, only put off until the running command is done.
        m_closePending = true;
        event->ignore();
        return;
    }
    if (QueryUnload())
        event->accept();
    else
        event->ignore();
}

// Exit ends the program at once: no close request, no unload step.
void frmBmp2Icon::Command2_Click()
{
    QCoreApplication::exit(0);
}
