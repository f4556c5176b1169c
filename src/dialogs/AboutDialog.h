#pragma once

#include <QDialog>

class QLabel;

namespace tallyra {

// "關於 Tallyra" (frmAbout): title, version, picture, description and the
// author's mail link.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

public slots:
    void cmdOK_Click();
    void Label2_Click(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
};

} // namespace tallyra
