#pragma once

#include <QEventLoop>
#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;

namespace tallyra {

// One element of a form as the page held it when it was read.
struct FormElement {
    int index = 0;
    QString name;
    QString value;
    QString background; // its own style's background colour, "" when it has none
};

// A whole form read in one script call, or the link of the chain
// top document -> frame -> document -> form that could not be reached.
struct FormSnapshot {
    enum class Status {
        Ok,
        NoDocument,        // the browser holds no HTML document
        NoFrame,           // no frame of that name
        FrameInaccessible, // another origin, or no document in the frame
        NoForm,            // no form of that name in the frame's document
        ScriptFailed,      // the engine gave no answer (page gone, time limit)
    };

    Status status = Status::ScriptFailed;
    QString token;  // marks the form object read; a reloaded page lacks it
    QString formId; // names the form object for as long as it lives, across readings
    QVector<FormElement> elements;

    bool ok() const { return status == Status::Ok; }
};

// One property to set on a form element read by a snapshot. The element must
// still bear `name` at `index`, or the write is refused.
struct FieldWrite {
    enum class Target { Value, BackgroundColor };
    int index = 0;
    QString name;
    Target target = Target::Value;
    QString text;
};

class ScriptCall;

struct WriteReport {
    bool sameForm = false;     // false: nothing was written
    QVector<int> failedWrites; // positions in the write list that were refused
    // The page did not answer in time: the write may still land. Follow it
    // with Browser::followWrite.
    std::shared_ptr<ScriptCall> late;
    bool ok() const { return sameForm && failedWrites.isEmpty(); }
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

// The page: replaces window.close in every frame with a report to Tallyra,
// because the engine ignores most script close requests on its own.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    BrowserPage(QWebEngineProfile *profile, QObject *parent);

signals:
    void scriptCloseRequested();

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceId) override;

private:
    QString m_closeToken;
};

// The embedded browser: navigation, the two events the main window handles,
// and access to the page's forms through Tallyra's isolated script world.
class Browser : public QWebEngineView {
    Q_OBJECT
public:
    explicit Browser(bool persistentProfile, QWidget *parent = nullptr);
    ~Browser() override;

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
    WriteReport writeForm(const QString &frameName, const QString &formName,
                          const FormSnapshot &snapshot, const QVector<FieldWrite> &writes);

    // What became of a write that did not answer in time, asked of the page
    // itself: its answer when it comes, else whether the form read by the
    // snapshot is still there and holds every value written.
    enum class WriteFate { Landed, NotLanded, Unknown };
    WriteFate followWrite(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                          const QVector<FieldWrite> &writes, const WriteReport &report, int waitMs);

    // The time limit of one script call (tests shorten it).
    int scriptTimeoutMs() const { return m_scriptTimeoutMs; }
    void setScriptTimeoutMs(int ms) { m_scriptTimeoutMs = ms; }
    static constexpr int kScriptTimeoutMs = 15000;

    // The form's lasting name (FormSnapshot::formId) as the page holds it
    // now, "" when it is gone. Asked without waiting: `answer` runs later.
    void formIdLater(const QString &frameName, const QString &formName, std::function<void(const QString &)> answer);

    // Runs just before writeForm sends its script (tests: to change the page
    // between the read and the write).
    std::function<void()> beforeWrite;

signals:
    void WindowClosing();
    void NavigateError(const QString &url);

private:
    std::shared_ptr<ScriptCall> send(const QString &functionBody, const QJsonValue &argument);
    std::optional<bool> writesPresent(const QString &frameName, const QString &formName, const FormSnapshot &snapshot,
                                      const QVector<FieldWrite> &writes, int waitMs);

    BrowserPage *m_page = nullptr;
    int m_scriptTimeoutMs = kScriptTimeoutMs;
    // Cleared as the browser goes: the page answers its pending calls while
    // it is destroyed, when whoever asked may be half destroyed already.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tallyra
