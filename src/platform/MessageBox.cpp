#include "platform/MessageBox.h"

#include "core/AppInfo.h"

#include <QAbstractButton>
#include <QCheckBox>

namespace tallyra {

namespace {
MessageBox::Handler &handlerSlot()
{
    static MessageBox::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget *parent, const QString &text, const QString &title,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton,
                                             QMessageBox::Icon icon,
                                             const QMap<QMessageBox::StandardButton, QString> &buttonTexts)
{
    const Request request{text, title.isEmpty() ? AppInfo::title() : title, buttons, defaultButton, icon, buttonTexts,
                          {}, nullptr};
    return show(parent, request);
}

QMessageBox::StandardButton MessageBox::showWithCheckBox(QWidget *parent, const QString &text, const QString &title,
                                                         QMessageBox::StandardButtons buttons,
                                                         QMessageBox::StandardButton defaultButton,
                                                         QMessageBox::Icon icon, const QString &checkBoxText,
                                                         bool *checked)
{
    if (checked)
        *checked = false;
    const Request request{text, title.isEmpty() ? AppInfo::title() : title, buttons, defaultButton, icon, {},
                          checkBoxText, checked};
    return show(parent, request);
}

QMessageBox::StandardButton MessageBox::show(QWidget *parent, const Request &request)
{
    if (const auto &handler = handlerSlot())
        return handler(request);

    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (!request.checkBoxText.isEmpty())
        box.setCheckBox(new QCheckBox(request.checkBoxText, &box));
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    for (auto it = request.buttonTexts.cbegin(); it != request.buttonTexts.cend(); ++it) {
        if (QAbstractButton *button = box.button(it.key()))
            button->setText(it.value());
    }
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    if (request.checked && box.checkBox())
        *request.checked = box.checkBox()->isChecked();
    return answer;
}

void MessageBox::critical(QWidget *parent, const QString &text, const QString &title)
{
    show(parent, text, title, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Critical);
}

void MessageBox::warning(QWidget *parent, const QString &text, const QString &title)
{
    show(parent, text, title, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
}

void MessageBox::information(QWidget *parent, const QString &text, const QString &title)
{
    show(parent, text, title, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Information);
}

bool MessageBox::askYesNo(QWidget *parent, const QString &text, const QString &title)
{
    return show(parent, text, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::Question)
           == QMessageBox::Yes;
}

bool MessageBox::askYesNoWarning(QWidget *parent, const QString &text, const QString &title)
{
    return show(parent, text, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::Warning)
           == QMessageBox::Yes;
}

bool MessageBox::askKeepWaiting(QWidget *parent, const QString &text, const QString &title)
{
    return show(parent, text, title, QMessageBox::Retry | QMessageBox::Abort, QMessageBox::Retry,
                QMessageBox::Warning,
                {{QMessageBox::Retry, QStringLiteral("繼續等待")}, {QMessageBox::Abort, QStringLiteral("停止")}})
           == QMessageBox::Retry;
}

void MessageBox::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

} // namespace tallyra
