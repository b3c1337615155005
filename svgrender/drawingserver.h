#pragma once

// What the drawing helpers (tervana-svg-render, tervana-pdf-render) share:
// the limits they run under, and the framed requests and answers of
// --serve. A request is its length in decimal digits, a line feed, then
// that many bytes; an answer is framed alike and holds lines of text, then
// for a drawing its pixels (premultiplied ARGB32, row after row).

#include <cairo.h>

#include <cstddef>
#include <string>

namespace drawingserver {

// Limits this process to `memoryMegabytes` of data (none when 0) and
// `cpuSeconds` of processor time (none when 0), and ends it with its
// caller. Threads started later get 1 MB stacks, so that the memory limit
// leaves room for their work.
void limitThisProcess(long memoryMegabytes, long cpuSeconds);

// Makes standard output buffered in large pieces and keeps freed memory
// for the next drawing, for a helper that serves many.
void prepareToServe();

// The next framed request's bytes, once one is asked within `idleSeconds`;
// false at the end of the input, after that long with nothing, or for a
// request that is not framed or longer than `largestRequest`.
bool nextRequest(std::string &bytes, int idleSeconds, size_t largestRequest);

// One line of text with no line breaks in it, at most 900 characters.
std::string oneLine(const char *text);

// An answer: its lines, then, for a drawing, its pixels.
struct Answer
{
    std::string lines;
    cairo_surface_t *surface = nullptr;
    int width = 0;
    int height = 0;

    Answer() = default;
    Answer(const Answer &) = delete;
    Answer &operator=(const Answer &) = delete;
    ~Answer() { cairo_surface_destroy(surface); }
};

// The size a drawing of `width` x `height` is drawn at, in whole pixels,
// never less than one: fitted into `side` x `side`, its proportions kept,
// or with `fit` false shrunk to fit only when it is larger.
void drawnSize(bool fit, int side, double width, double height, int &drawnWidth, int &drawnHeight);

// Makes the answer a refusal: "refused WHY" alone.
void refuse(Answer &answer, const std::string &why);

// Writes the answer on standard output, framed by its length when it is
// one of several.
bool writeAnswer(const Answer &answer, bool framed);

} // namespace drawingserver
