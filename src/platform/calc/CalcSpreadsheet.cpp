#include "platform/calc/CalcSpreadsheet.h"

#include "platform/calc/CalcBridge.h"
#include "platform/calc/LogicalFormula.h"
#include "platform/calc/OfficeProcess.h"
#include "workbook/Workbook.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibrary>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#ifndef TALLYRA_OFFICE_PROGRAM
#define TALLYRA_OFFICE_PROGRAM "/usr/lib/libreoffice/program/soffice"
#endif
#ifndef TALLYRA_PLUGIN_DIR_FROM_BIN
#define TALLYRA_PLUGIN_DIR_FROM_BIN "../lib/tallyra"
#endif

namespace tallyra {

namespace {

// The office's text unit for unit. QString::fromUtf16 would take a leading
// U+FEFF or U+FFFE for a byte order mark: drop it, or swap every byte after.
QString fromOffice(const std::u16string &text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

// The one thread that makes office calls. It is never joined: a call stuck
// in a dead office must not hold up Tallyra's exit.
class OfficeWorker {
public:
    static OfficeWorker &instance()
    {
        static OfficeWorker *worker = new OfficeWorker; // outlives static destruction on purpose
        return *worker;
    }

    void post(std::function<void()> task)
    {
        {
            const std::lock_guard lock(m_queue->mutex);
            m_queue->tasks.push_back(std::move(task));
        }
        m_queue->ready.notify_one();
    }

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::function<void()>> tasks;
    };

    OfficeWorker() : m_queue(std::make_shared<Queue>())
    {
        std::thread([queue = m_queue] {
            for (;;) {
                std::function<void()> task;
                {
                    std::unique_lock lock(queue->mutex);
                    queue->ready.wait(lock, [&] { return !queue->tasks.empty(); });
                    task = std::move(queue->tasks.front());
                    queue->tasks.pop_front();
                }
                task();
            }
        }).detach();
    }

    std::shared_ptr<Queue> m_queue;
};

// Tells the waiting thread that a call has returned. Lives in the waiting
// thread; the worker may be the last to let go of it.
class CallDone : public QObject {
    Q_OBJECT
signals:
    void finished();
};

template <typename T>
std::optional<T> runOnWorker(std::function<T()> work, int timeoutMs, const std::function<void()> &onTimeout)
{
    struct State {
        std::atomic<bool> done = false;
        std::optional<T> result;
    };
    auto state = std::make_shared<State>();
    std::shared_ptr<CallDone> done(new CallDone, [](CallDone *d) { d->deleteLater(); });
    QEventLoop loop;
    QObject::connect(done.get(), &CallDone::finished, &loop, &QEventLoop::quit);
    OfficeWorker::instance().post([state, done, work = std::move(work)] {
        state->result = work();
        state->done = true;
        emit done->finished();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    if (!state->done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!state->done) {
        // The office hangs (a prompt, a crash): end it, which also ends the call.
        onTimeout();
        limit.start(5000);
        if (!state->done)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        return std::nullopt;
    }
    return std::move(state->result);
}

std::optional<CalcSpreadsheet::Options> &optionsSlot()
{
    static std::optional<CalcSpreadsheet::Options> options;
    return options;
}

QString &startFailure()
{
    static QString failure;
    return failure;
}

calc::Bridge *loadBridge(const QString &path)
{
    // Loaded once and never unloaded: UNO keeps threads of its own running.
    static QHash<QString, calc::Bridge *> loaded;
    if (const auto it = loaded.constFind(path); it != loaded.constEnd())
        return it.value();
    calc::Bridge *bridge = nullptr;
    auto *library = new QLibrary(path);
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (library->load()) {
        if (auto entry = reinterpret_cast<TallyraCalcBridgeFunction>(library->resolve(TALLYRA_CALC_BRIDGE_SYMBOL)))
            bridge = entry(calc::kBridgeVersion);
    }
    if (!bridge) {
        startFailure() = QStringLiteral("Calc plugin not usable: %1").arg(library->errorString());
        delete library;
    }
    loaded.insert(path, bridge);
    return bridge;
}

OfficeProfiles &profiles(const QString &root)
{
    static std::map<QString, OfficeProfiles> pools;
    return pools.try_emplace(root, root).first->second;
}

NumberClass numberClass(calc::Cell::Shown shown)
{
    switch (shown) {
    case calc::Cell::Shown::Plain: return NumberClass::Plain;
    case calc::Cell::Shown::Percent: return NumberClass::Percent;
    case calc::Cell::Shown::Date: return NumberClass::Date;
    case calc::Cell::Shown::Time: return NumberClass::Time;
    case calc::Cell::Shown::DateTime: return NumberClass::DateTime;
    case calc::Cell::Shown::Boolean: return NumberClass::Boolean;
    case calc::Cell::Shown::Text: return NumberClass::Text;
    }
    return NumberClass::Plain;
}

CellValue toCellValue(const calc::Cell &cell)
{
    const auto text = [&] { return fromOffice(cell.text); };
    switch (cell.kind) {
    case calc::Cell::Kind::Empty:
        return {};
    case calc::Cell::Kind::Number:
        // A logical result the office kept from the file shows as 1 or 0.
        if (cell.formula && (cell.number == 0 || cell.number == 1)
            && LogicalFormula::mayBeLogical(fromOffice(cell.formulaText)))
            return CellValue::ofBoolean(cell.number != 0);
        // A number in a logical format is what Calc has for TRUE and FALSE.
        if (cell.shownAs == calc::Cell::Shown::Boolean)
            return CellValue::ofBoolean(cell.number != 0);
        return CellValue::ofNumber(cell.number, numberClass(cell.shownAs), fromOffice(cell.text));
    case calc::Cell::Kind::Text:
        // A formula's result cached as text may spell an error, read as the
        // error it is, as the embedded reader does.
        if (cell.formula && WorkbookReader::isErrorCode(text()))
            return CellValue::ofError(text());
        return CellValue::ofText(text());
    case calc::Cell::Kind::Boolean:
        return CellValue::ofBoolean(cell.number != 0);
    case calc::Cell::Kind::Error:
        return CellValue::ofError(text());
    }
    return {};
}

} // namespace

CalcSpreadsheet::Options CalcSpreadsheet::defaultOptions()
{
    Options o;
    // Beside the executable in a build folder or a portable copy; installed,
    // in Tallyra's private library folder, found relative to the executable.
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/libtallyra-calc.so");
    o.pluginPath = QFileInfo::exists(beside)
                       ? beside
                       : QDir::cleanPath(folder + QStringLiteral("/" TALLYRA_PLUGIN_DIR_FROM_BIN "/libtallyra-calc.so"));
    o.officePath = QStringLiteral(TALLYRA_OFFICE_PROGRAM);
    o.profileRoot = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                    QStringLiteral("/tallyra/office-profiles");
    return o;
}

void CalcSpreadsheet::setOptions(std::optional<Options> options) { optionsSlot() = std::move(options); }

QString CalcSpreadsheet::lastStartFailure() { return startFailure(); }

// Asks the office's pipe until the office answers, each try on the office
// thread and the next 100 ms after a refusal, so that the caller's thread
// stays free meanwhile. Settles once connected, or when the office has
// ended or the start time is up (the office is then killed).
class OfficeStarter : public QObject {
    Q_OBJECT
public:
    OfficeStarter(calc::Bridge *bridge, qint64 pid, QString pipe, QString profile, CalcSpreadsheet::Options options,
                  bool warmUp)
        : pid(pid), pipe(std::move(pipe)), profile(std::move(profile)), options(std::move(options)), m_bridge(bridge),
          m_warmUp(warmUp)
    {
        clock.start();
        tryConnect();
    }

    ~OfficeStarter() override
    {
        // A try still on the office thread: what it connects is let go there.
        if (m_inFlight)
            OfficeWorker::instance().post([attempt = m_inFlight] { attempt->office.reset(); });
        dropOffice();
    }

    // Gives up at once: the office is killed, and the try in flight, if
    // any, ends with it (5 s at most is waited for that).
    void abandon()
    {
        if (settled)
            return;
        m_abandoning = true;
        OfficeProcess::killGroup(pid);
        wait(5000);
        settled = true;
        dropOffice(); // an answer that came meanwhile is from a killed office
    }

    // Connections are let go on the office thread, like every other call.
    void dropOffice()
    {
        if (office)
            OfficeWorker::instance().post([gone = std::move(office)]() mutable { gone.reset(); });
        office.reset();
    }

    // Waits, taking no user input, until settled or `ms` have passed.
    void wait(int ms)
    {
        if (settled)
            return;
        QEventLoop loop;
        connect(this, &OfficeStarter::changed, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max(0, ms), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    int remainingMs() const { return int(options.startTimeoutMs - clock.elapsed()); }

    // Someone waits for the office now: a warm-up not yet begun is skipped,
    // as it would cost them about what it saves.
    void hurry() { *m_hurry = true; }

    const qint64 pid;
    const QString pipe;
    const QString profile;
    const CalcSpreadsheet::Options options;
    QElapsedTimer clock;
    std::shared_ptr<calc::Office> office;
    QString lastError;
    bool settled = false;
    bool endedItself = false; // before it answered, not killed by us

signals:
    void changed();

private:
    struct Attempt {
        std::shared_ptr<calc::Office> office;
        QString error;
    };

    void tryConnect()
    {
        auto attempt = std::make_shared<Attempt>();
        m_inFlight = attempt;
        std::shared_ptr<CallDone> done(new CallDone, [](CallDone *d) { d->deleteLater(); });
        connect(done.get(), &CallDone::finished, this, [this, attempt] { answered(attempt); });
        OfficeWorker::instance().post(
            [bridge = m_bridge, pipe = pipe, generalText = options.generalText, warmUp = m_warmUp, hurry = m_hurry,
             scratch = OfficeProfiles::temporaryFolder(profile) + QStringLiteral("/warm-up.ods"), attempt, done] {
                std::u16string error;
                attempt->office = bridge->connect(pipe.toStdU16String(), &error);
                if (attempt->office) {
                    attempt->office->setGeneralText(generalText);
                    // Whether it worked or not, the office is as usable as before.
                    if (warmUp && !*hurry) {
                        attempt->office->warmUp(QUrl::fromLocalFile(scratch).toString(QUrl::FullyEncoded).toStdU16String());
                        QFile::remove(scratch);
                    }
                }
                attempt->error = fromOffice(error);
                emit done->finished();
            });
    }

    void answered(const std::shared_ptr<Attempt> &attempt)
    {
        if (attempt != m_inFlight)
            return;
        m_inFlight.reset();
        if (settled) { // abandoned meanwhile
            OfficeWorker::instance().post([attempt] { attempt->office.reset(); });
            return;
        }
        office = std::move(attempt->office);
        lastError = attempt->error;
        if (office && !OfficeProcess::isAlive(pid))
            dropOffice(); // answered, then ended (in the warm-up, say): no use to anyone
        endedItself = !office && !m_abandoning && !OfficeProcess::isAlive(pid);
        if (office || endedItself || clock.elapsed() >= options.startTimeoutMs) {
            settled = true;
            emit changed();
            return;
        }
        QTimer::singleShot(100, this, [this] {
            if (!settled)
                tryConnect();
        });
    }

    calc::Bridge *const m_bridge;
    const bool m_warmUp;
    const std::shared_ptr<std::atomic<bool>> m_hurry = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<Attempt> m_inFlight;
    bool m_abandoning = false;
};

std::unique_ptr<CalcSpreadsheet::Pending> CalcSpreadsheet::launch(bool warmUp)
{
    const Options options = optionsSlot().value_or(defaultOptions());
    startFailure().clear();
    if (!QFileInfo(options.officePath).isExecutable()) {
        startFailure() = QStringLiteral("no office at %1").arg(options.officePath);
        return nullptr;
    }
    calc::Bridge *bridge = loadBridge(options.pluginPath);
    if (!bridge)
        return nullptr;

    OfficeProfiles &pool = profiles(options.profileRoot);
    const QString profile = pool.acquire();
    if (profile.isEmpty()) {
        startFailure() = QStringLiteral("no profile folder under %1").arg(options.profileRoot);
        return nullptr;
    }
    // Unique among every office on the machine, Tallyra's or the teacher's.
    const QString pipe = QLatin1String(kOfficePipePrefix) + QStringLiteral("%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate64(), 0, 16);
    const qint64 pid = OfficeProcess::startDetached(
        options.officePath,
        {OfficeProfiles::installationArgument(profile),
         QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe), QStringLiteral("--norestore"),
         QStringLiteral("--nologo"), QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck")},
        OfficeProfiles::temporaryFolder(profile));
    if (pid == 0) {
        pool.release(profile);
        startFailure() = QStringLiteral("the office did not start");
        return nullptr;
    }
    std::unique_ptr<Pending> pending(new Pending);
    pending->m_starter = std::make_unique<OfficeStarter>(bridge, pid, pipe, profile, options, warmUp);
    return pending;
}

std::shared_ptr<CalcSpreadsheet> CalcSpreadsheet::start()
{
    // Warming up would cost what it saves when the file is loaded next.
    const auto pending = launch(false);
    return pending ? pending->take() : nullptr;
}

CalcSpreadsheet::Pending::~Pending()
{
    if (!m_starter)
        return;
    // An office nobody took ends here: politely once it answers (it holds
    // no document), killed while it is still starting.
    if (m_starter->settled && m_starter->office) {
        if (const auto office = claim())
            office->quit();
        return;
    }
    m_starter->abandon();
    giveUp(false);
}

std::shared_ptr<CalcSpreadsheet> CalcSpreadsheet::Pending::take()
{
    if (!m_starter)
        return nullptr;
    if (!m_starter->settled) {
        m_starter->hurry();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        while (!m_starter->settled && m_starter->remainingMs() > 0)
            m_starter->wait(m_starter->remainingMs());
        QGuiApplication::restoreOverrideCursor();
        m_starter->abandon(); // the start time is up
    }
    if (m_starter->office)
        return claim();
    giveUp(true);
    return nullptr;
}

std::shared_ptr<CalcSpreadsheet> CalcSpreadsheet::Pending::claim()
{
    const auto starter = std::move(m_starter);
    return std::shared_ptr<CalcSpreadsheet>(
        new CalcSpreadsheet(std::move(starter->office), starter->pid, starter->pipe, starter->profile, starter->options));
}

void CalcSpreadsheet::Pending::giveUp(bool tell)
{
    // Nothing of a failed start is left behind.
    const auto starter = std::move(m_starter);
    OfficeProcess::killGroup(starter->pid);
    OfficeProcess::waitForEnd(starter->pid, starter->options.endTimeoutMs);
    OfficeProfiles::waitUntilFree(starter->profile, starter->options.endTimeoutMs);
    OfficeProfiles::removeLeftovers(starter->profile, {}, starter->pipe);
    profiles(starter->options.profileRoot).release(starter->profile);
    if (tell)
        startFailure() = starter->endedItself ? QStringLiteral("the office ended before answering")
                                              : QStringLiteral("the office did not answer within %1 ms (%2)")
                                                    .arg(starter->options.startTimeoutMs)
                                                    .arg(starter->lastError);
}

CalcSpreadsheet::CalcSpreadsheet(std::shared_ptr<calc::Office> office, qint64 pid, QString pipe, QString profile,
                                 Options options)
    : m_office(std::move(office)), m_pid(pid), m_pipe(std::move(pipe)), m_profile(std::move(profile)),
      m_options(std::move(options))
{
}

CalcSpreadsheet::~CalcSpreadsheet()
{
    // The office keeps running (the gradebook stays open for the teacher); only our
    // connection to it goes, released on the thread that made it.
    if (m_office)
        OfficeWorker::instance().post([office = std::move(m_office)]() mutable { office.reset(); });
    if (!OfficeProcess::isAlive(m_pid))
        finish();
}

template <typename T>
std::optional<T> CalcSpreadsheet::call(std::function<T(calc::Office &)> work, int timeoutMs) const
{
    if (!m_running || !m_office) {
        m_lastError = QStringLiteral("the office has ended");
        return std::nullopt;
    }
    using Answer = std::pair<std::optional<T>, QString>;
    const auto result = runOnWorker<Answer>(
        [office = m_office, work = std::move(work)] {
            std::optional<T> value = work(*office);
            return Answer(std::move(value), fromOffice(office->lastError()));
        },
        timeoutMs < 0 ? m_options.callTimeoutMs : timeoutMs, [this] {
            OfficeProcess::killGroup(m_pid);
            OfficeProcess::waitForEnd(m_pid, m_options.endTimeoutMs);
        });
    m_lastError = result ? result->second : QStringLiteral("the office did not answer in time and was ended");
    if (!OfficeProcess::isAlive(m_pid))
        finish();
    if (!result)
        return std::nullopt;
    return result->first;
}

bool CalcSpreadsheet::callBool(std::function<bool(calc::Office &)> work, int timeoutMs) const
{
    return call<bool>(std::move(work), timeoutMs).value_or(false);
}

void CalcSpreadsheet::finish() const
{
    if (!m_running)
        return;
    m_running = false;
    OfficeProfiles::removeLeftovers(m_profile, m_documents, m_pipe);
    profiles(m_options.profileRoot).release(m_profile);
}

bool CalcSpreadsheet::setVisible(bool visible)
{
    if (!m_running)
        return false;
    m_visible = visible;
    // Before a workbook is open there is no window to show yet.
    if (visible)
        callBool([](calc::Office &o) { return o.show(); });
    return true;
}

bool CalcSpreadsheet::open(const QString &path, bool readOnly)
{
    if (!QFileInfo(path).isFile())
        return false;
    const std::u16string url =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded).toStdU16String();
    // Hidden while loading, so that nothing the office might ask can block it.
    const auto load = [this, &url](bool readOnly) {
        return callBool([url, readOnly](calc::Office &o) { return o.load(url, readOnly); });
    };
    // Another office (the teacher's own Calc, say) editing the file holds a
    // lock that refuses a second editor: the gradebook is still read, read-only.
    const QFileInfo file(path);
    const bool lockedElsewhere =
        QFileInfo::exists(file.absolutePath() + QStringLiteral("/.~lock.") + file.fileName() + QLatin1Char('#'));
    if (!load(readOnly) && (readOnly || !lockedElsewhere || !load(true)))
        return false;
    m_documents << QFileInfo(path).absoluteFilePath();
    m_activePath = m_documents.last();
    if (m_visible)
        callBool([](calc::Office &o) { return o.show(); });
    return true;
}

bool CalcSpreadsheet::activateWorkbook(int number)
{
    if (!callBool([number](calc::Office &o) { return o.activateDocument(number); }))
        return false;
    if (number >= 1 && number <= m_documents.size())
        m_activePath = m_documents[number - 1];
    return true;
}

std::optional<int> CalcSpreadsheet::sheetCount() const
{
    return ask<int>([](calc::Office &o) { return o.sheetCount(); });
}

std::optional<QString> CalcSpreadsheet::sheetName(int number) const
{
    const auto name = ask<std::u16string>([number](calc::Office &o) { return o.sheetName(number); });
    return name ? std::optional(fromOffice(*name)) : std::nullopt;
}

bool CalcSpreadsheet::activateSheet(int number)
{
    return callBool([number](calc::Office &o) { return o.activateSheet(number); });
}

std::optional<QVector<int>> CalcSpreadsheet::findInColumn(int column, const QString &text) const
{
    if (column < 1)
        return std::nullopt;
    const auto cells = ask<std::vector<calc::Cell>>([column](calc::Office &o) { return o.column(column); });
    if (!cells)
        return std::nullopt;
    ColumnSearch rows;
    for (size_t r = 0; r < cells->size(); ++r)
        rows.add(static_cast<int>(r) + 1, toCellValue((*cells)[r]));
    return rows.find(text);
}

std::optional<QVector<QVector<CellValue>>> CalcSpreadsheet::readColumns(int sheet, const QVector<int> &columns) const
{
    const std::vector<int> wanted(columns.begin(), columns.end());
    const auto read = ask<std::vector<std::vector<calc::Cell>>>(
        [sheet, wanted](calc::Office &o) { return o.columns(sheet, wanted); });
    if (!read)
        return std::nullopt;
    QVector<QVector<CellValue>> result;
    for (const auto &column : *read) {
        QVector<CellValue> cells;
        cells.reserve(static_cast<qsizetype>(column.size()));
        for (const calc::Cell &cell : column)
            cells.push_back(toCellValue(cell));
        result.push_back(std::move(cells));
    }
    markCachedBooleans(sheet, columns, *read, result);
    return result;
}

void CalcSpreadsheet::markCachedBooleans(int sheet, const QVector<int> &columns,
                                         const std::vector<std::vector<calc::Cell>> &read,
                                         QVector<QVector<CellValue>> &cells) const
{
    // Where the office kept a formula's cached result instead of working it
    // out, a boolean the file stored reads as 1 or 0. The file still says
    // which it was; it speaks for the document only while nobody changed it.
    const auto suspect = [&](int k, int r) {
        const calc::Cell &cell = read[static_cast<size_t>(k)][static_cast<size_t>(r)];
        return cell.formula && cell.kind == calc::Cell::Kind::Number && (cell.number == 0 || cell.number == 1);
    };
    bool any = false;
    for (int k = 0; k < cells.size() && !any; ++k) {
        for (int r = 0; r < cells[k].size() && !any; ++r)
            any = suspect(k, r) && cells[k][r].kind == CellValue::Kind::Number;
    }
    if (!any || m_activePath.isEmpty() || hasUnsavedChanges().value_or(true))
        return;
    const auto file = WorkbookReader::read(m_activePath);
    const auto name = sheetName(sheet);
    if (!file || !name || sheet > static_cast<int>(file->sheets.size()))
        return;
    const WorkbookSheet &stored = file->sheets[static_cast<size_t>(sheet - 1)];
    if (stored.name != *name)
        return;
    for (int k = 0; k < cells.size(); ++k) {
        for (int r = 0; r < cells[k].size(); ++r) {
            const CellValue *value = stored.at(r, columns[k] - 1);
            if (suspect(k, r) && value && value->kind == CellValue::Kind::Boolean)
                cells[k][r] = *value;
        }
    }
}

std::optional<int> CalcSpreadsheet::otherDocumentCount() const
{
    return ask<int>([](calc::Office &o) { return o.otherDocuments(); });
}

std::optional<CellValue> CalcSpreadsheet::cell(int row, int column) const
{
    const auto value = ask<calc::Cell>([row, column](calc::Office &o) { return o.cell(row, column); });
    return value ? std::optional(toCellValue(*value)) : std::nullopt;
}

std::optional<bool> CalcSpreadsheet::hasUnsavedChanges() const
{
    return ask<bool>([](calc::Office &o) { return o.isModified(); });
}

bool CalcSpreadsheet::enterText(int row, int column, const QString &text)
{
    const std::u16string value = text.toStdU16String();
    return callBool([row, column, value](calc::Office &o) { return o.enterText(row, column, value); });
}

bool CalcSpreadsheet::dispatch(const QString &command)
{
    const std::u16string name = command.toStdU16String();
    return callBool([name](calc::Office &o) { return o.dispatch(name); });
}

bool CalcSpreadsheet::removeSheet(int number)
{
    return callBool([number](calc::Office &o) { return o.removeSheet(number); });
}

bool CalcSpreadsheet::closeActiveWorkbook()
{
    return callBool([](calc::Office &o) { return o.closeDocument(); });
}

bool CalcSpreadsheet::quit()
{
    if (!m_running)
        return false;
    callBool([](calc::Office &o) { return o.terminate(); }, m_options.endTimeoutMs);
    // Whatever the office answered, this instance ends here: a prompt or a
    // hang must not keep it, so a watchdog ends the whole process group.
    if (!OfficeProcess::waitForEnd(m_pid, m_options.endTimeoutMs)) {
        OfficeProcess::killGroup(m_pid);
        OfficeProcess::waitForEnd(m_pid, m_options.endTimeoutMs);
    }
    const bool ended = !OfficeProcess::isAlive(m_pid);
    finish();
    return ended;
}

} // namespace tallyra

#include "CalcSpreadsheet.moc"
