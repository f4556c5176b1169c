#include "import/TransferRun.h"

#include "core/AppEnvironment.h"
#include "core/Settings.h"
#include "import/PreviewDialog.h"
#include "import/TransferCheck.h"
#include "import/TransferJournal.h"
#include "import/TransferPreview.h"
#include "import/TransferReport.h"
#include "page/GradeForm.h"
#include "page/GradePage.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace tallyra {

namespace {

const QString kTitle = QStringLiteral("輸入成績");

void refuseNotAGradePage(QWidget *parent)
{
    MessageBox::critical(parent, QStringLiteral("Quillo無法輸入成績!!\r\n無法找到相關欄位，請檢查是否在正確的成績輸入視窗!"),
                         QStringLiteral("錯誤"));
}

void refuseUnreadableGradebook(QWidget *parent)
{
    MessageBox::warning(parent, QStringLiteral("無法讀取成績冊，請重新選擇檔案。"), kTitle);
}

// Lets the page's own scripts run, taking no user input.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

TransferRun::TransferRun(QWidget *parent, Browser *browser, WorkbookSession &session, Choice choice, StatusSink status)
    : m_parent(parent), m_browser(browser), m_session(session), m_choice(std::move(choice)), m_status(std::move(status))
{
}

void TransferRun::say(const QString &text) const
{
    if (m_status)
        m_status(text);
}

TransferRun::Next TransferRun::run(bool preview)
{
    Next next = Next::Close;
    const auto prepared = prepare(next);
    if (!prepared)
        return next;
    if (!confirmed(*prepared, preview))
        return Next::Columns;
    return write(*prepared);
}

bool TransferRun::sheetStillChosen(Next &next)
{
    const auto &app = m_session.ExcelApp();
    if (!app)
        return true; // nothing to check: the reading below refuses
    const auto name = app->sheetName(m_choice.sheetIndex);
    if (name && *name == m_choice.sheetName) {
        // The teacher sees the sheet that is read.
        app->activateSheet(m_choice.sheetIndex);
        return true;
    }
    if (!name && !app->sheetCount())
        return true; // the gradebook itself is gone: refused as unreadable
    MessageBox::warning(m_parent,
                        QStringLiteral("成績冊中已經找不到所選的工作表「") + m_choice.sheetName
                            + QStringLiteral("」(可能已被刪除、改名或移動)，沒有輸入任何成績，請重新選擇工作表!"),
                        kTitle);
    next = Next::ChooseSheet;
    return false;
}

std::optional<TransferRun::Prepared> TransferRun::prepare(Next &next)
{
    next = Next::Close;
    if (!m_browser) {
        refuseNotAGradePage(m_parent);
        return std::nullopt;
    }
    const auto &app = m_session.ExcelApp();
    if (app) {
        // A correction saved from another program since the file was read counts.
        switch (app->reloadIfChanged()) {
        case Spreadsheet::FileState::Unchanged:
            break;
        case Spreadsheet::FileState::Reloaded:
            say(QStringLiteral("成績冊檔案已經變更，已重新讀取。"));
            break;
        case Spreadsheet::FileState::Unreadable:
            refuseUnreadableGradebook(m_parent);
            next = Next::ChooseSheet;
            return std::nullopt;
        }
    }
    if (!sheetStillChosen(next))
        return std::nullopt;
    // The gradebook and the page are each read once; nothing between these
    // readings and the write takes the teacher's input.
    const GradebookColumns gradebook =
        app ? GradebookColumns::read(*app, m_choice.sheetIndex, GradebookColumns::columnNumber(m_choice.idLetter),
                                     m_choice.scoreColumn)
            : GradebookColumns();
    Prepared prepared;
    prepared.snapshot = m_browser->snapshotForm(GradePageNames::contentFrame, GradePageNames::scoreForm);
    auto planned = GradeTransfer::plan(prepared.snapshot, gradebook, settings(), m_status);
    if (const auto *refusal = std::get_if<TransferRefusal>(&planned)) {
        if (prepared.snapshot.status == FormSnapshot::Status::NotResponding) {
            // A hung script, not the wrong window.
            MessageBox::warning(m_parent, GradePage::notRespondingText(), kTitle);
        } else if (*refusal == TransferRefusal::GradebookUnreadable) {
            refuseUnreadableGradebook(m_parent);
            next = Next::ChooseSheet;
        } else {
            refuseNotAGradePage(m_parent);
        }
        return std::nullopt;
    }
    prepared.plan = std::move(std::get<TransferPlan>(planned));
    return prepared;
}

QString TransferRun::columnQuestion(const TransferPlan &plan) const
{
    return TransferCheck::question(TransferCheck::count(plan), m_choice.idLetter,
                                   QString(QChar(u'A' + m_choice.scoreColumn - 1)));
}

bool TransferRun::confirmed(const Prepared &prepared, bool preview)
{
    const QString question = columnQuestion(prepared.plan);
    if (!preview)
        return question.isEmpty() || MessageBox::askYesNoWarning(m_parent, question, kTitle);
    // The check's finding without its question: the preview itself asks.
    const QString finding = question.left(question.lastIndexOf(QStringLiteral("仍要輸入嗎")));
    PreviewDialog dialog(TransferPreview::build(prepared.plan, prepared.snapshot), finding, m_parent);
    dialog.setWindowModality(Qt::WindowModal);
    return PreviewDialogs::show(dialog) == QDialog::Accepted;
}

TransferRun::Next TransferRun::write(const Prepared &prepared)
{
    const TransferPlan &plan = prepared.plan;
    const FormSnapshot &snapshot = prepared.snapshot;
    const QVector<int> keys = GradeForm::idFields(snapshot.elements);

    const WriteReport written =
        m_browser->writeForm(GradePageNames::contentFrame, GradePageNames::scoreForm, snapshot, plan.writes, keys);
    if (written.pageChanged) {
        MessageBox::warning(m_parent,
                            QStringLiteral("成績輸入網頁已經變更，沒有輸入任何成績。請重新開啟成績輸入網頁後再試一次。"), kTitle);
        return Next::Columns;
    }
    const Browser::WriteFate fate = written.late ? followLateWrite(prepared, keys, written)
                                    : written.ok() ? Browser::WriteFate::Landed
                                                   : Browser::WriteFate::NotLanded;
    if (fate == Browser::WriteFate::NotLanded) {
        MessageBox::critical(m_parent,
                             QStringLiteral("Quillo無法把成績寫入網頁，網頁可能已經變更，請重新開啟成績輸入畫面後再試一次!"),
                             QStringLiteral("錯誤"));
        return Next::Close;
    }
    if (fate == Browser::WriteFate::Unknown) {
        MessageBox::warning(m_parent,
                            QStringLiteral("已停止等待成績輸入網頁。無法確定成績是否已經寫入網頁，請檢查網頁上的每一筆成績，"
                                           "或重新開啟成績輸入畫面後再輸入一次!"),
                            kTitle);
        return Next::Close;
    }

    // The page's own scripts have had their say on the values: what counts
    // is what its fields hold now.
    settle(kSettleMs);
    const auto held = m_browser->readBack(GradePageNames::contentFrame, GradePageNames::scoreForm, snapshot,
                                          plan.writes, keys);
    QHash<int, QString> heldByField;
    QSet<int> notKept;
    for (qsizetype i = 0; i < plan.writes.size(); ++i) {
        const FieldWrite &w = plan.writes[i];
        if (w.target != FieldWrite::Target::Value)
            continue;
        // A form no longer as written keeps none of it that can be told.
        if (held && held->at(i) == w.text)
            continue;
        notKept.insert(w.index);
        if (held)
            heldByField.insert(w.index, held->at(i));
    }
    m_undo = TransferUndo(plan, snapshot, heldByField);

    TransferReport report(AppEnvironment::current().reportPath);
    QStringList notes;
    for (const StudentResult &student : plan.students) {
        if (student.outcome.anomaly)
            report.RecordAnomaly(*student.outcome.anomaly, student.id);
        if (notKept.contains(student.fieldIndex))
            report.RecordAnomaly(AnomalyKind::NotKept, student.id);
        else if (student.borderline)
            notes << ScoreRules::borderlineNote(student.id, student.outcome.score);
    }
    journal(prepared, report, notes);
    finish(plan, notes, report);
    return Next::Close;
}

Browser::WriteFate TransferRun::followLateWrite(const Prepared &prepared, const QVector<int> &keys,
                                                const WriteReport &written)
{
    say(QStringLiteral("等待成績輸入網頁回應…"));
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const auto fate = m_browser->followWrite(GradePageNames::contentFrame, GradePageNames::scoreForm,
                                                 prepared.snapshot, prepared.plan.writes, keys, written,
                                                 kLateWritePollMs);
        if (fate != Browser::WriteFate::Unknown)
            return fate;
        if (waited.elapsed() >= m_lateWriteAskMs) {
            if (!MessageBox::askKeepWaiting(m_parent,
                                            QStringLiteral("成績輸入網頁還沒有回應，無法確定成績是否已經寫入。要繼續等待嗎?"),
                                            kTitle))
                return Browser::WriteFate::Unknown;
            waited.restart();
        }
    }
}

