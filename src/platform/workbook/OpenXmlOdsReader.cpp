// .xlsx / .xlsm / .ods through liborcus, into our own compact model: only
// values are kept, formula cells as the results the file has cached. The
// ODS reader of liborcus 0.17 passes on numeric formula results only; a
// formula cell it leaves without a result is an error value ("#ERR!"), so
// that it is neither mistaken for an empty cell nor matched as an ID.
#include "platform/workbook/Workbook.h"

#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>

#include <QFile>

#include <array>
#include <deque>
#include <exception>
#include <memory>
#include <string>

namespace tallyra::WorkbookReader {

namespace orcus_styles {
using namespace orcus::spreadsheet;
using orcus::length_unit_t;

// Styles do not matter for values, but the ODS reader needs someone to take them.
class NoStyles : public iface::import_styles {
public:
    void set_font_count(size_t) override { }
    void set_font_bold(bool) override { }
    void set_font_italic(bool) override { }
    void set_font_name(std::string_view) override { }
    void set_font_size(double) override { }
    void set_font_underline(underline_t) override { }
    void set_font_underline_width(underline_width_t) override { }
    void set_font_underline_mode(underline_mode_t) override { }
    void set_font_underline_type(underline_type_t) override { }
    void set_font_underline_color(color_elem_t, color_elem_t, color_elem_t, color_elem_t) override { }
    void set_font_color(color_elem_t, color_elem_t, color_elem_t, color_elem_t) override { }
    void set_strikethrough_style(strikethrough_style_t) override { }
    void set_strikethrough_type(strikethrough_type_t) override { }
    void set_strikethrough_width(strikethrough_width_t) override { }
    void set_strikethrough_text(strikethrough_text_t) override { }
    size_t commit_font() override { return 0; }
    void set_fill_count(size_t) override { }
    void set_fill_pattern_type(fill_pattern_t) override { }
    void set_fill_fg_color(color_elem_t, color_elem_t, color_elem_t, color_elem_t) override { }
    void set_fill_bg_color(color_elem_t, color_elem_t, color_elem_t, color_elem_t) override { }
    size_t commit_fill() override { return 0; }
    void set_border_count(size_t) override { }
    void set_border_style(border_direction_t, border_style_t) override { }
    void set_border_color(border_direction_t, color_elem_t, color_elem_t, color_elem_t, color_elem_t) override { }
    void set_border_width(border_direction_t, double, orcus::length_unit_t) override { }
    size_t commit_border() override { return 0; }
    void set_cell_hidden(bool) override { }
    void set_cell_locked(bool) override { }
    void set_cell_print_content(bool) override { }
    void set_cell_formula_hidden(bool) override { }
    size_t commit_cell_protection() override { return 0; }
    void set_number_format_count(size_t) override { }
    void set_number_format_identifier(size_t) override { }
    void set_number_format_code(std::string_view) override { }
    size_t commit_number_format() override { return 0; }
    void set_cell_xf_count(size_t) override { }
    void set_cell_style_xf_count(size_t) override { }
    void set_dxf_count(size_t) override { }
    void set_xf_font(size_t) override { }
    void set_xf_fill(size_t) override { }
    void set_xf_border(size_t) override { }
    void set_xf_protection(size_t) override { }
    void set_xf_number_format(size_t) override { }
    void set_xf_style_xf(size_t) override { }
    void set_xf_apply_alignment(bool) override { }
    void set_xf_horizontal_alignment(hor_alignment_t) override { }
    void set_xf_vertical_alignment(ver_alignment_t) override { }
    size_t commit_cell_xf() override { return 0; }
    size_t commit_cell_style_xf() override { return 0; }
    size_t commit_dxf() override { return 0; }
    void set_cell_style_count(size_t) override { }
    void set_cell_style_name(std::string_view) override { }
    void set_cell_style_xf(size_t) override { }
    void set_cell_style_builtin(size_t) override { }
    void set_cell_style_parent_name(std::string_view) override { }
    size_t commit_cell_style() override { return 0; }
};
} // namespace orcus_styles

namespace {

namespace ss = orcus::spreadsheet;

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool isErrorCode(std::string_view s) { return WorkbookReader::isErrorCode(toQString(s)); }

class SharedStrings : public ss::iface::import_shared_strings {
public:
    size_t append(std::string_view s) override
    {
        m_strings.push_back(toQString(s));
        return m_strings.size() - 1;
    }
    size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { m_segments += toQString(s); }
    size_t commit_segments() override
    {
        m_strings.push_back(m_segments);
        m_segments.clear();
        return m_strings.size() - 1;
    }

