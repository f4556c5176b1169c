#include "support/WorkbookFiles.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <zip.h>

#include <cstring>

namespace tallyra::test {

QByteArray zipOf(const Parts &parts, bool deflate)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *sink = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = sink ? zip_open_from_source(sink, ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    if (!archive)
        return {};
    zip_source_keep(sink);
    for (const auto &part : parts) {
        // libzip frees each copy once written.
        void *copy = std::malloc(static_cast<size_t>(std::max<qsizetype>(part.second.size(), 1)));
        std::memcpy(copy, part.second.constData(), static_cast<size_t>(part.second.size()));
        zip_source_t *data = zip_source_buffer(archive, copy, static_cast<zip_uint64_t>(part.second.size()), 1);
        const zip_int64_t index = zip_file_add(archive, part.first.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9);
    }
    if (zip_close(archive) != 0) {
        zip_source_free(sink);
        return {};
    }
    QByteArray out;
    zip_stat_t stat;
    if (zip_source_open(sink) == 0 && zip_source_stat(sink, &stat) == 0) {
        out.resize(static_cast<qsizetype>(stat.size));
        zip_source_read(sink, out.data(), stat.size);
        zip_source_close(sink);
    }
    zip_source_free(sink);
    return out;
}

bool writeCompoundFile(const QString &path, const QList<QPair<QByteArray, QByteArray>> &streams)
{
    gsf_init();
    GError *error = nullptr;
    GsfOutput *sink = gsf_output_stdio_new(path.toLocal8Bit().constData(), &error);
    if (!sink)
        return false;
    GsfOutfile *ole = gsf_outfile_msole_new(sink);
    g_object_unref(sink);
    for (const auto &stream : streams) {
        GsfOutput *child = gsf_outfile_new_child(ole, stream.first.constData(), FALSE);
        gsf_output_write(child, static_cast<size_t>(stream.second.size()),
                         reinterpret_cast<const guint8 *>(stream.second.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    return true;
}

QByteArray readCompoundStream(const QString &path, const char *name)
{
    gsf_init();
    GError *error = nullptr;
    GsfInput *source = gsf_input_stdio_new(path.toLocal8Bit().constData(), &error);
    g_clear_error(&error);
    if (!source)
        return {};
    GsfInfile *ole = gsf_infile_msole_new(source, &error);
    g_clear_error(&error);
    g_object_unref(source);
    if (!ole)
        return {};
    QByteArray out;
    if (GsfInput *stream = gsf_infile_child_by_name(ole, name)) {
        out.resize(qsizetype(gsf_input_size(stream)));
        if (!out.isEmpty() && !gsf_input_read(stream, size_t(out.size()), reinterpret_cast<guint8 *>(out.data())))
            out.clear();
        g_object_unref(stream);
    }
    g_object_unref(ole);
    return out;
}

QByteArray le16(quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); }
QByteArray le32(quint32 v) { return le16(quint16(v)) + le16(quint16(v >> 16)); }
QByteArray leDouble(double v)
{
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}

QByteArray biffRecord(quint16 type, const QByteArray &data) { return le16(type) + le16(quint16(data.size())) + data; }

Parts xlsxParts(const QByteArray &sheetData, const QByteArray &sharedStrings)
{
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QByteArray types = "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                       "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                       "</Types>";
    QByteArray workbookRels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                              "<Relationship Id=\"rId1\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!sharedStrings.isEmpty())
        workbookRels += "<Relationship Id=\"rId2\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    workbookRels += "</Relationships>";
    Parts parts = {
        {"[Content_Types].xml", types},
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel + "\"><sheets>"
                            "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", workbookRels},
        {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main + "\"><sheetData>" + sheetData + "</sheetData></worksheet>"},
    };
    if (!sharedStrings.isEmpty())
        parts.append({"xl/sharedStrings.xml", "<sst xmlns=\"" + main + "\">" + sharedStrings + "</sst>"});
    return parts;
}

QByteArray odsOf(const QByteArray &rows, const QByteArray &automaticStyles, const QByteArray &settings,
                 const QByteArray &commonStyles)
{
    const QByteArray namespaces =
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\"";
    const QByteArray content =
        "<?xml version=\"1.0\"?><office:document-content " + namespaces + ">"
        + (automaticStyles.isEmpty() ? QByteArray() : "<office:automatic-styles>" + automaticStyles + "</office:automatic-styles>")
        + "<office:body><office:spreadsheet>" + settings + "<table:table table:name=\"T\">" + rows
        + "</table:table></office:spreadsheet></office:body></office:document-content>";
    Parts parts = {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}};
    if (!commonStyles.isEmpty())
        parts.append({"styles.xml", "<?xml version=\"1.0\"?><office:document-styles " + namespaces + "><office:styles>"
                                        + commonStyles + "</office:styles></office:document-styles>"});
    return zipOf(parts, false);
}

} // namespace tallyra::test
