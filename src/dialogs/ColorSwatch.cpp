#include "dialogs/ColorSwatch.h"

#include "platform/ColorPicker.h"

#include <QMouseEvent>

namespace tallyra {

ColorSwatch::ColorSwatch(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setColour(0);
}

void ColorSwatch::setColour(qint32 colour)
{
    m_colour = colour;
    QPalette p = palette();
    const QColor background = colorFromValue(colour);
    p.setColor(QPalette::Window, background);
    // Keep the caption readable on dark colours.
    p.setColor(QPalette::WindowText, background.lightness() < 110 ? Qt::white : Qt::black);
    setPalette(p);
}

void ColorSwatch::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

} // namespace tallyra
