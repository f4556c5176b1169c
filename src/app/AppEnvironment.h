#pragma once

#include <QString>

#include <functional>

namespace tallyra {

// Everything the application takes from its surroundings, in one place.
// The executable uses the compiled-in values; tests replace the current
// environment in-process (their own servers, folders and end action).
struct AppEnvironment {
    QString portalServer;      // host[:port], reached with http://
    QString tisServer;
    QString helpServer;
    QString schoolServer;
    QString authorMail;

    QString applicationFolder; // holds start.htm; no trailing separator
    QString settingsFolder;    // holds qv.ini; no trailing separator
    QString reportPath;        // the transfer report file

    // Ends the application at once; the caller has saved what must be saved.
    std::function<void()> endApplication;

    // Cookies and cache survive a restart in the application; tests use a
    // throw-away profile so that parallel runs never share browser state.
    bool persistentBrowserProfile = true;

    static AppEnvironment compiledIn();
    static const AppEnvironment &current();
    static void setCurrent(const AppEnvironment &environment);
};

} // namespace tallyra
