#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace tallyra {

// Every message box of the application goes through here, so that tests can
// read what would be shown and give the answer instead of a person.
class MessageBox {
public:
    struct Request {
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMap<QMessageBox::StandardButton, QString> buttonTexts; // captions other than Qt's own
        QString checkBoxText; // a check box under the text, when not empty
        bool *checked = nullptr; // where its state goes (a test handler may tick it)
    };
    using Handler = std::function<QMessageBox::StandardButton(const Request &)>;

    // A box without a title carries the application title.
    static QMessageBox::StandardButton show(QWidget *parent, const QString &text, const QString &title,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton,
                                            QMessageBox::Icon icon,
                                            const QMap<QMessageBox::StandardButton, QString> &buttonTexts = {});

    // The same with a check box under the text; `checked` says whether it
    // was ticked when the box closed.
    static QMessageBox::StandardButton showWithCheckBox(QWidget *parent, const QString &text, const QString &title,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::StandardButton defaultButton,
                                                        QMessageBox::Icon icon, const QString &checkBoxText,
                                                        bool *checked);

    // The boxes the application shows: an OK button and an icon, or Yes/No
    // with Yes as the default. An empty title means the application title.
    static void critical(QWidget *parent, const QString &text, const QString &title);
    static void warning(QWidget *parent, const QString &text, const QString &title);
    static void information(QWidget *parent, const QString &text, const QString &title);
    static bool askYesNo(QWidget *parent, const QString &text, const QString &title); // true on Yes
    // Yes/No with a warning icon and No as the default: for going on with
    // something that looks wrong. True on Yes.
    static bool askYesNoWarning(QWidget *parent, const QString &text, const QString &title);
    // 繼續等待 (Retry, the default) or 停止 (Abort), with a warning icon: true to wait on.
    static bool askKeepWaiting(QWidget *parent, const QString &text, const QString &title);

    // Replaces the real dialog (tests); an empty handler restores it.
    static void setHandler(Handler handler);

private:
    static QMessageBox::StandardButton show(QWidget *parent, const Request &request);
};

} // namespace tallyra
