#include "app/AppIcon.h"
#include "app/AppInfo.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(tallyra::AppInfo::title());
    QApplication::setApplicationVersion(tallyra::AppInfo::version());
    QApplication::setWindowIcon(tallyra::AppIcon::icon());

    // Qt's own dialogs and buttons (file dialog, colour picker, 確定 / 是 / 否)
    // speak the application's language whatever the desktop's locale.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::Taiwan), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);
    // The main window ends the run itself; gradebook windows must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    tallyra::MainWindow window;
    window.show();
    return QApplication::exec();
}
