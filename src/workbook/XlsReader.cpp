// .xls: BIFF8 (Excel 97 and later) and BIFF5 (Excel 5 and 95) workbooks,
// in the compound file that libgsf opens (the small-block stream included).
// The records are walked with a checked cursor: the globals give the sheet
// list and the shared strings, each worksheet its cells; charts and other
// substreams are passed over. Dates are the serial numbers they are stored as.
#include "workbook/BiffCursor.h"
#include "workbook/CompoundFile.h"
#include "workbook/FormatCode.h"
#include "workbook/XlsDecryption.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <iconv.h>

#include <mutex>

namespace tallyra::WorkbookReader {

namespace {

namespace record {
constexpr quint16 Bof = 0x0809, Eof = 0x000A, Continue = 0x003C, FilePass = 0x002F, CodePage = 0x0042,
                  BoundSheet = 0x0085, Sst = 0x00FC, Number = 0x0203, Rk = 0x027E, MulRk = 0x00BD,
                  LabelSst = 0x00FD, Label = 0x0204, RString = 0x00D6, BoolErr = 0x0205, Formula = 0x0006,
                  Formula3 = 0x0206, Formula4 = 0x0406, String = 0x0207, Array = 0x0221, ShrFmla = 0x04BC,
                  Table = 0x0236, Font = 0x0031, Xf = 0x00E0, Format = 0x041E, DateMode = 0x0022;
// Excel 2 and 3 number their FORMAT records by their order; so does Excel 4,
// whose FORMAT has the later number but a field it leaves unused.
constexpr quint16 Format2 = 0x001E, Xf2 = 0x0043, Xf3 = 0x0243, Xf4 = 0x0443;
// Excel 2's cell records: a 3-byte attribute in place of the XF number,
// 8-bit string lengths. The numbers differ from the later ones, but for
// FORMULA, which the BOF's version tells apart.
constexpr quint16 Integer2 = 0x0002, Number2 = 0x0003, Label2 = 0x0004, BoolErr2 = 0x0005, String2 = 0x0007;
// The XF number of the next Excel 2 cell whose attribute says 63.
constexpr quint16 Ixfe2 = 0x0044;
// The BOF records of BIFF2, 3 and 4.
constexpr quint16 Bof2 = 0x0009, Bof3 = 0x0209, Bof4 = 0x0409;
constexpr quint16 OldBofs[] = {Bof2, Bof3, Bof4};
} // namespace record

struct Record {
    quint16 type = 0;
    qsizetype offset = 0; // of its header in the stream
    std::vector<QByteArrayView> segments; // its bytes, then each CONTINUE's

    BiffCursor cursor() const { return BiffCursor(segments); }
    qsizetype size() const { return segments.front().size(); }
};

// The records of a stream from a given offset, each with its CONTINUEs.
// A record cut short by the stream's end ends the walk.
class RecordStream {
public:
    RecordStream(QByteArrayView stream, qsizetype from) : m_stream(stream), m_at(from) {}

    bool next(Record &out)
    {
        if (!header(m_at, out.type, out.segments))
            return false;
        out.offset = m_at;
        m_at += 4 + out.segments.front().size();
        quint16 type = 0;
        std::vector<QByteArrayView> more;
        while (header(m_at, type, more) && type == record::Continue) {
            out.segments.push_back(more.front());
            m_at += 4 + more.front().size();
        }
        return true;
    }

private:
    bool header(qsizetype at, quint16 &type, std::vector<QByteArrayView> &segments) const
    {
        if (at < 0 || at + 4 > m_stream.size())
            return false;
        const auto *p = reinterpret_cast<const quint8 *>(m_stream.data() + at);
        type = quint16(p[0] | p[1] << 8);
        const qsizetype length = p[2] | p[3] << 8;
        if (at + 4 + length > m_stream.size())
            return false;
        segments.assign(1, m_stream.sliced(at + 4, length));
        return true;
    }

    QByteArrayView m_stream;
    qsizetype m_at;
};

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#N/A");
    }
}

