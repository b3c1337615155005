// tervana-pdf-render: draws one page of a PDF document (or an Illustrator
// file, which is one) with poppler, in a process of its own, one request
// after another. The program that runs it bounds each drawing's time and
// the process's memory, and a page that would take too long, crash or eat
// memory harms nothing else.
//
//   tervana-pdf-render --serve [--memory-mb M]
//
// Each request comes on standard input framed as tervana-svg-render's do
// (drawingserver.h): a line "fit N PAGE" or "at-most N PAGE", then the
// document's bytes. The document is opened from those bytes alone, never
// from a file, so nothing beside it is read; fonts it does not hold come
// from the system's. PAGE counts from 1. The page's crop box (what a
// viewer shows) is drawn fitted into an N x N square, proportions kept,
// or at its own size shrunk to fit with "at-most"; what the page leaves
// unpainted stays transparent. Each answer, framed alike:
//   natural W H        the crop box's size in pixels at 96 an inch
//   note TEXT          what poppler reported it could not draw
//   pixels W H         then W x H x 4 bytes: premultiplied ARGB, row
//                      after row, top first
// or "refused TEXT" alone: a document that cannot be read, one that needs
// a password, one without the page asked ("the document has no page N;
// it has M"), or one whose drawing waits on itself (then the renderer
// ends after its answer).

#include "drawingserver.h"

#include <poppler.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

using drawingserver::Answer;
using drawingserver::refuse;

constexpr size_t maximumDocumentBytes = 64 * 1024 * 1024;
constexpr int largestSide = 8192;
// PDF lengths are in points, 72 an inch; a picture's pixels are taken at
// the screen's usual 96 an inch, as SVG drawings' physical units are.
constexpr double pixelsPerPoint = 96.0 / 72.0;

struct Request
{
    bool fit = true;
    int side = 0;
    int page = 1;
};

// Whether a page is being drawn, until the drawing or the watch below
// claims its end.
std::atomic<bool> drawingNow{false};

