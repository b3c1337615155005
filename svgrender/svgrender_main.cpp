// tervana-svg-render: draws one SVG drawing with librsvg, in a process of its
// own. The program that runs it bounds its time and memory, and a drawing
// that would take too long, crash or eat memory harms nothing else.
//
//   tervana-svg-render --fit N | --at-most N [--at-least L] [--memory-mb M]
//                      [--cpu-seconds S]
//
// Standard input holds the SVG document (uncompressed, already checked by
// the caller). librsvg is given no base file, so it reads nothing but the
// document: it refuses every address that is not a data: address.
// --fit N draws the whole view box scaled to fit an N x N square, its
// proportions kept; --at-most N draws it at its own size, shrunk to fit N x
// N when it is larger. When the memory it is given does not hold a drawing
// that large (a filter of many steps over all of it), it is drawn at half
// the size, and so on down to L pixels along its longer side.
//
// Standard output, lines of text and then the pixels:
//   natural W H        the drawing's own size in pixels (decimals)
//   hotspot X Y        the centre of the element whose id is "hotspot",
//                      when there is one: where a cursor made of the
//                      drawing points, in the same pixels
//   note TEXT          what librsvg said it could not draw (at most one)
//   pixels W H         then W x H x 4 bytes: premultiplied ARGB in the
//                      machine's byte order, row after row, top first
// or "refused TEXT" alone when the document cannot be drawn. The exit
// status is 0 after either.

#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef __linux__
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// The caller checks that a document is no longer than this.
constexpr size_t maximumDocumentBytes = 8 * 1024 * 1024;
constexpr int largestSide = 8192;

struct Request
{
    bool fit = true;
    int side = 0;
    int smallestSide = 1;
    long memoryMegabytes = 0;
    long cpuSeconds = 0;
};

bool readRequest(int argc, char *argv[], Request &request)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (option == "--fit" || option == "--at-most") {
            request.fit = option == "--fit";
            request.side = int(std::clamp(value, 0L, long(largestSide)));
        } else if (option == "--at-least") {
            request.smallestSide = int(std::clamp(value, 1L, long(largestSide)));
        } else if (option == "--memory-mb") {
            request.memoryMegabytes = value;
        } else if (option == "--cpu-seconds") {
            request.cpuSeconds = value;
        } else {
            return false;
        }
    }
    return request.side > 0;
}

// Limits the process to what the caller allows it, and ends it with the
// caller: a drawing nobody waits for is not drawn on.
void limitThisProcess(const Request &request)
{
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        std::_Exit(3);
    if (request.memoryMegabytes > 0) {
        // A thread's stack counts against the limit too: the threads pango
        // starts to sort fonts get 1 MB, not the 8 MB a thread gets by
        // default, which would leave a drawing with text too little.
        pthread_attr_t smallStacks;
        pthread_attr_init(&smallStacks);
        pthread_attr_setstacksize(&smallStacks, 1024 * 1024);
        pthread_setattr_default_np(&smallStacks);
        pthread_attr_destroy(&smallStacks);
        const rlim_t bytes = rlim_t(request.memoryMegabytes) * 1024 * 1024;
        const rlimit data{bytes, bytes};
        setrlimit(RLIMIT_DATA, &data);
    }
    if (request.cpuSeconds > 0) {
        const rlimit cpu{rlim_t(request.cpuSeconds), rlim_t(request.cpuSeconds)};
        setrlimit(RLIMIT_CPU, &cpu);
    }
#else
    (void)request;
#endif
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

// One line of text with no line breaks in it.
std::string oneLine(const char *text)
{
    std::string line = text ? text : "";
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line;
}

int refuse(const std::string &why)
{
    std::printf("refused %s\n", oneLine(why.c_str()).c_str());
    return 0;
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

// The size it is drawn at, in whole pixels, never less than one.
void drawnSize(const Request &request, double width, double height, int &drawnWidth, int &drawnHeight)
{
    double scale = request.side / std::max(width, height);
    if (!request.fit)
        scale = std::min(scale, 1.0);
    drawnWidth = int(std::clamp(std::lround(width * scale), 1L, long(request.side)));
    drawnHeight = int(std::clamp(std::lround(height * scale), 1L, long(request.side)));
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
    drawnSize(request, width, height, drawing.width, drawing.height);
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

bool writeAll(const void *data, size_t size)
{
    return std::fwrite(data, 1, size, stdout) == size;
}

// Draws at the size asked; where there is not memory enough, at half that,
// and half again, down to the smallest side the caller can use.
Drawing drawWithinMemory(RsvgHandle *handle, Request request, double width, double height)
{
    Drawing drawing = draw(handle, request, width, height);
    while (drawing.lacksMemory && std::max(drawing.width, drawing.height) / 2 >= request.smallestSide) {
        request.side = std::max(drawing.width, drawing.height) / 2;
        cairo_surface_destroy(drawing.surface);
        drawing = draw(handle, request, width, height);
    }
    return drawing;
}

// The answer on standard output: the natural size, the hot spot, what could
// not be drawn, the drawn size, then the pixels row by row.
int writeDrawing(RsvgHandle *handle, const Drawing &drawing, double width, double height)
{
    std::printf("natural %.17g %.17g\n", width, height);
    double x = 0;
    double y = 0;
    if (hotSpotOf(handle, width, height, x, y))
        std::printf("hotspot %.17g %.17g\n", x, y);
    if (!drawing.note.empty())
        std::printf("note %s\n", oneLine(drawing.note.c_str()).c_str());
    std::printf("pixels %d %d\n", drawing.width, drawing.height);
    const unsigned char *pixels = cairo_image_surface_get_data(drawing.surface);
    const int stride = cairo_image_surface_get_stride(drawing.surface);
    for (int y = 0; y < drawing.height; ++y)
        if (!writeAll(pixels + size_t(y) * size_t(stride), size_t(drawing.width) * 4))
            return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    Request request;
    if (!readRequest(argc, argv, request)) {
        std::fprintf(stderr, "usage: tervana-svg-render --fit N | --at-most N [--at-least L] [--memory-mb M] "
                             "[--cpu-seconds S]\n");
        return 2;
    }
    limitThisProcess(request);
    const std::vector<char> document = readDocument();
    if (document.size() > maximumDocumentBytes)
        return refuse("the drawing is too long");

    GError *error = nullptr;
    RsvgHandle *handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8 *>(document.data()),
                                                   document.size(), &error);
    if (!handle)
        return refuse(error ? error->message : "the drawing cannot be read");
    // Lengths in physical units (mm, pt ...) are taken at the screen's usual
    // 96 pixels an inch, as other converters take them.
    rsvg_handle_set_dpi(handle, 96.0);

    double width = 0;
    double height = 0;
    if (!naturalSizeOf(handle, width, height))
        return refuse("the drawing has no size");
    const Drawing drawing = drawWithinMemory(handle, request, width, height);
    if (!drawing.surface)
        return refuse("there is not memory enough to draw it");
    return writeDrawing(handle, drawing, width, height);
}