    QString at(size_t index) const { return index < m_strings.size() ? m_strings[index] : QString(); }

private:
    std::vector<QString> m_strings;
    QString m_segments;
};

class Formula : public ss::iface::import_formula {
public:
    explicit Formula(WorkbookSheet &sheet) : m_sheet(sheet) {}
    void set_position(ss::row_t row, ss::col_t col) override
    {
        m_row = row;
        m_col = col;
        m_result = {};
        m_hasResult = false;
    }
    void set_formula(ss::formula_grammar_t, std::string_view) override {}
    void set_shared_formula_index(size_t) override {}
    void set_result_string(std::string_view value) override
    {
        setResult(isErrorCode(value) ? CellValue::ofError(toQString(value)) : CellValue::ofText(toQString(value)));
    }
    void set_result_value(double value) override { setResult(CellValue::ofNumber(value)); }
    void set_result_bool(bool value) override { setResult(CellValue::ofBoolean(value)); }
    void set_result_empty() override { setResult({}); }
    void commit() override
    {
        m_sheet.set(m_row, m_col, m_hasResult ? m_result : CellValue::ofError(QStringLiteral("#ERR!")));
    }

private:
    void setResult(CellValue value)
    {
        m_result = std::move(value);
        m_hasResult = true;
    }

    WorkbookSheet &m_sheet;
    int m_row = 0;
    int m_col = 0;
    CellValue m_result;
    bool m_hasResult = false;
};

class ArrayFormula : public ss::iface::import_array_formula {
public:
    explicit ArrayFormula(WorkbookSheet &sheet) : m_sheet(sheet) {}
    void set_range(const ss::range_t &) override {}
    void set_formula(ss::formula_grammar_t, std::string_view) override {}
    void set_result_string(ss::row_t row, ss::col_t col, std::string_view value) override
    {
        m_sheet.set(row, col, isErrorCode(value) ? CellValue::ofError(toQString(value)) : CellValue::ofText(toQString(value)));
    }
    void set_result_value(ss::row_t row, ss::col_t col, double value) override
    {
        m_sheet.set(row, col, CellValue::ofNumber(value));
    }
    void set_result_bool(ss::row_t row, ss::col_t col, bool value) override
    {
        m_sheet.set(row, col, CellValue::ofBoolean(value));
    }
    void set_result_empty(ss::row_t, ss::col_t) override {}
    void commit() override {}

private:
    WorkbookSheet &m_sheet;
};

class Sheet : public ss::iface::import_sheet {
public:
    Sheet(WorkbookSheet &sheet, const SharedStrings &strings)
        : m_sheet(sheet), m_strings(strings), m_formula(sheet), m_arrayFormula(sheet)
    {
    }

