#pragma once

#include "colour.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>

// The plain controls of the window, placed in twips and painted in their own
// background colour (0x00BBGGRR or a system colour).

// A frame with no title and the single 3D border; it holds other controls,
// and clips those that lie outside it.
class Frame : public QFrame
{
    Q_OBJECT

public:
    explicit Frame(QWidget *parent = nullptr);
    void setBounds(int left, int top, int width, int height);
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour colour);

private:
    Colour m_backColor = Colours::buttonFace;
};

// A left-aligned label that keeps its size whatever its text.
class Label : public QLabel
{
    Q_OBJECT

public:
    explicit Label(QWidget *parent = nullptr);
    void setBounds(int left, int top, int width, int height);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour colour);

private:
    Colour m_backColor = Colours::buttonFace;
};

// A push button showing its picture centred above its caption.
class CommandButton : public QToolButton
{
    Q_OBJECT

public:
    explicit CommandButton(QWidget *parent = nullptr);
    void setBounds(int left, int top, int width, int height);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption);
    void setPicture(const QIcon &picture, QSize size);
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour colour);

private:
    Colour m_backColor = Colours::buttonFace;
};

// Paints `widget`'s own background in `colour`.
void applyBackColor(QWidget *widget, Colour colour);
