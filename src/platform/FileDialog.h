#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tallyra {

// The file-open dialog (Qt's own, so it behaves the same everywhere).
class FileDialog {
public:
    struct Request {
        QString caption;
        QString folder;
        QStringList filters;
    };
    using Handler = std::function<QString(const Request &)>;

    // The chosen existing file, or an empty text when cancelled.
    static QString openFile(QWidget *parent, const Request &request);

    // Replaces the dialog (tests); an empty handler restores it.
    static void setHandler(Handler handler);
};

} // namespace tallyra
