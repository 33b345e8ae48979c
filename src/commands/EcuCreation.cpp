#include "commands/EcuCreation.h"

#include "commands/MapRows.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/SchemaUpgrade.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

namespace zep::EcuCreation {

namespace {

void refuseCentral(const Connection& db) {
    if (db.isCentral())
        throw ZepError(errors::File, tr("frmDatabase/Messages/newHardware/notAllowed/text",
                                        "ECU creation and memory map changes are not allowed in a central "
                                        "database: copy the ECU into a local database to change it there."));
}

void checkMap(const ZEPEcu& ecu) {
    if (const auto wrong = MapRows::check(MapRows::entries(ecu)))
        throw ZepError(errors::InvalidArgument, *wrong);
}

/** the Mappings and Exclusions rows of the ECU's maps, addresses and counts as the columns hold them */
void writeMemoryMap(Connection& db, qint64 ecuId, const ZEPEcu& ecu) {
    const auto column = [](std::uint64_t value) {
        return QVariant(static_cast<qint32>(static_cast<std::uint32_t>(value)));
    };
    for (const bool tuning : {false, true}) {
        const MemMap& mappings = tuning ? ecu.TuningMap() : ecu.ApplicationMap();
        const MemMap& exclusions = tuning ? ecu.TuningExclusions() : ecu.ApplicationExclusions();
        for (const MemRange& mapping : mappings) {
            db.execute(
                "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
                {ecuId, column(mapping.address), column(mapping.count), tuning});
            for (const MemRange& excluded : exclusions)
                if (excluded.address >= mapping.address && excluded.end() <= mapping.end())
                    db.execute("INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count],"
                               " [Contrôle], [Calibration]) VALUES (?, ?, ?, ?, ?, 0, ?)",
                               {ecuId, column(mapping.address), column(mapping.count),
                                column(excluded.address), column(excluded.count), tuning});
        }
    }
}

} // namespace

ZEPEcu defaults(Connection& db, int address) {
    ZEPEcu ecu;
    ecu.Address = static_cast<std::uint8_t>(address);
    ecu.FillPattern.setHex("FF");
    ecu.WriteGranularity = 256;
    ecu.UploadRL = ZEPEcu::UploadWithCrc;
    ecu.SupplierHex = supplierHexOf(ecu.CodeFournisseur.value_or("   "));
    for (const char* where : {"WHERE [Address] = ? ", ""}) {
        QSqlQuery usual =
            db.execute(QStringLiteral("SELECT [IdentificationType] FROM [Hardwares] %1"
                                      "GROUP BY [IdentificationType] ORDER BY count(*) DESC, 1 LIMIT 1")
                           .arg(QLatin1String(where)),
                       *where ? QVariantList{address} : QVariantList{});
        if (usual.next() && !usual.value(0).isNull()) {
            ecu.IdentificationType = usual.value(0).toInt();
            break;
        }
    }
    return ecu;
}

qint64 create(Connection& db, const ZEPEcu& ecu) {
    refuseCentral(db);
    if (ecu.Nom.find_first_not_of(" \t") == std::string::npos)
        throw ZepError(errors::InvalidArgument, tr("frmDatabase/Messages/newHardware/noName/text",
                                                   "A new ECU needs a name: type one."));
    checkMap(ecu);
    return db.transaction([&] {
        const qint64 ecuId = EcuStore::Insert(db, ecu);
        writeMemoryMap(db, ecuId, ecu);
        return ecuId;
    });
}

void update(Connection& db, qint64 ecuId, const ZEPEcu& ecu) {
    refuseCentral(db);
    checkMap(ecu);
    db.transaction([&] {
        EcuStore::Update(db, ecuId, ecu);
        db.execute("DELETE FROM [Exclusions] WHERE [Ecu Id] = ?", {ecuId});
        db.execute("DELETE FROM [Mappings] WHERE [Ecu Id] = ?", {ecuId});
        writeMemoryMap(db, ecuId, ecu);
    });
}

} // namespace zep::EcuCreation
