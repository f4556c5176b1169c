#include "platform/Browser.h"

#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QUuid>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <memory>

namespace tallyra {

namespace {

const QString kCloseScriptName = QStringLiteral("tallyra-close");

QWebEngineProfile *sharedProfile(bool persistent)
{
    // Profiles outlive every page that uses them, so they hang off the application.
    static QPointer<QWebEngineProfile> persistentProfile;
    static QPointer<QWebEngineProfile> throwAwayProfile;
    QPointer<QWebEngineProfile> &slot = persistent ? persistentProfile : throwAwayProfile;
    if (!slot) {
        slot = persistent ? new QWebEngineProfile(QStringLiteral("Tallyra"), QCoreApplication::instance())
                          : new QWebEngineProfile(QCoreApplication::instance());
        // Nothing from a page reaches the disk or the desktop.
        QObject::connect(slot, &QWebEngineProfile::downloadRequested, slot,
                         [](QWebEngineDownloadRequest *download) { download->cancel(); });
    }
    return slot;
}

QString jsonText(const QJsonValue &value)
{
    // Wrapped in an array so that any value, also a bare string, serialises.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Shared by the read and the write: the chain from the top document to the
// named form, with the link that failed.
const char kReachForm[] = R"JS(
function tallyraReachForm(frameName, formName) {
    if (!document.documentElement || typeof document.forms === 'undefined')
        return { status: 'NoDocument' };
    const frame = window.frames[frameName];
    if (!frame || frame === window || typeof frame.postMessage !== 'function')
        return { status: 'NoFrame' };
    let doc = null;
    try { doc = frame.document; } catch (e) { return { status: 'FrameInaccessible' }; }
    if (!doc || !doc.documentElement || typeof doc.forms === 'undefined')
        return { status: 'FrameInaccessible' };
    // By its name alone: forms.namedItem would also take a decoy whose id
    // is the name, and form.name an input named "name".
    let form = null;
    for (let i = 0; i < doc.forms.length && !form; ++i) {
        if (doc.forms[i].getAttribute('name') === formName)
            form = doc.forms[i];
    }
    if (!form)
        return { status: 'NoForm' };
    return { status: 'Ok', form: form };
}

// A field that keeps a score as written: an enabled, writable text-like input.
function tallyraWritable(e) {
    // By its tag: the frame's elements are not instances of this window's classes.
    return e.localName === 'input' && ['text', 'number', 'tel', 'search'].indexOf(e.type) >= 0
        && !e.matches(':disabled') && !e.readOnly;
}

// The form still as it was read: our token on it, every element's name at
// its place, and the values that identify its rows (the student IDs).
function tallyraUnchanged(form, arg) {
    if (!window.tallyraForms || window.tallyraForms.get(form) !== arg.token)
        return false;
    const all = form.elements;
    if (all.length !== arg.names.length)
        return false;
    for (let i = 0; i < all.length; ++i) {
        if ((typeof all[i].name === 'string' ? all[i].name : '') !== arg.names[i])
            return false;
    }
    for (const k of arg.keys) {
        if (String(all[k[0]].value) !== k[1])
            return false;
    }
    return true;
}
)JS";

FormSnapshot::Status statusFromText(const QString &text)
{
    using S = FormSnapshot::Status;
    if (text == QLatin1String("Ok")) return S::Ok;
    if (text == QLatin1String("NoDocument")) return S::NoDocument;
    if (text == QLatin1String("NoFrame")) return S::NoFrame;
    if (text == QLatin1String("FrameInaccessible")) return S::FrameInaccessible;
    if (text == QLatin1String("NoForm")) return S::NoForm;
    return S::ScriptFailed;
}

WriteReport readWriteAnswer(const std::optional<QJsonValue> &result)
{
    WriteReport report;
    const QString status = result && result->isObject() ? result->toObject().value(QStringLiteral("status")).toString()
                                                        : QString();
    report.written = status == QLatin1String("written");
    report.pageChanged = status == QLatin1String("changed");
    return report;
}

// What a write checks the form against, from the snapshot it was planned on.
QJsonObject expectation(const FormSnapshot &snapshot, const QVector<int> &keys)
{
    QJsonArray names;
    for (const FormElement &e : snapshot.elements)
        names.append(e.name);
    QJsonArray keyValues;
    for (int k : keys) {
        if (k >= 0 && k < snapshot.elements.size())
            keyValues.append(QJsonArray{k, snapshot.elements[k].value});
    }
    return {{QStringLiteral("token"), snapshot.token}, {QStringLiteral("names"), names}, {QStringLiteral("keys"), keyValues}};
}

int &pageEvents()
{
    static int running = 0;
    return running;
}

// A page's prompt: its text, an entry, and, for a page that keeps asking,
// the check box that silences it.
bool askPrompt(QWidget *parent, const QString &title, const QString &text, const QString &defaultValue,
               const QString &silenceText, QString *result, bool *silence)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("pagePrompt"));
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(text, &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    auto *entry = new QLineEdit(defaultValue, &dialog);
    layout->addWidget(label);
    layout->addWidget(entry);
    QCheckBox *check = nullptr;
    if (!silenceText.isEmpty()) {
        check = new QCheckBox(silenceText, &dialog);
        layout->addWidget(check);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    *silence = check && check->isChecked();
    if (accepted)
        *result = entry->text();
    return accepted;
}

} // namespace

PageEventScope::PageEventScope() { ++pageEvents(); }
PageEventScope::~PageEventScope() { --pageEvents(); }
bool PageEventScope::busy() { return pageEvents() > 0; }

BrowserPage::BrowserPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_closeToken(QStringLiteral("tallyra-close-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    // The page's own scripts run after this one, so they only ever see the
    // replacement and cannot reach the logger it captured.
    QWebEngineScript closeScript;
    closeScript.setName(kCloseScriptName);
    closeScript.setWorldId(QWebEngineScript::MainWorld);
    closeScript.setInjectionPoint(QWebEngineScript::DocumentCreation);
    closeScript.setRunsOnSubFrames(true);
    closeScript.setSourceCode(QStringLiteral(
        "(function () {"
        "  const log = console.log.bind(console);"
        "  const token = %1;"
        "  window.close = function () { log(token); };"
        "})();").arg(jsonText(m_closeToken)));
    scripts().insert(closeScript);

    connect(this, &QWebEnginePage::windowCloseRequested, this, &BrowserPage::scriptCloseRequested);
    // A page that navigates is another page: its dialogs may show again.
    connect(this, &QWebEnginePage::urlChanged, this, [this] {
        m_dialogTimes.clear();
        m_dialogsSilenced = false;
    });
}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const QString scheme = url.scheme().toLower();
    bool allowed = scheme == QLatin1String("http") || scheme == QLatin1String("https")
                   || scheme == QLatin1String("about") || (scheme == QLatin1String("data") && !isMainFrame);
    // Tallyra's own start page is a file it loads itself, never a page's link.
    if (scheme == QLatin1String("file") && type == NavigationTypeTyped && isMainFrame)
        allowed = true;
    // Anything else would go to the desktop's opener, which may start any
    // program that claims the scheme.
    if (!allowed)
        emit navigationRefused(scheme);
    return allowed;
}

bool BrowserPage::dialogAllowed(bool *offerSilence)
{
    *offerSilence = false;
    if (m_dialogsSilenced || PageEventScope::busy())
        return false;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_dialogTimes.removeIf([now](qint64 t) { return now - t > 10000; });
    *offerSilence = m_dialogTimes.size() >= 2;
    m_dialogTimes.push_back(now);
    return true;
}

void BrowserPage::dialogAnswered(bool silence)
{
    if (silence)
        m_dialogsSilenced = true;
}

void BrowserPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    bool offer = false;
    if (!dialogAllowed(&offer))
        return;
    const PageEventScope scope;
    bool silence = false;
    MessageBox::showWithCheckBox(QWebEngineView::forPage(this), msg, securityOrigin.host(), QMessageBox::Ok, QMessageBox::Ok,
                                 QMessageBox::Information, offer ? silenceText() : QString(), &silence);
    dialogAnswered(silence);
}

