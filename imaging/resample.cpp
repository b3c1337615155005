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

// A stretch of one source row whose pixels all count alike in a target
// pixel, as the whole pixels inside a target pixel's span do.
struct Run
{
    int first;
    int count;
    float weight;
};

std::vector<std::vector<Run>> runsOf(const AxisTaps &axis)
{
    std::vector<std::vector<Run>> runs(axis.size());
    for (size_t i = 0; i < axis.size(); ++i)
        for (const Tap &tap : axis[i]) {
            std::vector<Run> &target = runs[i];
            if (!target.empty() && target.back().weight == tap.weight
                && target.back().first + target.back().count == tap.source)
                ++target.back().count;
            else
                target.push_back({tap.source, 1, tap.weight});
        }
    return runs;
}

// The channels of a run of 32-bit pixels (alpha forced to 255 by
// `opaque`), summed as integers in the 16-bit lanes of one register: a
// pixel costs one addition, however many make up the run.
Pixel runSum(const QRgb *pixels, const Run &run, QRgb opaque)
{
    constexpr int laneCapacity = 65535 / 255;
    quint32 alpha = 0, red = 0, green = 0, blue = 0;
    for (int at = run.first, end = run.first + run.count; at < end;) {
        const int pieceEnd = std::min(end, at + laneCapacity);
        quint64 lanes = 0;
        for (; at < pieceEnd; ++at) {
            const QRgb p = pixels[at] | opaque;
            lanes += quint64(p & 0x00FF00FF) | quint64(p & 0xFF00FF00) << 24;
        }
        blue += quint32(lanes & 0xFFFF);
        red += quint32(lanes >> 16) & 0xFFFF;
        green += quint32(lanes >> 32) & 0xFFFF;
        alpha += quint32(lanes >> 48) & 0xFFFF;
    }
    return {float(alpha), float(red), float(green), float(blue)};
}

// Narrows the rows `needed` of a 32-bit image whose pixels are
// premultiplied as they stand (opaque ones, or premultiplied ones).
void narrowPremultipliedRows(const QImage &image, const AxisTaps &across, const std::vector<char> &needed,
                             std::vector<std::vector<Pixel>> &narrowRows)
{
    const std::vector<std::vector<Run>> runs = runsOf(across);
    const QRgb opaque = image.format() == QImage::Format_RGB32 ? 0xFF000000u : 0u;
    for (int y = 0; y < image.height(); ++y) {
        if (!needed[size_t(y)])
            continue;
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (size_t x = 0; x < runs.size(); ++x) {
            Pixel sum{};
            for (const Run &run : runs[x]) {
                const Pixel part = runSum(line, run, opaque);
                for (int c = 0; c < 4; ++c)
                    sum[c] += part[c] * run.weight;
            }
            narrowRows[size_t(y)][x] = sum;
        }
    }
}

uchar toByte(float v)
{
    return uchar(std::clamp(int(std::lround(v)), 0, 255));
}

// Narrows the rows `needed` of any image, reading each as float pixels.
void narrowRowsOf(const QImage &image, const AxisTaps &across, const std::vector<char> &needed,
                  std::vector<std::vector<Pixel>> &narrowRows)
{
    const RowReader reader(image);
    std::vector<Pixel> row;
    for (int y = 0; y < image.height(); ++y) {
        if (!needed[size_t(y)])
            continue;
        reader.read(y, row);
        for (size_t x = 0; x < across.size(); ++x) {
            Pixel sum{};
            for (const Tap &tap : across[x])
                for (int c = 0; c < 4; ++c)
                    sum[c] += row[size_t(tap.source)][c] * tap.weight;
            narrowRows[size_t(y)][x] = sum;
        }
    }
}

// The second pass: the narrowed rows shrunk down each target column.
QImage shrinkColumns(const std::vector<std::vector<Pixel>> &narrowRows, const AxisTaps &down, QSize size)
{
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    if (target.isNull())
        return target;
    for (int y = 0; y < size.height(); ++y) {
        QRgb *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            Pixel sum{};
            for (const Tap &tap : down[size_t(y)])
                for (int c = 0; c < 4; ++c)
                    sum[c] += narrowRows[size_t(tap.source)][size_t(x)][c] * tap.weight;
            const uchar a = toByte(sum[0]);
            out[x] = qRgba(std::min(toByte(sum[1]), a), std::min(toByte(sum[2]), a),
                           std::min(toByte(sum[3]), a), a);
        }
    }
    return target;
}

} // namespace

QImage resampleImage(const QImage &source, QSize size, QSizeF extent)
{
    if (!extent.isValid())
        extent = QSizeF(source.size());
    if (source.isNull() || size.isEmpty())
        return QImage(size, QImage::Format_ARGB32_Premultiplied);

    const AxisTaps across = tapsFor(source.width(), extent.width(), size.width());
    const AxisTaps down = tapsFor(source.height(), extent.height(), size.height());

    // Rows are narrowed first, so the second pass only touches target
    // columns; only rows some target row takes are narrowed.
    std::vector<std::vector<Pixel>> narrowRows(size_t(source.height()), std::vector<Pixel>(size_t(size.width())));
    std::vector<char> needed(size_t(source.height()), 0);
    for (const auto &taps : down)
        for (const Tap &tap : taps)
            needed[size_t(tap.source)] = 1;
    if (source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32_Premultiplied)
        narrowPremultipliedRows(source, across, needed, narrowRows);
    else
        narrowRowsOf(source, across, needed, narrowRows);
    return shrinkColumns(narrowRows, down, size);
}
