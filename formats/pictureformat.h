#pragma once

#include "picture.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// One reading of one picture whose format is known: the reader parses the
// header once, when it is made, and is then asked in turn what that header
// claims, whether the file is cut short, for the picture read reduced, and
// for it decoded whole. The device is random-access; each question leaves
// it where it stood.
class FormatReader
{
public:
    virtual ~FormatReader() = default;

    // The size the header claims; invalid when the format has no such
    // header or this one cannot be read. Decoders give no size at all for a
    // header they find too large, and the user should hear that the picture
    // is too large, not that it is unreadable.
    QSize claimedSize() const { return m_claimedSize; }
    // The longest side the format's decoder takes, or 0 when it takes any.
    int longestSide() const { return m_longestSide; }
    // Whether the file ends before its data does: a download or copy cut
    // short. Decoders differ in what they make of the missing part (some
    // leave it as whatever memory held), so such a file is refused. A file
    // damaged in another way is not called cut short: its decoder judges it.
    virtual bool isCutShort(QIODevice &) { return false; }
    // The picture read reduced for a drawing of `drawSize` (resample/), or
    // nothing when it is left to be decoded whole.
    virtual std::optional<Picture> readReduced(QIODevice &, QSize /*drawSize*/, DrawDetail) { return std::nullopt; }
    // The picture decoded whole: by default by Qt's readers (qtdecode.h).
    virtual PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail);

protected:
    // What the header claims, said once by the reader as it parses it.
    void claim(QSize size, int longestSide = 0)
    {
        m_claimedSize = size;
        m_longestSide = longestSide;
    }

private:
    QSize m_claimedSize;
    int m_longestSide = 0;
};

// A picture format, a row of the table of formats (formats.h).
struct PictureFormat
{
    // Its name, as the help and the manual pages list it.
    QString name;
    // The endings of its files' names, lower case, without the dot.
    QStringList endings;
    // The MIME types its files go by, as the desktop entry and the AppStream
    // description offer them to file managers and software centres.
    QStringList mimeTypes;
    // The bytes every file of the format opens with, when it has such a
    // signature that a file ending within it is known to be cut short.
    QList<QByteArray> signatures;
    // Whether the file, from its first bytes (`head`, 64 of them or fewer
    // when the file is shorter), is of this format.
    bool (*recognises)(QIODevice &device, const QByteArray &head);
    // The reader of one picture of this format, its header parsed; `head`
    // as above.
    std::unique_ptr<FormatReader> (*open)(QIODevice &device, const QByteArray &head);
    // Whether the desktop offers Tervana to open its files ("Open with"),
    // as the desktop entry's MIME types and the AppStream description list.
    bool offeredToOpen = true;
    // Whether `-r FOLDER` reads its files; a file named on the command
    // line is read either way.
    bool readInFolders = true;
};
