#pragma once

// The boundary between Tallyra and its Calc plugin. The plugin holds every
// UNO call and links the office's libraries; Tallyra itself loads it at run
// time, so it builds and runs where LibreOffice is not installed. Only plain
// standard types cross the boundary; no exception does.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyra::calc {

// Raised whenever this interface changes, so that a stale plugin is refused.
inline constexpr int kBridgeVersion = 4;

struct Cell {
    enum class Kind { Empty, Number, Text, Boolean, Error };
    // What a number's format shows it as (Tallyra's NumberClass, in the same order).
    enum class Shown { Plain, Percent, Date, Time, DateTime, Boolean, Text };
    Kind kind = Kind::Empty;
    Shown shownAs = Shown::Plain; // Number: its format's class
    double number = 0;  // Number; Boolean as 1 or 0
    // Text; Error as the office shows it ("#DIV/0!"); Number: as the office
    // shows it when its format is not General (in General only when asked
    // for with Office::setGeneralText).
    std::u16string text;
    bool formula = false; // the value is a formula's result
    std::u16string formulaText; // that formula, in the office's English form ("=B2>=60")
};

// One office reached through its pipe, with the documents loaded through
// this connection. Calls block until the office answers; a call the office
// cannot answer (document closed, office gone) fails and says why in
// lastError().
class Office {
public:
    virtual ~Office() = default;

    // Loads `url` hidden, so that no prompt can block the call, and makes it
    // the active document.
    virtual bool load(const std::u16string &url, bool readOnly) = 0;
    // Makes an empty spreadsheet, saves it to `scratchUrl` and loads it
    // again, hidden, closing both: what a first load would wait for is then
    // ready. Leaves no document open; the scratch file is the caller's.
    virtual bool warmUp(const std::u16string &scratchUrl) = 0;
    // Shows the active document's window and brings it to the front.
    virtual bool show() = 0;
    virtual bool activateDocument(int number) = 0; // counted from 1, in load order
    virtual std::optional<int> sheetCount() = 0;
    virtual std::optional<std::u16string> sheetName(int number) = 0;
    virtual bool activateSheet(int number) = 0;
    // The cells of `column` in the active sheet, row 1 first, down to the
    // last used row of the sheet.
    virtual std::optional<std::vector<Cell>> column(int column) = 0;
    // The cells of `columns` of sheet `sheet` (by position, from 1), row 1
    // first, down to the sheet's last used row, as one consistent reading:
    // the values are read again at the end and the reading is repeated
    // when the teacher changed them meanwhile.
    virtual std::optional<std::vector<std::vector<Cell>>> columns(int sheet, const std::vector<int> &columns) = 0;
    virtual std::optional<Cell> cell(int row, int column) = 0;
    // How many documents the office holds besides the active one.
    virtual std::optional<int> otherDocuments() = 0;
    virtual std::optional<bool> isModified() = 0;
    // What the teacher may do in the office meanwhile: type into a cell of
    // the active sheet (formatted as typing formats it: TRUE, 85%; in a
    // read-only document, stored without); run a menu command
    // (".uno:EditDoc") on its window; delete a sheet.
    virtual bool enterText(int row, int column, const std::u16string &text) = 0;
    virtual bool dispatch(const std::u16string &command) = 0;
    virtual bool removeSheet(int number) = 0; // counted from 1
    virtual bool closeDocument() = 0; // the active one, without saving
    virtual bool terminate() = 0;     // asks the office to end
    virtual std::u16string lastError() const = 0;
    // Whether a number in General comes with the text the office shows too,
    // at one more call per cell: the comparison tool checks it against the
    // embedded reader's. Calc rounds a double such as 656.7794761286555 to
    // 15 digits otherwise than the number's own text form does.
    virtual void setGeneralText(bool) {}
};

class Bridge {
public:
    virtual ~Bridge() = default;
    // One attempt to reach the office listening on the named pipe.
    virtual std::unique_ptr<Office> connect(const std::u16string &pipeName, std::u16string *error) = 0;
};

} // namespace tallyra::calc

// The plugin's one exported symbol: its bridge, or null when the plugin was
// built for another version of this interface.
extern "C" {
using TallyraCalcBridgeFunction = tallyra::calc::Bridge *(*)(int version);
}
#define TALLYRA_CALC_BRIDGE_SYMBOL "tallyra_calc_bridge"
