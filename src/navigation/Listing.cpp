#include "Listing.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ItemKey.h"
#include "database/Sql.h"
#include "flash/EcuApplication.h"
#include "memory/Hex.h"
#include "navigation/ItemSearch.h"
#include "navigation/TreeSource.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

namespace zep {

namespace {

// Identification types whose codes are hexadecimal text of characters.
constexpr int AnsiSupplierAndPart = 33664;
constexpr int AnsiPart = 33665;
constexpr int HexText = 33666;

/**
 * the character of the two digits at the 1-based position, as UTF-8; nullopt when they are not two digits
 * or code a control character, which the list could not show (an empty code is all zeros)
 */
std::optional<std::string> byteCharacter(const std::string& hexText, std::size_t position) {
    if (position + 1 > hexText.size())
        return std::nullopt;
    std::uint8_t byte = 0;
    if (!hex::decode(std::string_view(hexText).substr(position - 1, 2), &byte))
        return std::nullopt;
    const QChar character(byte);
    if (!character.isPrint())
        return std::nullopt;
    return QString(character).toStdString();
}

/** the characters at the positions, or nullopt when one cannot be read */
std::optional<std::string> byteCharacters(const std::string& hexText,
                                          std::initializer_list<std::size_t> positions) {
    std::string text;
    for (const std::size_t position : positions) {
        const auto c = byteCharacter(hexText, position);
        if (!c)
            return std::nullopt;
        text += *c;
    }
    return text;
}

/** a column of the row as text: Null, and a column the database lacks, read as empty */
std::string field(const QSqlRecord& row, const char* column) {
    const int i = row.indexOf(QString::fromUtf8(column));
    return i < 0 ? std::string() : sql::text(row.value(i));
}

/** SupplierHex as written: PostgreSQL pads the fixed-length column with blanks */
std::string supplierHexField(const QSqlRecord& row) {
    return sql::trimmed(field(row, "SupplierHex"));
}

ListRow identificationRow(std::string key, std::string text, const char* icon, const QSqlRecord& row,
                          int identificationType) {
    return {std::move(key), std::move(text), icon, identificationSubItems(row, identificationType),
            field(row, "Commentaire")};
}

std::vector<QSqlRecord> records(QSqlQuery query) {
    std::vector<QSqlRecord> rows;
    while (query.next())
        rows.push_back(query.record());
    return rows;
}

QSqlRecord oneRecord(Connection& db, const QString& statement, qint64 id, const std::string& missing) {
    QSqlQuery query = db.execute(statement, {id});
    if (!query.next())
        throw ZepError(errors::File, missing);
    return query.record();
}

int identificationTypeOf(Connection& db, qint64 ecuId) {
    return EcuStore::Read(db, ecuId).IdentificationType;
}

const std::vector<ListColumn> identificationColumns{
    {"Name", "frmDatabase/Messages/name/text", "Name"},
    {"Valid", "frmDatabase/Messages/checked/text", "Checked"},
    {"Part", "frmDatabase/Messages/partNumber/text", "Part #"},
    {"DiagIndex", "frmDatabase/Messages/diagIndex/text", "Diag index"},
    {"SupplierCode", "frmDatabase/Messages/supplierCode/text", "Supplier code"},
    {"Hardware", "frmDatabase/Messages/hardwareVersion/text", "Hardware"},
    {"Software", "frmDatabase/Messages/softwareName/text", "Software"},
    {"Version", "frmDatabase/Messages/softwareVersion/text", "Version"},
    {"Calibration", "frmDatabase/Messages/tuning/text", "Tuning"},
    {"Reserved", "frmDatabase/Messages/reserved/text", "Reserved"},
    {"Homologation", "frmDatabase/Messages/approvalNumber/text", "Approval #"},
};

} // namespace

std::string ListColumn::text() const {
    return tr(textKey, defaultText);
}

const std::vector<ListColumn>& listColumns(int level) {
    static const std::vector<ListColumn> none;
    static const std::vector<ListColumn> functions{
        {"Function", "frmDatabase/Messages/function/text", "Function"},
        {"Address", "frmDatabase/Messages/address/text", "Address"},
    };
    static const std::vector<ListColumn> ecus{
        {"Hardware", "frmDatabase/Messages/hardware/text", "ECU"},
        {"SupplierCode", "frmDatabase/Messages/supplierCode/text", "Supplier code"},
        {"Interbyte", "frmDatabase/Messages/interbyte/text", "Interbyte"},
        {"ReplyToRequest", "frmDatabase/Messages/replyToRequest/text", "ReplyToRequest"},
        {"MaxDownload", "frmDatabase/Messages/maxDownload/text", "Max Download"},
        {"WriteGranularity", "frmDatabase/Messages/writeGranularity/text", "Write Granularity"},
        {"ErasedState", "frmDatabase/Messages/erasedState/text", "Erased State"},
        {"UploadLM", "frmDatabase/Messages/uploadWithCRC/text", "Upload With CRC"},
        {"RepeatPattern", "frmDatabase/Messages/repeatPattern/text", "Repeat Pattern"},
    };
    switch (level) {
    case 1:
        return functions;
    case 2:
        return ecus;
    case 3:
    case 4:
        return identificationColumns;
    case ItemSearch::Level:
        return ItemSearch::columns();
    default:
        return none;
    }
}

const std::vector<ListColumn>& treeBuildColumns() {
    static const std::vector<ListColumn> functions{
        {"Fonction", "frmDatabase/Messages/function/text", "Function"},
        {"Adresse", "frmDatabase/Messages/address/text", "Address"},
    };
    return functions;
}

std::string itemCountText(std::size_t count) {
    return count >= 2 ? tr("frmDatabase/Messages/items/text", "{0} items", count)
                      : tr("frmDatabase/Messages/item/text", "{0} item", count);
}

std::string yesNoText(bool value) {
    return value ? tr("common/yes/text", "yes") : tr("common/no/text", "no");
}

std::string supplierText(const std::string& hexText, int identificationType) {
    std::optional<std::string> text;
    switch (identificationType) {
    case HexText:
        return hexText;
    case AnsiSupplierAndPart:
        text = byteCharacter(hexText, 1);
        if (text)
            *text += hexText.substr(2);
        break;
    default:
        text = byteCharacters(hexText, {1, 3, 5});
        break;
    }
    return text.value_or(hexText);
}

std::string partNumberText(const std::string& hexText, int identificationType) {
    if (identificationType < AnsiSupplierAndPart || identificationType > HexText)
        return hexText;
    return byteCharacters(hexText, {1, 3, 5, 7, 9}).value_or(hexText);
}

std::vector<std::string> ecuSubItems(const ZEPEcu& ecu) {
    return {
        supplierText(ecu.SupplierHex, ecu.IdentificationType),
        std::to_string(ecu.InterByteDelay),
        std::to_string(ecu.ReplyToRequestDelay),
        std::to_string(ecu.WriteGranularity),
        std::to_string(ecu.FillPattern.length()),
        ecu.FillPattern.toHex(),
        yesNoText(ecu.UploadRL == ZEPEcu::UploadWithCrc),
        ecu.RepeatPattern.toHex(),
    };
}

ListRow ecuRow(const ZEPEcu& ecu, qint64 ecuId) {
    return {ItemKey{ItemKey::Ecu, ecuId}.text(), ecu.Nom, "ecu", ecuSubItems(ecu), ecu.Commentaire};
}

std::vector<std::string> identificationSubItems(const QSqlRecord& row, int identificationType) {
    const int checked = row.indexOf(QLatin1String("IdentValide"));
    return {
        yesNoText(checked >= 0 && row.value(checked).toBool()),
        partNumberText(field(row, "PIE"), identificationType),
        field(row, "Indice Diag"),
        supplierText(supplierHexField(row), identificationType),
        field(row, "Hardware"),
        field(row, "Software"),
        field(row, "Version"),
        field(row, "Calibration"),
        field(row, "Réserve"),
        field(row, "Homologation"),
    };
}

std::vector<std::string> identificationSubItems(const EcuApplication& app, bool checked) {
    const int type = app.Ecu().IdentificationType;
    return {
        yesNoText(checked),
        partNumberText(app.PIE(), type),
        std::to_string(app.IndiceDiag()),
        supplierText(app.FournisseurHex(), type),
        app.Hardware(),
        app.Software(),
        app.Version(),
        app.Calibration(),
        app.Reserve(),
        app.Homologation,
    };
}

ListRow applicationRow(const QSqlRecord& row, int identificationType) {
    return identificationRow("a" + field(row, "App Id"), field(row, "App Name"), "application", row,
                             identificationType);
}

ListRow defaultTuningRow(const QSqlRecord& row, int identificationType) {
    return identificationRow("a" + field(row, "App Id"), "default tuning", "tuning", row, identificationType);
}

ListRow tuningRow(const QSqlRecord& row, int identificationType) {
    return identificationRow("c" + field(row, "Calib Id"), field(row, "Calib Name"), "tuning", row,
                             identificationType);
}

Listing Listing::functions(const TreeSource& tree) {
    Listing listing;
    listing.level = 1;
    listing.nodeKey = "r";
    const TreeNode* root = tree.root();
    for (std::size_t i = 0; root && i < root->childCount(); ++i) {
        const TreeNode& function = root->child(i);
        const std::string address = TreeSource::addressTag(static_cast<int>(function.id()));
        listing.rows.push_back({function.key(),
                                function.text(),
                                "function",
                                {address},
                                tr("common/addressCode/text", "Address code : {0}H", address)});
    }
    return listing;
}

Listing Listing::of(Connection& db, TreeSource& tree, const std::string& key) {
    const auto k = ItemKey::parse(key);
    if (k && k->kind == ItemKey::Root)
        return functions(tree);

    Listing listing;
    listing.nodeKey = key;
    if (!k || k->kind == ItemKey::Tuning)
        return listing;
    try {
        switch (k->kind) {
        case ItemKey::Function: {
            listing.level = 2;
            // Every row is read before the ECUs' maps are: a PostgreSQL connection serves one result at a
            // time.
            for (const QSqlRecord& row :
                 records(db.execute("SELECT * FROM [Hardwares] WHERE [Address] = ?", {k->id}))) {
                ZEPEcu ecu;
                EcuStore::ReadFrom(db, row, ecu);
                const qint64 ecuId = row.value("Ecu Id").toLongLong();
                listing.rows.push_back(ecuRow(ecu, ecuId));
                if (const TreeNode* added =
                        tree.addEcu(ecuId, ecu.Nom, static_cast<int>(k->id), ecu.Commentaire))
                    listing.added.push_back(added);
            }
            break;
        }
        case ItemKey::Ecu: {
            listing.level = 3;
            const int type = identificationTypeOf(db, k->id);
            QSqlQuery rows = db.execute("SELECT * FROM [Applications] WHERE [Ecu Id] = ?", {k->id});
            while (rows.next()) {
                const QSqlRecord row = rows.record();
                ListRow item = applicationRow(row, type);
                if (const TreeNode* added =
                        tree.addApplication(row.value("App Id").toLongLong(), item.text, k->id, item.tag))
                    listing.added.push_back(added);
                listing.rows.push_back(std::move(item));
            }
            break;
        }
        case ItemKey::Application: {
            listing.level = 4;
            const QSqlRecord application = oneRecord(
                db, "SELECT * FROM [Applications] WHERE [App Id] = ?", k->id,
                tr("database/Messages/noSuchApplication/text", "Application {0} does not exist", k->id));
            const int type = identificationTypeOf(db, application.value("Ecu Id").toLongLong());
            listing.rows.push_back(defaultTuningRow(application, type));
            QSqlQuery rows = db.execute("SELECT * FROM [Calibrations] WHERE [App Id] = ?", {k->id});
            while (rows.next())
                listing.rows.push_back(tuningRow(rows.record(), type));
            break;
        }
        default:
            break;
        }
    } catch (const ZepError& error) {
        listing.error = error.description();
    }
    return listing;
}

std::string Listing::countText() const {
    return itemCountText(rows.size());
}

} // namespace zep
