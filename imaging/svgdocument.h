#pragma once

#include "failure.h"

#include <QByteArray>
#include <QIODevice>
#include <QPainter>
#include <QRectF>
#include <QSize>

#include <optional>

// SVG drawings (and SVGZ, their gzip-compressed form), checked before any
// renderer sees them and drawn afresh at every size they are shown at.

// Whether the file holds an SVG drawing, told from its content: XML whose
// first element is <svg>, or gzip data that holds such XML. The device is
// left where it was.
bool looksLikeSvg(QIODevice &device);

// An SVG document that may be drawn: it refers to no other file and asks
// for nothing beyond a picture, and its size.
struct SvgDocument
{
    QByteArray xml;
    QSize size;
};

// Reads the SVG document from the device, uncompressed, and checks it.
// Refused: a document that declares entities, nests too deep, refers to
// another file or address (an SVG never reads anything but itself), holds
// an embedded picture too large, or has no size.
struct SvgRead
{
    SvgDocument document;
    std::optional<Failure> failure;
};
SvgRead readSvgDocument(QIODevice &device);

// Draws the document's whole view box stretched over `target`, anti-aliased.
void drawSvg(QPainter &painter, const QByteArray &xml, const QRectF &target);