void TransferRun::journal(const Prepared &prepared, const TransferReport &report, const QStringList &notes)
{
    JournalEntry entry;
    entry.when = QDateTime::currentDateTime();
    entry.pageUrl = m_browser->url().toString();
    entry.pageTitle = m_browser->title();
    entry.gradebook = m_session.fileName();
    entry.sheet = m_choice.sheetName;
    entry.idColumn = m_choice.idLetter;
    entry.scoreColumn = QString(QChar(u'A' + m_choice.scoreColumn - 1));
    entry.anomalies = report.anomalyCount();
    entry.borderline = int(notes.size());
    entry.report = report.text(notes);
    QHash<int, QString> writtenByField;
    for (const FieldWrite &w : prepared.plan.writes) {
        if (w.target == FieldWrite::Target::Value)
            writtenByField.insert(w.index, w.text);
    }
    for (const StudentResult &student : prepared.plan.students) {
        const auto written = writtenByField.constFind(student.fieldIndex);
        if (written == writtenByField.cend())
            continue; // a field left as it was
        (written->isEmpty() ? entry.emptied : entry.written) += 1;
        entry.students.push_back({student.id, *written, prepared.snapshot.elements.value(student.fieldIndex).value});
    }
    TransferJournal journal(AppEnvironment::current().journalPath);
    // The scores are on the page either way: a journal that cannot be kept
    // is said, never a reason to stop.
    if (!journal.append(entry)) {
        m_journalFailure = QStringLiteral("無法寫入輸入紀錄 %1，這次輸入沒有記錄下來。").arg(journal.path());
        say(m_journalFailure);
    }
}

