#pragma once

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "memory/Hex.h"
#include "support/DatabaseRows.h"
#include "support/TestDatabase.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <string>
#include <vector>

namespace zep::test {

inline std::vector<std::uint8_t> filled(std::size_t size, std::uint8_t first, std::uint8_t step = 1) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + step * i);
    return bytes;
}

// The sample ECU: an application range 1000-1FFF, a tuning range 8000-80FF whose 8010-801F is
// excluded, erased value FF.
inline constexpr std::uint32_t AppFirst = 0x1000, AppCount = 0x1000;
inline constexpr std::uint32_t TuningFirst = 0x8000, TuningCount = 0x100;
inline constexpr std::uint32_t ExcludedFirst = 0x8010, ExcludedCount = 0x10;

inline ZEPEcu sampleEcu(int address, const std::string& name) {
    ZEPEcu ecu;
    ecu.Address = static_cast<std::uint8_t>(address);
    ecu.Nom = name;
    ecu.Commentaire = "Calculateur « injection » d'essai";
    ecu.CodeFournisseur = "VAL";
    ecu.SupplierHex = "56414C";
    ecu.FillPattern = MemBlock::fromHex("FF00");
    ecu.RepeatPattern = MemBlock::fromHex("A55A");
    ecu.WriteGranularity = 16;
    ecu.InterByteDelay = 5;
    ecu.ReplyToRequestDelay = 50;
    ecu.UploadRL = ZEPEcu::UploadWithoutCrc;
    ecu.IdentificationType = 32768;
    return ecu;
}

inline void addFunction(Connection& db, int address, const QVariant& name) {
    db.execute(QStringLiteral("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (?, ?)"), {address, name});
}

/** the ECU row with its application mapping, its tuning mapping and one tuning exclusion */
inline qint64 addEcu(Connection& db, const ZEPEcu& ecu) {
    const qint64 id = EcuStore::Insert(db, ecu);
    const QString mapping = QStringLiteral(
        "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)");
    db.execute(mapping, {id, AppFirst, AppCount, false});
    db.execute(mapping, {id, TuningFirst, TuningCount, true});
    db.execute(QStringLiteral("INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count],"
                              " [Contrôle], [Calibration]) VALUES (?, ?, ?, ?, ?, ?, ?)"),
               {id, TuningFirst, TuningCount, ExcludedFirst, ExcludedCount, 0, true});
    return id;
}

inline EcuApplication identified(const std::string& pie = "0123456789") {
    EcuApplication app;
    app.setPIE(pie);
    app.setIndiceDiag(7);
    app.setFournisseur("VAL");
    app.setFournisseurHex("56414C");
    app.setHardware("1122334455");
    app.setSoftware("0102");
    app.setVersion("0304");
    app.setCalibration("0506");
    app.setReserve("A0B0C0D0");
    app.Homologation = "HOMOL-42";
    return app;
}

/** an application or tuning row with the identification above and the blocks of image */
inline qint64 addItem(Connection& db, ImageStore::Owner owner, qint64 ownerId, const std::string& name,
                      const MemImage& image, std::optional<std::string> comment = std::string("commentaire"),
                      bool identValide = true) {
    const qint64 id =
        ImageStore::AddItemRow(db, owner, ownerId, {name, identValide, std::move(comment)}, identified());
    ImageStore::StoreImageRows(db, owner, id, image);
    return id;
}

/** count rows of size bytes each from first, numbered so that every row differs */
inline MemImage rowsImage(std::uint32_t first, std::size_t count, std::size_t size, std::uint8_t seed = 0) {
    MemImage image;
    for (std::size_t i = 0; i < count; ++i)
        image.add(static_cast<std::uint32_t>(first + i * size),
                  filled(size, static_cast<std::uint8_t>(seed + i)));
    return image;
}

} // namespace zep::test
