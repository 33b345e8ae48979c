#include "ExportDocument.h"

#include "Base64.h"
#include "EcuXml.h"
#include "InterchangeDocument.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/Sql.h"
#include "database/TreeSource.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <utility>
#include <vector>

namespace zep {

namespace {

bool declaresDataTypes(pugi::xml_node node) {
    for (; node && node.type() == pugi::node_element; node = node.parent())
        if (node.attribute("xmlns:dt"))
            return true;
    return false;
}

pugi::xml_node identElement(pugi::xml_node parent, const char* name, const std::string& number) {
    appendCrLf(parent);
    pugi::xml_node e = appendElement(parent, name, xmlns::Ident);
    e.append_attribute("Number") = number.c_str();
    return e;
}

void programmingStamp(pugi::xml_node tuningData, const EcuApplication& image) {
    appendCrLf(tuningData);
    pugi::xml_node stamp = appendElement(tuningData, "ProgrammingStamp", xmlns::Ident);
    appendCrLf(stamp);
    pugi::xml_node identification = appendElement(stamp, "Identification", xmlns::Ident);
    identification.append_attribute("Application") = image.Software().c_str();
    identification.append_attribute("Diagnostic") = image.IndiceDiag();
    identification.append_attribute("Supplier") = image.Fournisseur().c_str();
    identification.append_attribute("Version") = image.Version().c_str();
    identElement(identification, "Order", image.PIE());
    identElement(identification, "Hardware", image.Hardware());
    identElement(identification, "Tuning", image.Calibration());
    identElement(identification, "SpecificData", image.Reserve());
    identElement(stamp, "Approval", image.Homologation);
}

/** the rows (id, name) of a statement, read before anything else runs on the connection */
std::vector<std::pair<qint64, std::string>> namedRows(Connection& db, const char* statement, qint64 owner) {
    std::vector<std::pair<qint64, std::string>> rows;
    QSqlQuery q = db.execute(statement, {owner});
    while (q.next())
        rows.emplace_back(q.value(0).toLongLong(), sql::text(q.value(1)));
    return rows;
}

std::vector<std::pair<qint64, std::string>> tuningsOf(Connection& db, qint64 appId) {
    return namedRows(db,
                     "SELECT [Calib Id], [Calib Name] FROM [Calibrations] WHERE [App Id] = ?"
                     " ORDER BY [Calib Name], [Calib Id]",
                     appId);
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

pugi::xml_node newDocument(pugi::xml_document& doc, const ZEPEcu& ecu, const std::string& functionName) {
    return CreateXMLElement(ecu, CreateInterchangeDocument(doc), functionName);
}

/** the application's element with its code, its default tuning data and, when asked, all its tunings */
void fullApplication(Connection& db, pugi::xml_node boot, const EcuApplication& image,
                     const std::string& name, qint64 appId, SegmentEncoding encoding, bool withTunings) {
    pugi::xml_node application = xmlexport::Application(boot, name);
    xmlexport::ApplicationCode(application, image, encoding);
    xmlexport::TuningData(application, image, {}, encoding);
    if (!withTunings)
        return;
    for (const auto& [calibId, calibName] : tuningsOf(db, appId)) {
        const EcuApplication tuning = ImageStore::Download(db, key('c', calibId), true);
        xmlexport::TuningData(application, tuning, calibName, encoding);
    }
}

} // namespace

namespace xmlexport {

void Segment(pugi::xml_node parent, std::uint32_t first, std::span<const std::uint8_t> bytes,
             SegmentEncoding encoding) {
    appendCrLf(parent);
    pugi::xml_node segment = appendElement(parent, "segment", xmlns::Ecu);
    segment.append_attribute("at").set_value(static_cast<unsigned long long>(first));
    std::string text;
    if (encoding == SegmentEncoding::Base64) {
        if (!declaresDataTypes(segment))
            segment.append_attribute("xmlns:dt") = xmlns::DataTypes;
        segment.append_attribute("dt:dt") = "bin.base64";
        text.reserve(base64::encodedLength(bytes.size()) + 4);
        text += "\r\n";
        base64::append(text, bytes);
        text += "\r\n";
    } else {
        text.reserve(bytes.size() * 2);
        hex::append(text, bytes);
    }
    segment.append_child(pugi::node_pcdata).set_value(text.data(), text.size());
}

pugi::xml_node Application(pugi::xml_node boot, const std::string& name) {
    pugi::xml_node application = appendElement(boot, "application", xmlns::Ecu);
    application.append_attribute("Name") = name.c_str();
    return application;
}

void ApplicationCode(pugi::xml_node application, const EcuApplication& image, SegmentEncoding encoding) {
    const ZEPEcu& ecu = image.Ecu();
    const MemImage code =
        ZEPEcu::IntersectMap(image.value(), ecu.WriteMap(false).subtract(ecu.EraseMap(true)));
    for (const ImageBlock& block : code)
        Segment(application, block.first, block.bytes, encoding);
}

void TuningData(pugi::xml_node application, const EcuApplication& image, const std::string& name,
                SegmentEncoding encoding) {
    appendCrLf(application);
    pugi::xml_node tuningData = appendElement(application, "tuningdata", xmlns::Ecu);
    tuningData.append_attribute("Name") = name.empty() ? DefaultTuningDataName : name.c_str();
    appendCrLf(tuningData);
    const MemImage data = ZEPEcu::IntersectMap(image.value(), image.Ecu().WriteMap(true));
    for (const ImageBlock& block : data)
        Segment(tuningData, block.first, block.bytes, encoding);
    programmingStamp(tuningData, image);
}

} // namespace xmlexport

namespace XmlExport {

void Ecu(Connection& db, qint64 ecuId, const std::string& functionName, SegmentEncoding encoding,
         pugi::xml_document& doc) {
    const pugi::xml_node boot = newDocument(doc, EcuStore::Read(db, ecuId), functionName);
    const auto applications = namedRows(db,
                                        "SELECT [App Id], [App Name] FROM [Applications] WHERE [Ecu Id] = ?"
                                        " ORDER BY [App Name], [App Id]",
                                        ecuId);
    for (const auto& [appId, name] : applications) {
        const EcuApplication image = ImageStore::Download(db, key('a', appId), false);
        fullApplication(db, boot, image, name, appId, encoding, true);
    }
}

void Application(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                 bool withTunings, pugi::xml_document& doc) {
    const std::string name = applicationRow(db, appId).first;
    const EcuApplication image = ImageStore::Download(db, key('a', appId), false);
    const pugi::xml_node boot = newDocument(doc, image.Ecu(), functionName);
    fullApplication(db, boot, image, name, appId, encoding, withTunings);
}

void Tuning(Connection& db, qint64 calibId, const std::string& functionName, SegmentEncoding encoding,
            bool tuningOnly, pugi::xml_document& doc) {
    const EcuApplication tuning = ImageStore::Download(db, key('c', calibId), true);
    QSqlQuery q =
        db.execute("SELECT [App Id], [Calib Name] FROM [Calibrations] WHERE [Calib Id] = ?", {calibId});
    q.next();
    const qint64 appId = q.value(0).toLongLong();
    const std::string tuningName = sql::text(q.value(1));
    const std::string applicationName = applicationRow(db, appId).first;

    const pugi::xml_node boot = newDocument(doc, tuning.Ecu(), functionName);
    const pugi::xml_node application = xmlexport::Application(boot, applicationName);
    if (!tuningOnly)
        xmlexport::ApplicationCode(application, ImageStore::Download(db, key('a', appId), false), encoding);
    xmlexport::TuningData(application, tuning, tuningName, encoding);
}

void DefaultTuning(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                   pugi::xml_document& doc) {
    const std::string name = applicationRow(db, appId).first;
    const EcuApplication image = ImageStore::Download(db, key('a', appId), true);
    const pugi::xml_node boot = newDocument(doc, image.Ecu(), functionName);
    xmlexport::TuningData(xmlexport::Application(boot, name), image, {}, encoding);
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
