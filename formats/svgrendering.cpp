#include "svgrendering.h"

#include "helperprogram.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<qint64> budgetMilliseconds{SvgBudget::milliseconds};
std::atomic<int> pageRead{1};

constexpr char svgRenderer[] = "tervana-svg-render";
constexpr char pdfRenderer[] = "tervana-pdf-render";
// What the renderer writes before the pixels: a few short lines.
constexpr qint64 headerBytes = 64 * 1024;

Failure cannotDraw(const QString &why)
{
    return {Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read (%1)").arg(why)};
}

// Why a run of `renderer` gave no drawing, in the user's words, when it
// had `memoryMegabytes` to draw in.
Failure failureOf(const HelperRun &run, const char *renderer, int memoryMegabytes)
{
    switch (run.ending) {
    case HelperRun::Ending::Missing:
        return {Failure::Kind::Unusable,
                QStringLiteral("the drawing renderer, %1, is missing from Tervana's installation").arg(QLatin1String(renderer))};
    case HelperRun::Ending::TimedOut:
        return {Failure::Kind::TooLarge, QStringLiteral("the drawing takes longer than %1 s to draw")
                                             .arg(double(drawingBudget().count()) / 1000.0)};
    case HelperRun::Ending::Crashed:
        // Said by the allocators of librsvg ("memory allocation of N bytes
        // failed") and of GLib ("failed to allocate N bytes"), and by the
        // pool of threads librsvg's filters start, whose threads' stacks a
        // drawing near the limit leaves no room for ("The global thread pool
        // has not been initialized"), and by C++'s ("std::bad_alloc"), which
        // poppler meets reading a long page tree.
        if (run.errors.contains("memory") || run.errors.contains("allocate") || run.errors.contains("thread pool")
            || run.errors.contains("bad_alloc"))
            return {Failure::Kind::TooLarge, QStringLiteral("the drawing needs more than %1 MB to draw").arg(memoryMegabytes)};
        return cannotDraw(QStringLiteral("the renderer stopped while drawing it"));
    case HelperRun::Ending::Finished:
        // It ends with 0 after a drawing or a refusal: any other status is
        // the renderer's own fault (a library missing, say), not the file's.
        if (run.exitCode != 0)
            return {Failure::Kind::Unusable, QStringLiteral("the drawing renderer, %1, cannot run (exit status %2)")
                                                 .arg(QLatin1String(renderer))
                                                 .arg(run.exitCode)};
        break;
    case HelperRun::Ending::TooMuchOutput:
        break;
    }
    return cannotDraw(QStringLiteral("the renderer gave no drawing"));
}

// One "word value" line of the renderer's header, and where the next
// begins; false at the end of the header or of the output.
bool nextLine(const QByteArray &output, qsizetype &at, QByteArray &word, QByteArray &value)
{
    const qsizetype end = output.indexOf('\n', at);
    if (end < 0 || end - at > headerBytes)
        return false;
    const QByteArray line = output.mid(at, end - at);
    at = end + 1;
    const qsizetype space = line.indexOf(' ');
    word = line.left(space);
    value = space < 0 ? QByteArray() : line.mid(space + 1);
    return true;
}

// Why the renderer refused, in the user's words: a document without the
// page asked is no fault of the file's.
Failure refusalOf(const QByteArray &value)
{
    if (value.contains("no size"))
        return cannotDraw(QStringLiteral("the drawing has no size"));
    if (value.startsWith("the document has no page "))
        return {Failure::Kind::Unusable, QStringLiteral("it ") + QString::fromUtf8(value.mid(int(qstrlen("the document ")))).left(100)};
    return cannotDraw(QString::fromUtf8(value).left(300));
}

// A point the renderer tells, or nothing when it is no number.
std::optional<QPointF> finitePoint(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return QPointF(x, y);
}

// The renderer's output read back: natural size, hot spot, note, pixels.
SvgRendering readRendering(const QByteArray &output, int largestSide)
{
    SvgRendering rendering;
    qsizetype at = 0;
    QByteArray word;
    QByteArray value;
    while (nextLine(output, at, word, value)) {
        const QList<QByteArray> numbers = value.split(' ');
        if (word == "refused") {
            rendering.failure = refusalOf(value);
            return rendering;
        }
        if (word == "natural" && numbers.size() == 2) {
            const double width = numbers[0].toDouble();
            const double height = numbers[1].toDouble();
            rendering.naturalSize = QSize(int(qBound(1.0, width + 0.5, 2e9)), int(qBound(1.0, height + 0.5, 2e9)));
        } else if (word == "hotspot" && numbers.size() == 2) {
            rendering.hotSpot = finitePoint(numbers[0].toDouble(), numbers[1].toDouble());
        } else if (word == "note") {
            rendering.note = QString::fromUtf8(value).left(300);
        } else if (word == "pixels" && numbers.size() == 2) {
            const int width = numbers[0].toInt();
            const int height = numbers[1].toInt();
            const qint64 bytes = qint64(width) * height * 4;
            if (width < 1 || height < 1 || width > largestSide || height > largestSide || output.size() - at != bytes)
                break;
            QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < height; ++y)
                std::memcpy(image.scanLine(y), output.constData() + at + qint64(y) * width * 4, size_t(width) * 4);
            rendering.image = std::move(image);
            if (!rendering.naturalSize.isValid())
                break;
            return rendering;
        }
    }
    rendering.image = QImage();
    rendering.failure = cannotDraw(QStringLiteral("the renderer gave no drawing"));
    return rendering;
}

} // namespace

void setDrawingBudget(std::chrono::milliseconds work)
{
    budgetMilliseconds = work.count();
}

