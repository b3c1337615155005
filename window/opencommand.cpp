// The Open command: choose a picture, fit it proportionally and centred into
// the 32 x 32 square of Picture5, pass it through the "temporaneo" work file
// and show it in the preview.

#include "frmbmp2icon.h"

#include "classicerror.h"
#include "picturefiles.h"
#include "workfolder.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace {

const QString openFilter = QStringLiteral("File Immagine jpg|*.jpg|File Immagine gif|*.gif|File Immagine bmp|*.bmp");
const QString openTitle = QStringLiteral("Apri file Immagine");
constexpr quint32 openFlags = CommonDialog::OFN_READONLY | CommonDialog::OFN_HIDEREADONLY;
constexpr int side = 32;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

void frmBmp2Icon::Command3_Click()
{
    finishOpen(OpenPicture());
}

void frmBmp2Icon::OpenDroppedPicture(const QString &path)
{
    startOpen();
    finishOpen(OpenPictureFile(path));
}

void frmBmp2Icon::finishOpen(const std::optional<QString> &failure)
{
    if (failure) {
        // An Open that failed opened nothing: a save after it writes the
        // blank square, as after a cancelled Open.
        ClearSquare();
        m_services.messageBoxes->show(*failure, MsgBox::vbOKOnly);
    }
    m_openedSquare = Picture5->Image();
}

void frmBmp2Icon::startOpen()
{
    // Every Open starts from a clean square: an earlier save's icon and
    // background must not show in the bands of the new picture.
    ClearSquare();
    for (PictureBox *box : {Picture1, Picture2, Picture4, Picture6})
        box->Cls();
    picImage->setAutoRedraw(true);
    picMask->setAutoRedraw(true);
}

QString frmBmp2Icon::dialogFolder() const
{
    return nativePath(m_services.dialogFolder.isEmpty() ? m_services.programFolder : m_services.dialogFolder);
}

std::optional<QString> frmBmp2Icon::OpenPicture()
{
    startOpen();
    cmndlg->setFileName(QString());
    cmndlg->setFilter(openFilter);
    cmndlg->setDialogTitle(openTitle);
    cmndlg->setFlags(openFlags);
    cmndlg->setInitDir(dialogFolder());
    // A cancelled dialog leaves the boxes cleared and changes nothing else.
    if (!cmndlg->ShowOpen() || cmndlg->FileName().isEmpty())
        return std::nullopt;
    return OpenPictureFile(cmndlg->FileName());
}

namespace {

// Qt's file dialog gives a name whose bytes are not UTF-8 with U+FFFD in
// their place, which leads nowhere: say that, not that there is no such
// file. Such a picture opens from the command line or a drop, which keep
// the bytes.
Failure reachableOrSaidSo(const QString &fileName, const Failure &failure)
{
    if (failure.kind != Failure::Kind::NoSuchFile && failure.kind != Failure::Kind::NoSuchFolder)
        return failure;
    if (!fileName.contains(QChar::ReplacementCharacter))
        return failure;
    return {Failure::Kind::Unusable,
            QStringLiteral("its name holds bytes that are not UTF-8 text, which the dialog cannot pass on; "
                           "drop it on the window, or rename it")};
}

} // namespace

std::optional<QString> frmBmp2Icon::OpenPictureFile(const QString &fileName)
{
    // Only a 32 x 32 drawing is made of the picture, so a big JPEG may be
    // decoded at a fraction of its size; the box still takes its natural size.
    const PictureLoad load = LoadPicture(fileName, QSize(side, side));
    if (load.failure)
        return cannotOpen(fileName, reachableOrSaidSo(fileName, *load.failure));
    Picture4->setPicture(load.picture);

    FitIntoPicture5();

    const QString workFile = workFilePath(m_services.workFolder, QStringLiteral("temporaneo"));
    // Other windows started from the same folder use the same work file;
    // one at a time writes it and reads it back.
    WorkFileLock lock(workFile);
    if (!waitForWorkFile(lock))
        return QStringLiteral("Tervana cannot use its work file \"%1\": %2.").arg(workFile, lock.reason());
    if (const std::optional<Failure> saved = SavePicture(Picture5->Image(), workFile))
        return QStringLiteral("Tervana cannot write its work file \"%1\": %2.")
            .arg(workFile, classicErrorFor(*saved).description);
    const PictureLoad back = LoadPicture(workFile);
    if (back.failure)
        return QStringLiteral("Tervana cannot read back its work file \"%1\": %2.").arg(workFile, back.failure->reason);
    Picture6->setPicture(back.picture);
    Picture1->PaintPicture(Picture6->Picture(), 0, 0, side, side);
    return std::nullopt;
}

bool frmBmp2Icon::waitForWorkFile(WorkFileLock &lock)
{
    using namespace std::chrono;
    if (lock.tryLock(milliseconds(0)))
        return true;
    if (!lock.isHeldElsewhere())
        return false;
    const HourglassPointer waiting(*this);
    const auto deadline = steady_clock::now() + m_services.workFileWait;
    bool locked = false;
    while (!locked && lock.isHeldElsewhere() && steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        locked = lock.tryLock(std::clamp(left, milliseconds(0), milliseconds(50)));
    }
    return locked;
}

void frmBmp2Icon::ClearSquare()
{
    Picture5->setPicture(::Picture());
    Picture5->setBackColor(Colours::windowBackground);
}

// The fitted square, as the core makes it of Picture4's picture, drawn into
// Picture5 over its own background.
void frmBmp2Icon::FitIntoPicture5()
{
    const QRgb background = resolveColour(Picture5->BackColor(), Picture5->palette()).rgb();
    const QImage square = fitIntoSquare(Picture4->Picture(), background);
    Picture5->PaintPicture(Picture(square), 0, 0, side, side);
}
