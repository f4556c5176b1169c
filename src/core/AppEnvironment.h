#pragma once

#include "core/ServerFile.h"

#include <QString>

#include <functional>

namespace tallyra {

// Where Tallyra keeps qv.ini and finds start.htm. Run from a folder of its
// own (portable use) both stay beside the executable; installed, qv.ini
// goes to the user's configuration folder and start.htm comes from the
// installed data folder.
struct FileLocations {
    QString settingsFolder; // holds qv.ini; no trailing separator
    QString dataFolder;     // holds start.htm; no trailing separator
    QString serversFile;    // the school's servers.ini
    bool installed = false;

    // `installedDataFolder` is where an installation keeps start.htm;
    // `configHome` the user's configuration folder (~/.config);
    // `systemServersFile` the installation's servers.ini (/etc/tallyra).
    static FileLocations choose(const QString &applicationFolder, const QString &installedDataFolder,
                                const QString &configHome, const QString &systemServersFile = {});

    // A folder under /usr, /usr/local or /opt belongs to the system's
    // package manager: Tallyra never writes there, even as root.
    static bool isSystemFolder(const QString &folder);
    // XDG_CONFIG_HOME when it names an absolute folder, otherwise ~/.config.
    static QString configHome();
};

// Everything the application takes from its surroundings, in one place.
// The executable uses the compiled-in values, with the addresses of the
// school's servers.ini; tests replace the current environment in-process
// (their own servers, folders and end action).
struct AppEnvironment {
    ServerAddresses servers;
    QString serversFile;       // where this run looks for servers.ini

    QString applicationFolder; // the executable's folder; no trailing separator
    QString dataFolder;        // holds start.htm; no trailing separator
    QString settingsFolder;    // holds qv.ini, created when missing; no trailing separator
    QString reportPath;        // the transfer report file
    QString journalPath;       // the journal of transfers

    // Ends the application at once; the caller has saved what must be saved.
    std::function<void()> endApplication;

    // Cookies and cache survive a restart in the application; tests use a
    // throw-away profile so that parallel runs never share browser state.
    bool persistentBrowserProfile = true;

    // Compiled-in addresses only: servers.ini is read by the executable.
    static AppEnvironment compiledIn();
    // $XDG_STATE_HOME when it names an absolute folder, otherwise ~/.local/state.
    static QString stateHome();
    static const AppEnvironment &current();
    static void setCurrent(const AppEnvironment &environment);
};

} // namespace tallyra
