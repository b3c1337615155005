// tervana-svg-render: draws one SVG drawing with librsvg, in a process of its
// own. The program that runs it bounds its time and memory, and a drawing
// that would take too long, crash or eat memory harms nothing else.
//
//   tervana-svg-render --fit N | --at-most N [--memory-mb M] [--cpu-seconds S]
//   tervana-svg-render --serve [--memory-mb M]
//
// Standard input holds the SVG document (uncompressed, already checked by
// the caller). librsvg is given no base file, so it reads nothing but the
// document: it refuses every address that is not a data: address.
// --fit N draws the whole view box scaled to fit an N x N square, its
// proportions kept; --at-most N draws it at its own size, shrunk to fit N x
// N when it is larger. It is drawn at that size or refused: never at
// another size for want of memory, so that what is drawn depends on the
// document and the size asked alone.
//
// With --serve it draws one drawing after another, each asked for on
// standard input as its length in decimal digits, a line feed, and then
// that many bytes: a line "fit N" or "at-most N", then the document. Each
// answer is framed alike. It ends when its input does, or after a minute
// with nothing asked: its caller starts another when it needs one.
//
// Standard output (an answer), lines of text and then the pixels:
//   natural W H        the drawing's own size in pixels (decimals)
//   hotspot X Y        the centre of the element whose id is "hotspot",
//                      when there is one: where a cursor made of the
//                      drawing points, in the same pixels
//   note TEXT          what librsvg said it could not draw (at most one)
//   short-of-memory    when that was for want of memory
//   pixels W H         then W x H x 4 bytes: premultiplied ARGB in the
//                      machine's byte order, row after row, top first
// or "refused TEXT" alone when the document cannot be drawn. The exit
// status is 0 after either.

#include "drawingserver.h"

#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using drawingserver::Answer;
using drawingserver::oneLine;
using drawingserver::refuse;

// The caller checks that a document is no longer than this.
constexpr size_t maximumDocumentBytes = 8 * 1024 * 1024;
constexpr int largestSide = 8192;

struct Request
{
    bool serve = false;
    bool fit = true;
    int side = 0;
    long memoryMegabytes = 0;
    long cpuSeconds = 0;
};

bool readRequest(int argc, char *argv[], Request &request)
{
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--serve") {
            request.serve = true;
            --i;
            continue;
        }
        if (i + 1 == argc)
            return false;
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (option == "--fit" || option == "--at-most") {
            request.fit = option == "--fit";
            request.side = int(std::clamp(value, 0L, long(largestSide)));
        } else if (option == "--memory-mb") {
            request.memoryMegabytes = value;
        } else if (option == "--cpu-seconds") {
            request.cpuSeconds = value;
        } else {
            return false;
        }
    }
    return request.serve || request.side > 0;
}

std::vector<char> readDocument()
{
    std::vector<char> document;
    char piece[64 * 1024];
    size_t read = 0;
    while ((read = std::fread(piece, 1, sizeof piece, stdin)) > 0 && document.size() <= maximumDocumentBytes)
        document.insert(document.end(), piece, piece + read);
    return document;
}

// One line of the answer, as printf would write it.
template<typename... Values>
void addLine(std::string &lines, const char *format, Values... values)
{
    char line[1024];
    std::snprintf(line, sizeof line, format, values...);
    lines += line;
}

// The drawing's own size: its width and height in pixels, or where those
// are relative (a percentage, or none given), its view box.
bool naturalSizeOf(RsvgHandle *handle, double &width, double &height)
{
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height))
        return width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height);
    gboolean hasViewBox = FALSE;
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
    width = viewBox.width;
    height = viewBox.height;
    return hasViewBox && width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height);
}

// The centre of the element whose id is "hotspot", in the drawing's own
// pixels: the point a cursor made of it points with. Its geometry counts
// without stroke, so an unpainted marker (fill="none") serves; one of no
// size at all (a circle of radius 0) has no geometry, and marks nothing.
// One outside the drawing is told as it is: the cursor takes it at the
// drawing's edge, as it takes any hot spot beyond its picture.
bool hotSpotOf(RsvgHandle *handle, double width, double height, double &x, double &y)
{
    const RsvgRectangle viewport{0, 0, width, height};
    RsvgRectangle ink{};
    RsvgRectangle logical{};
    GError *error = nullptr;
    if (!rsvg_handle_get_geometry_for_layer(handle, "#hotspot", &viewport, &ink, &logical, &error)) {
        g_clear_error(&error);
        return false;
    }
    if (logical.width <= 0 && logical.height <= 0)
        return false;
    x = logical.x + logical.width / 2;
    y = logical.y + logical.height / 2;
    return std::isfinite(x) && std::isfinite(y);
}

// A drawing drawn: its pixels (none when there was not memory for them),
// what librsvg said it could not draw, and whether that was for want of
// memory.
struct Drawing
{
    cairo_surface_t *surface = nullptr;
    int width = 0;
    int height = 0;
    std::string note;
    bool lacksMemory = false;
};

