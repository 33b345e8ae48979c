#pragma once

#include "database/Connection.h"
#include "memory/ZepError.h"

#include <QSqlQuery>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zep::bench {

/** The large database of the tree and listing targets: one ECU has bigEcuApplications of them. */
inline constexpr int functions = 256;
inline constexpr int ecus = 5000;
inline constexpr int applications = 50000;
inline constexpr int bigEcuApplications = 1000;

/** inserts rows of values in multi-row statements: one statement a row would cost a round trip each */
inline void insertRows(Connection& db, const QString& head, int columns,
                       const std::vector<QVariantList>& rows) {
    // SQLite looks bound parameters up by a linear search: many small statements beat a few huge ones.
    constexpr std::size_t batch = 50;
    const QString tuple = "(?" + QString(", ?").repeated(columns - 1) + ")";
    for (std::size_t first = 0; first < rows.size(); first += batch) {
        const std::size_t end = std::min(rows.size(), first + batch);
        QString statement = head + " VALUES ";
        QVariantList values;
        for (std::size_t i = first; i < end; ++i) {
            statement += (i == first ? "" : ", ") + tuple;
            values += rows[i];
        }
        db.execute(statement, values);
    }
}

/**
 * measure(db) on a new local database in a folder of its own; the folder goes afterwards, whatever
 * happens (the connection is closed first)
 */
template <class Measure>
auto onNewLocalDatabase(const std::string& name, const std::string& schema, Measure measure) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("zep-bench-" + name + "-" + std::to_string(getpid()));
    fs::create_directories(folder);
    struct Removal {
        fs::path folder;
        ~Removal() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    } removal{folder};
    const auto db = Connection::create(ConnectionString::forFile((folder / "bench.zdb").string()),
                                       SchemaVersion::Current, schema);
    return measure(*db);
}

/** fills db with the large database; the Ecu Id of the ECU with bigEcuApplications applications */
inline qint64 fillBigTree(Connection& db) {
    return db.transaction([&] {
        std::vector<QVariantList> rows;
        for (int address = 0; address < functions; ++address)
            rows.push_back({address, QString("Function %1").arg(address)});
        insertRows(db, "INSERT INTO [Fonctions] ([Address], [Name])", 2, rows);

        rows.clear();
        for (int i = 0; i < ecus; ++i)
            rows.push_back({i % functions, QString("ECU %1").arg(i, 4, 10, QChar('0')), "ZEP", "5A4550",
                            32768, 128, QByteArray(1, '\xFF'), 16, QString("comment %1").arg(i)});
        insertRows(db,
                   "INSERT INTO [Hardwares] ([Address], [Nom], [Code Fournisseur], [SupplierHex], "
                   "[IdentificationType], [UploadRL], [FillPattern], [WriteGranularity], [Commentaire])",
                   9, rows);

        std::vector<qint64> ids;
        QSqlQuery q = db.execute("SELECT [Ecu Id] FROM [Hardwares] ORDER BY [Ecu Id]");
        while (q.next())
            ids.push_back(q.value(0).toLongLong());
        q.finish();

        // The first ECU gets bigEcuApplications applications, the others share the rest.
        rows.clear();
        for (int i = 0; i < applications; ++i) {
            const std::size_t ecu =
                i < bigEcuApplications
                    ? 0
                    : 1 + static_cast<std::size_t>(i - bigEcuApplications) % (ids.size() - 1);
            rows.push_back({ids[ecu], QString("Application %1").arg(i, 5, 10, QChar('0')), "4142434445", 3,
                            "ZEP", "5A4550", "0102030405", "0607", "0809", "0A0B", "0C0D0E0F", "0000000000",
                            i % 2 == 0, QString("comment %1").arg(i)});
        }
        insertRows(
            db,
            "INSERT INTO [Applications] ([Ecu Id], [App Name], [PIE], [Indice Diag], [Code Fournisseur], "
            "[SupplierHex], [Hardware], [Software], [Version], [Calibration], [Réserve], [Homologation], "
            "[IdentValide], [Commentaire])",
            14, rows);
        return ids.front();
    });
}

/** a new schema named prefix + the process id on the server, dropped with the object */
class ServerSchema {
public:
    ServerSchema(const std::string& server, const std::string& prefix)
        : admin_(Connection::openServer(server)) {
        name_ = prefix + std::to_string(getpid());
        admin_->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(quoted()));
        admin_->execute(QStringLiteral("CREATE SCHEMA %1").arg(quoted()));
        const ConnectionString& at = admin_->connectionString();
        connectionString_ =
            ConnectionString::forServer(at.host(), at.port(), at.database(), at.user(), at.password(), name_);
    }
    ~ServerSchema() {
        try {
            admin_->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(quoted()));
        } catch (const ZepError& e) {
            std::fprintf(stderr, "cannot drop schema %s: %s\n", name_.c_str(), e.what());
        }
    }
    ServerSchema(const ServerSchema&) = delete;
    ServerSchema& operator=(const ServerSchema&) = delete;

    const std::string& connectionString() const { return connectionString_; }

private:
    QString quoted() const { return admin_->quote(QString::fromStdString(name_)); }

    std::unique_ptr<Connection> admin_;
    std::string name_, connectionString_;
};

} // namespace zep::bench
