// A helper the settings test runs as an unprivileged user, to try folders
// that user may not write.
//   settings_writer FOLDER          saves a recognisable record into FOLDER;
//                                   exits 0 when the file was written, 3 when not
//   settings_writer --where FOLDER  prints where a Tallyra run from FOLDER
//                                   keeps qv.ini: "portable" or "installed", then the folder
#include "core/AppEnvironment.h"
#include "core/Settings.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--where") == 0) {
        const auto where = tallyra::FileLocations::choose(QString::fromLocal8Bit(argv[2]), QStringLiteral("/data"),
                                                          QStringLiteral("/config"));
        std::printf("%s\n%s\n", where.installed ? "installed" : "portable", qPrintable(where.settingsFolder));
        return 0;
    }
    if (argc != 2)
        return 2;
    tallyra::Settings values = tallyra::Settings::defaults();
    values.LastFolder = QStringLiteral("/written/by/helper/");
    // 3, not 1: runuser reports its own failures with 1.
    return tallyra::SettingsFile::save(QString::fromLocal8Bit(argv[1]), values) ? 0 : 3;
}
