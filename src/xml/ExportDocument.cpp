#include "ExportDocument.h"

#include "Base64.h"
#include "EcuXml.h"
#include "InterchangeDocument.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/Sql.h"
#include "flash/FlashFile.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "navigation/TreeSource.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <iterator>
#include <map>
#include <utility>

namespace zep {

namespace {

bool declaresDataTypes(pugi::xml_node node) {
    for (; node && node.type() == pugi::node_element; node = node.parent())
        if (node.attribute("xmlns:dt"))
            return true;
    return false;
}

/** an attribute value escaped as pugixml escapes it, so that every element is written alike */
void appendAttributeValue(std::string& out, std::string_view value) {
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '"')
            out += "&quot;";
        else if (u < 32) {
            out += "&#";
            out += static_cast<char>('0' + u / 10);
            out += static_cast<char>('0' + u % 10);
            out += ';';
        } else
            out += c;
    }
}

/** the text of a segment, in pieces of about 64 KiB */
void writeSegmentText(std::span<const std::uint8_t> bytes, SegmentEncoding encoding,
                      pugi::xml_writer& writer) {
    constexpr std::size_t piece = 48 * 1024; // bytes a piece: a multiple of 3, so that base64 pieces join
    std::string text;
    text.reserve(piece * 2);
    if (encoding == SegmentEncoding::Base64)
        writer.write("\r\n", 2);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
        text.clear();
        if (encoding == SegmentEncoding::Base64)
            base64::append(text, part);
        else
            hex::append(text, part);
        writer.write(text.data(), text.size());
    }
    if (encoding == SegmentEncoding::Base64)
        writer.write("\r\n", 2);
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

struct BufferWriter : pugi::xml_writer {
    explicit BufferWriter(OutputBuffer& out) : out(out) {}
    void write(const void* data, std::size_t size) override {
        out.append(std::string_view(static_cast<const char*>(data), size));
    }
    OutputBuffer& out;
};

pugi::xml_node identElement(pugi::xml_node parent, const char* name, const std::string& number) {
    appendCrLf(parent);
    pugi::xml_node e = appendElement(parent, name, xmlns::Ident);
    e.append_attribute("Number") = number.c_str();
    return e;
}

void programmingStamp(pugi::xml_node tuningData, const EcuApplication& item) {
    appendCrLf(tuningData);
    pugi::xml_node stamp = appendElement(tuningData, "ProgrammingStamp", xmlns::Ident);
    appendCrLf(stamp);
    pugi::xml_node identification = appendElement(stamp, "Identification", xmlns::Ident);
    identification.append_attribute("Application") = item.Software().c_str();
    identification.append_attribute("Diagnostic") = item.IndiceDiag();
    identification.append_attribute("Supplier") = item.Fournisseur().c_str();
    identification.append_attribute("Version") = item.Version().c_str();
    identElement(identification, "Order", item.PIE());
    identElement(identification, "Hardware", item.Hardware());
    identElement(identification, "Tuning", item.Calibration());
    identElement(identification, "SpecificData", item.Reserve());
    identElement(stamp, "Approval", item.Homologation);
}

/** the rows (id, name) of a statement, read before anything else runs on the connection */
std::vector<std::pair<qint64, std::string>> namedRows(Connection& db, const char* statement, qint64 owner) {
    std::vector<std::pair<qint64, std::string>> rows;
    QSqlQuery q = db.execute(statement, {owner});
    while (q.next())
        rows.emplace_back(q.value(0).toLongLong(), sql::text(q.value(1)));
    return rows;
}

/** App Name and Ecu Id of an application */
std::pair<std::string, qint64> applicationRow(Connection& db, qint64 appId) {
    QSqlQuery q = db.execute("SELECT [App Name], [Ecu Id] FROM [Applications] WHERE [App Id] = ?", {appId});
    if (!q.next())
        throw ZepError(errors::File, tr("database/Messages/noSuchApplication/text",
                                        "Application {0} does not exist", appId));
    return {sql::text(q.value(0)), q.value(1).toLongLong()};
}

std::string key(char kind, qint64 id) {
    return kind + std::to_string(id);
}

/** the item of key with its ECU; its image is kept by doc */
std::pair<EcuApplication, const MemImage*> download(ExportDocument& doc, Connection& db,
                                                    const std::string& key, bool tuningOnly) {
    EcuApplication item = ImageStore::Download(db, key, tuningOnly, nullptr, doc.progress());
    const MemImage& image = doc.keep(std::move(item.value()));
    item.value().clear();
    return {std::move(item), &image};
}

