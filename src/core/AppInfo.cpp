#include "core/AppInfo.h"

#include "BuildConfig.h"

namespace tallyra {

QString AppInfo::title() { return QStringLiteral("Tallyra"); }
int AppInfo::major() { return TALLYRA_VERSION_MAJOR; }
int AppInfo::minor() { return TALLYRA_VERSION_MINOR; }
int AppInfo::revision() { return TALLYRA_VERSION_PATCH; }

QString AppInfo::version()
{
    return QStringLiteral("%1.%2.%3").arg(major()).arg(minor()).arg(revision());
}

QString AppInfo::fileVersion()
{
    return QStringLiteral("%1.%2.0.%3").arg(major()).arg(minor()).arg(revision());
}

QString AppInfo::versionDigits()
{
    return QString::number(major()) + QString::number(minor()) + QString::number(revision());
}

} // namespace tallyra
