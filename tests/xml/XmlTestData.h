#pragma once

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "memory/Hex.h"
#include "support/DatabaseRows.h"
#include "support/RecordingInteraction.h"
#include "support/TestDatabase.h"
#include "text/Addressing.h"
#include "text/TextCatalog.h"
#include "xml/InterchangeDocument.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <string>
#include <vector>

namespace zep::test {

/** Function 16 with both CAN identifiers, 17 without its XId, 18 with identifiers written as 0. */
inline const char* xmlAddressing = R"(<?xml version="1.0" encoding="UTF-8"?>
<Functions>
  <Function Address="16"><Name xml:lang="en">Engine control unit</Name><RId>1016</RId><XId>2016</XId></Function>
  <Function Address="17"><Name xml:lang="en">Gearbox</Name><RId>1017</RId></Function>
  <Function Address="18"><RId>0</RId><XId>x</XId></Function>
</Functions>)";

inline std::vector<std::uint8_t> sequence(std::uint8_t first, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

inline EcuApplication identified(const std::string& software, int diag, const std::string& supplier,
                                 const std::string& version, const std::string& pie,
                                 const std::string& hardware, const std::string& calibration,
                                 const std::string& reserve, const std::string& approval) {
    EcuApplication app;
    app.setSoftware(software);
    app.setIndiceDiag(static_cast<std::uint8_t>(diag));
    app.setFournisseur(supplier);
    app.setVersion(version);
    app.setPIE(pie);
    app.setHardware(hardware);
    app.setCalibration(calibration);
    app.setReserve(reserve);
    app.Homologation = approval;
    return app;
}

inline void addMapping(Connection& db, qint64 ecuId, std::uint32_t first, std::uint32_t count, bool tuning,
                       std::uint32_t excludedFirst, std::uint32_t excludedCount) {
    db.execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
               {ecuId, first, count, tuning});
    db.execute("INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], [Contrôle], "
               "[Calibration]) VALUES (?, ?, ?, ?, ?, 0, ?)",
               {ecuId, first, count, excludedFirst, excludedCount, tuning});
}

/** The ECU of the golden documents (tests/data/xml/make_golden.py writes them from the same values). */
inline ZEPEcu goldenEcu() {
    ZEPEcu ecu;
    ecu.Address = 16;
    ecu.Nom = "Injection & <co>";
    ecu.CodeFournisseur = "ZEP";
    ecu.SupplierHex = "5A4550";
    ecu.InterByteDelay = 10;
    ecu.ReplyToRequestDelay = 20;
    ecu.WriteGranularity = 247;
    ecu.UploadRL = ZEPEcu::UploadWithoutCrc;
    ecu.IdentificationType = 32768;
    ecu.FillPattern = MemBlock::fromHex("FFFF");
    return ecu;
}

/** the default texts in English and the addressing document above */
inline void useXmlTexts() {
    TextCatalog::instance().unload();
    TextCatalog::instance().setLanguage("en");
    Addressing::instance().loadFromString(xmlAddressing);
}

/** The golden ECU in a database: one application with two tunings. */
struct GoldenData {
    qint64 ecuId, appId, t1, t2;

    explicit GoldenData(Connection& db) {
        using ImageStore::Owner;
        ecuId = EcuStore::Insert(db, goldenEcu());
        addMapping(db, ecuId, 0x1000, 0x1000, false, 0x1F00, 0x20);
        addMapping(db, ecuId, 0x2000, 0x100, true, 0x20F0, 0x20);

        appId = ImageStore::AddItemRow(db, Owner::Application, ecuId, {"SW 1.0"},
                                       identified("0A1B", 5, "ZEP", "0002", "0123456789", "9876543210",
                                                  "00C1", "DEADBEEF", "HOMOL-0001"));
        MemImage image;
        image.add(0x1000, sequence(0x00, 16));
        image.add(0x1F18, sequence(0x40, 16)); // its first 8 bytes are excluded
        image.add(0x2000, sequence(0x20, 16)); // the default tuning data
        image.add(0x5000, sequence(0x90, 4));  // outside every area
        ImageStore::StoreImageRows(db, Owner::Application, appId, image);

        t2 = ImageStore::AddItemRow(
            db, Owner::Tuning, appId, {"T2"},
            identified("7002", 7, "ABC", "0004", "3333333333", "4444444444", "00C3", "00000002", ""));
        MemImage data2;
        data2.add(0x2010, std::vector<std::uint8_t>{1, 2, 3});
        ImageStore::StoreImageRows(db, Owner::Tuning, t2, data2);

        t1 = ImageStore::AddItemRow(
            db, Owner::Tuning, appId, {"T1"},
            identified("7001", 6, "ABC", "0003", "1111111111", "2222222222", "00C2", "00000001", "HOMOL-T1"));
        MemImage data1;
        data1.add(0x2004, std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC, 0xDD});
        data1.add(0x20F8, std::vector<std::uint8_t>{0xEE, 0xEE}); // excluded
        ImageStore::StoreImageRows(db, Owner::Tuning, t1, data1);
    }
};

/** The texts and addressing of the golden documents: default texts, function 16 named in English. */
class XmlTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        useXmlTexts();
        db = database().create();
    }
    void TearDown() override {
        db.reset();
        Addressing::instance().unload();
    }

    std::unique_ptr<Connection> db;
    RecordingInteraction ui;
    TempDir dir;
};

/** every row an import writes, in a fixed order */
inline std::vector<std::string> importedRows(Connection& db) {
    std::vector<std::string> all;
    for (const char* statement : {"SELECT * FROM [Hardwares] ORDER BY [Ecu Id]",
                                  "SELECT * FROM [Mappings] ORDER BY [Ecu Id], [Address]",
                                  "SELECT * FROM [Exclusions] ORDER BY [Ecu Id], [Address]",
                                  "SELECT * FROM [Applications] ORDER BY [App Id]",
                                  "SELECT * FROM [Application Code] ORDER BY [App Id], [Address]",
                                  "SELECT * FROM [Calibrations] ORDER BY [Calib Id]",
                                  "SELECT * FROM [Calibration Data] ORDER BY [Calib Id], [Address]"}) {
        all.push_back(statement);
        for (std::string& row : lines(db, statement))
            all.push_back(std::move(row));
    }
    return all;
}

} // namespace zep::test
