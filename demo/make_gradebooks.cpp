// Writes the demo gradebook, or the small workbook the reader tests use, as
// .xlsx. Formulas are written with their results, since a workbook is not
// recomputed when it is read.
//
//   tallyra-make-gradebooks demo  DIR   -> DIR/示範成績冊.xlsx
//   tallyra-make-gradebooks tests DIR   -> DIR/values.xlsx
#include "Roster.h"

#include <xlsxwriter.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

double roundTo(double v, int places)
{
    const double f = std::pow(10.0, places);
    return std::round(v * f) / f;
}

// A stable spread of plausible scores.
int score(int seat, int column, int salt)
{
    const unsigned h = static_cast<unsigned>(seat * 7919 + column * 104729 + salt * 1299709);
    return 42 + static_cast<int>((h ^ (h >> 7)) % 59);
}

void writeClassSheet(lxw_workbook *book, const demo::SchoolClass &c, int salt, lxw_format *header, lxw_format *text)
{
    const std::string name = c.name + c.subject;
    lxw_worksheet *ws = workbook_add_worksheet(book, name.c_str());
    const char *titles[] = {"座號", "學號", "姓名", "平時成績", "第一次段考", "第二次段考", "學期成績"};
    for (int col = 0; col < 7; ++col)
        worksheet_write_string(ws, 0, col, titles[col], header);
    worksheet_set_column(ws, 1, 2, 11, nullptr);
    worksheet_set_column(ws, 3, 6, 10, nullptr);

    int row = 1;
    for (const demo::Student &s : c.students) {
        // One student of the page is missing from the gradebook on purpose.
        if (s.seat == 20)
            continue;
        worksheet_write_number(ws, row, 0, s.seat, nullptr);
        worksheet_write_string(ws, row, 1, s.id.c_str(), text); // IDs with leading zeros stay text
        worksheet_write_string(ws, row, 2, s.name.c_str(), nullptr);
        const double daily = score(s.seat, 3, salt);
        double first = score(s.seat, 4, salt);
        const double second = score(s.seat, 5, salt);
        worksheet_write_number(ws, row, 3, daily, nullptr);
        bool firstIsNumber = true;
        switch (s.seat) { // the anomalies of the first exam
        case 3: firstIsNumber = false; break;                                            // empty
        case 5: firstIsNumber = false; worksheet_write_string(ws, row, 4, "缺考", nullptr); break; // text
        case 8: first = -5; break;                                                       // negative
        case 11: first = 105; break;                                                     // over 100
        case 14: first = 58.5; break;                                                    // rounds to a pass
        case 17: first = 58; break;                                                      // borderline
        default: break;
        }
        if (firstIsNumber)
            worksheet_write_number(ws, row, 4, first, nullptr);
        worksheet_write_number(ws, row, 5, second, nullptr);
        const std::string formula = "=ROUND(D" + std::to_string(row + 1) + "*0.4+E" + std::to_string(row + 1)
                                    + "*0.3+F" + std::to_string(row + 1) + "*0.3,1)";
        const double total = roundTo(daily * 0.4 + (firstIsNumber ? first : 0) * 0.3 + second * 0.3, 1);
        if (s.seat == 5)
            worksheet_write_formula_str(ws, row, 6, formula.c_str(), nullptr, "#VALUE!");
        else
            worksheet_write_formula_num(ws, row, 6, formula.c_str(), nullptr, total);
        ++row;
    }
}

int writeDemo(const std::string &dir)
{
    const std::string path = dir + "/示範成績冊.xlsx";
    lxw_workbook *book = workbook_new(path.c_str());
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    format_set_bg_color(header, 0xDDEBF7);
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");
    int salt = 1;
    for (const demo::SchoolClass &c : demo::demoClasses()) {
        if (!c.sameRosterAsEarlier)
            writeClassSheet(book, c, salt++, header, text);
    }
    lxw_worksheet *notes = workbook_add_worksheet(book, "說明");
    worksheet_write_string(notes, 0, 0, "學期成績 = 平時成績 40% + 第一次段考 30% + 第二次段考 30%", nullptr);
    return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}

// Every kind of value the reader must tell apart, in the same places in
// every format: see tests/fixtures/workbooks/README.md.
int writeTests(const std::string &dir)
{
    const std::string path = dir + "/values.xlsx";
    lxw_workbook *book = workbook_new(path.c_str());
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");

    lxw_worksheet *ws = workbook_add_worksheet(book, "成績 一");
    worksheet_write_string(ws, 0, 0, "學號", nullptr);
    worksheet_write_string(ws, 0, 1, "分數", nullptr);
    worksheet_write_string(ws, 0, 2, "備註", nullptr);
    struct Row {
        const char *id;
        int kind; // 0 number, 1 text, 2 empty, 3 formula number, 4 formula error, 5 boolean, 6 formula text
        double number;
        const char *textValue;
    };
    const Row rows[] = {
        {"0123", 0, 77.5, nullptr},           // row 2
        {"0456", 0, 100, nullptr},            // row 3
        {"0789", 3, 1.0 / 3, "=1/3"},         // row 4
        {"1001", 1, 0, " 85 "},               // row 5
        {"1002", 2, 0, nullptr},              // row 6
        {"1003", 4, 0, "=1/0"},               // row 7
        {"1004", 5, 1, nullptr},              // row 8
        {"1005", 0, -5, nullptr},             // row 9
        {"1006", 3, 58.5, "=117/2"},          // row 10
        {"ab12", 6, 0, "=\"缺\"&\"考\""},     // row 11
        {"1007", 0, 1e20, nullptr},           // row 12
        {"1008", 0, 0.1 + 0.2, nullptr},      // row 13
    };
    int r = 1;
    for (const Row &row : rows) {
        worksheet_write_string(ws, r, 0, row.id, text);
        switch (row.kind) {
        case 0: worksheet_write_number(ws, r, 1, row.number, nullptr); break;
        case 1: worksheet_write_string(ws, r, 1, row.textValue, nullptr); break;
        case 3: worksheet_write_formula_num(ws, r, 1, row.textValue, nullptr, row.number); break;
        case 4: worksheet_write_formula_str(ws, r, 1, row.textValue, nullptr, "#DIV/0!"); break;
        case 5: worksheet_write_boolean(ws, r, 1, 1, nullptr); break;
        case 6: worksheet_write_formula_str(ws, r, 1, row.textValue, nullptr, "缺考"); break;
        default: break;
        }
        ++r;
    }
    worksheet_write_string(ws, 299, 0, "9300", text); // row 300, beyond the first 255
    worksheet_write_number(ws, 299, 1, 66, nullptr);
    worksheet_write_string(ws, 300, 0, "0123", text); // row 301: an ID listed twice
    worksheet_write_number(ws, 300, 1, 12, nullptr);

    lxw_worksheet *second = workbook_add_worksheet(book, "Sheet2");
    worksheet_write_string(second, 0, 0, "second", nullptr);
    workbook_add_worksheet(book, "第三頁");
    return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tallyra-make-gradebooks demo|tests DIR\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "demo")
        return writeDemo(argv[2]);
    if (mode == "tests")
        return writeTests(argv[2]);
    std::fprintf(stderr, "usage: tallyra-make-gradebooks demo|tests DIR\n");
    return 2;
}