bool BrowserPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    bool offer = false;
    if (!dialogAllowed(&offer))
        return false;
    const PageEventScope scope;
    bool silence = false;
    const auto answer = MessageBox::showWithCheckBox(QWebEngineView::forPage(this), msg, securityOrigin.host(),
                                                     QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
                                                     QMessageBox::Question, offer ? silenceText() : QString(), &silence);
    dialogAnswered(silence);
    return answer == QMessageBox::Ok;
}

bool BrowserPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                   QString *result)
{
    bool offer = false;
    if (!dialogAllowed(&offer))
        return false;
    const PageEventScope scope;
    bool silence = false;
    const bool accepted = askPrompt(QWebEngineView::forPage(this), securityOrigin.host(), msg, defaultValue,
                                    offer ? silenceText() : QString(), result, &silence);
    dialogAnswered(silence);
    return accepted;
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                           const QString &sourceId)
{
    // Only our own script can log from this source, so a page cannot fake it.
    if (message == m_closeToken && sourceId == QStringLiteral("userscript:") + kCloseScriptName)
        emit scriptCloseRequested();
}

Browser::Browser(bool persistentProfile, QWidget *parent)
    : QWebEngineView(parent)
{
    attach(new BrowserPage(sharedProfile(persistentProfile), this));
}