void TransferRun::openReport(const TransferReport &report, bool saved)
{
    if (!saved) {
        MessageBox::warning(m_parent, QStringLiteral("無法寫入報告檔 ") + report.path() + QStringLiteral("!"),
                            QStringLiteral("Quillo"));
        return;
    }
    Shell::open(QUrl::fromLocalFile(report.path()));
}

void TransferRun::finish(const TransferPlan &plan, const QStringList &notes, TransferReport &report)
{
    const QString title = QStringLiteral("Quillo");
    const bool saved = report.save(notes);
    say(QStringLiteral("醒目標示程序處理中...請稍待..."));
    if (settings().AutoMark == 1)
        GradePage::markColor(m_browser); // a failure here does not stop the sequence
    if (!m_journalFailure.isEmpty())
        say(m_journalFailure);

    if (report.anomalyCount() > 0) {
        MessageBox::warning(m_parent, QStringLiteral("您指定的分數已經輸入到「教師資訊系統」中，部份成績無法輸入!!"), title);
        openReport(report, saved);
    } else {
        const auto &app = m_session.ExcelApp();
        // Never discard the teacher's own edits: a changed gradebook stays open.
        if (settings().AutoClose == 1 && app && !app->hasUnsavedChanges().value_or(true)) {
            // Documents the teacher opened in the same application are not ours to end.
            const auto others = app->otherDocumentCount();
            app->closeActiveWorkbook();
            if (others == 0)
                app->quit();
        }
        MessageBox::information(m_parent, QStringLiteral("您指定的分數已經成功輸入到「教師資訊系統」中!"), title);
        if (!notes.isEmpty())
            openReport(report, saved);
    }

    const QString button = plan.layout == GradeForm::Layout::SharedName ? QStringLiteral("送出期中評量")
                                                                         : QStringLiteral("暫時儲存成績");
    MessageBox::information(m_parent,
                            QStringLiteral("再次提醒您，還要按下「") + button
                                + QStringLiteral("」才會真正把成績存到「教師資訊系統」中哦！"),
                            title);
}

} // namespace tallyra