    ss::iface::import_formula *get_formula() override { return &m_formula; }
    ss::iface::import_array_formula *get_array_formula() override { return &m_arrayFormula; }

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override
    {
        bool ok = false;
        const double v = toQString(s).toDouble(&ok);
        m_sheet.set(row, col, ok ? CellValue::ofNumber(v) : CellValue::ofText(toQString(s)));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override
    {
        m_sheet.set(row, col, CellValue::ofText(m_strings.at(index)));
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override
    {
        m_sheet.set(row, col, CellValue::ofNumber(value));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override { m_sheet.set(row, col, CellValue::ofBoolean(value)); }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                       double second) override
    {
        QString text = QStringLiteral("%1-%2-%3").arg(year, 4, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'));
        if (hour || minute || second)
            text += QStringLiteral(" %1:%2:%3").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0')).arg(int(second), 2, 10, QLatin1Char('0'));
        m_sheet.set(row, col, CellValue::ofText(text));
    }
    void set_format(ss::row_t, ss::col_t, size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t srcRow, ss::col_t srcCol, ss::row_t rangeSize) override
    {
        const CellValue *source = m_sheet.at(srcRow, srcCol);
        if (!source)
            return;
        const CellValue copy = *source;
        for (ss::row_t r = 1; r <= rangeSize; ++r)
            m_sheet.set(srcRow + r, srcCol, copy);
    }
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

private:
    WorkbookSheet &m_sheet;
    const SharedStrings &m_strings;
    Formula m_formula;
    ArrayFormula m_arrayFormula;
};

// Cell addresses in A1 form ("$B$17", "Sheet1!B17", ".B17"), which the
// readers resolve for ranges they report; we only need them to parse.
class ReferenceResolver : public ss::iface::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view address) override
    {
        ss::src_address_t result{0, 0, 0};
        const size_t bang = address.find_last_of("!.");
        if (bang != std::string_view::npos)
            address.remove_prefix(bang + 1);
        size_t i = 0;
        int column = 0;
        int row = 0;
        for (; i < address.size(); ++i) {
            const char c = address[i];
            if (c == '$')
                continue;
            if (c >= 'A' && c <= 'Z')
                column = column * 26 + (c - 'A' + 1);
            else if (c >= 'a' && c <= 'z')
                column = column * 26 + (c - 'a' + 1);
            else
                break;
        }
        for (; i < address.size(); ++i) {
            const char c = address[i];
            if (c == '$')
                continue;
            if (c < '0' || c > '9')
                break;
            row = row * 10 + (c - '0');
        }
        result.column = std::max(column - 1, 0);
        result.row = std::max(row - 1, 0);
        return result;
    }

    ss::src_range_t resolve_range(std::string_view range) override
    {
        const size_t colon = range.find(':');
        if (colon == std::string_view::npos) {
            const auto a = resolve_address(range);
            return {a, a};
        }
        return {resolve_address(range.substr(0, colon)), resolve_address(range.substr(colon + 1))};
    }
};

class GlobalSettings : public ss::iface::import_global_settings {
public:
    void set_origin_date(int, int, int) override {}
    void set_default_formula_grammar(ss::formula_grammar_t grammar) override { m_grammar = grammar; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return m_grammar; }
    void set_character_set(orcus::character_set_t) override {}

private:
    ss::formula_grammar_t m_grammar = ss::formula_grammar_t::xlsx;
};

class Factory : public ss::iface::import_factory {
public:
    ss::iface::import_global_settings *get_global_settings() override { return &m_settings; }
    ss::iface::import_styles *get_styles() override { return &m_styles; }
    ss::iface::import_reference_resolver *get_reference_resolver(ss::formula_ref_context_t) override
    {
        return &m_resolver;
    }

    ss::iface::import_shared_strings *get_shared_strings() override { return &m_strings; }

    ss::iface::import_sheet *append_sheet(ss::sheet_t index, std::string_view name) override
    {
        if (index != static_cast<ss::sheet_t>(m_data.size()))
            return nullptr;
        // A deque keeps every sheet where it is while later ones are appended.
        m_data.push_back({toQString(name), {}, 0});
        m_sheets.push_back(std::make_unique<Sheet>(m_data.back(), m_strings));
        return m_sheets.back().get();
    }

    ss::iface::import_sheet *get_sheet(std::string_view name) override
    {
        const QString wanted = toQString(name);
        for (size_t i = 0; i < m_data.size(); ++i)
            if (m_data[i].name == wanted)
                return m_sheets[i].get();
        return nullptr;
    }

    ss::iface::import_sheet *get_sheet(ss::sheet_t index) override
    {
        return index >= 0 && static_cast<size_t>(index) < m_sheets.size() ? m_sheets[static_cast<size_t>(index)].get()
                                                                           : nullptr;
    }

    void finalize() override {}

    Workbook take()
    {
        Workbook workbook;
        workbook.sheets.reserve(m_data.size());
        for (auto &sheet : m_data)
            workbook.sheets.push_back(std::move(sheet));
        return workbook;
    }

private:
    GlobalSettings m_settings;
    orcus_styles::NoStyles m_styles;
    ReferenceResolver m_resolver;
    std::deque<WorkbookSheet> m_data;
    SharedStrings m_strings;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
};

} // namespace

std::optional<Workbook> readOpenXmlOrOds(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    const auto *blob = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto size = static_cast<size_t>(bytes.size());

    try {
        Factory factory;
        std::unique_ptr<orcus::iface::import_filter> filter;
        if (orcus::orcus_xlsx::detect(blob, size))
            filter = std::make_unique<orcus::orcus_xlsx>(&factory);
        else if (orcus::orcus_ods::detect(blob, size))
            filter = std::make_unique<orcus::orcus_ods>(&factory);
        else
            return std::nullopt;
        filter->read_stream(std::string_view(bytes.constData(), size));
        Workbook workbook = factory.take();
        if (workbook.sheets.empty())
            return std::nullopt;
        return workbook;
    } catch (const std::exception &) {
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace tallyra::WorkbookReader