void Browser::attach(BrowserPage *page)
{
    m_page = page;
    setPage(page);
    // Queued: the close question must not be asked from inside the engine's callback.
    connect(page, &BrowserPage::scriptCloseRequested, this, &Browser::WindowClosing, Qt::QueuedConnection);
    connect(page, &BrowserPage::navigationRefused, this, &Browser::NavigationRefused);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
            emit NavigateError(info.url().toString());
    });
}

void Browser::ensureResponsive()
{
    if (url().isEmpty())
        return; // nothing loaded yet: no script of a page to hang
    const auto call = send(QStringLiteral("return 1;"), QJsonValue());
    if (call->wait(kHungPageMs))
        return;
    // The page's script does not yield: stop it and leave its renderer behind.
    BrowserPage *old = m_page;
    old->triggerAction(QWebEnginePage::Stop);
    attach(new BrowserPage(old->profile(), this));
    old->deleteLater();
}

void Browser::Navigate(const QString &address)
{
    ensureResponsive();
    load(QUrl(address));
}

void Browser::GoBack()
{
    if (history()->canGoBack())
        back();
}

void Browser::GoForward()
{
    if (history()->canGoForward())
        forward();
}

void Browser::Stop() { stop(); }

void Browser::Refresh()
{
    const QUrl current = url();
    const BrowserPage *before = m_page;
    ensureResponsive();
    if (m_page == before)
        reload();
    else
        load(current);
}

bool Browser::Move(const QRect &rect)
{
    if (rect.width() < 0 || rect.height() < 0)
        return false;
    setGeometry(rect);
    return true;
}

bool ScriptCall::wait(int ms)
{
    if (!m_answered && ms > 0) {
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_loop = nullptr;
    }
    return m_answered;
}

std::optional<QJsonValue> ScriptCall::result() const
{
    if (!m_answered || m_raw.typeId() != QMetaType::QString)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(m_raw.toString().toUtf8());
    if (!doc.isArray() || doc.array().size() != 1)
        return std::nullopt;
    return doc.array().at(0);
}

Browser::~Browser() { *m_alive = false; }

std::shared_ptr<ScriptCall> Browser::send(const QString &functionBody, const QJsonValue &argument)
{
    const QString source = QStringLiteral("JSON.stringify([(function (arg) {\n%1\n})(%2)])")
                               .arg(functionBody, jsonText(argument));
    auto call = std::make_shared<ScriptCall>();
    // The engine may answer long after we stopped waiting; the call object
    // outlives the wait for that.
    m_page->runJavaScript(source, QWebEngineScript::ApplicationWorld, [call, alive = m_alive](const QVariant &result) {
        call->m_answered = true;
        call->m_raw = result;
        if (call->m_loop)
            call->m_loop->quit();
        if (call->m_onAnswer && *alive)
            call->m_onAnswer();
    });
    return call;
}

std::optional<QJsonValue> Browser::evaluate(const QString &functionBody, const QJsonValue &argument)
{
    const auto call = send(functionBody, argument);
    m_lastCallTimedOut = !call->wait(m_scriptTimeoutMs);
    return call->result();
}

