#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace tallyra {

// How the pipes of the offices Tallyra starts begin.
inline constexpr char kOfficePipePrefix[] = "tallyra-";

// The user profile folders of the offices Tallyra starts, kept under one
// root and reused: an office starts faster in a profile it has used before.
// Two offices never share a profile, or the second would hand its work to
// the first and terminating one would end both.
class OfficeProfiles {
public:
    explicit OfficeProfiles(QString root) : m_root(std::move(root)) {}

    // A folder no running office holds, reserved for this process until
    // released; empty when the root cannot be made.
    QString acquire();
    // Gives the folder back once its office has ended, with the lock file
    // that an office killed or crashed leaves behind.
    void release(const QString &folder);

    // The office argument that selects `folder` as the user profile.
    static QString installationArgument(const QString &folder);
    // The folder an office of this profile keeps its temporary files in.
    static QString temporaryFolder(const QString &folder) { return folder + QStringLiteral("/tmp"); }
    // Removes what an office of this profile leaves behind when it is
    // killed: its temporary files, the lock files of `documents` that name
    // this profile, and its pipe `pipe` (the office cannot answer on it any
    // more). Nothing while an office still runs in the profile.
    static void removeLeftovers(const QString &folder, const QStringList &documents, const QString &pipe);
    // Whether a running process was started with that profile. The office's
    // lock file names no process, so the processes' arguments are asked.
    static bool heldByRunningOffice(const QString &folder);
    // Waits, processing events other than user input, until no process
    // holds `folder` (a killed office's children take a moment to go) or
    // `timeoutMs` has passed; returns whether it is free.
    static bool waitUntilFree(const QString &folder, int timeoutMs);

private:
    // Removes the office pipes matching `namePattern`, at least
    // `minimumAgeSeconds` old, that nobody listens on.
    static void removeStalePipes(const QString &namePattern, int minimumAgeSeconds);

    QString m_root;
    QSet<QString> m_reserved;
};

// An office process started in a session of its own, so that it outlives
// Tallyra (a cancelled wizard leaves its gradebook open) and can be ended with
// everything it started.
namespace OfficeProcess {

// Starts `program` with `arguments` detached, as the leader of a new process
// group; returns its process ID, or 0.
qint64 startDetached(const QString &program, const QStringList &arguments, const QString &temporaryFolder = {});
bool isAlive(qint64 pid);
// Kills the process group that `pid` leads.
void killGroup(qint64 pid);
// Waits, processing events other than user input, until the process has
// ended or `timeoutMs` has passed; returns whether it ended.
bool waitForEnd(qint64 pid, int timeoutMs);

} // namespace OfficeProcess

} // namespace tallyra
