#pragma once

#include "systemcolour.h"
#include "picture.h"

#include <QImage>
#include <QWidget>

#include <optional>

// A drawing surface in the manner of a classic picture box: a background
// colour, an assigned picture drawn from the top-left corner, and run-time
// drawing on top of both. Everything drawn is kept in an image of the client
// area, so pixels read back exactly what was drawn or assigned, whether the
// box is ever on screen or not.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    enum class ScaleModeKind { Twips = 1, Pixels = 3 };

    explicit PictureBox(QWidget *parent = nullptr);
    ~PictureBox() override;

    // Outer geometry in twips, border included.
    void setBounds(int left, int top, int width, int height);
    int Width() const;
    int Height() const;

    bool hasBorder() const { return m_border; }
    void setBorder(bool on);
    int borderPixels() const { return m_border ? 2 : 0; }
    QSize clientSize() const;

    ScaleModeKind ScaleMode() const { return m_scaleMode; }
    void setScaleMode(ScaleModeKind mode) { m_scaleMode = mode; }
    float ScaleWidth() const;
    float ScaleHeight() const;

    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool on) { m_autoRedraw = on; }
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    Colour BackColor() const { return m_backColor; }
    // Setting the background colour clears the run-time drawing, as Cls does.
    void setBackColor(Colour colour);

    const ::Picture &Picture() const { return m_picture; }
    // Assigning a picture rebuilds the kept image from the background and the
    // new picture (earlier drawing is gone); with AutoSize on, the client area
    // takes the picture's size.
    void setPicture(const ::Picture &picture);
    // A snapshot of the kept image: background, picture and drawing.
    ::Picture Image() const;

    void Cls();
    // Draws the whole of `picture`, scaled, into the rectangle x, y, width,
    // height given in the box's own units. Edges are rounded to whole pixels,
    // so no row or column is half covered; pixels outside stay as they were.
    void PaintPicture(const ::Picture &picture, double x, double y, double width, double height);
    // The colour at pixel (x, y), or Colours::invalid outside the client area.
    Colour Point(int x, int y) const;
    void PSet(int x, int y, Colour colour);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRgb backgroundRgb() const;
    QImage composedBase() const;
    QImage &drawing() const;
    double toPixels(double value) const;

    ::Picture m_picture;
    // The kept image, made from background and picture when first drawn on or
    // read; until then nothing was drawn and it needs no memory.
    mutable std::optional<QImage> m_drawing;
    Colour m_backColor = Colours::buttonFace;
    ScaleModeKind m_scaleMode = ScaleModeKind::Twips;
    bool m_autoRedraw = false;
    bool m_autoSize = false;
    bool m_border = true;
};
