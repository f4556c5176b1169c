#include "platform/ColorPicker.h"

#include <QColorDialog>

namespace tallyra {

namespace {
ColorPicker::Handler &handlerSlot()
{
    static ColorPicker::Handler handler;
    return handler;
}
} // namespace

QColor ColorPicker::pick(QWidget *parent, const QColor &initial)
{
    if (const auto &handler = handlerSlot())
        return handler(initial);
    QColorDialog dialog(initial, parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("色彩"));
    if (dialog.exec() != QDialog::Accepted)
        return initial;
    return dialog.selectedColor();
}

void ColorPicker::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

QColor colorFromValue(qint32 value)
{
    const auto v = static_cast<quint32>(value);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

qint32 valueFromColor(const QColor &color)
{
    return static_cast<qint32>(quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16));
}

} // namespace tallyra
