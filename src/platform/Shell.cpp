#include "platform/Shell.h"

#include <QDesktopServices>

namespace tallyra {

namespace {
Shell::Handler &handlerSlot()
{
    static Shell::Handler handler;
    return handler;
}
} // namespace

void Shell::open(const QUrl &url)
{
    if (const auto &handler = handlerSlot()) {
        handler(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

void Shell::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

} // namespace tallyra
