#include "controls.h"

#include "twips.h"

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
    : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setLineWidth(1);
    setMidLineWidth(0);
    applyBackColor(this, m_backColor);
}

void Frame::setBounds(int left, int top, int width, int height)
{
    placeInTwips(this, left, top, width, height);
}

void Frame::setBackColor(Colour colour)
{
    m_backColor = colour;
    applyBackColor(this, colour);
}

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    applyBackColor(this, m_backColor);
}

void Label::setBounds(int left, int top, int width, int height)
{
    placeInTwips(this, left, top, width, height);
}

void Label::setBackColor(Colour colour)
{
    m_backColor = colour;
    applyBackColor(this, colour);
}

CommandButton::CommandButton(QWidget *parent)
    : QToolButton(parent)
{
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::StrongFocus);
    applyBackColor(this, m_backColor);
}

void CommandButton::setBounds(int left, int top, int width, int height)
{
    placeInTwips(this, left, top, width, height);
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

void CommandButton::setBackColor(Colour colour)
{
    m_backColor = colour;
    applyBackColor(this, colour);
}