FormSnapshot Browser::snapshotForm(const QString &frameName, const QString &formName)
{
    FormSnapshot snapshot;
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString body = QString::fromUtf8(kReachForm) + QStringLiteral(R"JS(
const reached = tallyraReachForm(arg.frame, arg.form);
if (reached.status !== 'Ok')
    return { status: reached.status };
if (!window.tallyraForms)
    window.tallyraForms = new WeakMap();
window.tallyraForms.set(reached.form, arg.token);
if (!window.tallyraFormIds)
    window.tallyraFormIds = new WeakMap();
if (!window.tallyraFormIds.has(reached.form))
    window.tallyraFormIds.set(reached.form, arg.token);
const elements = [];
const all = reached.form.elements;
for (let i = 0; i < all.length; ++i) {
    const e = all[i];
    const name = typeof e.name === 'string' ? e.name : '';
    const value = ('value' in e && e.value !== null && e.value !== undefined) ? String(e.value) : '';
    const background = (e.style && typeof e.style.backgroundColor === 'string') ? e.style.backgroundColor : '';
    elements.push([name, value, background, tallyraWritable(e)]);
}
return { status: 'Ok', elements: elements, formId: window.tallyraFormIds.get(reached.form) };
)JS");
    const auto result = evaluate(body, QJsonObject{{QStringLiteral("frame"), frameName},
                                                   {QStringLiteral("form"), formName},
                                                   {QStringLiteral("token"), token}});
    if (!result || !result->isObject()) {
        if (m_lastCallTimedOut)
            snapshot.status = FormSnapshot::Status::NotResponding;
        return snapshot;
    }
    const QJsonObject object = result->toObject();
    snapshot.status = statusFromText(object.value(QStringLiteral("status")).toString());
    if (!snapshot.ok())
        return snapshot;
    snapshot.token = token;
    snapshot.formId = object.value(QStringLiteral("formId")).toString();
    const QJsonArray elements = object.value(QStringLiteral("elements")).toArray();
    snapshot.elements.reserve(elements.size());
    for (qsizetype i = 0; i < elements.size(); ++i) {
        const QJsonArray pair = elements.at(i).toArray();
        snapshot.elements.push_back({static_cast<int>(i), pair.at(0).toString(), pair.at(1).toString(),
                                     pair.at(2).toString(), pair.at(3).toBool()});
    }
    return snapshot;
}

WriteReport Browser::writeForm(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                               const QVector<FieldWrite> &writes, const QVector<int> &keys)
{
    WriteReport report;
    if (!snapshot.ok())
        return report;

    QJsonArray list;
    for (const FieldWrite &w : writes) {
        list.append(QJsonArray{w.index, w.target == FieldWrite::Target::Value ? QStringLiteral("value")
                                                                               : QStringLiteral("background"),
                               w.text});
    }
    // Checked and written in one task, so that nothing of the page's own
    // runs in between: either every write lands or none does.
    const QString body = QString::fromUtf8(kReachForm) + QStringLiteral(R"JS(
const reached = tallyraReachForm(arg.frame, arg.form);
if (reached.status !== 'Ok' || !tallyraUnchanged(reached.form, arg))
    return { status: 'changed' };
const all = reached.form.elements;
for (const w of arg.writes) {
    if (w[0] < 0 || w[0] >= all.length || (w[1] === 'value' && !tallyraWritable(all[w[0]])))
        return { status: 'changed' };
}
const before = arg.writes.map(w => w[1] === 'value' ? all[w[0]].value : all[w[0]].style.backgroundColor);
let done = 0;
try {
    for (; done < arg.writes.length; ++done) {
        const w = arg.writes[done];
        const e = all[w[0]];
        if (w[1] !== 'value') {
            e.style.backgroundColor = w[2];
            continue;
        }
        e.value = w[2];
        // As typing would: pages that save only the rows they saw change listen for these.
        e.dispatchEvent(new Event('input', { bubbles: true }));
        e.dispatchEvent(new Event('change', { bubbles: true }));
    }
} catch (err) {
    // Nothing half written: what was set goes back.
    for (let i = 0; i < done && i < arg.writes.length; ++i) {
        const w = arg.writes[i];
        try {
            if (w[1] === 'value') all[w[0]].value = before[i];
            else all[w[0]].style.backgroundColor = before[i];
        } catch (ignored) {}
    }
    return { status: 'failed' };
}
return { status: 'written' };
)JS");
    if (beforeWrite)
        beforeWrite();
    QJsonObject argument = expectation(snapshot, keys);
    argument.insert(QStringLiteral("frame"), frameName);
    argument.insert(QStringLiteral("form"), formName);
    argument.insert(QStringLiteral("writes"), list);
    const auto call = send(body, argument);
    m_lastCallTimedOut = !call->wait(m_scriptTimeoutMs);
    if (!call->answered()) {
        // We cannot tell yet whether it was written: followWrite finds out.
        report.late = call;
        return report;
    }
    return readWriteAnswer(call->result());
}

