#include "resample.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

struct Tap
{
    int source;
    float weight;
};

// For one axis: which source pixels make up each target pixel, and how much.
using AxisTaps = std::vector<std::vector<Tap>>;

// `extent` is the source's length in pixels, the last one possibly partial.
AxisTaps areaAverageTaps(int sourceLength, double extent, int targetLength)
{
    AxisTaps taps(targetLength);
    const double scale = extent / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double start = i * scale;
        const double end = (i + 1) * scale;
        const int first = int(std::floor(start));
        const int last = std::min(sourceLength, int(std::ceil(end)));
        for (int j = first; j < last; ++j) {
            const double covered = std::min(end, j + 1.0) - std::max(start, double(j));
            if (covered > 0)
                taps[i].push_back({j, float(covered / scale)});
        }
    }
    return taps;
}

AxisTaps linearTaps(int sourceLength, double extent, int targetLength)
{
    AxisTaps taps(targetLength);
    for (int i = 0; i < targetLength; ++i) {
        // Pixel centres line up: target centre i + 0.5 maps onto the source.
        const double centre = (i + 0.5) * extent / targetLength - 0.5;
        const int left = int(std::floor(centre));
        const float t = float(centre - left);
        const int a = std::clamp(left, 0, sourceLength - 1);
        const int b = std::clamp(left + 1, 0, sourceLength - 1);
        taps[i] = {{a, 1.0f - t}, {b, t}};
    }
    return taps;
}

AxisTaps tapsFor(int sourceLength, double extent, int targetLength)
{
    if (sourceLength == targetLength && extent == sourceLength) {
        AxisTaps taps(targetLength);
        for (int i = 0; i < targetLength; ++i)
            taps[i] = {{i, 1.0f}};
        return taps;
    }
    return extent > targetLength ? areaAverageTaps(sourceLength, extent, targetLength)
                                 : linearTaps(sourceLength, extent, targetLength);
}

using Pixel = std::array<float, 4>; // premultiplied a, r, g, b

// Reads one source row as premultiplied float pixels without converting the
// whole (possibly huge) image to another format first.
class RowReader
{
public:
    explicit RowReader(const QImage &image)
        : m_image(image)
    {
        switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
        case QImage::Format_Indexed8:
        case QImage::Format_Grayscale8:
        case QImage::Format_RGB888:
            break;
        default:
            m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
        m_table = m_image.colorTable();
    }

    void read(int y, std::vector<Pixel> &row) const
    {
        const uchar *line = m_image.constScanLine(y);
        const int width = m_image.width();
        row.resize(width);
        switch (m_image.format()) {
        case QImage::Format_Indexed8:
            for (int x = 0; x < width; ++x)
                row[x] = premultiplied(line[x] < m_table.size() ? m_table[line[x]] : 0u);
            break;
        case QImage::Format_Grayscale8:
            for (int x = 0; x < width; ++x)
                row[x] = {255.0f, float(line[x]), float(line[x]), float(line[x])};
            break;
        case QImage::Format_RGB888:
            for (int x = 0; x < width; ++x)
                row[x] = {255.0f, float(line[3 * x]), float(line[3 * x + 1]), float(line[3 * x + 2])};
            break;
        case QImage::Format_ARGB32:
            for (int x = 0; x < width; ++x)
                row[x] = premultiplied(reinterpret_cast<const QRgb *>(line)[x]);
            break;
        case QImage::Format_RGB32:
            for (int x = 0; x < width; ++x)
                row[x] = unpack(0xFF000000u | reinterpret_cast<const QRgb *>(line)[x]);
            break;
        default: // premultiplied already
            for (int x = 0; x < width; ++x)
                row[x] = unpack(reinterpret_cast<const QRgb *>(line)[x]);
        }
    }

private:
    static Pixel unpack(QRgb p)
    {
        return {float(qAlpha(p)), float(qRed(p)), float(qGreen(p)), float(qBlue(p))};
    }
    static Pixel premultiplied(QRgb p)
    {
        const float a = qAlpha(p) / 255.0f;
        return {float(qAlpha(p)), qRed(p) * a, qGreen(p) * a, qBlue(p) * a};
    }

    QImage m_image;
    QList<QRgb> m_table;
};

uchar toByte(float v)
{
    return uchar(std::clamp(int(std::lround(v)), 0, 255));
}

} // namespace

QImage resampleImage(const QImage &source, QSize size, QSizeF extent)
{
    if (!extent.isValid())
        extent = QSizeF(source.size());
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    if (target.isNull() || source.isNull())
        return target;

    const AxisTaps across = tapsFor(source.width(), extent.width(), size.width());
    const AxisTaps down = tapsFor(source.height(), extent.height(), size.height());

    // Rows are narrowed first, so the second pass only touches target columns.
    const RowReader reader(source);
    std::vector<std::vector<Pixel>> narrowRows(source.height(), std::vector<Pixel>(size.width()));
    std::vector<Pixel> row;
    std::vector<char> needed(source.height(), 0);
    for (const auto &taps : down)
        for (const Tap &tap : taps)
            needed[tap.source] = 1;
    for (int y = 0; y < source.height(); ++y) {
        if (!needed[y])
            continue;
        reader.read(y, row);
        for (int x = 0; x < size.width(); ++x) {
            Pixel sum{};
            for (const Tap &tap : across[x])
                for (int c = 0; c < 4; ++c)
                    sum[c] += row[tap.source][c] * tap.weight;
            narrowRows[y][x] = sum;
        }
    }

    for (int y = 0; y < size.height(); ++y) {
        QRgb *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            Pixel sum{};
            for (const Tap &tap : down[y])
                for (int c = 0; c < 4; ++c)
                    sum[c] += narrowRows[tap.source][x][c] * tap.weight;
            const uchar a = toByte(sum[0]);
            out[x] = qRgba(std::min(toByte(sum[1]), a), std::min(toByte(sum[2]), a),
                           std::min(toByte(sum[3]), a), a);
        }
    }
    return target;
}
