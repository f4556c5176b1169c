#pragma once

#include <QLabel>

namespace tallyra {

// A label that shows a colour value (0x00BBGGRR) as its background and
// reports clicks, for choosing a band colour.
class ColorSwatch : public QLabel {
    Q_OBJECT
public:
    ColorSwatch(const QString &text, QWidget *parent);

    qint32 colour() const { return m_colour; }
    void setColour(qint32 colour);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    qint32 m_colour = 0;
};

} // namespace tallyra
