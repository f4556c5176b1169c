#include "platform/calc/OfficeProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

namespace tallyra {

QString OfficeProfiles::installationArgument(const QString &folder)
{
    return QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded);
}

bool OfficeProfiles::heldByRunningOffice(const QString &folder)
{
    const QByteArray wanted = installationArgument(folder).toUtf8();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &argument : cmdline.readAll().split('\0')) {
            if (argument == wanted && OfficeProcess::isAlive(pid.toLongLong()))
                return true;
        }
    }
    return false;
}

namespace {
// Polls `done` every 20 ms, processing events other than user input, for
// at most `timeoutMs`; returns whether it came true.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        QEventLoop pause;
        QTimer::singleShot(20, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}
} // namespace

bool OfficeProfiles::waitUntilFree(const QString &folder, int timeoutMs)
{
    return waitFor([&] { return !heldByRunningOffice(folder); }, timeoutMs);
}

QString OfficeProfiles::acquire()
{
    if (!QDir().mkpath(m_root))
        return {};
    // Pipes of earlier offices of ours that ended without Tallyra seeing it
    // (the desktop session ended under them, say).
    removeStalePipes(QLatin1String(kOfficePipePrefix) + QLatin1Char('*'), 60);
    for (int n = 1;; ++n) {
        const QString folder = QDir(m_root).absoluteFilePath(QString::number(n));
        if (m_reserved.contains(folder) || heldByRunningOffice(folder))
            continue;
        // A lock left by an office that no longer runs would only make the next one ask.
        QFile::remove(folder + QStringLiteral("/.lock"));
        m_reserved.insert(folder);
        return folder;
    }
}

namespace {

// Whether a process accepts connections on the Unix socket at `path`.
bool someoneListens(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.size() >= qsizetype(sizeof(address.sun_path)))
        return true; // cannot tell: leave it
    address.sun_family = AF_UNIX;
    std::copy(native.begin(), native.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return true;
    const bool listening = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return listening;
}

} // namespace

void OfficeProfiles::removeLeftovers(const QString &folder, const QStringList &documents, const QString &pipe)
{
    if (folder.isEmpty() || heldByRunningOffice(folder))
        return;
    QFile::remove(folder + QStringLiteral("/.lock"));
    QDir(temporaryFolder(folder)).removeRecursively();

    // A document's lock names the profile of the office that holds it.
    const QString profileUrl = QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded);
    for (const QString &document : documents) {
        const QFileInfo info(document);
        QFile lock(info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#'));
        if (lock.open(QIODevice::ReadOnly)) {
            const QString owner = QString::fromUtf8(lock.readAll()).trimmed();
            lock.close();
            if (owner.endsWith(QLatin1Char(',') + profileUrl + QLatin1Char(';')))
                lock.remove();
        }
    }

    // Its own pipes only: others may belong to offices still starting. The
    // office names the pipe that keeps one office per profile after the MD5
    // of the profile's address in UTF-16, each byte in hex without padding.
    if (!pipe.isEmpty())
        removeStalePipes(pipe, 0);
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(QByteArrayView(reinterpret_cast<const char *>(profileUrl.utf16()), profileUrl.size() * 2));
    QString hash;
    for (const char byte : md5.result())
        hash += QString::number(quint8(byte), 16);
    removeStalePipes(QStringLiteral("SingleOfficeIPC_") + hash, 0);
}

void OfficeProfiles::removeStalePipes(const QString &namePattern, int minimumAgeSeconds)
{
    // An office's pipes live in /tmp whatever TMPDIR says. A pipe just made
    // may not listen yet: only pipes old enough to have been answered go.
    const QString pattern = QStringLiteral("OSL_PIPE_%1_").arg(::getuid()) + namePattern;
    const QFileInfoList pipes = QDir(QStringLiteral("/tmp")).entryInfoList({pattern}, QDir::System);
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo &pipe : pipes) {
        if (pipe.lastModified().secsTo(now) >= minimumAgeSeconds && !someoneListens(pipe.filePath()))
            QFile::remove(pipe.filePath());
    }
}

void OfficeProfiles::release(const QString &folder)
{
    m_reserved.remove(folder);
    if (!folder.isEmpty() && !heldByRunningOffice(folder))
        QFile::remove(folder + QStringLiteral("/.lock"));
}

namespace OfficeProcess {

qint64 startDetached(const QString &program, const QStringList &arguments, const QString &temporaryFolder)
{
    // setsid makes the office the leader of its own process group (and
    // session), so that a watchdog can end it with all of its children.
    QProcess process;
    process.setProgram(QStringLiteral("setsid"));
    process.setArguments(QStringList{program} + arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!temporaryFolder.isEmpty() && QDir().mkpath(temporaryFolder)) {
        // Temporary files of its own, so that what a killed office leaves can be found.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporaryFolder);
        process.setProcessEnvironment(environment);
    }
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

bool isAlive(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return false;
    // A zombie whose parent does not reap it has still ended.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'Z';
}

void killGroup(qint64 pid)
{
    if (pid <= 0)
        return;
    // Just launched, the process may not lead its group yet: it goes first,
    // so that it cannot start anything more, then whatever it started.
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

bool waitForEnd(qint64 pid, int timeoutMs)
{
    return waitFor([pid] { return !isAlive(pid); }, timeoutMs);
}

} // namespace OfficeProcess

} // namespace tallyra
