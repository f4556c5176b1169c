#pragma once

#include <QString>

namespace tallyra {

// Product name and version, shared by the caption, the portal address and
// the about box.
struct AppInfo {
    static QString title();           // "Tallyra"
    static int major();
    static int minor();
    static int revision();
    static QString version();         // "1.7.1"
    static QString fileVersion();     // "1.7.0.1"
    static QString versionDigits();   // "171", the portal's ver= value
};

} // namespace tallyra
