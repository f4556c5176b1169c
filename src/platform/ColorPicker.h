#pragma once

#include <QColor>

#include <functional>

class QWidget;

namespace tallyra {

// The colour picker: starts from `initial`; cancelling returns `initial`.
class ColorPicker {
public:
    using Handler = std::function<QColor(const QColor &initial)>;

    static QColor pick(QWidget *parent, const QColor &initial);

    // Replaces the dialog (tests); an empty handler restores it.
    static void setHandler(Handler handler);
};

// Colour values are stored 0x00BBGGRR.
QColor colorFromValue(qint32 value);
qint32 valueFromColor(const QColor &color);

} // namespace tallyra
