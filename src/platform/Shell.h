#pragma once

#include <QUrl>

#include <functional>

namespace tallyra {

// Hands a web address or a file to the desktop (default browser, viewer,
// mail program) without waiting; the outcome is not reported.
class Shell {
public:
    using Handler = std::function<void(const QUrl &)>;

    static void open(const QUrl &url);

    // Replaces the desktop (tests); an empty handler restores it.
    static void setHandler(Handler handler);
};

} // namespace tallyra
