#include "platform/FileDialog.h"

#include <QFileDialog>

namespace tallyra {

namespace {
FileDialog::Handler &handlerSlot()
{
    static FileDialog::Handler handler;
    return handler;
}
} // namespace

QString FileDialog::openFile(QWidget *parent, const Request &request)
{
    if (const auto &handler = handlerSlot())
        return handler(request);
    QFileDialog dialog(parent, request.caption, request.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void FileDialog::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

} // namespace tallyra
