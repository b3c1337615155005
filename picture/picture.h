#pragma once

#include "failure.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <any>
#include <functional>
#include <memory>
#include <optional>

// A picture value, as a picture box holds it. The pixels may have been decoded
// at a reduced size (a big photo opened only to be shrunk); `size()` is still
// the picture's natural size in pixels, the size a box shows it at.
// `extent()` is how much of the pixels the picture covers: all of them, or,
// when the last reduced row and column stand for only part of a block of the
// original, a little less.
// A picture made of shapes (an SVG drawing, or a page of a PDF document)
// also keeps its document; its pixels are the drawing drawn once, fine
// enough for every size it is drawn at.
class Picture
{
public:
    Picture() = default;
    explicit Picture(QImage image, QSize naturalSize = QSize(), QSizeF extent = QSizeF());
    enum class DrawingKind { Svg, Pdf };
    static Picture drawing(QByteArray document, QImage drawn, QSize naturalSize, DrawingKind kind = DrawingKind::Svg);

    bool isNull() const { return m_image.isNull(); }
    QSize size() const { return m_size; }
    const QImage &image() const { return m_image; }
    QSizeF extent() const { return m_extent; }
    bool isDrawing() const { return !m_document.isEmpty(); }
    // The drawing's document, which reads as the drawing again.
    const QByteArray &document() const { return m_document; }
    // The document when it is an SVG drawing, which can be saved as one;
    // empty for a picture or a page of a PDF document.
    QByteArray svg() const { return m_isSvg ? m_document : QByteArray(); }
    // A cursor's hot spot, in the picture's pixels from its top-left corner:
    // the point it points with (a drawing's may lie between pixels).
    // Nothing for a picture that is no cursor and marks none.
    std::optional<QPointF> hotSpot() const { return m_hotSpot; }
    void setHotSpot(QPointF spot) { m_hotSpot = spot; }

    // What `make` makes of the picture (an image, its bytes ...), kept under
    // `key`, the maker's own numbering, so that every file of a run made of
    // the picture asks for it and it is made once. Copies of the picture
    // share what is kept; threads may ask at once (one makes, the others
    // wait). `make` must give the same value of type T for a key every time.
    template<typename T>
    T madeOnce(quint64 key, const std::function<T()> &make) const
    {
        return std::any_cast<T>(madeOnceAny(key, [&make] { return std::any(make()); }));
    }


private:
    std::any madeOnceAny(quint64 key, const std::function<std::any()> &make) const;

    QImage m_image;
    QSize m_size;
    QSizeF m_extent;
    QByteArray m_document;
    bool m_isSvg = false;
    std::optional<QPointF> m_hotSpot;
    struct MadeImages;
    std::shared_ptr<MadeImages> m_made;
};

// The outcome of reading a picture file: the picture, or why it cannot be
// read.
struct PictureLoad
{
    PictureLoad(Picture picture = Picture(), std::optional<Failure> failure = std::nullopt, QString note = QString())
        : picture(std::move(picture)), failure(std::move(failure)), note(std::move(note))
    {
    }

    Picture picture;
    std::optional<Failure> failure;
    // What of a readable picture could not be drawn (a drawing's part its
    // renderer does not know), said once; the picture is made all the same.
    QString note;
};

// How a picture that cannot be read is reported, in the window and by the
// converter alike: the file's native path and the reason.
QString cannotOpen(const QString &path, const Failure &failure);

// How much detail a picture read for a drawing of `drawSize` keeps, counted
// along each side of the part of the drawing the picture covers when it is
// fitted in, proportions kept.
enum class DrawDetail {
    // At least eight decoded pixels for each drawn pixel: the 32 x 32 square.
    Fine,
    // At least four (two for a JPEG, whose pixels at a reduced scale are
    // already means of 8 x 8 blocks): icons of up to 256 pixels, which then
    // cost little more to read than the 32 x 32 square.
    Light,
};
