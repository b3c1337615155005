// The window's mouse pointer: the hourglass while a command works.

#include "frmbmp2icon.h"

void frmBmp2Icon::setMousePointer(Pointer pointer)
{
    m_mousePointer = pointer;
    if (pointer == Pointer::Hourglass)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

frmBmp2Icon::HourglassPointer::HourglassPointer(frmBmp2Icon &window)
    : m_window(window)
    , m_before(window.MousePointer())
{
    m_window.setMousePointer(Pointer::Hourglass);
}

frmBmp2Icon::HourglassPointer::~HourglassPointer()
{
    m_window.setMousePointer(m_before);
}
