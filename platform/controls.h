#pragma once

#include "systemcolour.h"
#include "twips.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>

// Paints `widget`'s own background in `colour`.
void applyBackColor(QWidget *widget, Colour colour);

// What every plain control of the window has: a place given in twips and a
// background colour of its own (0x00BBGGRR or a system colour).
template<typename Widget>
class TwipsControl : public Widget
{
public:
    explicit TwipsControl(QWidget *parent = nullptr)
        : Widget(parent)
    {
        applyBackColor(this, m_backColor);
    }

    void setBounds(int left, int top, int width, int height) { placeInTwips(this, left, top, width, height); }
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour colour)
    {
        m_backColor = colour;
        applyBackColor(this, colour);
    }

private:
    Colour m_backColor = Colours::buttonFace;
};

// A frame with no title and the single 3D border; it holds other controls,
// and clips those that lie outside it.
class Frame : public TwipsControl<QFrame>
{
    Q_OBJECT

public:
    explicit Frame(QWidget *parent = nullptr);
};

// A left-aligned label that keeps its size whatever its text.
class Label : public TwipsControl<QLabel>
{
    Q_OBJECT

public:
    explicit Label(QWidget *parent = nullptr);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }
};

// A push button showing its picture centred above its caption, painted flat
// in exactly its own background colour whatever the style would draw: a
// raised edge, sunken while pressed (picture and caption move one pixel down
// and right), a dotted rectangle while it has the focus, and a greyed picture
// and engraved caption while it is disabled. With the focus, Space or Enter
// presses it, as a push button on Windows or in GTK programs.
class CommandButton : public TwipsControl<QToolButton>
{
    Q_OBJECT

public:
    // The focus rectangle lies this many pixels inside the button's edge.
    static constexpr int focusInset = 3;

    explicit CommandButton(QWidget *parent = nullptr);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption);
    void setPicture(const QIcon &picture, QSize size);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void paintEdge(QPainter &painter, bool pressed) const;
    void paintContent(QPainter &painter, QPoint shift) const;
};