// The processor time the thread of `clock` has spent.
double processorSeconds(clockid_t clock)
{
    timespec spent{};
    clock_gettime(clock, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

// poppler can wait on itself for ever (a Type 3 glyph that draws itself
// takes a lock it already holds), spending no processor time, so that the
// caller's budget of processor time never runs out. A drawing that spends
// none for three seconds (the drawing thread, `drawer`, counted alone) is
// waiting, not working: it is refused, and the renderer ends, its caller
// starting another for the next.
void watchForWaiting(clockid_t drawer)
{
    constexpr auto step = std::chrono::milliseconds(250);
    constexpr int stepsStill = 12;
    double before = processorSeconds(drawer);
    int still = 0;
    for (;;) {
        std::this_thread::sleep_for(step);
        const double now = processorSeconds(drawer);
        still = drawingNow && now - before < 1e-6 ? still + 1 : 0;
        before = now;
        if (still >= stepsStill && drawingNow.exchange(false)) {
            Answer answer;
            refuse(answer, "the page waits on itself and is never drawn");
            drawingserver::writeAnswer(answer, true);
            std::_Exit(0);
        }
    }
}

// Reads "fit N PAGE" or "at-most N PAGE"; the document follows the line.
bool readPageRequest(const std::string &bytes, Request &request, size_t &documentStart)
{
    const size_t end = bytes.find('\n');
    if (end == std::string::npos)
        return false;
    char rule[16] = {};
    long side = 0;
    long page = 0;
    if (std::sscanf(bytes.c_str(), "%15s %ld %ld", rule, &side, &page) != 3)
        return false;
    request.fit = std::string(rule) == "fit";
    if (!request.fit && std::string(rule) != "at-most")
        return false;
    request.side = int(std::clamp(side, 0L, long(largestSide)));
    request.page = int(std::clamp(page, 0L, 1L << 30));
    documentStart = end + 1;
    return request.side > 0 && request.page > 0;
}

// Draws the page (its crop box, as poppler_page_render places it, `width`
// x `height` points) over exactly the pixels drawn, on a surface that
// starts transparent.
void drawPage(Answer &answer, PopplerPage *page, const Request &request, double width, double height)
{
    int drawnWidth = 0;
    int drawnHeight = 0;
    drawingserver::drawnSize(request.fit, request.side, width * pixelsPerPoint, height * pixelsPerPoint, drawnWidth,
                             drawnHeight);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, drawnWidth, drawnHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return refuse(answer, "there is not memory enough to draw it");
    }
    cairo_t *cairo = cairo_create(surface);
    cairo_scale(cairo, drawnWidth / width, drawnHeight / height);
    drawingNow = true;
    poppler_page_render(page, cairo);
    // Ended by the watch, which answers: nothing more is said.
    while (!drawingNow.exchange(false))
        std::this_thread::sleep_for(std::chrono::seconds(1));
    const cairo_status_t status = cairo_status(cairo);
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    char line[128];
    std::snprintf(line, sizeof line, "natural %.17g %.17g\n", width * pixelsPerPoint, height * pixelsPerPoint);
    answer.lines = line;
    if (status != CAIRO_STATUS_SUCCESS)
        answer.lines += "note " + drawingserver::oneLine(cairo_status_to_string(status)) + "\n";
    std::snprintf(line, sizeof line, "pixels %d %d\n", drawnWidth, drawnHeight);
    answer.lines += line;
    answer.surface = surface;
    answer.width = drawnWidth;
    answer.height = drawnHeight;
}

// Opens the document from its bytes, with no password: one that needs
// one is refused. The bytes are used where they are, not copied: a copy
// would leave a document of half the memory limit no room to be drawn.
// `bytes` outlives the document, which is freed before the next request.
PopplerDocument *openDocument(Answer &answer, const std::string &bytes, size_t start)
{
    GBytes *data = g_bytes_new_static(bytes.data() + start, bytes.size() - start);
    GError *error = nullptr;
    PopplerDocument *document = poppler_document_new_from_bytes(data, nullptr, &error);
    g_bytes_unref(data);
    if (!document) {
        const bool locked = error && error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED;
        refuse(answer, locked ? "the document is locked with a password"
                              : std::string("the document cannot be read: ") + (error ? error->message : "no reason given"));
        g_clear_error(&error);
    }
    return document;
}

// Draws the page the request asks for, or says why not.
void answerTo(Answer &answer, const Request &request, const std::string &bytes, size_t start)
{
    PopplerDocument *document = openDocument(answer, bytes, start);
    if (!document)
        return;
    const int pages = poppler_document_get_n_pages(document);
    PopplerPage *page = request.page <= pages ? poppler_document_get_page(document, request.page - 1) : nullptr;
    if (!page && request.page <= pages) {
        // Counted, yet not found: a page tree that leads round, say.
        refuse(answer, "the document's page " + std::to_string(request.page) + " cannot be read");
    } else if (!page) {
        refuse(answer, "the document has no page " + std::to_string(request.page) + "; it has " + std::to_string(pages));
    } else {
        double width = 0;
        double height = 0;
        poppler_page_get_size(page, &width, &height);
        if (!(width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height)))
            refuse(answer, "the page has no size");
        else
            drawPage(answer, page, request, width, height);
        g_object_unref(page);
    }
    g_object_unref(document);
}

int serve()
{
    for (;;) {
        // A request's bytes are freed with it, not kept for the next.
        std::string bytes;
        if (!drawingserver::nextRequest(bytes, 60, maximumDocumentBytes + 64))
            return 0;
        Request request;
        size_t start = 0;
        if (!readPageRequest(bytes, request, start))
            return 2;
        Answer answer;
        answerTo(answer, request, bytes, start);
        if (!drawingserver::writeAnswer(answer, true))
            return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    long memoryMegabytes = 0;
    const bool serving = argc >= 2 && std::string(argv[1]) == "--serve";
    if (argc == 4 && std::string(argv[2]) == "--memory-mb")
        memoryMegabytes = std::strtol(argv[3], nullptr, 10);
    if (!serving || (argc != 2 && argc != 4) || (argc == 4 && memoryMegabytes <= 0)) {
        std::fprintf(stderr, "usage: tervana-pdf-render --serve [--memory-mb M]\n");
        return 2;
    }
    drawingserver::limitThisProcess(memoryMegabytes, 0);
    drawingserver::prepareToServe();
    clockid_t drawer{};
    if (pthread_getcpuclockid(pthread_self(), &drawer) == 0)
        std::thread(watchForWaiting, drawer).detach();
    return serve();
}