/** the application's element with its code, its default tuning data and, when asked, all its tunings */
void fullApplication(ExportDocument& doc, Connection& db, pugi::xml_node boot, qint64 appId,
                     const std::string& name, SegmentEncoding encoding, bool withTunings,
                     const std::pair<EcuApplication, const MemImage*>& application) {
    const auto& [item, image] = application;
    const pugi::xml_node element = xmlexport::Application(boot, name);
    xmlexport::ApplicationCode(doc, element, item.Ecu(), *image, encoding);
    xmlexport::TuningData(doc, element, item, *image, {}, encoding);
    if (!withTunings)
        return;
    const auto tunings = namedRows(db,
                                   "SELECT [Calib Id], [Calib Name] FROM [Calibrations] WHERE [App Id] = ?"
                                   " ORDER BY [Calib Name], [Calib Id]",
                                   appId);
    for (const auto& [calibId, calibName] : tunings) {
        const auto [tuning, data] = download(doc, db, key('c', calibId), true);
        xmlexport::TuningData(doc, element, tuning, *data, calibName, encoding);
    }
}

} // namespace

ExportDocument::ExportDocument() : root_(CreateInterchangeDocument(doc_)) {}

const MemImage& ExportDocument::keep(MemImage image) {
    images_.push_back(std::move(image));
    return images_.back();
}

void ExportDocument::Segment(pugi::xml_node parent, std::uint32_t first, std::span<const std::uint8_t> bytes,
                             SegmentEncoding encoding) {
    appendCrLf(parent);
    pugi::xml_node segment = appendElement(parent, "segment", xmlns::Ecu);
    segment.append_attribute("at").set_value(static_cast<unsigned long long>(first));
    if (encoding == SegmentEncoding::Base64) {
        if (!declaresDataTypes(segment))
            segment.append_attribute("xmlns:dt") = xmlns::DataTypes;
        segment.append_attribute("dt:dt") = "bin.base64";
    }
    const pugi::xml_node text = segment.append_child(pugi::node_pcdata);
    deferred_.emplace(text.internal_object(), Deferred{bytes, encoding});
    for (pugi::xml_node n = segment; n; n = n.parent())
        if (!holders_.insert(n.internal_object()).second)
            break;
}

