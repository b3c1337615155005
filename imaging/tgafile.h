#pragma once

#include "failure.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QSize>

#include <optional>

// TGA pictures. A TGA file has no signature, so it is told by a header
// whose fields agree with one another, once icons and cursors, whose
// headers can look alike, are ruled out. The device is left where it was.

// The size a TGA header claims; nothing when the file is not a TGA.
std::optional<QSize> tgaClaimedSize(QIODevice &device);

// Why the TGA cannot be read before any pixel is: it is not one, or it is
// uncompressed and ends before its pixels do.
std::optional<Failure> tgaRefusal(QIODevice &device);

// Whether Qt's TGA reader takes the file: uncompressed true colour of 16
// bits or more.
bool isTgaForQt(QIODevice &device);

// The kinds Qt's reader leaves out, decoded here: colour-mapped and grey
// pictures, and run-length coded ones of every kind, read through a small
// buffer straight into the image. Alpha is kept where the header says the
// picture has some. A file whose pixels run out is refused as cut short.
struct TgaDecode
{
    QImage image;
    std::optional<Failure> failure;
};
TgaDecode decodeTgaWithoutQt(QIODevice &device);

// The TGA in `source`, from where it stands, as Qt's reader takes it: that
// reader wants the TGA 2.0 footer at the end, which older files lack, so
// one is added after the file's bytes, which are read where they are (64 KB
// at a time: the reader asks for a pixel at a time), not copied.
class TgaWithFooter : public QIODevice
{
public:
    explicit TgaWithFooter(QIODevice &source);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_length + m_footer.size(); }
    bool seek(qint64 position) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QIODevice &m_source;
    qint64 m_start;
    qint64 m_length;
    QByteArray m_footer;
    qint64 m_at = 0; // where the next read starts
    QByteArray m_read; // the source's bytes from m_readStart on
    qint64 m_readStart = 0;
};
