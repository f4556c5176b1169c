// Saves a recognisable settings record into the folder given as the only
// argument; exits 0 when the file was replaced, 3 when it was not. The settings test runs it as
// an unprivileged user to try a folder it may not write.
#include "app/Settings.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    tallyra::Settings values = tallyra::Settings::defaults();
    values.LastFolder = QStringLiteral("/written/by/helper/");
    // 3, not 1: runuser reports its own failures with 1.
    return tallyra::SettingsFile::save(QString::fromLocal8Bit(argv[1]), values) ? 0 : 3;
}