void ExportDocument::Segments(pugi::xml_node parent, const MemImage& image, const MemMap& map,
                              SegmentEncoding encoding) {
    // The ranges of the map that the image covers, overlaps resolved as MemImage resolves them: a later
    // range takes the addresses it shares with an earlier one, which keeps the rest.
    std::map<std::uint64_t, std::uint64_t> parts; // first -> end
    for (const MemRange& r : map.subtract(map.subtract(image.map()))) {
        auto at = parts.lower_bound(r.address);
        if (at != parts.begin() && std::prev(at)->second > r.address)
            --at;
        while (at != parts.end() && at->first < r.end()) {
            const auto [first, end] = *at;
            at = parts.erase(at);
            if (first < r.address)
                parts.emplace(first, r.address);
            if (end > r.end())
                parts.emplace(r.end(), end);
        }
        parts.emplace(r.address, r.end());
    }
    const std::size_t blocks = image.count();
    for (const auto& [partFirst, partEnd] : parts) {
        const MemRange range{static_cast<std::uint32_t>(partFirst), partEnd - partFirst};
        // The first block that reaches the range: blocks enumerate in ascending address order.
        std::size_t first = 0, count = blocks;
        while (count > 0) {
            const std::size_t half = count / 2;
            if (image[first + half].end() <= range.address) {
                first += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        // Blocks added in address order lie side by side in memory too: the range is then shown where it is.
        const ImageBlock start = image[first];
        const std::uint8_t* bytes = start.bytes.data() + (range.address - start.first);
        bool together = true;
        for (std::size_t i = first; together && image[i].end() < range.end(); ++i)
            together = image[i + 1].first == image[i].end() &&
                       image[i + 1].bytes.data() == image[i].bytes.data() + image[i].size();
        if (!together) {
            joined_.push_back(image.extract(range.address, range.count));
            bytes = joined_.back().bytes().data();
        }
        Segment(parent, range.address, {bytes, static_cast<std::size_t>(range.count)}, encoding);
    }
}

void ExportDocument::writeNode(const pugi::xml_node& node, pugi::xml_writer& writer) const {
    if (const auto d = deferred_.find(node.internal_object()); d != deferred_.end()) {
        writeSegmentText(d->second.bytes, d->second.encoding, writer);
        return;
    }
    if (!holders_.contains(node.internal_object())) {
        node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
        return;
    }
    std::string tag = "<";
    tag += node.name();
    for (const pugi::xml_attribute& a : node.attributes()) {
        tag += ' ';
        tag += a.name();
        tag += "=\"";
        appendAttributeValue(tag, a.value());
        tag += '"';
    }
    tag += '>';
    writer.write(tag.data(), tag.size());
    for (const pugi::xml_node& child : node.children())
        writeNode(child, writer);
    tag = "</" + std::string(node.name()) + ">";
    writer.write(tag.data(), tag.size());
}

void ExportDocument::write(pugi::xml_writer& writer) const {
    for (const pugi::xml_node& node : doc_.children()) {
        writeNode(node, writer);
        writer.write("\r\n", 2);
    }
}

void ExportDocument::save(const std::string& path) const {
    writeWholeFile(path, [this](OutputBuffer& out) {
        BufferWriter writer(out);
        write(writer);
    });
}

std::string ExportDocument::text() const {
    StringWriter writer;
    write(writer);
    return std::move(writer.text);
}

namespace xmlexport {

pugi::xml_node Application(pugi::xml_node boot, const std::string& name) {
    pugi::xml_node application = appendElement(boot, "application", xmlns::Ecu);
    application.append_attribute("Name") = name.c_str();
    return application;
}

void ApplicationCode(ExportDocument& doc, pugi::xml_node application, const ZEPEcu& ecu,
                     const MemImage& image, SegmentEncoding encoding) {
    doc.Segments(application, image, ecu.WriteMap(false).subtract(ecu.EraseMap(true)), encoding);
}

void TuningData(ExportDocument& doc, pugi::xml_node application, const EcuApplication& item,
                const MemImage& image, const std::string& name, SegmentEncoding encoding) {
    appendCrLf(application);
    pugi::xml_node tuningData = appendElement(application, "tuningdata", xmlns::Ecu);
    tuningData.append_attribute("Name") = name.empty() ? DefaultTuningDataName : name.c_str();
    appendCrLf(tuningData);
    doc.Segments(tuningData, image, item.Ecu().WriteMap(true), encoding);
    programmingStamp(tuningData, item);
}

} // namespace xmlexport

namespace XmlExport {

void Ecu(Connection& db, qint64 ecuId, const std::string& functionName, SegmentEncoding encoding,
         ExportDocument& doc) {
    const pugi::xml_node boot = CreateXMLElement(EcuStore::Read(db, ecuId), doc.root(), functionName);
    const auto applications = namedRows(db,
                                        "SELECT [App Id], [App Name] FROM [Applications] WHERE [Ecu Id] = ?"
                                        " ORDER BY [App Name], [App Id]",
                                        ecuId);
    for (const auto& [appId, name] : applications)
        fullApplication(doc, db, boot, appId, name, encoding, true,
                        download(doc, db, key('a', appId), false));
}

void Application(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                 bool withTunings, ExportDocument& doc) {
    const std::string name = applicationRow(db, appId).first;
    const auto application = download(doc, db, key('a', appId), false);
    const pugi::xml_node boot = CreateXMLElement(application.first.Ecu(), doc.root(), functionName);
    fullApplication(doc, db, boot, appId, name, encoding, withTunings, application);
}

void Tuning(Connection& db, qint64 calibId, const std::string& functionName, SegmentEncoding encoding,
            bool tuningOnly, ExportDocument& doc) {
    const auto [tuning, data] = download(doc, db, key('c', calibId), true);
    QSqlQuery q =
        db.execute("SELECT [App Id], [Calib Name] FROM [Calibrations] WHERE [Calib Id] = ?", {calibId});
    q.next();
    const qint64 appId = q.value(0).toLongLong();
    const std::string tuningName = sql::text(q.value(1));
    const std::string applicationName = applicationRow(db, appId).first;

    const pugi::xml_node boot = CreateXMLElement(tuning.Ecu(), doc.root(), functionName);
    const pugi::xml_node application = xmlexport::Application(boot, applicationName);
    if (!tuningOnly) {
        const auto code = download(doc, db, key('a', appId), false);
        xmlexport::ApplicationCode(doc, application, code.first.Ecu(), *code.second, encoding);
    }
    xmlexport::TuningData(doc, application, tuning, *data, tuningName, encoding);
}

void DefaultTuning(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                   ExportDocument& doc) {
    const std::string name = applicationRow(db, appId).first;
    const auto [item, image] = download(doc, db, key('a', appId), true);
    const pugi::xml_node boot = CreateXMLElement(item.Ecu(), doc.root(), functionName);
    xmlexport::TuningData(doc, xmlexport::Application(boot, name), item, *image, {}, encoding);
}

int TuningCount(Connection& db, qint64 appId) {
    QSqlQuery q = db.execute("SELECT COUNT(*) FROM [Calibrations] WHERE [App Id] = ?", {appId});
    return q.next() ? q.value(0).toInt() : 0;
}

qint64 EcuOfApplication(Connection& db, qint64 appId) {
    return applicationRow(db, appId).second;
}

qint64 ApplicationOfTuning(Connection& db, qint64 calibId) {
    QSqlQuery q = db.execute("SELECT [App Id] FROM [Calibrations] WHERE [Calib Id] = ?", {calibId});
    if (!q.next())
        throw ZepError(errors::File,
                       tr("database/Messages/noSuchTuning/text", "Tuning {0} does not exist", calibId));
    return q.value(0).toLongLong();
}

std::string FunctionText(Connection& db, int address) {
    QSqlQuery q = db.execute("SELECT [Name] FROM [Fonctions] WHERE [Address] = ?", {address});
    const std::string name = q.next() ? sql::text(q.value(0)) : std::string();
    return TreeSource::functionText(address, name);
}

} // namespace XmlExport
} // namespace zep