Drawing draw(RsvgHandle *handle, const Request &request, double width, double height)
{
    Drawing drawing;
    drawingserver::drawnSize(request.fit, request.side, width, height, drawing.width, drawing.height);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, drawing.width, drawing.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        drawing.lacksMemory = true;
        return drawing;
    }
    cairo_t *cairo = cairo_create(surface);
    // The view box is stretched over exactly the pixels drawn: each axis
    // scaled on its own, so that no band is left where rounding made the
    // proportions differ by a fraction of a pixel.
    cairo_scale(cairo, drawing.width / width, drawing.height / height);
    const RsvgRectangle viewport{0, 0, width, height};
    GError *error = nullptr;
    if (!rsvg_handle_render_document(handle, cairo, &viewport, &error)) {
        drawing.note = error ? error->message : "part of it cannot be drawn";
        drawing.lacksMemory = drawing.note.find("NoMemory") != std::string::npos
                              || cairo_status(cairo) == CAIRO_STATUS_NO_MEMORY;
        g_clear_error(&error);
    }
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    drawing.surface = surface;
    return drawing;
}

// The answer for a drawing: the natural size, the hot spot, what could
// not be drawn, the drawn size, then the pixels.
void setDrawing(Answer &answer, RsvgHandle *handle, Drawing &drawing, double width, double height)
{
    addLine(answer.lines, "natural %.17g %.17g\n", width, height);
    double x = 0;
    double y = 0;
    if (hotSpotOf(handle, width, height, x, y))
        addLine(answer.lines, "hotspot %.17g %.17g\n", x, y);
    if (!drawing.note.empty())
        answer.lines += "note " + oneLine(drawing.note.c_str()) + "\n";
    // Drawn in part for want of memory, which a renderer that has drawn
    // others may have less of than a fresh one: its caller asks a fresh one.
    if (drawing.lacksMemory)
        answer.lines += "short-of-memory\n";
    addLine(answer.lines, "pixels %d %d\n", drawing.width, drawing.height);
    answer.surface = drawing.surface;
    drawing.surface = nullptr;
    answer.width = drawing.width;
    answer.height = drawing.height;
}

// Draws the document as the request asks.
void answerTo(Answer &answer, const Request &request, const std::vector<char> &document)
{
    if (document.size() > maximumDocumentBytes)
        return refuse(answer, "the drawing is too long");
    GError *error = nullptr;
    RsvgHandle *handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8 *>(document.data()),
                                                   document.size(), &error);
    if (!handle) {
        refuse(answer, error ? error->message : "the drawing cannot be read");
        g_clear_error(&error);
        return;
    }
    // Lengths in physical units (mm, pt ...) are taken at the screen's usual
    // 96 pixels an inch, as other converters take them.
    rsvg_handle_set_dpi(handle, 96.0);
    double width = 0;
    double height = 0;
    if (!naturalSizeOf(handle, width, height)) {
        refuse(answer, "the drawing has no size");
    } else {
        Drawing drawing = draw(handle, request, width, height);
        if (!drawing.surface)
            refuse(answer, "there is not memory enough to draw it");
        else
            setDrawing(answer, handle, drawing, width, height);
        cairo_surface_destroy(drawing.surface);
    }
    g_object_unref(handle);
}

// Reads "fit N" or "at-most N" and the document that follows the line.
bool readDrawingRequest(const std::string &bytes, Request &request, std::vector<char> &document)
{
    const size_t end = bytes.find('\n');
    if (end == std::string::npos)
        return false;
    const std::string line = bytes.substr(0, end);
    const size_t space = line.find(' ');
    const std::string rule = line.substr(0, space);
    if (space == std::string::npos || (rule != "fit" && rule != "at-most"))
        return false;
    request.fit = rule == "fit";
    request.side = int(std::clamp(std::strtol(line.c_str() + space + 1, nullptr, 10), 0L, long(largestSide)));
    document.assign(bytes.begin() + long(end) + 1, bytes.end());
    return request.side > 0;
}

// Answers one request after another, until the input ends or stays idle.
int serve(Request request)
{
    std::string bytes;
    std::vector<char> document;
    while (drawingserver::nextRequest(bytes, 60, maximumDocumentBytes + 64)) {
        if (!readDrawingRequest(bytes, request, document))
            return 2;
        Answer answer;
        answerTo(answer, request, document);
        if (!drawingserver::writeAnswer(answer, true))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Request request;
    if (!readRequest(argc, argv, request)) {
        std::fprintf(stderr, "usage: tervana-svg-render --fit N | --at-most N [--memory-mb M] [--cpu-seconds S]\n"
                             "       tervana-svg-render --serve [--memory-mb M]\n");
        return 2;
    }
    drawingserver::limitThisProcess(request.memoryMegabytes, request.cpuSeconds);
    // librsvg's filters share their work among a pool of threads, one a
    // core, which wait for work by spinning: on a busy machine they spend
    // processor time for nothing, and a drawing's cost, which its budget
    // counts, would depend on what else runs. One thread does the same work.
    setenv("RAYON_NUM_THREADS", "1", 1);
    drawingserver::prepareToServe();
    if (request.serve)
        return serve(request);
    Answer answer;
    answerTo(answer, request, readDocument());
    return drawingserver::writeAnswer(answer, false) ? 0 : 1;
}