std::optional<QStringList> Browser::readBack(const QString &frameName, const QString &formName,
                                             const FormSnapshot &snapshot, const QVector<FieldWrite> &writes,
                                             const QVector<int> &keys, int waitMs, bool *changed)
{
    if (changed)
        *changed = false;
    QJsonArray indices;
    for (const FieldWrite &w : writes)
        indices.append(w.index);
    const QString body = QString::fromUtf8(kReachForm) + QStringLiteral(R"JS(
const reached = tallyraReachForm(arg.frame, arg.form);
if (reached.status !== 'Ok' || !tallyraUnchanged(reached.form, arg))
    return 'changed';
const all = reached.form.elements;
return arg.indices.map(i => String(all[i].value));
)JS");
    QJsonObject argument = expectation(snapshot, keys);
    argument.insert(QStringLiteral("frame"), frameName);
    argument.insert(QStringLiteral("form"), formName);
    argument.insert(QStringLiteral("indices"), indices);
    const auto call = send(body, argument);
    call->wait(waitMs < 0 ? m_scriptTimeoutMs : waitMs);
    const auto result = call->result();
    if (changed && result && result->toString() == QLatin1String("changed"))
        *changed = true;
    if (!result || !result->isArray())
        return std::nullopt;
    QStringList values;
    for (const QJsonValue &v : result->toArray())
        values << v.toString();
    if (values.size() != writes.size())
        return std::nullopt;
    return values;
}

void Browser::formIdLater(const QString &frameName, const QString &formName,
                          std::function<void(const QString &)> answer)
{
    const QString body = QString::fromUtf8(kReachForm) + QStringLiteral(R"JS(
const reached = tallyraReachForm(arg.frame, arg.form);
if (reached.status !== 'Ok' || !window.tallyraFormIds)
    return '';
return window.tallyraFormIds.get(reached.form) || '';
)JS");
    const auto call = send(body, QJsonObject{{QStringLiteral("frame"), frameName}, {QStringLiteral("form"), formName}});
    call->m_onAnswer = [call = call.get(), answer = std::move(answer)] {
        const auto result = call->result();
        answer(result ? result->toString() : QString());
    };
}

Browser::WriteFate Browser::followWrite(const QString &frameName, const QString &formName,
                                        const FormSnapshot &snapshot, const QVector<FieldWrite> &writes,
                                        const QVector<int> &keys, const WriteReport &report, int waitMs)
{
    if (!report.late)
        return report.ok() ? WriteFate::Landed : WriteFate::NotLanded;
    if (!report.late->wait(waitMs)) {
        // A page that went away or navigated answers again at once, and the
        // write's own answer will then never come: ask the page directly.
        const auto present = writesPresent(frameName, formName, snapshot, writes, keys, 0);
        if (!present)
            return WriteFate::Unknown;
        return *present ? WriteFate::Landed : WriteFate::NotLanded;
    }
    if (!readWriteAnswer(report.late->result()).ok())
        return WriteFate::NotLanded;
    // The answer says it was written; the page must still hold it.
    const auto present = writesPresent(frameName, formName, snapshot, writes, keys, m_scriptTimeoutMs);
    return present.value_or(false) ? WriteFate::Landed : WriteFate::NotLanded;
}

std::optional<bool> Browser::writesPresent(const QString &frameName, const QString &formName,
                                           const FormSnapshot &snapshot, const QVector<FieldWrite> &writes,
                                           const QVector<int> &keys, int waitMs)
{
    QVector<FieldWrite> values;
    for (const FieldWrite &w : writes) {
        if (w.target == FieldWrite::Target::Value)
            values.push_back(w);
    }
    // A busy page answers this only after the write itself; a short wait
    // here tells whether the page is answering at all.
    bool changed = false;
    const auto held = readBack(frameName, formName, snapshot, values, keys, std::max(waitMs, 500), &changed);
    if (!held)
        return changed ? std::optional(false) : std::nullopt;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (held->at(i) != values[i].text)
            return false;
    }
    return true;
}

} // namespace tallyra
