#include "controls.h"

#include <QKeyEvent>
#include <QPainter>

void applyBackColor(QWidget *widget, Colour colour)
{
    QPalette palette = widget->palette();
    const QColor resolved = resolveColour(colour, palette);
    palette.setColor(QPalette::Window, resolved);
    palette.setColor(QPalette::Button, resolved);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

Frame::Frame(QWidget *parent)
    : TwipsControl<QFrame>(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setLineWidth(1);
    setMidLineWidth(0);
}

Label::Label(QWidget *parent)
    : TwipsControl<QLabel>(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

CommandButton::CommandButton(QWidget *parent)
    : TwipsControl<QToolButton>(parent)
{
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::StrongFocus);
}

void CommandButton::setCaption(const QString &caption)
{
    setText(caption);
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
}

void CommandButton::setPicture(const QIcon &picture, QSize size)
{
    setIcon(picture);
    setIconSize(size);
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    // A tool button takes only Space; Enter on the focused button is a
    // click too, shown pressed for a moment as a click is.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier
        && !event->isAutoRepeat()) {
        animateClick();
        return;
    }
    TwipsControl<QToolButton>::keyPressEvent(event);
}

void CommandButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), resolveColour(BackColor(), palette()));
    const bool pressed = isDown() || isChecked();
    // The content first: a picture taller than the space inside the edge
    // must not hide the edge.
    paintContent(painter, pressed ? QPoint(1, 1) : QPoint(0, 0));
    paintEdge(painter, pressed);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(focusInset, focusInset, -focusInset - 1, -focusInset - 1));
    }
}

// Two lines on each side: light above and left, dark below and right when
// raised; the other way round, the shadow outside, when pressed.
void CommandButton::paintEdge(QPainter &painter, bool pressed) const
{
    const QPalette &pal = palette();
    const QColor outerLit = pressed ? pal.color(QPalette::Shadow) : pal.color(QPalette::Light);
    const QColor innerLit = pressed ? pal.color(QPalette::Dark) : pal.color(QPalette::Midlight);
    const QColor outerShaded = pressed ? pal.color(QPalette::Light) : pal.color(QPalette::Shadow);
    const QColor innerShaded = pressed ? pal.color(QPalette::Midlight) : pal.color(QPalette::Dark);
    const QRect r = rect();
    const auto lines = [&painter](QRect edge, const QColor &lit, const QColor &shaded) {
        painter.setPen(lit);
        painter.drawLine(edge.topLeft(), edge.topRight());
        painter.drawLine(edge.topLeft(), edge.bottomLeft());
        painter.setPen(shaded);
        painter.drawLine(edge.bottomLeft(), edge.bottomRight());
        painter.drawLine(edge.topRight(), edge.bottomRight());
    };
    lines(r, outerLit, outerShaded);
    lines(r.adjusted(1, 1, -1, -1), innerLit, innerShaded);
}

// The picture centred, the caption centred below it, the two together
// centred from top to bottom.
void CommandButton::paintContent(QPainter &painter, QPoint shift) const
{
    const QPixmap picture = icon().pixmap(iconSize(), devicePixelRatioF(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const QSize pictureSize = picture.isNull() ? QSize(0, 0) : picture.deviceIndependentSize().toSize();
    const QString caption = Caption();
    const int gap = 1;
    const int captionHeight = caption.isEmpty() ? 0 : fontMetrics().height();
    const int contentHeight = pictureSize.height() + (caption.isEmpty() ? 0 : gap + captionHeight);
    const int top = (height() - contentHeight) / 2 + shift.y();
    if (!picture.isNull())
        painter.drawPixmap((width() - pictureSize.width()) / 2 + shift.x(), top, picture);
    if (caption.isEmpty())
        return;
    const QRect captionRect(shift.x(), top + pictureSize.height() + gap, width(), captionHeight);
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop, caption);
        return;
    }
    // Engraved: a light copy one pixel down and right under a dark one.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(captionRect.translated(1, 1), Qt::AlignHCenter | Qt::AlignTop, caption);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop, caption);
}
