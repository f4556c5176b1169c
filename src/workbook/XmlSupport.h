#pragma once

// Pull parsing of a package's XML parts, shared by the OOXML and the
// OpenDocument readers. A cursor over the part's bytes as they unpack: it
// takes elements, attributes, text, CDATA and the five predefined and the
// numeric character references, skips comments and processing
// instructions, and refuses a document type declaration (so no entity can
// expand), a mismatched or unclosed element, and anything malformed.
// Names are matched by their local part; namespace URIs are looked up
// from the declarations seen, for the few places that must tell them apart.
#include "workbook/ZipPackage.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace tallyra::WorkbookReader {

// UTF-8 text as it stands. QString::fromUtf8 drops a leading U+FEFF as a
// byte order mark, which inside a part is a character of the text.
inline QString utf8Text(QByteArrayView bytes)
{
    const auto markAt = [&](qsizetype at) {
        return bytes.size() - at >= 3 && bytes[at] == '\xEF' && bytes[at + 1] == '\xBB' && bytes[at + 2] == '\xBF';
    };
    qsizetype marks = 0;
    while (markAt(marks * 3))
        ++marks;
    if (marks == 0)
        return QString::fromUtf8(bytes);
    return QString(marks, QChar(0xFEFF)) + QString::fromUtf8(bytes.sliced(marks * 3));
}

class XmlPart {
public:
    enum class Token { None, Start, End, Characters };

    // std::string rather than QByteArray: assigning one that has the room
    // is a plain copy, and a sheet assigns a few per cell.
    struct Attribute {
        std::string qualified;
        QByteArrayView prefix; // within `qualified`
        QByteArrayView name;   // local, within `qualified`
        std::string value;     // UTF-8, references replaced
    };

    XmlPart(ZipPackage &package, const QString &name);

    // The next start or end element or run of characters; false at the end.
    bool next();

    bool isStartElement() const { return m_token == Token::Start; }
    bool isEndElement() const { return m_token == Token::End; }
    bool isCharacters() const { return m_token == Token::Characters; }
    // Compared as bytes: a QLatin1StringView against a QByteArray would
    // convert the bytes to a QString on every call.
    bool isStart(QLatin1StringView localName) const { return m_token == Token::Start && is(localName); }
    bool isEnd(QLatin1StringView localName) const { return m_token == Token::End && is(localName); }

    // The current element's local name, and its namespace URI.
    QLatin1StringView name() const { return QLatin1StringView(m_name.data(), m_name.size()); }
    QByteArray namespaceUri() const { return m_namespaces.value(m_prefix.toByteArray()); }
    QByteArrayView prefix() const { return m_prefix; }

    // An attribute of the current start element by its local name,
    // whatever its prefix; empty when it has none.
    QByteArrayView attributeBytes(QByteArrayView localName) const
    {
        for (const Attribute &a : attributes())
            if (same(a.name, localName))
                return a.value;
        return {};
    }
    QString attribute(QLatin1StringView localName) const
    {
        return utf8Text(attributeBytes(QByteArrayView(localName.data(), localName.size())));
    }
    std::span<const Attribute> attributes() const { return {m_attributes.data(), m_attributeCount}; }
    QByteArray namespaceOf(QByteArrayView prefix) const { return m_namespaces.value(prefix.toByteArray()); }
    // Counts the namespace declarations seen, so that a caller may keep
    // what it looked up until the next one.
    quint64 namespaceDeclarations() const { return m_declarations; }

    // The characters of the current Characters token.
    QString text() const { return utf8Text(m_text); }
    QByteArrayView textBytes() const { return m_text; }

    // The text of the current element, which holds no other element.
    QString elementText() { return utf8Text(elementBytes()); }
    QByteArrayView elementBytes();

    // Leaves the current element with all it holds.
    void skipElement();

    // Inline, a byte at a time: Qt's operator== and memcmp are calls, for
    // every short name of every cell.
    static bool same(QByteArrayView a, QByteArrayView b)
    {
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i)
            if (a.data()[i] != b.data()[i])
                return false;
        return true;
    }

private:
    bool is(QLatin1StringView localName) const
    {
        return same(m_name, QByteArrayView(localName.data(), localName.size()));
    }
    [[noreturn]] void fail();
    // At least `needed` bytes buffered, if the part has them.
    bool fill(qsizetype needed) { return m_buffer.size() - m_at >= needed || refill(needed); }
    bool refill(qsizetype needed);
    char peek(qsizetype ahead = 0)
    {
        if (!fill(ahead + 1))
            fail();
        return m_buffer.constData()[m_at + ahead];
    }
    void expect(const char *literal);
    void skipPast(const char *terminator);
    qsizetype scanName(); // the length of the name at m_at
    void readName(std::string &into);
    void decodeInto(std::string &out, const char *from, qsizetype length, bool attribute);
    void readStartTag();

    ZipPackage &m_package;
    std::unique_ptr<QIODevice> m_device;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    bool m_eof = false;

    Token m_token = Token::None;
    bool m_pendingEnd = false; // after an empty-element tag
    // Buffers are kept and refilled, so that reading a cell allocates nothing.
    QByteArrayView m_prefix; // within the element's entry of m_open
    QByteArrayView m_name;   // within the element's entry of m_open
    std::vector<Attribute> m_attributes;
    size_t m_attributeCount = 0;
    std::string m_text;
    std::string m_elementText;
    std::vector<std::string> m_open; // qualified names of the open elements, reused
    size_t m_depth = 0;
    QHash<QByteArray, QByteArray> m_namespaces;
    quint64 m_declarations = 0;
    bool m_sawRoot = false;
};

} // namespace tallyra::WorkbookReader
