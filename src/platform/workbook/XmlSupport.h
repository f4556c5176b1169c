#pragma once

// Pull parsing of a package's XML parts, shared by the OOXML and the
// OpenDocument readers: no document type declaration is accepted (so no
// entity can expand), and any parse error refuses the file.
#include "platform/workbook/ZipPackage.h"

#include <QXmlStreamReader>

namespace tallyra::WorkbookReader {

class XmlPart {
public:
    XmlPart(ZipPackage &package, const QString &name) : m_package(package), m_device(package.open(name))
    {
        m_xml.setDevice(m_device.get());
    }

    // The next start or end element or run of characters; false at the end.
    bool next()
    {
        for (;;) {
            const auto token = m_xml.readNext();
            switch (token) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
            case QXmlStreamReader::Characters:
                return true;
            case QXmlStreamReader::EndDocument:
                return false;
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
                refuse(ReadFailure::Damaged);
            case QXmlStreamReader::Invalid:
                fail();
            default:
                break;
            }
        }
    }

    bool isStart(QLatin1StringView localName) const
    {
        return m_xml.isStartElement() && m_xml.name() == localName;
    }
    bool isEnd(QLatin1StringView localName) const { return m_xml.isEndElement() && m_xml.name() == localName; }

    // An attribute by its local name, whatever its namespace prefix.
    QStringView attribute(QLatin1StringView localName) const
    {
        for (const auto &a : m_xml.attributes())
            if (a.name() == localName)
                return a.value();
        return {};
    }
    bool hasAttribute(QLatin1StringView localName) const
    {
        for (const auto &a : m_xml.attributes())
            if (a.name() == localName)
                return true;
        return false;
    }

    // The text of the current element, which holds no other element.
    QString elementText()
    {
        const QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            fail();
        return text;
    }

    // Leaves the current element with all it holds.
    void skipElement()
    {
        int depth = 1;
        while (depth > 0 && next()) {
            if (m_xml.isStartElement())
                ++depth;
            else if (m_xml.isEndElement())
                --depth;
        }
    }

    QXmlStreamReader &xml() { return m_xml; }

    // Reads to the end, so that a part cut short or malformed after the
    // last element we needed is still refused.
    void finish()
    {
        while (next()) {
        }
    }

private:
    [[noreturn]] void fail()
    {
        m_package.check(); // the zip's own reason first (a bomb, a bad checksum)
        refuse(ReadFailure::Damaged);
    }

    ZipPackage &m_package;
    std::unique_ptr<QIODevice> m_device;
    QXmlStreamReader m_xml;
};

} // namespace tallyra::WorkbookReader
