#include "controls.h"

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
