// The Calc plugin: every UNO call Tallyra makes, behind the plain interface
// of CalcBridge.h. Built only where the office's SDK is installed.

#include "platform/calc/CalcBridge.h"

#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/XToolkitExperimental.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/DispatchHelper.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDispatchHelper.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/DeploymentException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

using namespace com::sun::star;
using rtl::OUString;
using uno::Reference;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

namespace tallyra::calc {
namespace {

// sal_Unicode and char16_t are both UTF-16 code units.
OUString toOU(const std::u16string &s)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(s.data()), static_cast<sal_Int32>(s.size()));
}

std::u16string fromOU(const OUString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.getStr()), static_cast<size_t>(s.getLength()));
}

beans::PropertyValue property(const char *name, const uno::Any &value)
{
    beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// The plugin's own UNO environment, made once. Without URE_BOOTSTRAP naming
// the office's fundamentalrc the type manager would lack the office's types.
Reference<uno::XComponentContext> localContext()
{
    static std::once_flag once;
    static Reference<uno::XComponentContext> context;
    static OUString failure;
    std::call_once(once, [] {
        // The bridge writes to the office's pipe; an office that has died
        // must fail that call, not end Tallyra with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        setenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" TALLYRA_OFFICE_PROGRAM_DIR "/fundamentalrc", 0);
        try {
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const uno::Exception &e) {
            failure = e.Message;
        }
    });
    if (!context.is())
        throw uno::DeploymentException("no local UNO context: " + failure);
    return context;
}

class UnoOffice final : public Office {
public:
    UnoOffice(Reference<uno::XComponentContext> context, Reference<frame::XDesktop2> desktop)
        : m_context(std::move(context)), m_desktop(std::move(desktop))
    {
    }

    ~UnoOffice() override
    {
        // Released here so that a bridge already gone cannot throw out of a destructor.
        try {
            m_documents.clear();
            m_desktop.clear();
            m_context.clear();
        } catch (...) {
        }
    }

    bool load(const std::u16string &url, bool readOnly) override
    {
        return attempt([&] {
            const beans::PropertyValue properties[] = {
                property("Hidden", uno::Any(true)),
                property("ReadOnly", uno::Any(readOnly)),
                property("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
                property("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
            };
            const uno::Sequence<beans::PropertyValue> args(properties, 4);
            Reference<frame::XComponentLoader> loader(m_desktop, UNO_QUERY_THROW);
            Reference<lang::XComponent> component = loader->loadComponentFromURL(toOU(url), "_blank", 0, args);
            Reference<sheet::XSpreadsheetDocument> document(component, UNO_QUERY);
            if (!document.is()) {
                // Loaded, but not as a spreadsheet: do not leave it open unseen.
                Reference<util::XCloseable> closeable(component, UNO_QUERY);
                if (closeable.is())
                    closeable->close(true);
                throw uno::RuntimeException("not a spreadsheet");
            }
            m_documents.push_back(document);
            m_urls.push_back(Reference<frame::XModel>(document, UNO_QUERY_THROW)->getURL());
            m_active = static_cast<int>(m_documents.size()) - 1;
            return true;
        });
    }

    bool warmUp(const std::u16string &scratchUrl) override
    {
        return attempt([&] {
            const beans::PropertyValue hidden[] = {property("Hidden", uno::Any(true)),
                                                   property("ReadOnly", uno::Any(true))};
            const uno::Sequence<beans::PropertyValue> hiddenArgs(hidden, 2);
            Reference<frame::XComponentLoader> loader(m_desktop, UNO_QUERY_THROW);
            // A file loaded, not only a document made: most of what a first
            // load waits for is finding the file's type and opening its package.
            Reference<lang::XComponent> made = loader->loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                                           uno::Sequence<beans::PropertyValue>(hidden, 1));
            const beans::PropertyValue filter[] = {property("FilterName", uno::Any(OUString("calc8")))};
            Reference<frame::XStorable>(made, UNO_QUERY_THROW)
                ->storeToURL(toOU(scratchUrl), uno::Sequence<beans::PropertyValue>(filter, 1));
            Reference<util::XCloseable>(made, UNO_QUERY_THROW)->close(true);
            Reference<lang::XComponent> loaded = loader->loadComponentFromURL(toOU(scratchUrl), "_blank", 0, hiddenArgs);
            Reference<util::XCloseable>(loaded, UNO_QUERY_THROW)->close(true);
            return true;
        });
    }

    bool show() override
    {
        return attempt([&] {
            Reference<awt::XWindow> window = frame()->getContainerWindow();
            window->setVisible(true);
            Reference<awt::XTopWindow> top(window, UNO_QUERY);
            if (top.is())
                top->toFront();
            // Showing a view restores the sheet the file was saved on, later,
            // from the office's event queue: let that happen now, or it would
            // undo the next sheet activation.
            Reference<awt::XToolkitExperimental> toolkit(awt::Toolkit::create(m_context), UNO_QUERY);
            if (toolkit.is())
                toolkit->processEventsToIdle();
            return true;
        });
    }

    bool activateDocument(int number) override
    {
        if (number < 1 || number > static_cast<int>(m_documents.size()))
            return fail(u"no such document");
        m_active = number - 1;
        return true;
    }

    std::optional<int> sheetCount() override
    {
        return attemptValue([&] { return static_cast<int>(sheets()->getCount()); });
    }

    std::optional<std::u16string> sheetName(int number) override
    {
        return attemptValue([&] { return fromOU(Reference<container::XNamed>(sheet(number), UNO_QUERY_THROW)->getName()); });
    }

    bool activateSheet(int number) override
    {
        return attempt([&] {
            view()->setActiveSheet(sheet(number));
            return true;
        });
    }

    std::optional<std::vector<Cell>> column(int column) override
    {
        return attemptValue([&] {
            const Reference<sheet::XSpreadsheet> active = view()->getActiveSheet();
            return readColumns(active, {column}).front();
        });
    }

    std::optional<std::vector<std::vector<Cell>>> columns(int sheetNumber, const std::vector<int> &columns) override
    {
        return attemptValue([&] { return readColumns(sheet(sheetNumber), columns); });
    }

    std::optional<int> otherDocuments() override
    {
        return attemptValue([&] {
            const Reference<uno::XInterface> ours(document(), UNO_QUERY);
            int others = 0;
            const Reference<container::XEnumeration> components = m_desktop->getComponents()->createEnumeration();
            while (components->hasMoreElements()) {
                const Reference<frame::XModel> model(components->nextElement(), UNO_QUERY);
                if (model.is() && Reference<uno::XInterface>(model, UNO_QUERY) != ours)
                    ++others;
            }
            return others;
        });
    }

    std::optional<Cell> cell(int row, int column) override
    {
        return attemptValue([&] {
            if (row < 1 || column < 1)
                throw uno::RuntimeException("no such cell");
            return read(view()->getActiveSheet()->getCellByPosition(column - 1, row - 1));
        });
    }

    std::optional<bool> isModified() override
    {
        return attemptValue([&] { return bool(Reference<util::XModifiable>(document(), UNO_QUERY_THROW)->isModified()); });
    }

    bool enterText(int row, int column, const std::u16string &text) override
    {
        return attempt([&] {
            // Through the view's input, as typed: setFormula() would store
            // TRUE or 85% as a bare number without the format typing gives it.
            // A read-only view takes no typing; the model still takes the text.
            const Reference<table::XCell> cell = view()->getActiveSheet()->getCellByPosition(column - 1, row - 1);
            if (Reference<frame::XStorable>(document(), UNO_QUERY_THROW)->isReadonly()) {
                cell->setFormula(toOU(text));
                return true;
            }
            Reference<view::XSelectionSupplier>(controller(), UNO_QUERY_THROW)->select(uno::Any(cell));
            const beans::PropertyValue typed[] = {property("StringName", uno::Any(toOU(text)))};
            frame::DispatchHelper::create(m_context)->executeDispatch(
                Reference<frame::XDispatchProvider>(frame(), UNO_QUERY_THROW), ".uno:EnterString", "", 0,
                uno::Sequence<beans::PropertyValue>(typed, 1));
            return true;
        });
    }

    bool dispatch(const std::u16string &command) override
    {
        return attempt([&] {
            const Reference<frame::XDispatchHelper> helper = frame::DispatchHelper::create(m_context);
            helper->executeDispatch(Reference<frame::XDispatchProvider>(frame(), UNO_QUERY_THROW), toOU(command), "", 0,
                                    uno::Sequence<beans::PropertyValue>());
            return true;
        });
    }

    bool removeSheet(int number) override
    {
        return attempt([&] {
            const Reference<container::XNamed> named(sheet(number), UNO_QUERY_THROW);
            document()->getSheets()->removeByName(named->getName());
            return true;
        });
    }

    bool closeDocument() override
    {
        return attempt([&] {
            const Reference<sheet::XSpreadsheetDocument> doc = document();
            // Unsaved changes are dropped on purpose: no prompt may ask.
            Reference<util::XModifiable> modifiable(doc, UNO_QUERY);
            if (modifiable.is())
                modifiable->setModified(false);
            Reference<util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
            m_documents.erase(m_documents.begin() + m_active);
            m_urls.erase(m_urls.begin() + m_active);
            m_active = m_documents.empty() ? -1 : 0;
            forgetFormats();
            return true;
        });
    }

    bool terminate() override
    {
        try {
            return m_desktop.is() && m_desktop->terminate();
        } catch (const lang::DisposedException &) {
            // The connection went down with the office: it has ended.
            return true;
        } catch (const uno::Exception &e) {
            m_error = fromOU(e.Message);
            return false;
        }
    }

    std::u16string lastError() const override { return m_error; }
    void setGeneralText(bool shown) override { m_generalText = shown; }

private:
    // Runs one office call. When the teacher has reloaded the document in
    // the office meanwhile (Edit Document on a read-only one, File > Reload),
    // the model we held is gone: the call is made again on its successor.
    template <typename F>
    auto attemptValue(F &&f) -> std::optional<decltype(f())>
    {
        m_error.clear();
        for (int tries = 0; tries < 2; ++tries) {
            try {
                return f();
            } catch (const uno::Exception &e) {
                m_error = fromOU(e.Message);
                // A replaced model answers some calls with nothing rather
                // than with DisposedException: ask whether it is gone.
                if (tries > 0 || !documentGone() || !relocate())
                    break;
            }
        }
        if (m_error.empty())
            m_error = u"UNO call failed";
        return std::nullopt;
    }

    template <typename F>
    bool attempt(F &&f)
    {
        return attemptValue(std::forward<F>(f)).value_or(false);
    }

    bool documentGone() const
    {
        if (m_active < 0 || m_active >= static_cast<int>(m_documents.size()))
            return false;
        try {
            Reference<frame::XModel>(m_documents[static_cast<size_t>(m_active)], UNO_QUERY_THROW)->getURL();
            return false;
        } catch (const lang::DisposedException &) {
            return true;
        } catch (const uno::Exception &) {
            return false;
        }
    }

    // Finds the open document with the active one's address; false when the
    // office holds none (closed) or is gone itself.
    bool relocate()
    {
        if (m_active < 0 || m_active >= static_cast<int>(m_urls.size()) || m_urls[static_cast<size_t>(m_active)].isEmpty())
            return false;
        try {
            const Reference<container::XEnumeration> components = m_desktop->getComponents()->createEnumeration();
            while (components->hasMoreElements()) {
                Reference<frame::XModel> model(components->nextElement(), UNO_QUERY);
                if (model.is() && model->getURL() == m_urls[static_cast<size_t>(m_active)]) {
                    Reference<sheet::XSpreadsheetDocument> document(model, UNO_QUERY);
                    if (!document.is())
                        return false;
                    m_documents[static_cast<size_t>(m_active)] = document;
                    forgetFormats();
                    return true;
                }
            }
        } catch (const uno::Exception &) {
        }
        return false;
    }

    bool fail(const char16_t *why)
    {
        m_error = why;
        return false;
    }

    Reference<sheet::XSpreadsheetDocument> document() const
    {
        if (m_active < 0 || m_active >= static_cast<int>(m_documents.size()))
            throw uno::RuntimeException("no active document");
        return m_documents[static_cast<size_t>(m_active)];
    }

    Reference<frame::XController> controller() const
    {
        Reference<frame::XController> c = Reference<frame::XModel>(document(), UNO_QUERY_THROW)->getCurrentController();
        if (!c.is())
            throw uno::RuntimeException("document has no view");
        return c;
    }

    Reference<frame::XFrame> frame() const { return controller()->getFrame(); }
    Reference<sheet::XSpreadsheetView> view() const { return {controller(), UNO_QUERY_THROW}; }
    Reference<container::XIndexAccess> sheets() const { return {document()->getSheets(), UNO_QUERY_THROW}; }

    Reference<sheet::XSpreadsheet> sheet(int number) const
    {
        const Reference<container::XIndexAccess> all = sheets();
        if (number < 1 || number > all->getCount())
            throw uno::RuntimeException("no such sheet");
        return {all->getByIndex(number - 1), UNO_QUERY_THROW};
    }

    // The block of columns from the first to the last asked for, over the
    // sheet's used rows, in one round trip. It gives formula results as bare
    // numbers and texts (an error as nothing).
    static uno::Sequence<uno::Sequence<uno::Any>> blockData(const Reference<table::XCellRange> &block)
    {
        return Reference<sheet::XCellRangeData>(block, UNO_QUERY_THROW)->getDataArray();
    }

    std::vector<std::vector<Cell>> readColumns(const Reference<sheet::XSpreadsheet> &source, const std::vector<int> &columns)
    {
        if (columns.empty())
            return {};
        for (int column : columns) {
            if (column < 1)
                throw uno::RuntimeException("no such column");
        }
        const auto [lowest, highest] = std::minmax_element(columns.begin(), columns.end());
        const sal_Int32 first = *lowest - 1;
        const sal_Int32 last = *highest - 1;

        // The teacher may be editing while we read: a reading counts only
        // when the values were the same before and after its cell-by-cell part.
        for (int tries = 0; tries < 3; ++tries) {
            Reference<sheet::XSheetCellCursor> cursor = source->createCursor();
            Reference<sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
            const sal_Int32 lastRow =
                Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress().EndRow;
            const Reference<table::XCellRange> block = source->getCellRangeByPosition(first, 0, last, lastRow);
            const auto rows = blockData(block);
            const sal_Int32 width = last - first + 1;
            std::vector<sal_Int32> keys; // asked for at the first number that needs them

            std::vector<std::vector<Cell>> result;
            for (int column : columns) {
                const sal_Int32 offset = column - 1 - first;
                std::vector<Cell> cells;
                cells.reserve(static_cast<size_t>(rows.getLength()));
                for (const auto &row : rows) {
                    Cell c;
                    double number = 0;
                    OUString text;
                    if (offset < row.getLength() && (row[offset] >>= number)) {
                        c.kind = Cell::Kind::Number;
                        c.number = number;
                    } else if (offset < row.getLength() && (row[offset] >>= text) && !text.isEmpty()) {
                        c.kind = Cell::Kind::Text;
                        c.text = fromOU(text);
                    }
                    cells.push_back(std::move(c));
                }
                // A text of several lines comes with each tab or field as a
                // U+0001 placeholder; such a cell is read by itself.
                for (size_t r = 0; r < cells.size(); ++r) {
                    if (cells[r].kind == Cell::Kind::Text && cells[r].text.find(u'\u0001') != std::u16string::npos)
                        cells[r] = read(source->getCellByPosition(column - 1, sal_Int32(r)));
                }
                // Formula cells are read one by one for their kind of result.
                std::vector<bool> formula(cells.size(), false);
                const Reference<table::XCellRange> range = source->getCellRangeByPosition(column - 1, 0, column - 1, lastRow);
                const Reference<sheet::XSheetCellRanges> formulas =
                    Reference<sheet::XCellRangesQuery>(range, UNO_QUERY_THROW)->queryContentCells(sheet::CellFlags::FORMULA);
                for (const auto &part : formulas->getRangeAddresses()) {
                    for (sal_Int32 r = part.StartRow; r <= part.EndRow && r < static_cast<sal_Int32>(cells.size()); ++r) {
                        cells[static_cast<size_t>(r)] = read(source->getCellByPosition(column - 1, r));
                        formula[static_cast<size_t>(r)] = true;
                    }
                }
                // The other numbers take their format from the block's
                // ranges; only a number outside General is asked how it shows.
                for (size_t r = 0; r < cells.size(); ++r) {
                    Cell &c = cells[r];
                    if (formula[r] || c.kind != Cell::Kind::Number)
                        continue;
                    if (keys.empty())
                        keys = blockFormats(block, first, width, rows.getLength());
                    const Format f = format(keys[r * size_t(width) + size_t(offset)]);
                    c.shownAs = f.shownAs;
                    if (f.shownAs == Cell::Shown::Boolean) {
                        c.kind = Cell::Kind::Boolean;
                        c.number = c.number != 0 ? 1 : 0;
                    } else if (!f.general || m_generalText) {
                        c.text = fromOU(shownString(source->getCellByPosition(column - 1, sal_Int32(r))));
                    }
                }
                result.push_back(std::move(cells));
            }
            if (blockData(block) == rows)
                return result;
        }
        throw uno::RuntimeException("the sheet kept changing while it was read");
    }

    // The number format key of every cell of `block`, a row of `width` at a
    // time, from its ranges of one cell format each: a few calls for the
    // whole block rather than one for each cell.
    static std::vector<sal_Int32> blockFormats(const Reference<table::XCellRange> &block, sal_Int32 firstColumn,
                                               sal_Int32 width, sal_Int32 height)
    {
        std::vector<sal_Int32> keys(size_t(width) * size_t(height), 0);
        const Reference<container::XIndexAccess> parts =
            Reference<sheet::XUniqueCellFormatRangesSupplier>(block, UNO_QUERY_THROW)->getUniqueCellFormatRanges();
        for (sal_Int32 i = 0, count = parts->getCount(); i < count; ++i) {
            const Reference<sheet::XSheetCellRanges> ranges(parts->getByIndex(i), UNO_QUERY_THROW);
            sal_Int32 key = 0;
            Reference<beans::XPropertySet>(ranges, UNO_QUERY_THROW)->getPropertyValue("NumberFormat") >>= key;
            if (key == 0)
                continue; // already so
            for (const auto &a : ranges->getRangeAddresses()) {
                const sal_Int32 left = std::max(a.StartColumn - firstColumn, sal_Int32(0));
                const sal_Int32 right = std::min(a.EndColumn - firstColumn, width - 1);
                for (sal_Int32 r = std::max(a.StartRow, sal_Int32(0)); r <= std::min(a.EndRow, height - 1); ++r) {
                    for (sal_Int32 c = left; c <= right; ++c)
                        keys[size_t(r) * size_t(width) + size_t(c)] = key;
                }
            }
        }
        return keys;
    }

    static OUString shownString(const Reference<table::XCell> &cell)
    {
        return Reference<text::XTextRange>(cell, UNO_QUERY_THROW)->getString();
    }

    struct Format {
        Cell::Shown shownAs = Cell::Shown::Plain;
        bool general = true; // shows a number as its own text form
    };

    static Cell::Shown classOf(sal_Int16 type)
    {
        namespace F = util::NumberFormat;
        if (type & F::LOGICAL)
            return Cell::Shown::Boolean;
        if (type & F::TEXT)
            return Cell::Shown::Text;
        if ((type & F::DATETIME) == F::DATETIME)
            return Cell::Shown::DateTime;
        if (type & F::DATE)
            return Cell::Shown::Date;
        if (type & F::TIME)
            return Cell::Shown::Time;
        if (type & F::PERCENT)
            return Cell::Shown::Percent;
        return Cell::Shown::Plain;
    }

    // What the active document's format `key` shows a number as. Keys
    // belong to their document and never change meaning in it, so each is
    // asked about once.
    Format format(sal_Int32 key)
    {
        const Reference<uno::XInterface> current(document(), UNO_QUERY_THROW);
        if (current != m_formatsOf) {
            forgetFormats();
            m_formats = Reference<util::XNumberFormatsSupplier>(current, UNO_QUERY_THROW)->getNumberFormats();
            m_formatsOf = current;
        }
        if (const auto known = m_formatCache.find(key); known != m_formatCache.end())
            return known->second;
        const Reference<beans::XPropertySet> properties = m_formats->getByKey(key);
        sal_Int16 type = 0;
        properties->getPropertyValue("Type") >>= type;
        lang::Locale locale;
        properties->getPropertyValue("Locale") >>= locale;
        Format f;
        f.shownAs = classOf(type);
        // General is each locale's standard format.
        f.general = Reference<util::XNumberFormatTypes>(m_formats, UNO_QUERY_THROW)->getStandardIndex(locale) == key;
        m_formatCache.emplace(key, f);
        return f;
    }

    void forgetFormats()
    {
        m_formats.clear();
        m_formatsOf.clear();
        m_formatCache.clear();
    }

    // Calc has no boolean cells: TRUE and FALSE are numbers in a logical
    // format. A formula such as =TRUE() has a logical result in a general
    // format: the office shows it as TRUE or FALSE.
    Cell numberCell(const Reference<table::XCell> &cell, bool formula)
    {
        Cell c;
        c.formula = formula;
        if (formula)
            c.formulaText = fromOU(cell->getFormula());
        c.number = cell->getValue();
        sal_Int32 key = 0;
        Reference<beans::XPropertySet>(cell, UNO_QUERY_THROW)->getPropertyValue("NumberFormat") >>= key;
        const Format f = format(key);
        c.shownAs = f.shownAs;
        bool logical = f.shownAs == Cell::Shown::Boolean;
        if (!logical && (!f.general || m_generalText || (formula && (c.number == 0 || c.number == 1)))) {
            const OUString shown = shownString(cell);
            logical = formula && (shown == "TRUE" || shown == "FALSE");
            if (!f.general || m_generalText)
                c.text = fromOU(shown);
        }
        c.kind = logical ? Cell::Kind::Boolean : Cell::Kind::Number;
        if (logical) {
            c.number = c.number != 0 ? 1 : 0;
            c.shownAs = Cell::Shown::Boolean;
            c.text.clear();
        }
        return c;
    }

    Cell read(const Reference<table::XCell> &cell)
    {
        Cell c;
        const auto text = [&] { return fromOU(shownString(cell)); };
        switch (cell->getType()) {
        case table::CellContentType_EMPTY:
            return c;
        case table::CellContentType_VALUE:
            return numberCell(cell, false);
        case table::CellContentType_TEXT:
            c.kind = Cell::Kind::Text;
            c.text = text();
            return c;
        case table::CellContentType_FORMULA: {
            c.formula = true;
            c.formulaText = fromOU(cell->getFormula());
            if (cell->getError() != 0) {
                c.kind = Cell::Kind::Error;
                c.text = text();
                return c;
            }
            sal_Int32 result = 0;
            Reference<beans::XPropertySet>(cell, UNO_QUERY_THROW)->getPropertyValue("FormulaResultType2") >>= result;
            if (result == sheet::FormulaResult::VALUE)
                return numberCell(cell, true);
            c.kind = result == sheet::FormulaResult::ERROR ? Cell::Kind::Error : Cell::Kind::Text;
            c.text = text();
            return c;
        }
        default:
            return c;
        }
    }

    Reference<uno::XComponentContext> m_context;
    Reference<frame::XDesktop2> m_desktop;
    std::vector<Reference<sheet::XSpreadsheetDocument>> m_documents;
    std::vector<OUString> m_urls; // of m_documents, to find one again after a reload
    int m_active = -1;
    // The active document's number formats, what each key shows, and whose they are.
    Reference<util::XNumberFormats> m_formats;
    Reference<uno::XInterface> m_formatsOf;
    std::unordered_map<sal_Int32, Format> m_formatCache;
    std::u16string m_error;
    bool m_generalText = false;
};

class UnoBridge final : public Bridge {
public:
    std::unique_ptr<Office> connect(const std::u16string &pipeName, std::u16string *error) override
    {
        try {
            const Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(localContext());
            const OUString url = "uno:pipe,name=" + toOU(pipeName) + ";urp;StarOffice.ComponentContext";
            Reference<uno::XComponentContext> remote(resolver->resolve(url), UNO_QUERY_THROW);
            Reference<frame::XDesktop2> desktop = frame::Desktop::create(remote);
            return std::make_unique<UnoOffice>(remote, desktop);
        } catch (const uno::Exception &e) {
            if (error)
                *error = fromOU(e.Message);
            return nullptr;
        }
    }
};

} // namespace
} // namespace tallyra::calc

extern "C" __attribute__((visibility("default"))) tallyra::calc::Bridge *tallyra_calc_bridge(int version)
{
    if (version != tallyra::calc::kBridgeVersion)
        return nullptr;
    static tallyra::calc::UnoBridge bridge;
    return &bridge;
}
