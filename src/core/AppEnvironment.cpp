#include "core/AppEnvironment.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <optional>

#include <unistd.h>

namespace tallyra {

namespace {
std::optional<AppEnvironment> &currentSlot()
{
    static std::optional<AppEnvironment> slot;
    return slot;
}

// access(), not the permission bits: what counts is whether this user may write.
bool writable(const QString &path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }
} // namespace

bool FileLocations::isSystemFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(folder);
    for (const QLatin1String prefix : {QLatin1String("/usr"), QLatin1String("/opt")}) {
        if (path == prefix || path.startsWith(prefix + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString FileLocations::configHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString AppEnvironment::stateHome()
{
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/state");
}

FileLocations FileLocations::choose(const QString &applicationFolder, const QString &installedDataFolder,
                                    const QString &configHome, const QString &systemServersFile)
{
    FileLocations where;
    const QString besideIni = applicationFolder + QStringLiteral("/qv.ini");
    const bool portable = !isSystemFolder(applicationFolder)
                          && (writable(applicationFolder) || (QFileInfo(besideIni).isFile() && writable(besideIni)));
    where.installed = !portable;
    where.settingsFolder = portable ? applicationFolder : configHome + QStringLiteral("/tallyra");
    // A portable or build-folder copy may serve another school than the
    // installed package on the same machine.
    where.serversFile = portable || systemServersFile.isEmpty() ? applicationFolder + QStringLiteral("/servers.ini")
                                                                : systemServersFile;
    // start.htm beside the executable wins, so that a build folder or a
    // portable copy shows its own page even when it cannot keep qv.ini.
    where.dataFolder = QFileInfo::exists(applicationFolder + QStringLiteral("/start.htm")) ? applicationFolder
                                                                                           : installedDataFolder;
    return where;
}

AppEnvironment AppEnvironment::compiledIn()
{
    AppEnvironment env;
    env.servers.portal = ServerFile::pageUrl(ServerFile::Page::Portal, QStringLiteral(TALLYRA_PORTAL_SERVER));
    env.servers.tis = ServerFile::pageUrl(ServerFile::Page::Tis, QStringLiteral(TALLYRA_TIS_SERVER));
    env.servers.help = ServerFile::pageUrl(ServerFile::Page::Help, QStringLiteral(TALLYRA_HELP_SERVER));
    env.servers.school = ServerFile::pageUrl(ServerFile::Page::School, QStringLiteral(TALLYRA_SCHOOL_SERVER));
    env.servers.authorMail = QStringLiteral(TALLYRA_AUTHOR_MAIL);
    env.applicationFolder = QCoreApplication::applicationDirPath();
    // The installed layout is found relative to the executable, so that an
    // unpacked package runs from wherever it was unpacked.
    const FileLocations where = FileLocations::choose(
        env.applicationFolder,
        QDir::cleanPath(env.applicationFolder + QStringLiteral("/" TALLYRA_DATA_DIR_FROM_BIN)),
        FileLocations::configHome(), QStringLiteral(TALLYRA_SYSTEM_SERVERS_FILE));
    env.dataFolder = where.dataFolder;
    env.serversFile = where.serversFile;
    env.settingsFolder = where.settingsFolder;
    env.reportPath = QDir::homePath() + QStringLiteral("/toExcelLog.txt");
    env.journalPath = stateHome() + QStringLiteral("/tallyra/transfers.tsv");
    env.endApplication = [] { QCoreApplication::exit(0); };
    env.persistentBrowserProfile = true;
    return env;
}

const AppEnvironment &AppEnvironment::current()
{
    auto &slot = currentSlot();
    if (!slot)
        slot = compiledIn();
    return *slot;
}

void AppEnvironment::setCurrent(const AppEnvironment &environment)
{
    currentSlot() = environment;
}

} // namespace tallyra
