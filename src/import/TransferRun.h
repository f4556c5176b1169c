#pragma once

#include "import/GradeTransfer.h"
#include "import/TransferUndo.h"
#include "import/WorkbookSession.h"
#include "platform/Browser.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace tallyra {

class TransferReport;

// One press of 輸入成績 or 預覽, from reading the page and the gradebook to
// the last box: the column check or the preview, the write, reading it
// back, a late write, the report, the closing boxes. The wizard drives it
// and keeps its steps and widgets; every box goes through the seam.
class TransferRun {
public:
    struct Choice {
        int sheetIndex = 0;
        QString sheetName;
        QString idLetter;
        int scoreColumn = 0;
    };
    // Where the wizard goes next.
    enum class Next {
        Close,       // done, or refused: the wizard closes
        ChooseSheet, // the sheet or the gradebook is gone: step 2, with the sheets refilled
        Columns,     // nothing written: step 5 again
    };
    using StatusSink = std::function<void(const QString &)>;

    TransferRun(QWidget *parent, Browser *browser, WorkbookSession &session, Choice choice, StatusSink status);

    Next run(bool preview);

    // What the transfer wrote, once it landed; empty otherwise.
    const TransferUndo &undo() const { return m_undo; }

    // After a write the page did not answer in time: how long to wait
    // before asking the teacher whether to wait on (tests shorten it).
    void setLateWriteAskMs(int ms) { m_lateWriteAskMs = ms; }
    static constexpr int kLateWritePollMs = 1000;
    // How long a page's own scripts get to answer the write's events before
    // it is read back.
    static constexpr int kSettleMs = 100;

private:
    struct Prepared {
        FormSnapshot snapshot;
        TransferPlan plan;
    };
    std::optional<Prepared> prepare(Next &next);
    bool sheetStillChosen(Next &next);
    QString columnQuestion(const TransferPlan &plan) const;
    bool confirmed(const Prepared &prepared, bool preview);
    Next write(const Prepared &prepared);
    Browser::WriteFate followLateWrite(const Prepared &prepared, const QVector<int> &keys, const WriteReport &written);
    void finish(const TransferPlan &plan, const QStringList &notes, TransferReport &report);
    void journal(const Prepared &prepared, const TransferReport &report, const QStringList &notes);
    void openReport(const TransferReport &report, bool saved);
    void say(const QString &text) const;

    QWidget *m_parent;
    Browser *m_browser;
    WorkbookSession &m_session;
    Choice m_choice;
    StatusSink m_status;
    TransferUndo m_undo;
    QString m_journalFailure; // said again after the steps that replace the status line
    int m_lateWriteAskMs = 30000;
};

} // namespace tallyra
