#pragma once

#include "workbook/CellValue.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

namespace tallyra {

// The rows of one column's cells that a text finds: those whose whole text
// form, or whose shown text as a plain number (091001 for 91001 shown as
// "000000"), equals it, letter case ignored, both taken in their typed form
// (TextNumbers::typedForm: full-width characters as ASCII, blanks around
// trimmed). In row order. Built once per column, asked once per student.
class ColumnSearch {
public:
    void add(int row, const CellValue &value);
    QVector<int> find(const QString &text) const { return m_rows.value(key(text)); }
    // Rows of the plain number cells holding `number`, a whole number.
    QVector<int> findNumber(qint64 number) const { return m_numbers.value(number); }

    // The whole number an ID made only of digits stands for (leading zeros
    // ignored), within what a cell holds exactly; nothing for other IDs.
    static std::optional<qint64> idNumber(const QString &id);

private:
    static QString key(const QString &text);
    QHash<QString, QVector<int>> m_rows;
    QHash<qint64, QVector<int>> m_numbers;
};

// One running instance of the spreadsheet application, with the calls the
// workbook session and the transfer make. Rows and columns count from 1.
// A call that fails says so; none throws.
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;

    virtual bool setVisible(bool visible) = 0;
    virtual bool open(const QString &path, bool readOnly) = 0;
    virtual bool activateWorkbook(int number) = 0;
    virtual std::optional<int> sheetCount() const = 0;
    virtual std::optional<QString> sheetName(int number) const = 0;
    virtual bool activateSheet(int number) = 0;

    // Every row of the active sheet whose cell in `column` holds `text` as
    // its whole text form, blanks around it and letter case ignored, over
    // every used row from row 1 on.
    virtual std::optional<QVector<int>> findInColumn(int column, const QString &text) const = 0;

    virtual std::optional<CellValue> cell(int row, int column) const = 0;

    // The cells of `columns` of sheet `sheet` (by position, from 1), whatever
    // sheet is active, read at one moment: one list per column, row 1 first,
    // down to the last used row of the sheet.
    virtual std::optional<QVector<QVector<CellValue>>> readColumns(int sheet, const QVector<int> &columns) const = 0;

    enum class FileState { Unchanged, Reloaded, Unreadable };
    // Reads the active workbook's file again when it changed on disk since
    // it was read. An application that holds the document itself, as Calc
    // does, has nothing to read again.
    virtual FileState reloadIfChanged() { return FileState::Unchanged; }

    // How many documents the instance holds besides the active workbook
    // (others the teacher opened in it); nothing when that cannot be told.
    virtual std::optional<int> otherDocumentCount() const = 0;

    // Whether the active workbook holds changes not saved to its file;
    // nothing when that cannot be told.
    virtual std::optional<bool> hasUnsavedChanges() const = 0;
    virtual bool closeActiveWorkbook() = 0; // without saving
    virtual bool quit() = 0;

    // Why the last open() failed, in one line for the teacher; empty when
    // the application has said so itself (Calc shows its own message).
    virtual QString openFailure() const { return {}; }

    // A new instance, never one already running. The instance keeps itself
    // alive (its window stays open) until it quits, whoever else drops it.
    static std::shared_ptr<Spreadsheet> start();

    // A start begun ahead of need, while the teacher is still choosing a
    // file: take() gives what start() would, without waiting for an
    // application that could start in the meantime. An instance never
    // taken ends with the Pending.
    class Pending {
    public:
        virtual ~Pending() = default;
        virtual std::shared_ptr<Spreadsheet> take() = 0;
    };
    static std::unique_ptr<Pending> startAhead();

    using Factory = std::function<std::shared_ptr<Spreadsheet>()>;
    // Replaces the implementation (tests), which then starts only when
    // taken; an empty factory restores it.
    static void setFactory(Factory factory);
};

} // namespace tallyra
