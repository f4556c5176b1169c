#include "core/AppEnvironment.h"
#include "core/AppIcon.h"
#include "core/AppInfo.h"
#include "app/MainWindow.h"
#include "core/ServerFile.h"
#include "core/Settings.h"
#include "platform/MessageBox.h"
#include "platform/EndRequest.h"
#include "platform/calc/CalcSpreadsheet.h"

#include "BuildConfig.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

// Where this run keeps and finds its files; shown with
// QT_LOGGING_RULES="tallyra.files.info=true".
Q_LOGGING_CATEGORY(lcFiles, "tallyra.files", QtWarningMsg)

namespace {
void logFile(const char *what, const QString &path)
{
    qCInfo(lcFiles).noquote() << what << path << (QFileInfo::exists(path) ? "(found)" : "(missing)");
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(tallyra::AppInfo::title());
    QApplication::setApplicationVersion(tallyra::AppInfo::version());
    QApplication::setWindowIcon(tallyra::AppIcon::icon());
    // Matches the desktop entry, so that the desktop groups the window under its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TALLYRA_DESKTOP_ID));

    tallyra::AppEnvironment env = tallyra::AppEnvironment::compiledIn();
    // The executable's one test seam, TALLYRA_TEST_SERVER: the installed-layout
    // test points every server at a demo site on a port of its own.
    const auto servers =
        tallyra::ServerFile::forRun(env.serversFile, env.servers, qEnvironmentVariable("TALLYRA_TEST_SERVER"));
    env.servers = servers.addresses;
    tallyra::AppEnvironment::setCurrent(env);
    logFile("servers file:", env.serversFile);
    logFile("settings file:", tallyra::SettingsFile::path(env.settingsFolder));
    logFile("start page:", env.dataFolder + QStringLiteral("/start.htm"));
    logFile("Calc plugin:", tallyra::CalcSpreadsheet::defaultOptions().pluginPath);

    // Qt's own dialogs and buttons (file dialog, colour picker, 確定 / 是 / 否)
    // speak the application's language whatever the desktop's locale.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::Taiwan), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);
    // The main window ends the run itself; gradebook windows must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    // Said once, before the portal opens: which lines fell back to the defaults.
    if (!servers.problems.isEmpty())
        tallyra::MessageBox::warning(nullptr, tallyra::ServerFile::problemMessage(env.serversFile, servers.problems),
                                     QStringLiteral("Quillo"));

    tallyra::MainWindow window;
    // A session that ends closes the window like the teacher would, so the settings are kept.
    tallyra::EndRequest::install([&window] { window.close(); });
    window.show();
    return QApplication::exec();
}
