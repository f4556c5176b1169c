// .xls: FreeXL reads the cells, but not booleans and error values, and it
// takes every cached formula result for a number; those are read here from the workbook stream
// (BIFF8 records FORMULA, STRING and BOOLERR, reached through libgsf) and
// merged in. Nothing else of the format is parsed here.
#include "platform/workbook/Workbook.h"

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <QByteArray>
#include <QHash>
#include <QStringDecoder>

#include <cstring>
#include <mutex>

namespace tallyra::WorkbookReader {

namespace {

struct CachedCell {
    int sheet;
    int row;
    int column;
    CellValue value;
};

quint16 u16(const QByteArray &b, qsizetype at)
{
    return quint16(quint8(b[at])) | quint16(quint8(b[at + 1])) << 8;
}

quint32 u32(const QByteArray &b, qsizetype at) { return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16; }

QString errorCode(quint8 code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#ERR!");
    }
}

QByteArray workbookStream(const QString &path)
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });

    QByteArray bytes;
    GError *error = nullptr;
    GsfInput *input = gsf_input_stdio_new(path.toLocal8Bit().constData(), &error);
    if (!input) {
        g_clear_error(&error);
        return bytes;
    }
    GsfInfile *ole = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (!ole) {
        g_clear_error(&error);
        return bytes;
    }
    GsfInput *stream = gsf_infile_child_by_name(ole, "Workbook");
    if (stream) {
        const gsf_off_t size = gsf_input_size(stream);
        if (size > 0 && size < (gsf_off_t(1) << 31)) {
            bytes.resize(static_cast<qsizetype>(size));
            if (!gsf_input_read(stream, static_cast<size_t>(size), reinterpret_cast<guint8 *>(bytes.data())))
                bytes.clear();
        }
        g_object_unref(stream);
    }
    g_object_unref(ole);
    return bytes;
}

// A STRING record's text (cch, high-byte flag, characters), continued over
// CONTINUE records that each start with a new flag byte.
QString stringRecordText(const QVector<QByteArray> &parts)
{
    if (parts.isEmpty() || parts[0].size() < 3)
        return {};
    int remaining = u16(parts[0], 0);
    QString text;
    for (int p = 0; p < parts.size() && remaining > 0; ++p) {
        const QByteArray &data = parts[p];
        qsizetype at = p == 0 ? 2 : 0;
        if (at >= data.size())
            break;
        const bool wide = quint8(data[at]) & 0x01;
        ++at;
        while (remaining > 0 && at + (wide ? 1 : 0) < data.size()) {
            text += wide ? QChar(u16(data, at)) : QChar(quint8(data[at]));
            at += wide ? 2 : 1;
            --remaining;
        }
    }
    return text;
}

