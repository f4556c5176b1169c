#pragma once

#include "page/FormSnapshot.h"

#include <QEventLoop>
#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;

namespace tallyra {

class ScriptCall;

struct WriteReport {
    bool written = false; // every write landed, none half-way
    // The form was no longer as read (another form, an element moved,
    // renamed or gone, an ID changed, a score field no longer writable):
    // nothing was written.
    bool pageChanged = false;
    // The page did not answer in time: the write may still land. Follow it
    // with Browser::followWrite.
    std::shared_ptr<ScriptCall> late;
    bool ok() const { return written; }
};

// A script sent to the page, whose answer may come after the wait for it.
class ScriptCall {
public:
    bool answered() const { return m_answered; }
    // Waits up to `ms` more, taking no user input; true once answered.
    bool wait(int ms);
    // The function's result; nothing before the answer or when the page
    // went away instead.
    std::optional<QJsonValue> result() const;

private:
    friend class Browser;
    bool m_answered = false;
    QVariant m_raw;
    QPointer<QEventLoop> m_loop;
    std::function<void()> m_onAnswer;
};

// One page event at a time. A question asked for a page (its close
// request, its alert) runs an event loop of its own, in which the page, or
// another frame, could ask again, without end.
class PageEventScope {
public:
    PageEventScope();
    ~PageEventScope();
    PageEventScope(const PageEventScope &) = delete;
    PageEventScope &operator=(const PageEventScope &) = delete;
    static bool busy();
};

// The page: replaces window.close in every frame with a report to Tallyra,
// because the engine ignores most script close requests on its own; keeps
// every navigation inside the browser; shows the page's dialogs as a
// browser does, with a way to silence a page that will not stop.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    BrowserPage(QWebEngineProfile *profile, QObject *parent);

    static QString silenceText() { return QStringLiteral("不要再讓此網頁顯示對話方塊"); }

signals:
    void scriptCloseRequested();
    // A page tried to leave the browser: another scheme, a file, a download.
    void navigationRefused(const QString &scheme);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceId) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;

private:
    // Whether the page may show a dialog now; `offerSilence` when it has
    // shown two already within the last 10 seconds.
    bool dialogAllowed(bool *offerSilence);
    void dialogAnswered(bool silence);

    QString m_closeToken;
    QVector<qint64> m_dialogTimes; // ms since the epoch, of this page's recent dialogs
    bool m_dialogsSilenced = false; // until the page navigates
};

// The embedded browser: navigation, the two events the main window handles,
// and access to the page's forms through Tallyra's isolated script world.
class Browser : public QWebEngineView {
    Q_OBJECT
public:
    explicit Browser(bool persistentProfile, QWidget *parent = nullptr);
    ~Browser() override;

    // Navigate and Refresh always work, also on a page whose script hangs:
    // a page that does not answer within kHungPageMs is dropped, with its
    // renderer, for a fresh one.
    void Navigate(const QString &address);
    void GoBack();
    void GoForward();
    void Stop();
    void Refresh();
    // Covers the rectangle; a negative size is refused and changes nothing.
    bool Move(const QRect &rect);

    // Runs `(function (arg) { body })(arg)` in the isolated world and waits
    // for its result without taking user input. The body returns a value
    // that JSON can carry. Nothing comes back when the engine does not
    // answer within the time limit.
    std::optional<QJsonValue> evaluate(const QString &functionBody, const QJsonValue &argument);

    FormSnapshot snapshotForm(const QString &frameName, const QString &formName);

    // Writes into the form read by `snapshot`, in the page's one task and
    // only when the form is still as read: the same form object, every
    // element's name at its place, the values of the elements `keys` (the
    // rows' IDs) unchanged, each value written into an enabled, writable
    // text-like input. A value write fires input and change, as typing does.
    WriteReport writeForm(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                          const QVector<FieldWrite> &writes, const QVector<int> &keys = {});

    // What the fields of `writes` hold now, in their order; nothing when the
    // form is no longer as read (`changed` then says so) or the page does not
    // answer within `waitMs` (the script time limit when negative).
    std::optional<QStringList> readBack(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                                        const QVector<FieldWrite> &writes, const QVector<int> &keys = {},
                                        int waitMs = -1, bool *changed = nullptr);

    // What became of a write that did not answer in time, asked of the page
    // itself: its answer when it comes, else whether the form read by the
    // snapshot is still there and holds every value written.
    enum class WriteFate { Landed, NotLanded, Unknown };
    WriteFate followWrite(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                          const QVector<FieldWrite> &writes, const QVector<int> &keys, const WriteReport &report,
                          int waitMs);

    // The time limit of one script call (tests shorten it).
    int scriptTimeoutMs() const { return m_scriptTimeoutMs; }
    void setScriptTimeoutMs(int ms) { m_scriptTimeoutMs = ms; }
    static constexpr int kScriptTimeoutMs = 15000;
    static constexpr int kHungPageMs = 2000;

    // Whether the last script call ran out of its time limit (the page's
    // own script hangs), rather than failing otherwise.
    bool lastCallTimedOut() const { return m_lastCallTimedOut; }

    // The form's lasting name (FormSnapshot::formId) as the page holds it
    // now, "" when it is gone. Asked without waiting: `answer` runs later.
    void formIdLater(const QString &frameName, const QString &formName, std::function<void(const QString &)> answer);

    // Runs just before writeForm sends its script (tests: to change the page
    // between the read and the write).
    std::function<void()> beforeWrite;

signals:
    void WindowClosing();
    void NavigateError(const QString &url);
    void NavigationRefused(const QString &scheme);

private:
    void attach(BrowserPage *page);
    // Answers a trivial script within kHungPageMs, or is replaced by a fresh page.
    void ensureResponsive();
    std::shared_ptr<ScriptCall> send(const QString &functionBody, const QJsonValue &argument);
    std::optional<bool> writesPresent(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                                      const QVector<FieldWrite> &writes, const QVector<int> &keys, int waitMs);

    BrowserPage *m_page = nullptr;
    int m_scriptTimeoutMs = kScriptTimeoutMs;
    bool m_lastCallTimedOut = false;
    // Cleared as the browser goes: the page answers its pending calls while
    // it is destroyed, when whoever asked may be half destroyed already.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tallyra
