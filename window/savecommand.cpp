// The Save command: the save dialog with its remembered folder and filter
// index, the capture of Picture5, the icon build, and the saved icon shown
// again.

#include "frmbmp2icon.h"

#include "classicerror.h"
#include "picturefiles.h"
#include "settingsstore.h"
#include "workfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString settingsApplication = QStringLiteral("Kelbrin");
const QString settingsSection = QStringLiteral("cmndlgSettings");
const QString folderKey = QStringLiteral("cdSaveAsDirSetting");
const QString indexKey = QStringLiteral("cdSaveAsIndexSetting");

const QString saveFilter = QStringLiteral("Icona (*.ico)|*.ico");
const QString saveTitle = QStringLiteral("Salva file ico");
constexpr quint32 saveFlags = CommonDialog::OFN_OVERWRITEPROMPT | CommonDialog::OFN_HIDEREADONLY;

// 0-based position of the last folder separator, or -1.
qsizetype lastSeparator(const QString &path)
{
    return qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
}

void yield()
{
    QCoreApplication::processEvents();
}

} // namespace

void frmBmp2Icon::Command1_Click()
{
    if (const std::optional<Failure> failure = SaveCommand()) {
        const ClassicError error = classicErrorFor(*failure);
        m_services.messageBoxes->show(QStringLiteral("mnuSave Error # %1 - %2").arg(error.number).arg(error.description),
                                      MsgBox::vbOKOnly);
    }
}

// The stored folder and index are used only together, and only when the
// index is a 16-bit whole number; anything else stored is ignored.
void frmBmp2Icon::RestoreSaveDialogPlace()
{
    // With nothing stored, the dialog stays where Apri's left it; where no
    // Apri dialog was shown (a picture dropped or named on the command
    // line), it starts where Apri's would.
    if (cmndlg->InitDir().isEmpty())
        cmndlg->setInitDir(dialogFolder());
    const QString folder = GetSetting(settingsApplication, settingsSection, folderKey);
    const QString index = GetSetting(settingsApplication, settingsSection, indexKey);
    if (folder.isEmpty() || index.isEmpty())
        return;
    bool whole = false;
    const short filterIndex = index.trimmed().toShort(&whole);
    if (!whole)
        return;
    cmndlg->setFilterIndex(filterIndex);
    cmndlg->setInitDir(folder);
}

// The last saved file's name, lower case, without folder or extension; the
// whole name when the last "." belongs to a folder; none without a ".".
QString frmBmp2Icon::ProposedFileName() const
{
    const QString path = lblPath->Caption();
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QString();
    const qsizetype nameStart = lastSeparator(path) + 1;
    const qsizetype length = dot >= nameStart ? dot - nameStart : path.size() - nameStart;
    return path.mid(nameStart, length).toLower();
}

std::optional<Failure> frmBmp2Icon::SaveCommand()
{
    RestoreSaveDialogPlace();
    cmndlg->setFileName(ProposedFileName());
    cmndlg->setFilter(saveFilter);
    cmndlg->setDialogTitle(saveTitle);
    cmndlg->setFlags(saveFlags);
    if (!cmndlg->ShowSave())
        return std::nullopt; // cancelled: nothing is written, nothing said

    // Remembered before anything is captured, so a save that fails later
    // has still updated both settings.
    const QString chosen = cmndlg->FileName();
    SaveSetting(settingsApplication, settingsSection, folderKey, chosen.left(lastSeparator(chosen) + 1));
    SaveSetting(settingsApplication, settingsSection, indexKey, QString::number(cmndlg->FilterIndex()));

    return SaveSquare(chosen, cmndlg->FilterIndex());
}

std::optional<Failure> frmBmp2Icon::SaveSquare(const QString &path, int filterIndex)
{
    // The file depends only on the last Open: Picture5 may still show what
    // an earlier save reloaded (its transparent pixels in the window's
    // colour, or a black-and-white icon).
    ClearSquare();
    Picture5->setPicture(m_openedSquare);
    switch (filterIndex) {
    case 1: return SaveAsIcon(path);
    case 2: return SaveAsBitmap(path);
    case 3: return SaveInColourOrBlackAndWhite(path);
    default: return std::nullopt;
    }
}

std::optional<Failure> frmBmp2Icon::SaveAsIcon(const QString &chosen)
{
    const HourglassPointer working(*this);
    lblPath->setCaption(chosen);
    yield();
    if (std::optional<Failure> failure = SaveIcon(chosen, SquareOutput::ColourIcon))
        return failure;
    const StepOutcome reloaded = ReloadSavedIcon(chosen);
    if (reloaded.failure || reloaded.ended)
        return reloaded.failure;
    lblPath->setCaption(chosen);
    return std::nullopt;
}

std::optional<Failure> frmBmp2Icon::SaveAsBitmap(const QString &chosen)
{
    if (std::optional<Failure> failure = SavePicture(Picture5->Image(), chosen))
        return failure;
    lblPath->setCaption(chosen);
    return std::nullopt;
}

std::optional<Failure> frmBmp2Icon::SaveInColourOrBlackAndWhite(const QString &chosen)
{
    const int answer = m_services.messageBoxes->show(
        QStringLiteral("Do you wish to save in Color to be used in creating an animated (.ani) cursor file later "
                       "OR a colored static .cur file?"),
        MsgBox::vbYesNo, QStringLiteral("Color or B-W?"));
    const HourglassPointer working(*this);
    const SquareOutput output = answer == MsgBox::vbNo ? SquareOutput::BlackAndWhiteIcon : SquareOutput::ColourIcon;
    yield();
    // A plain file left by an earlier save goes first.
    const QString temp = workFilePath(m_services.workFolder, QStringLiteral("temp"));
    const QFileInfo earlier(temp);
    if (earlier.isFile() && !earlier.isHidden() && !QFile::remove(temp))
        return Failure{Failure::Kind::Unusable, QStringLiteral("the earlier temp file cannot be deleted")};
    if (std::optional<Failure> failure = SaveIcon(chosen, output))
        return failure;
    yield();
    lblPath->setCaption(chosen);
    return ReloadSavedIcon(chosen).failure;
}

frmBmp2Icon::StepOutcome frmBmp2Icon::ReloadSavedIcon(const QString &chosen)
{
    Picture5->setBackColor(BackColor());
    const PictureLoad saved = LoadPicture(chosen);
    if (saved.failure)
        return {saved.failure, false};
    Picture6->setPicture(saved.picture);
    yield();
    if (Picture6->ScaleWidth() > 32.0f || Picture6->ScaleHeight() > 32.0f) {
        const int answer = m_services.messageBoxes->show(
            QStringLiteral("Image not in 32X32 pixel format. Do you wish to resize?"), MsgBox::vbYesNo,
            QStringLiteral("Image Size Test"));
        if (answer != MsgBox::vbYes)
            return {std::nullopt, true};
        Picture5->PaintPicture(Picture6->Image(), 0, 0, 32, 32);
    } else {
        Picture5->setPicture(saved.picture);
    }
    return {std::nullopt, false};
}
