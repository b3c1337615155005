#include "picturebox.h"

#include "square.h"
#include "twips.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>


PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() = default;

void PictureBox::setBounds(int left, int top, int width, int height)
{
    placeInTwips(this, left, top, width, height);
}

int PictureBox::Width() const
{
    return twipsFromPixels(width());
}

int PictureBox::Height() const
{
    return twipsFromPixels(height());
}

void PictureBox::setBorder(bool on)
{
    m_border = on;
    m_drawing.reset();
    update();
}

QSize PictureBox::clientSize() const
{
    const int b = 2 * borderPixels();
    return QSize(qMax(0, width() - b), qMax(0, height() - b));
}

float PictureBox::ScaleWidth() const
{
    const int w = clientSize().width();
    return float(m_scaleMode == ScaleModeKind::Twips ? twipsFromPixels(w) : w);
}

float PictureBox::ScaleHeight() const
{
    const int h = clientSize().height();
    return float(m_scaleMode == ScaleModeKind::Twips ? twipsFromPixels(h) : h);
}

void PictureBox::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on && !m_picture.isNull())
        resize(m_picture.size() + QSize(2 * borderPixels(), 2 * borderPixels()));
}

void PictureBox::setBackColor(Colour colour)
{
    m_backColor = colour;
    m_drawing.reset();
    update();
}

void PictureBox::setPicture(const ::Picture &picture)
{
    m_picture = picture;
    m_drawing.reset();
    if (m_autoSize && !picture.isNull())
        resize(picture.size() + QSize(2 * borderPixels(), 2 * borderPixels()));
    update();
}

::Picture PictureBox::Image() const
{
    return ::Picture(m_drawing ? *m_drawing : composedBase());
}

void PictureBox::Cls()
{
    m_drawing.reset();
    update();
}

void PictureBox::PaintPicture(const ::Picture &picture, double x, double y, double width, double height)
{
    paintScaled(drawing(), picture, toPixels(x), toPixels(y), toPixels(width), toPixels(height));
    update();
}

Colour PictureBox::Point(int x, int y) const
{
    if (!QRect(QPoint(0, 0), clientSize()).contains(x, y))
        return Colours::invalid;
    return colourFromQRgb(drawing().pixel(x, y));
}

void PictureBox::PSet(int x, int y, Colour colour)
{
    if (!QRect(QPoint(0, 0), clientSize()).contains(x, y))
        return;
    drawing().setPixel(x, y, resolveColour(colour, palette()).rgb());
    update();
}

QSize PictureBox::sizeHint() const
{
    return size();
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    // Keep what was drawn where it was; new area shows background and picture.
    if (m_drawing && m_drawing->size() != clientSize()) {
        QImage resized = composedBase();
        QPainter(&resized).drawImage(0, 0, *m_drawing);
        m_drawing = resized;
    }
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int b = borderPixels();
    painter.drawImage(b, b, m_drawing ? *m_drawing : composedBase());
    if (m_border) {
        // The sunken 3D edge: a shadowed outer line and a dark inner one on
        // the top and left, light lines on the bottom and right.
        const QRect r = rect();
        const QPalette &pal = palette();
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(pal.color(QPalette::Shadow));
        painter.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        painter.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
        painter.setPen(pal.color(QPalette::Light));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.setPen(pal.color(QPalette::Midlight));
        painter.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        painter.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    }
}

QRgb PictureBox::backgroundRgb() const
{
    return resolveColour(m_backColor, palette()).rgb();
}

// The kept image as it stands with no run-time drawing: the background colour
// and, over it, the picture at its natural size from the top-left corner.
QImage PictureBox::composedBase() const
{
    QImage base(clientSize(), QImage::Format_RGB32);
    base.fill(backgroundRgb());
    if (!m_picture.isNull() && !base.isNull()) {
        QPainter painter(&base);
        if (m_picture.image().size() == m_picture.size()) {
            painter.drawImage(0, 0, m_picture.image());
        } else {
            // Reduced-size pixels are only drawn where the box can show them.
            const QRect shown = QRect(QPoint(0, 0), m_picture.size()).intersected(base.rect());
            const double sx = m_picture.extent().width() / m_picture.size().width();
            const double sy = m_picture.extent().height() / m_picture.size().height();
            const QRectF source(shown.x() * sx, shown.y() * sy, shown.width() * sx, shown.height() * sy);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(shown), m_picture.image(), source);
        }
    }
    return base;
}

QImage &PictureBox::drawing() const
{
    if (!m_drawing)
        m_drawing = composedBase();
    return *m_drawing;
}

double PictureBox::toPixels(double value) const
{
    return m_scaleMode == ScaleModeKind::Twips ? value / twipsPerPixel : value;
}