std::chrono::milliseconds drawingBudget()
{
    return std::chrono::milliseconds(budgetMilliseconds.load());
}

void setDocumentPage(int page)
{
    pageRead = std::max(page, 1);
}

int documentPage()
{
    return pageRead.load();
}

namespace {

// A drawing (an SVG drawing, or a page of a PDF document) is drawn once, fine enough for every size drawn of it,
// and each size area-averaged from that, so that each pixel holds how much
// of it each shape covers. How fine is decided from the document and the
// largest size asked, before drawing, so that a command gives the same
// result however busy the machine:
// - sixteen times finer along each side than the largest size, up to 1024
//   pixels, never coarser than that size. Every size from 64 to 1024 is
//   drawn from the same 1024 pixels, so that a size made within a set is
//   the size made alone, byte for byte.
// - a drawing whose cost grows with every pixel drawn (costlyPerPixel) no
//   finer than the largest size, or 128 pixels where that is larger: it
//   costs what librsvg's own drawing at the largest size costs, and the
//   small sizes still get several drawn pixels for each of theirs.
// Shown as it is, a drawing is drawn at its own size, up to 1024.
constexpr int drawingFineness = 16;
constexpr int drawingFineSide = 1024;
constexpr int costlyFineSide = 128;

int drawnSide(int longer, bool costlyPerPixel)
{
    const int finer = drawingFineness * longer;
    if (costlyPerPixel)
        return std::max(longer, std::min(finer, costlyFineSide));
    return std::min(finer, std::max(drawingFineSide, longer));
}

} // namespace

SvgSize drawnSize(QSize drawSize, bool costlyPerPixel)
{
    const int longer = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
    if (longer <= 0)
        return {SvgSize::Rule::AtMost, drawingFineSide};
    return {SvgSize::Rule::Fit, drawnSide(longer, costlyPerPixel)};
}

namespace {

// The line a renderer's request starts with, before the document: the
// rule and side, then what else the renderer is told (a page).
QByteArray requestLine(SvgSize size, const QByteArray &more = QByteArray())
{
    const QByteArray rule = size.rule == SvgSize::Rule::Fit ? "fit " : "at-most ";
    return rule + QByteArray::number(size.side) + more + '\n';
}

// Whether the renderer's answer is a drawing, and one it drew whole or
// could not for reasons of the document's own.
bool isDrawn(const HelperRun &run)
{
    return run.ending == HelperRun::Ending::Finished && run.exitCode == 0 && !run.output.startsWith("refused ")
           && !run.output.contains("\nshort-of-memory\n");
}

// Asks the session for the drawing; one refused by a renderer that has
// drawn others is asked again of a fresh one, so that no drawing's result
// depends on those drawn before it.
HelperRun drawIn(HelperSession &session, const QByteArray &line, const QByteArray &document, int side)
{
    const HelperBudget budget{drawingBudget(), std::max(std::chrono::milliseconds(SvgBudget::clockMilliseconds),
                                                        20 * drawingBudget())};
    const qint64 outputLimit = headerBytes + qint64(side) * side * 4;
    const bool fresh = session.isFresh();
    HelperRun run = session.ask(line, document, budget, outputLimit);
    if (isDrawn(run) || fresh)
        return run;
    session.restart();
    return session.ask(line, document, budget, outputLimit);
}

QStringList rendererArguments(int memoryMegabytes)
{
    return {QStringLiteral("--serve"), QStringLiteral("--memory-mb"), QString::number(memoryMegabytes)};
}

// The drawing `renderer` makes of `document` as `line` asks, asked of
// `session`.
SvgRendering renderIn(HelperSession &session, const char *renderer, const QByteArray &line, const QByteArray &document,
                      int side, int memoryMegabytes)
{
    const HelperRun run = drawIn(session, line, document, side);
    if (run.ending != HelperRun::Ending::Finished || run.exitCode != 0) {
        SvgRendering failed;
        failed.failure = failureOf(run, renderer, memoryMegabytes);
        return failed;
    }
    return readRendering(run.output, side);
}

} // namespace

SvgRendering renderSvg(const QByteArray &xml, SvgSize size, int memoryMegabytes)
{
    // Each thread that draws keeps a renderer of its own, started once for
    // all the drawings it draws: starting one costs more than drawing a
    // small logo.
    thread_local HelperSession usual(svgRenderer, rendererArguments(SvgBudget::memoryMegabytes));
    HelperSession other(svgRenderer, rendererArguments(memoryMegabytes));
    HelperSession &session = memoryMegabytes == SvgBudget::memoryMegabytes ? usual : other;
    return renderIn(session, svgRenderer, requestLine(size), xml, size.side, memoryMegabytes);
}

SvgRendering renderPdfPage(const QByteArray &pdf, SvgSize size, int page)
{
    // The renderer holds the whole document while it draws the page: a
    // document of more than a few MB gets a renderer of its own with room
    // for the document beside the drawing's usual memory, so that a long
    // document is drawn within the same budget as a short one.
    constexpr qsizetype shortDocumentBytes = 4 * 1024 * 1024;
    const bool isShort = pdf.size() < shortDocumentBytes;
    const int memoryMegabytes = SvgBudget::memoryMegabytes + (isShort ? 0 : int(pdf.size() >> 20) + 1);
    thread_local HelperSession usual(pdfRenderer, rendererArguments(SvgBudget::memoryMegabytes));
    HelperSession other(pdfRenderer, rendererArguments(memoryMegabytes));
    HelperSession &session = isShort ? usual : other;
    return renderIn(session, pdfRenderer, requestLine(size, ' ' + QByteArray::number(page)), pdf, size.side,
                    memoryMegabytes);
}
