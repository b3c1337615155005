#include "reducedpicture.h"

#include <algorithm>

int reductionBlockSide(QSize size, QSize drawSize)
{
    if (!drawSize.isValid() || size.isEmpty())
        return 1;
    const int byWidth = size.width() / (8 * std::max(drawSize.width(), 1));
    const int byHeight = size.height() / (8 * std::max(drawSize.height(), 1));
    return std::max(1, std::min(byWidth, byHeight));
}

BlockAverager::BlockAverager(QSize size, int side)
    : m_size(size)
    , m_side(side)
    , m_blocks((size.width() + side - 1) / side, (size.height() + side - 1) / side)
    , m_sums(size_t(m_blocks.width()) * size_t(m_blocks.height()) * 4)
{
}

template<typename Add>
void BlockAverager::accumulate(int y, Add add)
{
    quint32 *sum = &m_sums[size_t(y / m_side) * size_t(m_blocks.width()) * 4];
    for (int x = 0; x < m_size.width(); sum += 4) {
        const int end = std::min(x + m_side, m_size.width());
        quint32 alpha = 0, red = 0, green = 0, blue = 0;
        for (; x < end; ++x)
            add(x, alpha, red, green, blue);
        sum[0] += alpha;
        sum[1] += red;
        sum[2] += green;
        sum[3] += blue;
    }
}

void BlockAverager::addRow(int y, const QRgb *pixels)
{
    accumulate(y, [pixels](int x, quint32 &alpha, quint32 &red, quint32 &green, quint32 &blue) {
        const QRgb p = pixels[x];
        alpha += qAlpha(p);
        red += qRed(p);
        green += qGreen(p);
        blue += qBlue(p);
    });
}

void BlockAverager::addIndexedRow(int y, const uchar *indexes, const QRgb *palette)
{
    accumulate(y, [indexes, palette](int x, quint32 &alpha, quint32 &red, quint32 &green, quint32 &blue) {
        const QRgb p = palette[indexes[x]];
        alpha += qAlpha(p);
        red += qRed(p);
        green += qGreen(p);
        blue += qBlue(p);
    });
}

void BlockAverager::addBgrRow(int y, const uchar *pixels, int bytesPerPixel)
{
    accumulate(y, [pixels, bytesPerPixel](int x, quint32 &alpha, quint32 &red, quint32 &green, quint32 &blue) {
        const uchar *p = pixels + x * bytesPerPixel;
        alpha += 255;
        red += p[2];
        green += p[1];
        blue += p[0];
    });
}

ReducedPicture BlockAverager::result() const
{
    QImage image(m_blocks, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    for (int by = 0; by < m_blocks.height(); ++by) {
        QRgb *out = reinterpret_cast<QRgb *>(image.scanLine(by));
        const int rows = std::min(m_side, m_size.height() - by * m_side);
        for (int bx = 0; bx < m_blocks.width(); ++bx) {
            // Edge blocks hold fewer pixels; each is the mean of what it holds.
            const quint32 count = quint32(rows) * quint32(std::min(m_side, m_size.width() - bx * m_side));
            const quint32 *sum = &m_sums[(size_t(by) * size_t(m_blocks.width()) + size_t(bx)) * 4];
            const auto mean = [count](quint32 total) { return int((total + count / 2) / count); };
            out[bx] = qRgba(mean(sum[1]), mean(sum[2]), mean(sum[3]), mean(sum[0]));
        }
    }
    return {image, m_size, QSizeF(double(m_size.width()) / m_side, double(m_size.height()) / m_side)};
}
