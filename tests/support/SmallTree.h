#pragma once

#include "database/Connection.h"
#include "navigation/TreeSource.h"
#include "support/DatabaseRows.h"
#include "support/TestDatabase.h"
#include "text/Addressing.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <optional>
#include <string>

namespace zep::test {

/** The columns of a Hardwares row that the views show; the others take their defaults. */
struct EcuRow {
    int address = 7;
    std::optional<std::string> nom{};
    std::optional<std::string> comment{};
    std::optional<std::string> supplierHex = std::string("202020");
    int identificationType = 0;
    int uploadRL = 128;
    QByteArray fillPattern{};
    QByteArray repeatPattern{};
    int interByte = 0;
    int replyToRequest = 0;
    int writeGranularity = 1;
};

/** The identification columns of an Applications or Calibrations row. */
struct ItemRow {
    std::string name{};
    std::string pie = "0000000000";
    std::optional<int> indiceDiag = 0;
    std::optional<std::string> supplierHex = std::string("202020");
    bool identValide = false;
    std::optional<std::string> comment{};
    std::optional<std::string> hardware{};
};

inline QVariant orNull(const std::optional<std::string>& s) {
    return s ? QVariant(QString::fromStdString(*s)) : QVariant(QMetaType(QMetaType::QString));
}

inline void addFunction(Connection& db, int address, const std::optional<std::string>& name) {
    db.execute("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (?, ?)", {address, orNull(name)});
}

inline qint64 addEcu(Connection& db, const EcuRow& e) {
    return db.insert(
        "INSERT INTO [Hardwares] ([Address], [Nom], [Commentaire], [SupplierHex], [IdentificationType],"
        " [UploadRL], [FillPattern], [RepeatPattern], [InterByteDelay], [ReplyToRequestDelay],"
        " [WriteGranularity], [Code Fournisseur]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'ZEP')"
        " RETURNING [Ecu Id]",
        {e.address, orNull(e.nom), orNull(e.comment), orNull(e.supplierHex), e.identificationType, e.uploadRL,
         e.fillPattern.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : e.fillPattern,
         e.repeatPattern.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : e.repeatPattern,
         e.interByte, e.replyToRequest, e.writeGranularity});
}

inline qint64 addItem(Connection& db, bool tuning, qint64 owner, const ItemRow& r) {
    const QString statement =
        tuning
            ? "INSERT INTO [Calibrations] ([App Id], [Calib Name], [PIE], [Indice Diag], [SupplierHex],"
              " [IdentValide], [Commentaire], [Hardware]) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING [Calib "
              "Id]"
            : "INSERT INTO [Applications] ([Ecu Id], [App Name], [PIE], [Indice Diag], [SupplierHex],"
              " [IdentValide], [Commentaire], [Hardware]) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING [App Id]";
    return db.insert(statement,
                     {owner, QString::fromStdString(r.name), QString::fromStdString(r.pie),
                      r.indiceDiag ? QVariant(*r.indiceDiag) : QVariant(QMetaType(QMetaType::Int)),
                      orNull(r.supplierHex), r.identValide, orNull(r.comment), orNull(r.hardware)});
}

inline qint64 addApplication(Connection& db, qint64 ecuId, const std::string& name) {
    return addItem(db, false, ecuId, {name});
}

/**
 * A small database for the tree: functions with and without ECUs, ECUs with and without applications,
 * two ECUs of one name in a row, and an ECU whose address has no function row.
 */
struct SmallTree {
    qint64 injection1, injection2, gearbox, airbag, orphan;
    qint64 appA, appB, appC, airbagApp, orphanApp;
    qint64 tuning;

    explicit SmallTree(Connection& db) {
        addFunction(db, 7, "Engine control");
        addFunction(db, 122, "airbag db");
        addFunction(db, 16, "Doors");
        injection1 = addEcu(db, {.address = 7, .nom = "Injection", .comment = "first"});
        injection2 = addEcu(db, {.address = 7, .nom = "Injection"});
        gearbox = addEcu(db, {.address = 7, .nom = "Gearbox"});
        airbag = addEcu(db, {.address = 122, .nom = "Airbag"});
        orphan = addEcu(db, {.address = 200, .nom = "Orphan"});
        appB = addApplication(db, injection1, "App B");
        appA = addApplication(db, injection1, "App A");
        appC = addApplication(db, injection2, "App C");
        airbagApp = addApplication(db, airbag, "Airbag SW");
        orphanApp = addApplication(db, orphan, "Orphan SW");
        tuning = addItem(db, true, appA, {"Tuning 1"});
    }
};

/** Names of functions 7 (English and French) and 122 (French only); none for 16 and 200. */
inline const char* addressingDocument =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Functions>
  <Function Address="7"><Name xml:lang="en">Engine</Name><Name xml:lang="fr">Moteur</Name><RId>1</RId></Function>
  <Function Address="122"><Name xml:lang="fr">Coussin</Name></Function>
</Functions>)";

/** A database of the engine under test, with the default texts in English and the addressing document above.
 */
class NavigationTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        TextCatalog::instance().unload();
        TextCatalog::instance().setLanguage("en");
        Addressing::instance().loadFromString(addressingDocument);
        db = database().create();
    }
    void TearDown() override {
        db.reset();
        Addressing::instance().unload();
        TextCatalog::instance().setLanguage("en");
    }

    std::unique_ptr<Connection> db;
};

} // namespace zep::test