// Cached formula results, booleans and errors of every worksheet, or
// nothing when the workbook is encrypted or not BIFF8.
std::optional<QVector<CachedCell>> cachedCells(const QString &path)
{
    const QByteArray stream = workbookStream(path);
    if (stream.size() < 8)
        return std::nullopt;

    QVector<CachedCell> cells;
    QVector<quint32> sheetOffsets;
    int sheet = -1; // -1: workbook globals
    bool awaitingString = false;
    CachedCell pendingString{};
    QVector<QByteArray> stringParts;

    const auto finishString = [&] {
        if (awaitingString && !stringParts.isEmpty()) {
            pendingString.value = CellValue::ofText(stringRecordText(stringParts));
            cells.push_back(pendingString);
        }
        awaitingString = false;
        stringParts.clear();
    };

    qsizetype at = 0;
    while (at + 4 <= stream.size()) {
        const quint16 type = u16(stream, at);
        const quint16 length = u16(stream, at + 2);
        const qsizetype body = at + 4;
        if (body + length > stream.size())
            break;
        const QByteArray data = stream.mid(body, length);

        if (type == 0x003C && !stringParts.isEmpty()) { // CONTINUE of a STRING
            stringParts.push_back(data);
            at = body + length;
            continue;
        }
        if (type != 0x0207 && !stringParts.isEmpty())
            finishString();

        switch (type) {
        case 0x0809: // BOF
            if (length >= 2 && u16(data, 0) != 0x0600)
                return std::nullopt; // BIFF5 and older: leave them to FreeXL alone
            sheet = static_cast<int>(sheetOffsets.indexOf(quint32(at)));
            break;
        case 0x002F: // FILEPASS
            return std::nullopt;
        case 0x0085: // BOUNDSHEET
            if (length >= 4)
                sheetOffsets.push_back(u32(data, 0));
            break;
        case 0x0006: // FORMULA
            if (sheet >= 0 && length >= 14) {
                CachedCell cell{sheet, u16(data, 0), u16(data, 2), {}};
                const QByteArray result = data.mid(6, 8);
                if (u16(result, 6) == 0xFFFF) {
                    switch (quint8(result[0])) {
                    case 0: // text in the STRING record that follows
                        awaitingString = true;
                        pendingString = cell;
                        break;
                    case 1: cell.value = CellValue::ofBoolean(quint8(result[2]) != 0); cells.push_back(cell); break;
                    case 2: cell.value = CellValue::ofError(errorCode(quint8(result[2]))); cells.push_back(cell); break;
                    default: cell.value = CellValue::ofText(QString()); cells.push_back(cell); break;
                    }
                } else {
                    double value = 0;
                    std::memcpy(&value, result.constData(), sizeof value); // little-endian IEEE 754
                    cell.value = CellValue::ofNumber(value);
                    cells.push_back(cell);
                }
            }
            break;
        case 0x0207: // STRING
            if (awaitingString)
                stringParts = {data};
            break;
        case 0x0205: // BOOLERR
            if (sheet >= 0 && length >= 8) {
                CachedCell cell{sheet, u16(data, 0), u16(data, 2), {}};
                cell.value = quint8(data[7]) ? CellValue::ofError(errorCode(quint8(data[6])))
                                             : CellValue::ofBoolean(quint8(data[6]) != 0);
                cells.push_back(cell);
            }
            break;
        default:
            break;
        }
        at = body + length;
    }
    finishString();
    return cells;
}

} // namespace

std::optional<Workbook> readXls(const QString &path)
{
    const void *handle = nullptr;
    if (freexl_open(path.toLocal8Bit().constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return std::nullopt;
    }
    struct Closer {
        const void *h;
        ~Closer() { freexl_close(h); }
    } closer{handle};

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) != FREEXL_OK || info != FREEXL_BIFF_PLAIN)
        return std::nullopt;
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK || sheetCount == 0)
        return std::nullopt;

    Workbook workbook;
    workbook.sheets.resize(sheetCount);
    for (unsigned short s = 0; s < sheetCount; ++s) {
        WorkbookSheet &sheet = workbook.sheets[s];
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, s, &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, s) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            continue;
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                    continue;
                switch (v.type) {
                case FREEXL_CELL_INT: sheet.set(int(r), c, CellValue::ofNumber(v.value.int_value)); break;
                case FREEXL_CELL_DOUBLE: sheet.set(int(r), c, CellValue::ofNumber(v.value.double_value)); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    sheet.set(int(r), c, CellValue::ofText(QString::fromUtf8(v.value.text_value)));
                    break;
                default: break;
                }
            }
        }
    }

    if (const auto cached = cachedCells(path)) {
        for (const CachedCell &cell : *cached) {
            if (cell.sheet < 0 || cell.sheet >= int(workbook.sheets.size()))
                continue;
            // FreeXL reads every formula result as a number, also texts,
            // errors and booleans; the record's own result decides.
            workbook.sheets[size_t(cell.sheet)].set(cell.row, cell.column, cell.value);
        }
    }
    return workbook;
}

} // namespace tallyra::WorkbookReader
