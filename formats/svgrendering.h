#pragma once

#include "failure.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>

#include <chrono>
#include <optional>

// SVG drawings drawn by librsvg, the renderer desktops and image tools
// share, in a helper program of its own (tervana-svg-render): a drawing
// whose cost cannot be told in advance (dashes by the million, shapes used
// within shapes) gets a budget of time and memory, and the program that
// asked is never harmed by it. Pages of PDF documents are drawn alike, by
// poppler in a helper of their own (tervana-pdf-render), under the same
// budget.

// How much work (processor time) and memory one drawing may take, and
// how long on the clock however busy the machine is.
namespace SvgBudget {
constexpr int milliseconds = 1500;
constexpr int clockMilliseconds = 30'000;
constexpr int memoryMegabytes = 48;
}

// The processor time each drawing may take: SvgBudget::milliseconds unless
// the converter is told otherwise (--drawing-budget), once, for its whole
// run. It only refuses: what is drawn never depends on it.
void setDrawingBudget(std::chrono::milliseconds work);
std::chrono::milliseconds drawingBudget();

// The page of each PDF document that is read (--page), counted from 1: the
// first unless the converter is told otherwise, once, for its whole run.
void setDocumentPage(int page);
int documentPage();

// A drawing drawn once, at the size it is needed at: `image` holds the
// whole drawing, premultiplied, proportions kept; `naturalSize` is its own
// size in pixels. `note` says what librsvg reported it could not draw; the
// rest is drawn all the same.
struct SvgRendering
{
    QImage image;
    QSize naturalSize;
    // The centre of the element whose id is "hotspot", in the drawing's own
    // pixels, when it has one: where a cursor made of it points.
    std::optional<QPointF> hotSpot;
    QString note;
    std::optional<Failure> failure;
};

// How large a drawing is drawn: to fit a square of `side` pixels, or at its
// own size up to that. It is drawn at exactly that size or not at all.
struct SvgSize
{
    enum class Rule { Fit, AtMost };
    Rule rule = Rule::Fit;
    int side = 0;
};

// How fine a drawing is drawn for the largest size asked, `drawSize`
// (invalid when it is shown as it is); `costlyPerPixel` for one whose cost
// grows with every pixel drawn (svgrendering.cpp tells why).
SvgSize drawnSize(QSize drawSize, bool costlyPerPixel);

// Draws the checked document (svgdocument.h) within `memoryMegabytes`.
SvgRendering renderSvg(const QByteArray &xml, SvgSize size, int memoryMegabytes = SvgBudget::memoryMegabytes);

// Draws page `page` (from 1) of the PDF document `pdf`: its crop box, at
// 96 pixels an inch for its natural size. A document without that page
// fails with "it has no page N; it has M".
SvgRendering renderPdfPage(const QByteArray &pdf, SvgSize size, int page);
