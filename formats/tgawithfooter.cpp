#include "tgawithfooter.h"

#include <algorithm>

namespace {

constexpr int footerBytes = 26;
const QByteArray footerSignature = QByteArrayLiteral("TRUEVISION-XFILE.\0");

} // namespace

TgaWithFooter::TgaWithFooter(QIODevice &source)
    : m_source(source)
    , m_start(source.pos())
    , m_length(source.size() - source.pos())
{
    const qint64 resume = source.pos();
    source.seek(m_start + m_length - footerBytes);
    if (m_length < footerBytes || !source.read(footerBytes).endsWith(footerSignature))
        m_footer = QByteArray(footerBytes - footerSignature.size(), '\0') + footerSignature;
    source.seek(resume);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool TgaWithFooter::seek(qint64 position)
{
    if (!QIODevice::seek(position))
        return false;
    m_at = position;
    return true;
}

qint64 TgaWithFooter::readData(char *data, qint64 maxSize)
{
    qint64 count = 0;
    if (m_at < m_length) {
        if (m_at < m_readStart || m_at >= m_readStart + m_read.size()) {
            if (!m_source.seek(m_start + m_at))
                return -1;
            m_read = m_source.read(std::min<qint64>(64 * 1024, m_length - m_at));
            m_readStart = m_at;
            if (m_read.isEmpty())
                return -1;
        }
        count = std::min(maxSize, m_readStart + m_read.size() - m_at);
        std::copy_n(m_read.constData() + (m_at - m_readStart), count, data);
    } else {
        count = std::clamp<qint64>(size() - m_at, 0, maxSize);
        std::copy_n(m_footer.constData() + (m_at - m_length), count, data);
    }
    m_at += count;
    return count;
}
