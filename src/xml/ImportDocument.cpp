#include "ImportDocument.h"

#include "Base64.h"
#include "EcuXml.h"
#include "XmlValues.h"

#include "InterchangeDocument.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/SchemaUpgrade.h"
#include "database/Sql.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "navigation/TreeSource.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QByteArray>
#include <QSqlQuery>

#include <map>
#include <optional>

namespace zep {

namespace {

using namespace xmlvalues;

std::string key(char kind, qint64 id) {
    return kind + std::to_string(id);
}

/** addresses and counts are stored in 32-bit signed columns; the bits are kept, the readers take them back */
qint32 column(std::uint64_t value) {
    return static_cast<qint32>(static_cast<std::uint32_t>(value));
}

/** the data type of a segment: an attribute "dt" of the data-type namespace, whatever its prefix */
std::string_view dataType(const pugi::xml_node& segment) {
    for (const pugi::xml_attribute& a : segment.attributes()) {
        const std::string_view name = a.name();
        if (name == "dt:dt")
            return a.value();
        const std::size_t colon = name.find(':');
        if (colon == std::string_view::npos || name.substr(colon + 1) != "dt")
            continue;
        const std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
        for (pugi::xml_node n = segment; n; n = n.parent())
            if (const pugi::xml_attribute ns = n.attribute(declaration.c_str())) {
                if (std::string_view(ns.value()) == xmlns::DataTypes)
                    return a.value();
                break;
            }
    }
    return {};
}

/** the bytes of a segment: base64 text (blanks ignored) for bin.base64, hexadecimal text otherwise */
QByteArray segmentBytes(const pugi::xml_node& segment) {
    if (dataType(segment) == "bin.base64") {
        std::size_t length = 0;
        for (const pugi::xml_node& piece : segment.children())
            if (piece.type() == pugi::node_pcdata || piece.type() == pugi::node_cdata)
                length += std::string_view(piece.value()).size();
        QByteArray bytes(static_cast<qsizetype>(base64::maximumDecodedLength(length)), Qt::Uninitialized);
        base64::Decoder decoder(reinterpret_cast<std::uint8_t*>(bytes.data()));
        bool ok = true;
        for (const pugi::xml_node& piece : segment.children())
            if (piece.type() == pugi::node_pcdata || piece.type() == pugi::node_cdata)
                ok = ok && decoder.feed(piece.value());
        if (!ok || !decoder.finish())
            invalid(textContent(segment), "segment (bin.base64)");
        bytes.truncate(static_cast<qsizetype>(decoder.size()));
        return bytes;
    }
    const std::string text = textContent(segment);
    QByteArray bytes(static_cast<qsizetype>(text.size() / 2), Qt::Uninitialized);
    if (!hex::decode(text, reinterpret_cast<std::uint8_t*>(bytes.data())))
        invalid(text, "segment");
    return bytes;
}

/** the SupplierHex of a row without identification: no supplier code, as a new identification has */
QString blankSupplierHex() {
    return QString::fromStdString(supplierHexOf({}));
}

bool hasName(const pugi::xml_node& element, bool empty) {
    const pugi::xml_attribute name = element.attribute("Name");
    return name && (*name.value() == '\0') == empty;
}

/** The rows of one application or tuning: its table, its counter, its image rows' table. */
struct ItemTables {
    const char* items;
    const char* id;
    const char* rows;
};
constexpr ItemTables applications{"Applications", "App Id", "Application Code"};
constexpr ItemTables tunings{"Calibrations", "Calib Id", "Calibration Data"};

class Importer {
public:
    Importer(Connection& db, Interaction& ui, const TreeSource* tree) : db_(db), ui_(ui), tree_(tree) {}

    void run(const pugi::xml_node& root);
    XmlImportResult result;

private:
    std::optional<ImportedEcu> importEcu(const pugi::xml_node& boot);
    std::optional<std::string> functionText(int address);
    void memoryMap(const pugi::xml_node& boot, qint64 ecuId, const ZEPEcu& ecu);
    void application(const pugi::xml_node& element, qint64 ecuId, ImportedEcu& imported);
    void storeSegments(const pugi::xml_node& element, const ItemTables& t, qint64 id);
    void stamp(const pugi::xml_node& tuningData, const ItemTables& t, qint64 id);