// An RK value: a 30-bit integer or the top 30 bits of a double, maybe / 100.
double rkValue(quint32 rk)
{
    double value;
    if (rk & 0x02) {
        value = static_cast<qint32>(rk) >> 2;
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

// The 8-bit strings of BIFF5 in the workbook's code page.
class CodePage {
public:
    void set(quint16 number)
    {
        m_number = number;
        m_given = true;
    }
    // Whether the workbook named an 8-bit code page (1200, "UTF-16", is none).
    bool known() const { return m_given && m_number != 1200; }

    // The code page of a font's Windows character set; 0 for none known
    // (DEFAULT_CHARSET, SYMBOL_CHARSET and the like).
    static quint16 ofCharset(quint8 charset)
    {
        switch (charset) {
        case 0: return 1252;
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        default: return 0;
        }
    }

    quint16 number() const { return m_number; }

    QString decode(const QByteArray &bytes) const
    {
        const char *name = nameOf(m_number);
        if (!name)
            return QString::fromLatin1(bytes);
        iconv_t cd = iconv_open("UTF-16LE", name);
        if (cd == iconv_t(-1))
            return QString::fromLatin1(bytes);
        QByteArray out(bytes.size() * 4 + 4, Qt::Uninitialized);
        char *in = const_cast<char *>(bytes.constData());
        size_t inLeft = static_cast<size_t>(bytes.size());
        char *to = out.data();
        size_t outLeft = static_cast<size_t>(out.size());
        const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
        iconv_close(cd);
        if (done == size_t(-1))
            refuse(ReadFailure::Damaged);
        return QString(reinterpret_cast<const QChar *>(out.constData()),
                       static_cast<qsizetype>((out.size() - static_cast<qsizetype>(outLeft)) / 2));
    }

private:
    static const char *nameOf(quint16 number)
    {
        switch (number) {
        case 367: return "ASCII";
        case 437: return "CP437";
        case 850: return "CP850";
        case 874: return "CP874";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        case 1250: return "CP1250";
        case 1251: return "CP1251";
        case 1252: case 0x8001: return "CP1252";
        case 1253: return "CP1253";
        case 1254: return "CP1254";
        case 1255: return "CP1255";
        case 1256: return "CP1256";
        case 1257: return "CP1257";
        case 1258: return "CP1258";
        case 10000: case 0x8000: return "MACINTOSH";
        case 65001: return "UTF-8";
        default: return "CP1252";
        }
    }

    quint16 m_number = 1252;
    bool m_given = false;
};

class XlsReader {
public:
    explicit XlsReader(QByteArray stream, bool biff8Name, bool decrypted = false)
        : m_stream(std::move(stream)), m_biff8Name(biff8Name), m_decrypted(decrypted)
    {
    }

    Workbook read()
    {
        readGlobals();
        for (const SheetEntry &entry : m_sheets) {
            WorkbookSheet &sheet = m_builder.addSheet(entry.name);
            if (entry.type == 0x00 || entry.type == 0x01)
                readWorksheet(entry.offset, sheet);
        }
        return m_builder.take();
    }

    // Excel 3 and 4 wrote one worksheet per file, its records straight
    // into it, its strings in the code page as in BIFF5.
    // A worksheet written straight into the file, without a workbook
    // around it: Excel 2 to 4, or a BIFF5/8 sheet stream on its own.
    Workbook readLoneSheet(bool biff8)
    {
        m_biff8 = biff8;
        m_lone = true;
        readWorksheet(0, m_builder.addSheet(QStringLiteral("Sheet1")));
        Workbook workbook = m_builder.take();
        workbook.namedAfterFile = m_stream.startsWith(QByteArrayView("\x09\x00", 2));
        return workbook;
    }

private:
    struct SheetEntry {
        QString name;
        quint32 offset;
        quint8 type; // 0 worksheet, 1 macro sheet, 2 chart
    };

    // A string of the workbook's version: BIFF8's unicode, BIFF5's bytes.
    QString string(BiffCursor &c, bool shortLength = false) { return string(c, m_codePage, shortLength); }
    QString string(BiffCursor &c, const CodePage &codePage, bool shortLength = false)
    {
        if (m_biff8)
            return c.unicodeString(shortLength);
        const qsizetype count = shortLength ? c.u8() : c.u16();
        return codePage.decode(c.bytes(count));
    }

    // The bytes of a BIFF5 cell's text are in the workbook's code page; a
    // workbook that names none (or names UTF-16, which no byte string can
    // be) has them in the character set of the cell's font, as Calc reads them.
    const CodePage &cellCodePage(quint16 xf) const
    {
        if (m_codePage.known() || xf >= m_xfFonts.size())
            return m_codePage;
        // The fourth font is never written: font numbers from 4 on count from 5.
        const quint16 font = m_xfFonts[xf];
        const size_t index = font >= 4 ? font - 1u : font;
        if (index >= m_fontCodePages.size() || m_fontCodePages[index].number() == 0)
            return m_codePage;
        return m_fontCodePages[index];
    }

    void readGlobals()
    {
        RecordStream records(m_stream, 0);
        Record r;
        if (!records.next(r))
            refuse(ReadFailure::Damaged);
        for (quint16 old : record::OldBofs)
            if (r.type == old)
                refuse(ReadFailure::TooOld);
        if (r.type != record::Bof || r.size() < 4)
            refuse(ReadFailure::NotWorkbook);
        {
            BiffCursor c = r.cursor();
            const quint16 version = c.u16();
            const quint16 kind = c.u16();
            if (kind != 0x0005)
                refuse(kind == 0x0100 ? ReadFailure::TooOld : ReadFailure::NotWorkbook); // a workspace, or a lone sheet
            m_biff8 = version == 0x0600 || (version != 0x0500 && m_biff8Name);
        }
        while (records.next(r)) {
            BiffCursor c = r.cursor();
            switch (r.type) {
            case record::Eof:
                return;
            case record::FilePass:
                if (!m_decrypted)
                    refuse(ReadFailure::Encrypted);
                break;
            case record::CodePage:
                m_codePage.set(c.u16());
                break;
            case record::Font:
                if (!m_biff8 && r.size() >= 13) {
                    c.skip(12);
                    m_fontCodePages.emplace_back();
                    m_fontCodePages.back().set(CodePage::ofCharset(c.u8()));
                }
                break;
            case record::Xf:
                if (!m_biff8 && r.size() >= 2)
                    m_xfFonts.push_back(c.u16());
                readFormatRecord(r, Biff::V5);
                break;
            case record::Format:
                readFormatRecord(r, Biff::V5);
                break;
            case record::DateMode:
                m_builder.setDates1904(c.u16() != 0);
                break;
            case record::BoundSheet: {
                const quint32 offset = c.u32();
                c.u8(); // visibility: hidden sheets are sheets too
                const quint8 type = c.u8();
                if (type == 0x06)
                    break; // a Visual Basic module, no sheet
                m_sheets.push_back({string(c, true), offset, type});
                break;
            }
            case record::Sst:
                if (m_biff8)
                    readSharedStrings(c);
                break;
            default:
                break;
            }
        }
        // A globals substream without its end: the stream was cut short.
        refuse(ReadFailure::Damaged);
    }

    enum class Biff { V2, V3, V4, V5 }; // V5: BIFF5 and BIFF8

    // FORMAT and XF records: the codes by their index, and each XF's.
    // Calc takes a cell XF's own format, whatever its flags say of its style's.
    void readFormatRecord(const Record &r, Biff biff)
    {
        BiffCursor c = r.cursor();
        switch (r.type) {
        case record::Format:
            if (biff == Biff::V5) {
                const quint16 index = c.u16();
                setFormatCode(index, m_biff8 ? c.unicodeString() : m_codePage.decode(c.bytes(c.u8())));
            } else if (biff == Biff::V4) {
                c.u16();
                setFormatCode(quint16(m_oldFormats++), m_codePage.decode(c.bytes(c.u8())));
            }
            break;
        case record::Format2:
            if (biff == Biff::V2 || biff == Biff::V3)
                setFormatCode(quint16(m_oldFormats++), m_codePage.decode(c.bytes(c.u8())));
            break;
        case record::Xf:
            if (biff == Biff::V5) {
                c.u16();
                addXf(c.u16());
            }
            break;
        case record::Xf2:
            if (biff == Biff::V2) {
                c.skip(2); // font, unused
                addXf(c.u8() & 0x3F);
            }
            break;
        case record::Xf3:
        case record::Xf4:
            if ((biff == Biff::V3 && r.type == record::Xf3) || (biff == Biff::V4 && r.type == record::Xf4)) {
                c.u8();
                addXf(c.u8());
            }
            break;
        default:
            break;
        }
    }

    void setFormatCode(quint16 index, QString code)
    {
        m_builder.chargeText(code.size() + 8);
        m_formatCodes.insert(index, std::move(code));
        m_formatsResolved = false;
    }

    void addXf(quint16 format)
    {
        if (std::int64_t(m_xfFormatIds.size()) >= limits::kCellStyles)
            refuse(ReadFailure::TooLarge);
        m_xfFormatIds.push_back(format);
        m_formatsResolved = false;
    }

    // Each XF's format as a cell carries it, worked out once for all the
    // XFs (each code classified once) before the cells that use them.
    void resolveFormats()
    {
        QHash<quint16, CellFormat> resolved;
        m_xfFormats.clear();
        m_xfFormats.reserve(m_xfFormatIds.size());
        for (const quint16 id : m_xfFormatIds) {
            auto known = resolved.constFind(id);
            if (known == resolved.cend()) {
                // A FORMAT record overrides a built-in code; an index with
                // neither is General. Excel 2 to 4 have no built-in codes.
                const auto code = m_formatCodes.constFind(id);
                std::optional<QString> builtin;
                if (code == m_formatCodes.cend() && !m_oldBiff)
                    builtin = FormatCode::builtinCode(id);
                const QString &text = code != m_formatCodes.cend() ? *code : builtin ? *builtin : QString();
                known = resolved.insert(id, text.isEmpty() ? CellFormat()
                                                           : m_builder.addFormat(FormatCode::classify(text), text));
            }
            m_xfFormats.push_back(*known);
        }
        m_formatsResolved = true;
    }

    // A number in an Excel 2 cell: its 3-byte attribute names an XF in its
    // first byte's low 6 bits (63: the one IXFE gave), and that XF's format
    // counts, not the one the attribute's second byte names. Calc shows
    // every number of a file without XF records in General, whatever its
    // attribute says.
    CellValue numberOfAttribute(double value, BiffCursor &c)
    {
        const quint16 xf = c.u8() & 0x3F;
        c.skip(2);
        if (m_xfFormatIds.empty())
            return numberCell(value);
        return numberOfXf(value, xf == 63 ? m_ixfe : xf);
    }

    // A number cell of XF `xf`; one naming no XF is General.
    CellValue numberOfXf(double value, quint16 xf)
    {
        if (!m_formatsResolved)
            resolveFormats();
        return numberCell(value, xf < m_xfFormats.size() ? m_xfFormats[xf] : CellFormat());
    }

    // Every string while bytes remain: the count in the record is not
    // always right, and the file's own bytes bound the table.
    void readSharedStrings(BiffCursor &c)
    {
        c.u32(); // total uses
        c.u32(); // unique strings, not to be trusted
        while (!c.atEnd()) {
            m_strings.push_back(c.unicodeString());
            m_builder.chargeText(m_strings.back().size() + 8);
        }
    }

    void readWorksheet(quint32 offset, WorkbookSheet &sheet)
    {
        RecordStream records(m_stream, offset);
        Record r;
        const auto isBof = [](quint16 type) {
            return type == record::Bof || type == record::Bof2 || type == record::Bof3 || type == record::Bof4;
        };
        if (!records.next(r) || !isBof(r.type))
            refuse(ReadFailure::Damaged);
        const bool biff2 = r.type == record::Bof2;
        const Biff biff = biff2                      ? Biff::V2
                          : r.type == record::Bof3 ? Biff::V3
                          : r.type == record::Bof4 ? Biff::V4
                                                   : Biff::V5;
        m_oldBiff = biff != Biff::V5;
        {
            BiffCursor c = r.cursor();
            c.u16();
            if (c.u16() == 0x0020)
                return; // a chart sheet
        }
        int nested = 0; // charts and other objects inside the sheet
        // The cell of a formula whose text result comes in the next STRING.
        struct Pending {
            int row = -1;
            int column = -1;
            explicit operator bool() const { return row >= 0; }
            void reset() { row = -1; }
        } pendingString;
        while (records.next(r)) {
            if (isBof(r.type)) {
                ++nested;
                continue;
            }
            if (r.type == record::Eof) {
                if (nested-- == 0)
                    break;
                continue;
            }
            if (nested > 0)
                continue;
            BiffCursor c = r.cursor();
            if (pendingString && r.type != record::String && r.type != record::String2 && r.type != record::Array
                && r.type != record::ShrFmla && r.type != record::Table) {
                // No STRING after a text result: the file holds none.
                m_builder.put(sheet, pendingString.row, pendingString.column, missingResultCell());
                pendingString.reset();
            }
            switch (r.type) {
            case record::CodePage:
                m_codePage.set(c.u16());
                break;
            case record::Format:
            case record::Format2:
            case record::Xf:
            case record::Xf2:
            case record::Xf3:
            case record::Xf4:
                // A lone sheet holds its own; a workbook's are in its globals.
                if (m_lone)
                    readFormatRecord(r, biff);
                break;
            case record::DateMode:
                if (m_lone)
                    m_builder.setDates1904(c.u16() != 0);
                break;
            case record::Ixfe2:
                m_ixfe = c.u16();
                break;
            case record::Integer2: {
                const int row = c.u16(), column = c.u16();
                BiffCursor value = r.cursor();
                value.skip(7);
                m_builder.put(sheet, row, column, numberOfAttribute(value.u16(), c));
                break;
            }
            case record::Label2: {
                const int row = c.u16(), column = c.u16();
                c.skip(3);
                m_builder.put(sheet, row, column, textCell(m_codePage.decode(c.bytes(c.u8()))));
                break;
            }
            case record::Number2: {
                const int row = c.u16(), column = c.u16();
                BiffCursor value = r.cursor();
                value.skip(7);
                m_builder.put(sheet, row, column, numberOfAttribute(value.f64(), c));
                break;
            }
            case record::Number: {
                const int row = c.u16(), column = c.u16();
                const quint16 xf = c.u16();
                m_builder.put(sheet, row, column, numberOfXf(c.f64(), xf));
                break;
            }
            case record::Rk: {
                const int row = c.u16(), column = c.u16();
                const quint16 xf = c.u16();
                m_builder.put(sheet, row, column, numberOfXf(rkValue(c.u32()), xf));
                break;
            }
            case record::MulRk: {
                const int row = c.u16(), first = c.u16();
                const qsizetype count = (r.size() - 6) / 6;
                for (qsizetype i = 0; i < count; ++i) {
                    const quint16 xf = c.u16();
                    m_builder.put(sheet, row, first + i, numberOfXf(rkValue(c.u32()), xf));
                }
                break;
            }
            case record::LabelSst: {
                const int row = c.u16(), column = c.u16();
                c.u16();
                const quint32 index = c.u32();
                if (index >= m_strings.size())
                    refuse(ReadFailure::Damaged);
                m_builder.put(sheet, row, column, textCell(m_strings[index]));
                break;
            }
            case record::Label:
            case record::RString: {
                const int row = c.u16(), column = c.u16();
                const quint16 xf = c.u16();
                m_builder.put(sheet, row, column, textCell(string(c, cellCodePage(xf))));
                break;
            }
            case record::BoolErr:
            case record::BoolErr2: {
                const int row = c.u16(), column = c.u16();
                c.skip(r.type == record::BoolErr2 ? 3 : 2);
                const quint8 value = c.u8();
                const bool isError = c.u8();
                m_builder.put(sheet, row, column,
                              isError ? CellValue::ofError(errorText(value)) : CellValue::ofBoolean(value != 0));
                break;
            }
            case record::Formula:
            case record::Formula3:
            case record::Formula4: {
                const int row = c.u16(), column = c.u16();
                const qsizetype attribute = biff2 && r.type == record::Formula ? 3 : 2;
                BiffCursor attributeBytes = c;
                const quint16 xf = attribute == 2 ? c.u16() : 0;
                if (attribute == 3)
                    c.skip(3);
                const quint8 kind = c.u8();
                c.skip(1);
                const quint8 value = c.u8();
                c.skip(3);
                const quint16 marker = c.u16();
                if (marker != 0xFFFF) {
                    BiffCursor again = r.cursor();
                    again.skip(4 + attribute);
                    const double value = again.f64();
                    m_builder.put(sheet, row, column,
                                  attribute == 2 ? numberOfXf(value, xf) : numberOfAttribute(value, attributeBytes));
                    break;
                }
                switch (kind) {
                case 0: pendingString.row = row; pendingString.column = column; break;
                case 1: m_builder.put(sheet, row, column, CellValue::ofBoolean(value != 0)); break;
                case 2: m_builder.put(sheet, row, column, CellValue::ofError(errorText(value))); break;
                case 3: m_builder.put(sheet, row, column, CellValue::ofText(QString())); break;
                default: refuse(ReadFailure::Damaged);
                }
                break;
            }
            case record::String:
            case record::String2: // Excel 2's: an 8-bit length
                if (pendingString) {
                    m_builder.put(sheet, pendingString.row, pendingString.column,
                                  formulaTextCell(string(c, r.type == record::String2)));
                    pendingString.reset();
                }
                break;
            default:
                break;
            }
        }
        if (pendingString)
            m_builder.put(sheet, pendingString.row, pendingString.column, missingResultCell());
    }

    QByteArray m_stream;
    bool m_biff8Name;
    bool m_decrypted;
    bool m_biff8 = true;
    CodePage m_codePage;
    std::vector<CodePage> m_fontCodePages; // BIFF5: by font number, from each font's character set
    std::vector<quint16> m_xfFonts;        // BIFF5: each XF's font number
    QHash<quint16, QString> m_formatCodes;  // FORMAT records by index
    int m_oldFormats = 0;                   // Excel 2 to 4: FORMAT records so far, their index
    std::vector<quint16> m_xfFormatIds;     // each XF's format index
    quint16 m_ixfe = 0;                    // Excel 2: the last IXFE's XF
    std::vector<CellFormat> m_xfFormats;    // ...and its format as cells carry it
    bool m_formatsResolved = false;
    bool m_lone = false; // a worksheet without a workbook around it
    bool m_oldBiff = false; // Excel 2 to 4
    std::vector<SheetEntry> m_sheets;
    std::vector<QString> m_strings;
    WorkbookBuilder m_builder;
};

struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

} // namespace

Workbook readOldXls(const QByteArray &bytes)
{
    // Only a worksheet: a BIFF4 workbook, a chart or a macro sheet is refused.
    if (bytes.size() < 8)
        refuse(ReadFailure::Damaged);
    BiffCursor c(QByteArrayView(bytes).sliced(4, 4));
    const quint16 version = c.u16();
    const quint16 kind = c.u16();
    const bool sheetStream = bytes.startsWith(QByteArrayView("\x09\x08", 2));
    if (kind == 0x0010)
        return XlsReader(bytes, false).readLoneSheet(sheetStream && version == 0x0600);
    refuse(sheetStream ? ReadFailure::NotWorkbook : ReadFailure::TooOld);
}

namespace {

// The stream that holds the workbook, by its name in any letter case:
// "Workbook" for BIFF8, "Book" for BIFF5, the first when both are there.
// Nothing when there is none; an encrypted .xlsx is refused.
std::optional<size_t> workbookStream(const std::vector<QString> &names, bool &biff8Name)
{
    std::optional<size_t> found;
    biff8Name = false;
    for (size_t i = 0; i < names.size(); ++i) {
        const QString name = names[i].toLower();
        if (name == u"encryptedpackage")
            refuse(ReadFailure::Encrypted); // an .xlsx locked with a password
        if (name == u"workbook" || (name == u"book" && !biff8Name)) {
            found = i;
            biff8Name = name == u"workbook";
        }
    }
    return found;
}

// The workbook stream through libgsf; nothing when libgsf cannot read
// the compound file or the stream in it.
std::optional<QByteArray> streamByGsf(const QByteArray &bytes, bool &biff8Name)
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
    GObjectPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8 *>(bytes.constData()),
                                                    static_cast<gsf_off_t>(bytes.size()), FALSE));
    GError *error = nullptr;
    GObjectPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &error));
    g_clear_error(&error);
    if (!ole)
        return std::nullopt;
    std::vector<QString> names;
    for (int i = 0; i < gsf_infile_num_children(ole.get()); ++i)
        names.push_back(QString::fromUtf8(gsf_infile_name_by_index(ole.get(), i)));
    const auto index = workbookStream(names, biff8Name);
    if (!index)
        refuse(ReadFailure::NotWorkbook);
    GObjectPtr<GsfInput> stream(gsf_infile_child_by_index(ole.get(), int(*index)));
    if (!stream)
        return std::nullopt;
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size > limits::kPartBytes)
        refuse(ReadFailure::TooLarge);
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(stream.get(), static_cast<size_t>(size), reinterpret_cast<guint8 *>(data.data())))
        return std::nullopt;
    return data;
}

} // namespace

Workbook readXls(const QByteArray &bytes)
{
    bool biff8Name = false;
    std::optional<QByteArray> data = streamByGsf(bytes, biff8Name);
    if (!data) {
        // libgsf also refuses files whose header counts disagree with their
        // intact allocation chains; those are read by the chains alone.
        const CompoundFile file(bytes);
        const auto index = workbookStream(file.streamNames(), biff8Name);
        if (!index)
            refuse(ReadFailure::NotWorkbook);
        data = file.stream(file.streamNames()[*index]);
        if (!data)
            refuse(ReadFailure::Damaged);
    }
    bool decrypted = false;
    switch (decryptXls(*data, kExcelDefaultPassword)) {
    case Decryption::NotEncrypted:
        break;
    case Decryption::Decrypted:
        decrypted = true;
        break;
    case Decryption::WrongPassword:
    case Decryption::Unsupported:
        refuse(ReadFailure::Encrypted);
    }
    return XlsReader(std::move(*data), biff8Name, decrypted).read();
}

} // namespace tallyra::WorkbookReader
