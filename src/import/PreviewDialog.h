#pragma once

#include "import/TransferPreview.h"

#include <QDialog>

#include <functional>

class QTableWidget;

namespace tallyra {

// Shows what 輸入成績 would write, student by student; 確定輸入 accepts,
// 取消 and Esc reject. It only shows: the preview and the check are decided
// beforehand.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // `warning`: the column check's finding, shown above the rows; empty when none.
    PreviewDialog(const TransferPreview &preview, const QString &warning, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table = nullptr;
};

// How the preview is shown: modally, or answered by a test that looks at it.
namespace PreviewDialogs {
using Handler = std::function<int(PreviewDialog &)>;
int show(PreviewDialog &dialog);      // QDialog::Accepted or Rejected
void setHandler(Handler handler);     // an empty handler restores exec()
} // namespace PreviewDialogs

} // namespace tallyra
