#include "resample.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// A stretch of source pixels (along one axis) that all count alike in a
// target pixel, as the whole pixels inside a target pixel's span do.
struct Run
{
    int first;
    int count;
    double weight;
};

// For one axis: which source pixels make up each target pixel, and how much,
// as a few runs, however many pixels a target pixel spans.
using AxisRuns = std::vector<std::vector<Run>>;

// Adds source pixel `source` at `weight` to a target pixel's runs.
void addTap(std::vector<Run> &runs, int source, double weight)
{
    if (!runs.empty() && runs.back().weight == weight && runs.back().first + runs.back().count == source)
        ++runs.back().count;
    else
        runs.push_back({source, 1, weight});
}

// `extent` is the source's length in pixels, the last one possibly partial.
AxisRuns areaAverageRuns(int sourceLength, double extent, int targetLength)
{
    AxisRuns runs(targetLength);
    const double scale = extent / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double start = i * scale;
        const double end = (i + 1) * scale;
        const int first = int(std::floor(start));
        const int last = std::min(sourceLength, int(std::ceil(end)));
        for (int j = first; j < last; ++j) {
            const double covered = std::min(end, j + 1.0) - std::max(start, double(j));
            if (covered > 0)
                addTap(runs[i], j, covered / scale);
        }
    }
    return runs;
}

AxisRuns linearRuns(int sourceLength, double extent, int targetLength)
{
    AxisRuns runs(targetLength);
    for (int i = 0; i < targetLength; ++i) {
        // Pixel centres line up: target centre i + 0.5 maps onto the source.
        const double centre = (i + 0.5) * extent / targetLength - 0.5;
        const int left = int(std::floor(centre));
        const double t = centre - left;
        addTap(runs[i], std::clamp(left, 0, sourceLength - 1), 1.0 - t);
        addTap(runs[i], std::clamp(left + 1, 0, sourceLength - 1), t);
    }
    return runs;
}

AxisRuns runsFor(int sourceLength, double extent, int targetLength)
{
    if (sourceLength == targetLength && extent == sourceLength) {
        AxisRuns runs(targetLength);
        for (int i = 0; i < targetLength; ++i)
            runs[i] = {{i, 1, 1.0}};
        return runs;
    }
    return extent > targetLength ? areaAverageRuns(sourceLength, extent, targetLength)
                                 : linearRuns(sourceLength, extent, targetLength);
}

using Pixel = std::array<float, 4>; // premultiplied a, r, g, b
// A sum of weighted pixels, in double precision: a target pixel may add up
// millions of source pixels, each a tiny share.
using Sum = std::array<double, 4>;

bool isReadAsItStands(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
        return true;
    default:
        return false;
    }
}

// Reads source pixels as premultiplied pixels, one at a time, straight from
// the image's rows: no whole row is converted to another format first, nor
// the (possibly huge) image, when it is in a format read as it stands
// (resamplableImage() gives one).
class PixelReader
{
public:
    explicit PixelReader(const QImage &image)
        : m_image(resamplableImage(image))
        , m_table(m_image.colorTable())
    {
    }

    // Adds the pixels of `run` in row `line`, each times `weight`, to `sum`.
    void addRun(const uchar *line, const Run &run, Sum &sum) const
    {
        for (int x = run.first; x < run.first + run.count; ++x) {
            const Pixel p = at(line, x);
            for (int c = 0; c < 4; ++c)
                sum[c] += p[c] * run.weight;
        }
    }
    const uchar *line(int y) const { return m_image.constScanLine(y); }

private:
    Pixel at(const uchar *line, int x) const
    {
        switch (m_image.format()) {
        case QImage::Format_Indexed8:
            return premultiplied(line[x] < m_table.size() ? m_table[line[x]] : 0u);
        case QImage::Format_Grayscale8:
            return {255.0f, float(line[x]), float(line[x]), float(line[x])};
        case QImage::Format_RGB888:
            return {255.0f, float(line[3 * x]), float(line[3 * x + 1]), float(line[3 * x + 2])};
        case QImage::Format_ARGB32:
            return premultiplied(reinterpret_cast<const QRgb *>(line)[x]);
        case QImage::Format_RGB32:
            return unpack(0xFF000000u | reinterpret_cast<const QRgb *>(line)[x]);
        default: // premultiplied already
            return unpack(reinterpret_cast<const QRgb *>(line)[x]);
        }
    }
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

// The channels of a run of 32-bit pixels (alpha forced to 255 by
// `opaque`), summed as integers in the 16-bit lanes of one register: a
// pixel costs one addition, however many make up the run.
Sum runSum(const QRgb *pixels, const Run &run, QRgb opaque)
{
    constexpr int laneCapacity = 65535 / 255;
    quint64 alpha = 0, red = 0, green = 0, blue = 0; // a run may be millions of pixels
    for (int at = run.first, end = run.first + run.count; at < end;) {
        const int pieceEnd = std::min(end, at + laneCapacity);
        quint64 lanes = 0;
        for (; at < pieceEnd; ++at) {
            const QRgb p = pixels[at] | opaque;
            lanes += quint64(p & 0x00FF00FF) | quint64(p & 0xFF00FF00) << 24;
        }
        blue += lanes & 0xFFFF;
        red += (lanes >> 16) & 0xFFFF;
        green += (lanes >> 32) & 0xFFFF;
        alpha += (lanes >> 48) & 0xFFFF;
    }
    return {double(alpha), double(red), double(green), double(blue)};
}

uchar toByte(double v)
{
    return uchar(std::clamp(int(std::lround(v)), 0, 255));
}

// Narrows one source row at a time to the target's columns, reading the
// image in its own format, so that a possibly huge image is never converted
// whole. 32-bit pixels that are premultiplied as they stand (opaque ones,
// or premultiplied ones) are summed in runs of whole pixels as integers.
class RowNarrower
{
public:
    RowNarrower(const QImage &image, const AxisRuns &across)
        : m_image(image)
        , m_across(across)
        , m_wholePixels(image.format() == QImage::Format_RGB32
                        || image.format() == QImage::Format_ARGB32_Premultiplied)
    {
        if (m_wholePixels)
            m_opaque = image.format() == QImage::Format_RGB32 ? 0xFF000000u : 0u;
        else
            m_reader.emplace(image);
    }

