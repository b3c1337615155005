#pragma once

#include <QByteArray>
#include <QIODevice>

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
