#include "platform/MessageBox.h"

#include "app/AppInfo.h"

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
                                             QMessageBox::Icon icon)
{
    const Request request{text, title.isEmpty() ? AppInfo::title() : title, buttons, defaultButton, icon};
    if (const auto &handler = handlerSlot())
        return handler(request);

    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
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

void MessageBox::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

} // namespace tallyra