    void narrow(int y, std::vector<Pixel> &out)
    {
        out.resize(m_across.size());
        if (m_wholePixels) {
            const QRgb *line = reinterpret_cast<const QRgb *>(m_image.constScanLine(y));
            for (size_t x = 0; x < m_across.size(); ++x) {
                Sum sum{};
                for (const Run &run : m_across[x]) {
                    const Sum part = runSum(line, run, m_opaque);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += part[c] * run.weight;
                }
                out[x] = narrowed(sum);
            }
            return;
        }
        const uchar *line = m_reader->line(y);
        for (size_t x = 0; x < m_across.size(); ++x) {
            Sum sum{};
            for (const Run &run : m_across[x])
                m_reader->addRun(line, run, sum);
            out[x] = narrowed(sum);
        }
    }

private:
    static Pixel narrowed(const Sum &sum)
    {
        return {float(sum[0]), float(sum[1]), float(sum[2]), float(sum[3])};
    }

    const QImage &m_image;
    const AxisRuns &m_across;
    bool m_wholePixels;
    QRgb m_opaque = 0;
    std::optional<PixelReader> m_reader;
};

// The last two narrowed rows: neighbouring target rows share the source row
// between them, so each source row is narrowed once, and no more than two
// are ever kept, however tall the image.
class NarrowedRows
{
public:
    explicit NarrowedRows(RowNarrower &narrower)
        : m_narrower(narrower)
    {
    }
    const std::vector<Pixel> &row(int y)
    {
        for (Slot &slot : m_slots)
            if (slot.y == y)
                return slot.pixels;
        Slot &oldest = m_slots[m_next];
        m_next = 1 - m_next;
        m_narrower.narrow(y, oldest.pixels);
        oldest.y = y;
        return oldest.pixels;
    }

private:
    struct Slot
    {
        int y = -1;
        std::vector<Pixel> pixels;
    };
    RowNarrower &m_narrower;
    std::array<Slot, 2> m_slots;
    int m_next = 0;
};

// The source at 1:1, when its pixels are premultiplied as they stand: each
// pixel is itself, as the sums would give it, a channel above its alpha
// (which a premultiplied pixel cannot have) cut to it as they cut it. A
// drawing made at exactly a size of a run is copied, not summed.
std::optional<QImage> copiedOneToOne(const QImage &source, QSize size, QSizeF extent)
{
    const bool oneToOne = size == source.size() && extent == QSizeF(source.size());
    const QImage::Format format = source.format();
    if (!oneToOne || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied))
        return std::nullopt;
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    if (target.isNull())
        return target;
    for (int y = 0; y < size.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        QRgb *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            if (format == QImage::Format_RGB32) {
                out[x] = in[x] | 0xFF000000u;
                continue;
            }
            const int a = qAlpha(in[x]);
            out[x] = qRgba(std::min(qRed(in[x]), a), std::min(qGreen(in[x]), a), std::min(qBlue(in[x]), a), a);
        }
    }
    return target;
}

} // namespace

QImage resamplableImage(QImage image)
{
    if (image.isNull() || isReadAsItStands(image.format()))
        return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage resampleImage(const QImage &source, QSize size, QSizeF extent)
{
    if (!extent.isValid())
        extent = QSizeF(source.size());
    if (std::optional<QImage> copied = copiedOneToOne(source, size, extent))
        return *copied;
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    if (source.isNull() || target.isNull())
        return target;

    const AxisRuns across = runsFor(source.width(), extent.width(), size.width());
    const AxisRuns down = runsFor(source.height(), extent.height(), size.height());
    // Rows are narrowed first, so the second pass only touches target
    // columns; each target row adds up its source rows as they come.
    RowNarrower narrower(source, across);
    NarrowedRows rows(narrower);
    std::vector<Sum> sum;
    for (int y = 0; y < size.height(); ++y) {
        sum.assign(size_t(size.width()), Sum{});
        for (const Run &run : down[size_t(y)])
            for (int at = run.first; at < run.first + run.count; ++at) {
                const std::vector<Pixel> &narrow = rows.row(at);
                for (size_t x = 0; x < sum.size(); ++x)
                    for (int c = 0; c < 4; ++c)
                        sum[x][c] += narrow[x][c] * run.weight;
            }
        QRgb *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const Sum &p = sum[size_t(x)];
            const uchar a = toByte(p[0]);
            out[x] = qRgba(std::min(toByte(p[1]), a), std::min(toByte(p[2]), a), std::min(toByte(p[3]), a), a);
        }
    }
    return target;
}