    Connection& db_;
    Interaction& ui_;
    const TreeSource* tree_;
    /** function nodes the import added so far: address -> text */
    std::map<int, std::string> functions_;
    /** messages of the Boot being written, shown when it is done */
    std::vector<std::string> notes_;
    std::vector<ImportedNode> nodes_;
    std::uint64_t segmentsDone_ = 0, segments_ = 0;
};

void Importer::run(const pugi::xml_node& root) {
    for (const pugi::xml_node& boot : root.children("Boot"))
        for (const pugi::xml_node& application : boot.children("application"))
            segments_ += application.select_nodes(".//segment").size();
    for (const pugi::xml_node& boot : root.children("Boot")) {
        notes_.clear();
        nodes_.clear();
        std::optional<ImportedEcu> imported;
        std::optional<ZepError> failure;
        try {
            imported = importEcu(boot);
        } catch (const ZepError& e) {
            failure = e;
        }
        for (const std::string& note : notes_)
            ui_.inform(note);
        if (failure) {
            ui_.critical(failure->description());
            ++result.failed;
            continue;
        }
        if (!imported)
            continue;
        for (ImportedNode& node : nodes_) {
            if (node.key.front() == ItemKey::Function)
                functions_.emplace(std::stoi(node.key.substr(1)), node.text);
            result.nodes.push_back(std::move(node));
        }
        result.ecus.push_back(std::move(*imported));
    }
    if (segments_ > 0)
        ui_.progress(tr("frmDatabase/Messages/importXML/progress/text", "Importing"), segments_, segments_);
}

std::optional<std::string> Importer::functionText(int address) {
    if (const auto at = functions_.find(address); at != functions_.end())
        return at->second;
    if (tree_) {
        if (const TreeNode* node = tree_->find(key(ItemKey::Function, address)))
            return node->text();
        return std::nullopt;
    }
    // The tree has a node for every Fonctions row and for every address of an ECU.
    QSqlQuery q = db_.execute("SELECT [Name] FROM [Fonctions] WHERE [Address] = ?", {address});
    if (q.next())
        return TreeSource::functionText(address, sql::text(q.value(0)));
    q = db_.execute("SELECT COUNT(*) FROM [Hardwares] WHERE [Address] = ?", {address});
    if (q.next() && q.value(0).toLongLong() > 0)
        return TreeSource::functionText(address, {});
    return std::nullopt;
}

std::optional<ImportedEcu> Importer::importEcu(const pugi::xml_node& boot) {
    ZEPEcu ecu;
    ReadFromXMLElement(ecu, boot);
    const int address = ecu.Address;
    const std::string functionKey = key(ItemKey::Function, address);
    const std::optional<std::string> existingFunction = functionText(address);

    pugi::xml_attribute functionName;
    for (const pugi::xml_node& function : boot.children("Function"))
        if ((functionName = function.attribute("Name")))
            break;
    if (!functionName)
        throw ZepError(errors::Xml, tr("frmDatabase/Messages/importXML/missingFunctionName/text",
                                       "Missing function name"));
    const std::string name = functionName.value();
    if (!existingFunction) {
        ui_.inform(tr("frmDatabase/Messages/importXML/addingFunction/text",
                      "Adding function {0} for address code {1}H", name, hex::number(address)));
        nodes_.push_back({functionKey, "r", name, hex::number(address)});
    } else if (*existingFunction != name) {
        ui_.inform(tr("frmDatabase/Messages/importXML/addingToFunction/text",
                      "Adding to function {0} instead of {1} (same address code : {2}H)", *existingFunction,
                      name, hex::number(address)));
    }

    enum class Action { Add, Update, Keep } action = Action::Add;
    qint64 ecuId = 0;
    QSqlQuery found =
        db_.execute("SELECT [Ecu Id], [Address] FROM [Hardwares] WHERE [Nom] = ? ORDER BY [Ecu Id]",
                    {sql::text(ecu.Nom)});
    if (found.next()) {
        ecuId = found.value(0).toLongLong();
        const int stored = found.value(1).toInt();
        found.finish();
        if (stored != address) {
            ui_.inform(tr("frmDatabase/Messages/importXML/bootAlreadyPresent/text",
                          "Boot {0} already present with address code {1}H. Can't change to {2}H", ecu.Nom,
                          hex::number(static_cast<std::uint64_t>(stored)), hex::number(address)));
            return std::nullopt;
        }
        switch (ui_.ask(tr("frmDatabase/Messages/importXML/updateExistingECU/text", "Update existing ECU?"),
                        Buttons::YesNoCancel, Answer::No)) {
        case Answer::Yes:
            action = Action::Update;
            break;
        case Answer::No:
            action = Action::Keep;
            break;
        default:
            return std::nullopt;
        }
    }
    found.finish();

    ImportedEcu imported;
    db_.transaction([&] {
        if (action == Action::Add) {
            ecuId = EcuStore::Insert(db_, ecu);
        } else if (action == Action::Update) {
            EcuStore::Update(db_, ecuId, ecu);
            db_.execute("DELETE FROM [Mappings] WHERE [Ecu Id] = ?", {ecuId});
        }
        if (action != Action::Keep)
            memoryMap(boot, ecuId, ecu);
        nodes_.push_back({key(ItemKey::Ecu, ecuId), functionKey, ecu.Nom, ecu.Commentaire});
        for (const pugi::xml_node& element : boot.children("application"))
            application(element, ecuId, imported);
    });
    imported.ecu = ItemKey{ItemKey::Ecu, ecuId};
    imported.functionKey = functionKey;
    imported.added = action == Action::Add;
    // Nodes the tree shows already are not asked for again.
    if (tree_)
        std::erase_if(nodes_, [this](const ImportedNode& n) { return tree_->find(n.key) != nullptr; });
    return imported;
}

void Importer::memoryMap(const pugi::xml_node& boot, qint64 ecuId, const ZEPEcu& ecu) {
    // Every erase area must have the erased state the ECU was read with.
    const std::string pattern = textContent(erasingPattern(boot));
    for (const pugi::xml_node& erase : boot.children("erase")) {
        const bool tuning = static_cast<bool>(erase.child("tuning"));
        const pugi::xml_node segment = child(erase, "segment", "erase/segment");
        if (textContent(segment) != pattern)
            throw ZepError(errors::Xml,
                           tr("frmDatabase/Messages/importXML/errorDifferentValuesNotHandled/text",
                              "Different values for erasing not handled by ZEP"));
        const std::uint32_t at = uint32(segment, "at", "erase/segment/@at");
        const std::uint64_t count =
            static_cast<std::uint64_t>(integer(segment, "repeat", 0, UINT32_MAX, "erase/segment/@repeat")) *
            ecu.FillPattern.length();
        if (count > UINT32_MAX)
            invalid(segment.attribute("repeat").value(), "erase/segment/@repeat");
        db_.execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
            {ecuId, column(at), column(count), tuning});
        for (const pugi::xml_node& nowrite : erase.children("nowrite"))
            db_.execute(
                "INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], [Contrôle],"
                " [Calibration]) VALUES (?, ?, ?, ?, ?, ?, ?)",
                {ecuId, column(at), column(count), column(uint32(nowrite, "at", "erase/nowrite/@at")),
                 column(uint32(nowrite, "length", "erase/nowrite/@length")), 0, tuning});
    }
}

void Importer::application(const pugi::xml_node& element, qint64 ecuId, ImportedEcu& imported) {
    const std::string name = text(element, "Name", "application/@Name");
    QSqlQuery q = db_.execute(
        "SELECT [App Id] FROM [Applications] WHERE [Ecu Id] = ? AND [App Name] = ? ORDER BY [App Id]",
        {ecuId, sql::text(name)});
    qint64 appId = 0;
    if (q.next()) {
        appId = q.value(0).toLongLong();
        q.finish();
        notes_.push_back(tr("frmDatabase/Messages/importXML/errorApplicationCodeAlreadyExists/text",
                            "Application {0} code already exists. Not updated", name));
    } else {
        q.finish();
        appId = db_.insert("INSERT INTO [Applications] ([Ecu Id], [App Name], [SupplierHex]) VALUES (?, ?, ?)"
                           " RETURNING [App Id]",
                           {ecuId, sql::text(name), blankSupplierHex()});
        imported.applications.push_back({ItemKey::Application, appId});
        nodes_.push_back({key(ItemKey::Application, appId), key(ItemKey::Ecu, ecuId), name, {}});
        storeSegments(element, applications, appId);
        // The default tuning data: the one without a name, else the first one.
        pugi::xml_node defaultData;
        for (const pugi::xml_node& data : element.children("tuningdata"))
            if (hasName(data, true)) {
                defaultData = data;
                break;
            }
        if (!defaultData)
            defaultData = element.child("tuningdata");
        if (defaultData) {
            storeSegments(defaultData, applications, appId);
            stamp(defaultData, applications, appId);
        }
    }

    for (const pugi::xml_node& data : element.children("tuningdata")) {
        if (!hasName(data, false))
            continue;
        const std::string tuningName = data.attribute("Name").value();
        QSqlQuery t =
            db_.execute("SELECT [Calib Id] FROM [Calibrations] WHERE [App Id] = ? AND [Calib Name] = ?",
                        {appId, sql::text(tuningName)});
        if (t.next()) {
            t.finish();
            notes_.push_back(tr("frmDatabase/Messages/importXML/errorTuningDataAlreadyExists/text",
                                "Tuning {0} data already exists. Not updated", tuningName));
            continue;
        }
        t.finish();
        const qint64 calibId = db_.insert("INSERT INTO [Calibrations] ([App Id], [Calib Name], [SupplierHex])"
                                          " VALUES (?, ?, ?) RETURNING [Calib Id]",
                                          {appId, sql::text(tuningName), blankSupplierHex()});
        imported.tunings.push_back({ItemKey::Tuning, calibId});
        storeSegments(data, tunings, calibId);
        stamp(data, tunings, calibId);
    }
}

void Importer::storeSegments(const pugi::xml_node& element, const ItemTables& t, qint64 id) {
    const QString statement =
        QString("INSERT INTO [%1] ([%2], [Address], [Bytes]) VALUES (?, ?, ?)").arg(t.rows, t.id);
    for (const pugi::xml_node& segment : element.children("segment")) {
        const std::uint32_t at = uint32(segment, "at", "segment/@at");
        db_.execute(statement, {id, column(at), segmentBytes(segment)});
        ui_.progress(tr("frmDatabase/Messages/importXML/progress/text", "Importing"), ++segmentsDone_,
                     segments_);
    }
}

void Importer::stamp(const pugi::xml_node& tuningData, const ItemTables& t, qint64 id) {
    const pugi::xml_node stampElement = tuningData.child("ProgrammingStamp");
    const pugi::xml_node identification = stampElement.child("Identification");
    if (!identification)
        return;
    // A missing attribute stores Null, as the attribute's value is then.
    const auto attribute = [](const pugi::xml_node& e, const char* name) -> QVariant {
        const pugi::xml_attribute a = e.attribute(name);
        return a ? QVariant(QString::fromUtf8(a.value())) : QVariant(QMetaType(QMetaType::QString));
    };
    QVariant diagnostic(QMetaType(QMetaType::Int));
    if (identification.attribute("Diagnostic"))
        diagnostic = static_cast<int>(int32(identification, "Diagnostic", "Identification/@Diagnostic"));
    // SupplierHex goes with Code Fournisseur, as the Open command writes them: the list shows the supplier
    // code from it.
    const QVariant supplier = attribute(identification, "Supplier");
    QString columns =
        "[Indice Diag] = ?, [Code Fournisseur] = ?, [SupplierHex] = ?, [Software] = ?, [Version] = ?";
    QVariantList values{diagnostic, supplier,
                        QString::fromStdString(supplierHexOf(supplier.toString().toStdString())),
                        attribute(identification, "Application"), attribute(identification, "Version")};
    const struct {
        pugi::xml_node element;
        const char* column;
    } numbers[] = {{identification.child("Hardware"), "Hardware"},
                   {identification.child("SpecificData"), "Réserve"},
                   {identification.child("Order"), "PIE"},
                   {identification.child("Tuning"), "Calibration"},
                   {stampElement.child("Approval"), "Homologation"}};
    for (const auto& n : numbers)
        if (n.element) {
            columns += QString(", [%1] = ?").arg(QString::fromUtf8(n.column));
            values.push_back(attribute(n.element, "Number"));
        }
    values.push_back(id);
    db_.execute(QString("UPDATE [%1] SET %2 WHERE [%3] = ?").arg(t.items, columns, t.id), values);
}

} // namespace

XmlImportResult ImportXmlDocument(Connection& db, const pugi::xml_document& doc, Interaction& ui,
                                  const TreeSource* tree) {
    const pugi::xml_node root = doc.document_element();
    if (!root.child("Boot"))
        throw ZepError(errors::Xml,
                       tr("frmDatabase/Messages/importXML/noBoot/text",
                          "This is not an ECU file: its root element <{0}> holds no Boot element.",
                          std::string(root.name())));
    Importer importer(db, ui, tree);
    importer.run(root);
    return std::move(importer.result);
}

} // namespace zep
