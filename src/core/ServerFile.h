#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace tallyra {

// The pages Tallyra opens on the school's servers, as full URLs, and the
// address behind the about box's contact link.
struct ServerAddresses {
    QString portal; // opened at start
    QString tis;    // 回主頁
    QString help;   // 說明文件
    QString school; // shown when the portal cannot be reached
    QString authorMail;

    bool operator==(const ServerAddresses &) const = default;
};

// servers.ini: a school's own addresses, replacing the compiled-in ones key
// by key. Nothing in it is fatal: a line that cannot be used leaves that
// key at its default and is reported.
namespace ServerFile {

enum class Page { Portal, Tis, Help, School };

// The page's full URL from an address as a school writes it: host[:port]
// means http://; a URL without a path opens Tallyra's usual page on that
// server; any other URL is used as written. Empty when unusable, with the
// reason in `why`.
QString pageUrl(Page page, const QString &address, QString *why = nullptr);

// Every page on the one server `address` (host[:port] or scheme://host[:port]).
ServerAddresses onServer(const QString &address, const QString &authorMail);

struct Problem {
    int line = 0;  // 1-based; 0 for the file as a whole
    QString text;  // the line as written
    QString why;
};
struct Result {
    ServerAddresses addresses;
    QVector<Problem> problems;
};

// A missing file leaves every default in place and is no problem.
Result read(const QString &path, const ServerAddresses &defaults);
Result parse(const QByteArray &contents, const ServerAddresses &defaults);

// What a run uses: the file over the defaults, and over both the test seam
// `testServer` (TALLYRA_TEST_SERVER) when it is set.
Result forRun(const QString &path, const ServerAddresses &defaults, const QString &testServer);

// The text of the one box at start that names the lines not used.
QString problemMessage(const QString &path, const QVector<Problem> &problems);

} // namespace ServerFile

} // namespace tallyra
