// Writes a ROWS x COLUMNS .xlsx of mixed numbers and texts for the benchmark.
//   tallyra-make-big-workbook FILE ROWS COLUMNS
#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 2;
    const int rows = std::atoi(argv[2]);
    const int columns = std::atoi(argv[3]);
    lxw_workbook *book = workbook_new(argv[1]);
    lxw_worksheet *ws = workbook_add_worksheet(book, "成績");
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c == 0) {
                char id[16];
                std::snprintf(id, sizeof id, "%07d", r);
                worksheet_write_string(ws, r, c, id, nullptr);
            } else if (c == 1) {
                worksheet_write_string(ws, r, c, (std::string("學生") + std::to_string(r % 997)).c_str(), nullptr);
            } else {
                worksheet_write_number(ws, r, c, (r * 31 + c * 17) % 1000 / 10.0, nullptr);
            }
        }
    }
    return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}
