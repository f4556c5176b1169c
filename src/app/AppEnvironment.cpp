#include "app/AppEnvironment.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>

#include <optional>

namespace tallyra {

namespace {
std::optional<AppEnvironment> &currentSlot()
{
    static std::optional<AppEnvironment> slot;
    return slot;
}
} // namespace

AppEnvironment AppEnvironment::compiledIn()
{
    AppEnvironment env;
    env.portalServer = QStringLiteral(TALLYRA_PORTAL_SERVER);
    env.tisServer = QStringLiteral(TALLYRA_TIS_SERVER);
    env.helpServer = QStringLiteral(TALLYRA_HELP_SERVER);
    env.schoolServer = QStringLiteral(TALLYRA_SCHOOL_SERVER);
    env.authorMail = QStringLiteral(TALLYRA_AUTHOR_MAIL);
    env.applicationFolder = QCoreApplication::applicationDirPath();
    env.settingsFolder = env.applicationFolder;
    env.reportPath = QDir::homePath() + QStringLiteral("/toExcelLog.txt");
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
