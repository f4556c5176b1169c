#include "workbook/XmlSupport.h"

#include <array>
#include <cstring>

namespace tallyra::WorkbookReader {

namespace {

// Looked up rather than compared: a name is scanned a byte at a time.
constexpr auto kNameChars = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':'
                           || c == '_' || c == '-' || c == '.' || c >= 0x80;
    return table;
}();

bool isNameChar(char c) { return kNameChars[quint8(c)]; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The longest run of text or attribute value held at once; a cell's text
// is at most 32,767 characters in any spreadsheet.
constexpr qsizetype kLongestText = 16 * 1024 * 1024;

void appendUtf8(std::string &out, uint code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Short names are compared and searched inline: a library call per name
// of every cell costs more than the bytes.
bool sameBytes(const char *a, const char *b, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

void split(const std::string &qualified, QByteArrayView &prefix, QByteArrayView &local)
{
    qsizetype colon = -1;
    for (qsizetype i = 0; i < qsizetype(qualified.size()); ++i) {
        if (qualified[size_t(i)] == ':') {
            colon = i;
            break;
        }
    }
    prefix = QByteArrayView(qualified.data(), std::max<qsizetype>(colon, 0));
    local = QByteArrayView(qualified.data() + colon + 1, qsizetype(qualified.size()) - colon - 1);
}

} // namespace

XmlPart::XmlPart(ZipPackage &package, const QString &name) : m_package(package), m_device(package.open(name))
{
    m_namespaces.insert("xml", "http://www.w3.org/XML/1998/namespace");
    // Some writers open a part with the UTF-8 byte order mark.
    if (fill(3) && m_buffer.startsWith("\xEF\xBB\xBF"))
        m_at = 3;
}

void XmlPart::fail()
{
    m_package.check(); // the zip's own reason first (a bomb, a broken stream)
    refuse(ReadFailure::Damaged);
}

bool XmlPart::refill(qsizetype needed)
{
    while (m_buffer.size() - m_at < needed && !m_eof) {
        if (m_at > 0) {
            m_buffer.remove(0, m_at);
            m_at = 0;
        }
        const qsizetype have = m_buffer.size();
        m_buffer.resize(have + 65536);
        const qint64 got = m_device->read(m_buffer.data() + have, 65536);
        m_package.check();
        m_buffer.resize(have + std::max<qint64>(got, 0));
        if (got <= 0)
            m_eof = true;
    }
    return m_buffer.size() - m_at >= needed;
}

void XmlPart::expect(const char *literal)
{
    const qsizetype length = qsizetype(std::strlen(literal));
    if (!fill(length) || std::memcmp(m_buffer.constData() + m_at, literal, size_t(length)) != 0)
        fail();
    m_at += length;
}

void XmlPart::skipPast(const char *terminator)
{
    const qsizetype length = qsizetype(std::strlen(terminator));
    for (;;) {
        const qsizetype found = m_buffer.indexOf(QByteArrayView(terminator, length), m_at);
        if (found >= 0) {
            m_at = found + length;
            return;
        }
        // Keep the tail that may hold the start of the terminator.
        const qsizetype keep = std::min<qsizetype>(length - 1, m_buffer.size() - m_at);
        m_at = m_buffer.size() - keep;
        if (!fill(keep + 1))
            fail();
    }
}

qsizetype XmlPart::scanName()
{
    qsizetype length = 0;
    for (;;) {
        // A QByteArray ends in '\0', which is no name character: the scan
        // needs no bound of its own.
        const char *data = m_buffer.constData() + m_at;
        const qsizetype available = m_buffer.size() - m_at;
        while (isNameChar(data[length]))
            ++length;
        if (length > 4096)
            fail();
        if (length < available)
            break;
        length = available;
        if (!fill(length + 1))
            fail();
    }
    if (length == 0)
        fail();
    return length;
}

void XmlPart::readName(std::string &into)
{
    const qsizetype length = scanName();
    // Mostly the name this slot held for the cell before.
    const char *name = m_buffer.constData() + m_at;
    if (into.size() != size_t(length) || !sameBytes(into.data(), name, size_t(length)))
        into.assign(name, size_t(length));
    m_at += length;
}

// Literal text as XML reads it: a line end (CR LF or CR) is one LF; in an
// attribute value every white-space character is a blank.
static void appendLiteral(std::string &out, const char *from, qsizetype length, bool attribute)
{
    if (!std::memchr(from, '\r', size_t(length)) && (!attribute || (!std::memchr(from, '\n', size_t(length)) && !std::memchr(from, '\t', size_t(length))))) {
        out.append(from, length);
        return;
    }
    for (qsizetype i = 0; i < length; ++i) {
        char c = from[i];
        if (c == '\r') {
            if (i + 1 < length && from[i + 1] == '\n')
                ++i;
            c = '\n';
        }
        if (attribute && (c == '\n' || c == '\t'))
            c = ' ';
        out += c;
    }
}

// Text with its references replaced: &lt; &gt; &amp; &quot; &apos; &#N; &#xH;
// (a character given by reference is kept as it is).
void XmlPart::decodeInto(std::string &out, const char *from, qsizetype length, bool attribute)
{
    const char *end = from + length;
    if (attribute && length <= 64) {
        // A cell's attributes are short and plain: one pass to tell.
        qsizetype i = 0;
        while (i < length && from[i] != '&' && from[i] != '\r' && from[i] != '\n' && from[i] != '\t')
            ++i;
        if (i == length) {
            out.append(from, size_t(length));
            return;
        }
    }
    while (from < end) {
        const char *amp = static_cast<const char *>(std::memchr(from, '&', size_t(end - from)));
        if (!amp) {
            appendLiteral(out, from, end - from, attribute);
            return;
        }
        appendLiteral(out, from, amp - from, attribute);
        const char *semi = static_cast<const char *>(std::memchr(amp, ';', size_t(end - amp)));
        if (!semi)
            fail();
        const QByteArrayView ref(amp + 1, semi - amp - 1);
        if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "amp")
            out += '&';
        else if (ref == "quot")
            out += '"';
        else if (ref == "apos")
            out += '\'';
        else if (ref.startsWith("#")) {
            bool ok = false;
            const uint code = ref.startsWith("#x") ? ref.sliced(2).toByteArray().toUInt(&ok, 16) : ref.sliced(1).toByteArray().toUInt(&ok, 10);
            if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                fail();
            appendUtf8(out, code);
        } else {
            fail(); // an entity no declaration may define here
        }
        from = semi + 1;
    }
}

void XmlPart::readStartTag()
{
    // Read straight into the open elements' stack; it stays beyond the
    // top for an empty-element tag.
    if (m_depth == m_open.size())
        m_open.emplace_back();
    std::string &qualified = m_open[m_depth];
    readName(qualified);
    split(qualified, m_prefix, m_name);
    m_attributeCount = 0;
    // Views into a short std::string move with it: re-split after growing.
    const auto resplit = [this] {
        for (size_t i = 0; i < m_attributeCount; ++i)
            split(m_attributes[i].qualified, m_attributes[i].prefix, m_attributes[i].name);
    };
    for (;;) {
        while (isSpace(peek()))
            ++m_at;
        const char c = peek();
        if (c == '>') {
            ++m_at;
            break;
        }
        if (c == '/') {
            expect("/>");
            m_pendingEnd = true;
            break;
        }
        if (m_attributeCount == m_attributes.size()) {
            m_attributes.emplace_back();
            resplit();
        }
        Attribute &a = m_attributes[m_attributeCount++];
        readName(a.qualified);
        split(a.qualified, a.prefix, a.name);
        while (isSpace(peek()))
            ++m_at;
        if (peek() != '=')
            fail();
        ++m_at;
        while (isSpace(peek()))
            ++m_at;
        const char quote = peek();
        if (quote != '"' && quote != '\'')
            fail();
        ++m_at;
        // Up to the closing quote, with no "<" before it; a short value
        // is scanned inline, for what needs decoding too.
        const char *data = m_buffer.constData() + m_at;
        const qsizetype shortRun = std::min<qsizetype>(m_buffer.size() - m_at, 64);
        qsizetype length = 0;
        bool plain = true;
        while (length < shortRun && data[length] != quote) {
            const char b = data[length++];
            if (b == '<')
                fail();
            plain = plain && b != '&' && b != '\r' && b != '\n' && b != '\t';
        }
        if (length < shortRun && plain) {
            a.value.assign(data, size_t(length));
        } else if (length < shortRun) {
            a.value.clear();
            decodeInto(a.value, data, length, true);
        }
        for (qsizetype scanned = 0; length == shortRun;) {
            const char *data = m_buffer.constData() + m_at;
            const qsizetype available = m_buffer.size() - m_at;
            const void *found = std::memchr(data + scanned, quote, size_t(available - scanned));
            const qsizetype end = found ? static_cast<const char *>(found) - data : available;
            if (end > kLongestText || std::memchr(data + scanned, '<', size_t(end - scanned)))
                fail();
            if (found) {
                length = end;
                a.value.clear();
                decodeInto(a.value, m_buffer.constData() + m_at, length, true);
                break;
            }
            scanned = available;
            if (!fill(available + 1))
                fail();
        }
        m_at += length + 1;
        if (a.prefix.isEmpty() && a.name == "xmlns") {
            m_namespaces.insert(QByteArray(), QByteArray(a.value.data(), qsizetype(a.value.size())));
            ++m_declarations;
        } else if (a.prefix == "xmlns") {
            m_namespaces.insert(a.name.toByteArray(), QByteArray(a.value.data(), qsizetype(a.value.size())));
            ++m_declarations;
        }
    }
    if (!m_pendingEnd)
        ++m_depth;
}

bool XmlPart::next()
{
    m_attributeCount = 0;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_token = Token::End;
        if (m_depth == 0)
            m_sawRoot = true;
        return true;
    }
    m_text.clear();
    for (;;) {
        if (!fill(1)) {
            if (m_depth != 0 || !m_sawRoot)
                fail(); // cut short
            m_token = Token::None;
            return false;
        }
        if (m_buffer.constData()[m_at] != '<') {
            // Characters up to the next tag, decoded. A cell's few are
            // scanned inline for the tag and for what needs decoding.
            const char *data = m_buffer.constData() + m_at;
            const qsizetype shortRun = std::min<qsizetype>(m_buffer.size() - m_at, 64);
            qsizetype length = 0;
            bool plain = true;
            while (length < shortRun && data[length] != '<') {
                plain = plain && data[length] != '&' && data[length] != '\r';
                ++length;
            }
            if (length < shortRun) {
                if (plain)
                    m_text.assign(data, size_t(length));
                else
                    decodeInto(m_text, data, length, false);
            } else {
                length = 0;
                for (;;) {
                    const qsizetype lt = m_buffer.indexOf('<', m_at + length);
                    if (lt >= 0) {
                        length = lt - m_at;
                        break;
                    }
                    length = m_buffer.size() - m_at;
                    if (length > kLongestText)
                        refuse(ReadFailure::TooLarge);
                    if (!fill(length + 1)) {
                        // Trailing white space after the root is fine.
                        break;
                    }
                }
                decodeInto(m_text, m_buffer.constData() + m_at, length, false);
            }
            m_at += length;
            if (m_depth == 0) {
                for (char c : m_text)
                    if (!isSpace(c))
                        fail();
                m_text.clear();
                continue;
            }
            m_token = Token::Characters;
            return true;
        }
        const char c = peek(1);
        if (c == '?') {
            skipPast("?>");
            continue;
        }
        if (c == '!') {
            if (peek(2) == '-') {
                expect("<!--");
                skipPast("-->");
                continue;
            }
            if (peek(2) == '[') {
                expect("<![CDATA[");
                if (m_depth == 0)
                    fail();
                // Its characters as they are, up to "]]>".
                for (;;) {
                    const qsizetype found = m_buffer.indexOf("]]>", m_at);
                    if (found >= 0) {
                        appendLiteral(m_text, m_buffer.constData() + m_at, found - m_at, false);
                        m_at = found + 3;
                        break;
                    }
                    const qsizetype take = std::max<qsizetype>(m_buffer.size() - m_at - 2, 0);
                    appendLiteral(m_text, m_buffer.constData() + m_at, take, false);
                    m_at += take;
                    if (m_text.size() > kLongestText)
                        refuse(ReadFailure::TooLarge);
                    if (!fill(3))
                        fail();
                }
                m_token = Token::Characters;
                return true;
            }
            fail(); // a document type declaration, or worse
        }
        if (c == '/') {
            m_at += 2;
            // Compared in place with the open element's name.
            const qsizetype length = scanName();
            const bool matches = m_depth > 0 && size_t(length) == m_open[m_depth - 1].size()
                                 && sameBytes(m_buffer.constData() + m_at, m_open[m_depth - 1].data(), size_t(length));
            m_at += length;
            while (isSpace(peek()))
                ++m_at;
            expect(">");
            if (!matches)
                fail();
            --m_depth;
            split(m_open[m_depth], m_prefix, m_name);
            if (m_depth == 0)
                m_sawRoot = true;
            m_token = Token::End;
            return true;
        }
        if (m_sawRoot && m_depth == 0)
            fail(); // a second root
        ++m_at;
        readStartTag();
        m_token = Token::Start;
        return true;
    }
}

QByteArrayView XmlPart::elementBytes()
{
    m_elementText.clear();
    while (next()) {
        if (m_token == Token::Characters)
            m_elementText += m_text;
        else if (m_token == Token::Start)
            fail(); // no element belongs here
        else
            return m_elementText;
    }
    fail();
}

void XmlPart::skipElement()
{
    if (m_pendingEnd) {
        next();
        return;
    }
    int depth = 1;
    while (depth > 0 && next()) {
        if (m_token == Token::Start)
            ++depth;
        else if (m_token == Token::End)
            --depth;
    }
}

} // namespace tallyra::WorkbookReader
