#pragma once

#include "import/TransferJournal.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;

namespace tallyra {

// 輸入紀錄: the journal of transfers, newest first, read once when opened.
// Nothing in it can be changed.
class JournalWindow : public QWidget {
    Q_OBJECT
public:
    explicit JournalWindow(const QString &journalPath, QWidget *parent = nullptr);

    // The transfers listed, newest first.
    const QVector<JournalEntry> &entries() const { return m_entries; }

private:
    void showTransfer(int row);

    QVector<JournalEntry> m_entries;
    QListWidget *m_list = nullptr;
    QPlainTextEdit *m_details = nullptr;
    QTableWidget *m_students = nullptr;
    QLabel *m_state = nullptr;
};

} // namespace tallyra
