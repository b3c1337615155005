#pragma once

#include "failure.h"
#include "svgexpansion.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QXmlStreamAttributes>
#include <QXmlStreamReader>

#include <optional>

// An SVG document's elements as they are walked, what it refers to and
// embeds, and its start tags, checked before any renderer sees it
// (svgdocument.h).

// A document refused, in the words every refusal of one shares.
Failure unusableSvg(const QString &why);
Failure refersElsewhere(QStringView address);

// Whether the raw text of the document has a start tag of too many
// attributes or an attribute too long, told in one pass over its bytes:
// comments, character data, declarations and processing instructions are
// passed over, and in a tag each "=" outside quotes starts an attribute.
std::optional<Failure> tagRefusal(const QByteArray &xml);

// What the document embeds and refers to, checked at every place a
// renderer may take an address from: every attribute of every element, in
// every namespace, and every style sheet.
class ResourceCheck
{
public:
    // Every attribute of an element.
    std::optional<Failure> element(QStringView name, const QXmlStreamAttributes &attributes);
    // A style sheet, whole (the text of a <style> element joined, as a
    // renderer joins it), or a style attribute.
    std::optional<Failure> styleSheet(QStringView css);

private:
    // One attribute: its style, the addresses in it, its href.
    std::optional<Failure> attribute(QStringView element, const QXmlStreamAttribute &attribute);
    // An address: a part of the document itself, or for a picture element
    // an embedded picture. A link (<a>) is never followed by drawing.
    std::optional<Failure> address(QStringView element, QStringView value);
    // data:[<media type>][;base64],<data>, as the renderer reads it: the
    // media type up to the first comma, the content after it. Only the head
    // of the content is decoded, to tell the picture's kind and size.
    std::optional<Failure> embeddedPicture(QStringView data);
    // The kind of picture the bytes begin, and its size (kept for the
    // count; one that cannot be told counts as too large).
    QByteArray formatOf(QByteArray bytes);

    qint64 m_pixels = 0;
    qint64 m_lastSize = 0;
};

// The elements of the document as they are walked: their depth and count,
// what they refer to and embed, the text of the <style> element being read,
// and what its <use> elements expand to.
class ElementWalk
{
public:
    std::optional<Failure> start(const QXmlStreamReader &reader);
    void characters(QStringView text);
    std::optional<Failure> end();
    qint64 drawn() { return m_expansion.drawn(); }
    // Whether the element of id "hotspot", which marks where a cursor made
    // of the drawing points, or an element around it, holds a number
    // farther than the renderer can measure: its measures of places wrap
    // round beyond 2^23 pixels, and a marker 16,777,226 pixels away would
    // seem to lie 10 pixels in.
    bool hotSpotBeyondReach() const { return m_hotSpotBeyondReach; }
    // How many elements draw offscreen and then over the whole region they
    // cover: filter steps (fe...), masks and patterns. Their cost grows with
    // every pixel drawn, where a shape's grows mostly with its outline.
    int offscreenSteps() const { return m_offscreenSteps; }

private:
    void noteReach(const QXmlStreamAttributes &attributes);

    ResourceCheck m_resources;
    Expansion m_expansion;
    int m_depth = 0;
    int m_elements = 0;
    int m_styleDepth = -1; // the depth of the <style> element being read
    int m_farDepth = -1;   // the depth of the outermost element moved beyond reach
    int m_offscreenSteps = 0;
    bool m_hotSpotBeyondReach = false;
    QString m_styleText;
};
