#include "app/AppIcon.h"
#include "app/AppInfo.h"
#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(tallyra::AppInfo::title());
    QApplication::setApplicationVersion(tallyra::AppInfo::version());
    QApplication::setWindowIcon(tallyra::AppIcon::icon());
    // The main window ends the run itself; gradebook windows must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    tallyra::MainWindow window;
    window.show();
    return QApplication::exec();
}
