// Times the tree build and the listing of a large ECU on a database of 256 functions, 5,000 ECUs and
// 50,000 applications: on a local SQLite file, and on PostgreSQL when a server is named.

#include "BenchTiming.h"
#include "database/Connection.h"
#include "database/Listing.h"
#include "database/TreeSource.h"
#include "text/Documents.h"

#include <QSqlQuery>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace zep;
namespace fs = std::filesystem;

constexpr int functions = 256;
constexpr int ecus = 5000;
constexpr int applications = 50000;
constexpr int bigEcuApplications = 1000;
constexpr double buildTarget = 1.0; // seconds
constexpr double listTarget = 0.3;  // seconds
constexpr double engineRatio = 3.0; // PostgreSQL's time over SQLite's

const char* const usage =
    "usage: zep-bench-navigation [--runs N] [--pg CONNECTION]\n"
    "  Fills a local SQLite database with 256 functions, 5,000 ECUs and 50,000 applications (one ECU\n"
    "  has 1,000 of them), then times the tree build and the listing of that ECU, best of N runs\n"
    "  (default 5). With --pg, or ZEP_TEST_PG set, the same on a new schema of that PostgreSQL\n"
    "  database, dropped afterwards. Exit status: 0 all targets met, 1 a target missed, 2 the\n"
    "  benchmark could not run.\n";

/** wall-clock time, and this process's processor time, which a busy machine does not inflate */
using bench::Time;
using bench::timed;

struct Figures {
    std::string engine;
    Time fill;
    Time build;
    std::size_t nodes = 0;
    Time list;
    std::size_t rows = 0;
};

/** the faster of two runs by wall-clock time */
Time best(const Time& a, const Time& b) {
    return b.wall < a.wall ? b : a;
}

/** inserts rows of values in multi-row statements: one statement a row would cost a round trip each */
void insertRows(Connection& db, const QString& head, int columns, const std::vector<QVariantList>& rows) {
    // SQLite looks bound parameters up by a linear search: many small statements beat a few huge ones.
    constexpr std::size_t batch = 50;
    QString tuple = "(?" + QString(", ?").repeated(columns - 1) + ")";
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

/** the data set; the Ecu Id of the ECU with 1,000 applications */
qint64 fill(Connection& db) {
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

        // The first ECU gets 1,000 applications, the others share the rest.
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

Figures measure(const std::string& engine, Connection& db, int runs) {
    Figures f;
    f.engine = engine;
    qint64 bigEcu = 0;
    f.fill = timed([&] { bigEcu = fill(db); });
    for (int run = 0; run < runs; ++run) {
        TreeSource tree;
        f.build = best(f.build, timed([&] {
                           if (!tree.build(db))
                               throw ZepError(errors::File, "the tree cannot be built");
                       }));
        f.nodes = tree.size();
        Listing listing;
        f.list = best(f.list, timed([&] { listing = Listing::of(db, tree, "h" + std::to_string(bigEcu)); }));
        if (listing.error)
            throw ZepError(errors::File, "listing failed: " + *listing.error);
        f.rows = listing.rows.size();
    }
    constexpr std::size_t expectedNodes = 1 + functions + ecus + applications;
    if (f.nodes != expectedNodes || f.rows != static_cast<std::size_t>(bigEcuApplications))
        throw ZepError(errors::File, "wrong tree or listing: " + std::to_string(f.nodes) + " nodes, " +
                                         std::to_string(f.rows) + " rows");
    return f;
}

Figures sqlite(int runs) {
    const fs::path folder = fs::temp_directory_path() / ("zep-bench-navigation-" + std::to_string(getpid()));
    fs::create_directories(folder);
    try {
        std::optional<Figures> f;
        {
            const auto db = Connection::create(ConnectionString::forFile((folder / "bench.zdb").string()),
                                               SchemaVersion::Current, ZEP_SHARE_DIR "/schema");
            f = measure("SQLite", *db, runs);
        }
        fs::remove_all(folder);
        return *f;
    } catch (...) {
        fs::remove_all(folder);
        throw;
    }
}

Figures postgres(const std::string& server, int runs) {
    const std::string schema = "zep_bench_navigation_" + std::to_string(getpid());
    const auto admin = Connection::open(server);
    const QString name = admin->quote(QString::fromStdString(schema));
    admin->execute("DROP SCHEMA IF EXISTS " + name + " CASCADE");
    admin->execute("CREATE SCHEMA " + name);
    try {
        std::optional<Figures> f;
        {
            const ConnectionString& at = admin->connectionString();
            const auto db =
                Connection::create(ConnectionString::forServer(at.host(), at.port(), at.database(), at.user(),
                                                               at.password(), schema),
                                   SchemaVersion::Current, ZEP_SHARE_DIR "/schema");
            f = measure("PostgreSQL", *db, runs);
        }
        admin->execute("DROP SCHEMA " + name + " CASCADE");
        return *f;
    } catch (...) {
        admin->execute("DROP SCHEMA IF EXISTS " + name + " CASCADE");
        throw;
    }
}

bool check(const char* what, double value, double limit, const char* unit) {
    const bool pass = value <= limit;
    std::printf("%-48s %8.4f %s <= %.4f %s  %s\n", what, value, unit, limit, unit, pass ? "PASS" : "FAIL");
    return pass;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string server;
    if (const char* pg = std::getenv("ZEP_TEST_PG"))
        server = pg;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--pg" && i + 1 < argc) {
            server = argv[++i];
        } else {
            std::fputs(usage, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }

    std::vector<Figures> figures;
    try {
        zep::loadDocuments(ZEP_SHARE_DIR, "en");
        figures.push_back(sqlite(runs));
        if (!server.empty())
            figures.push_back(postgres(server, runs));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zep-bench-navigation: %s\n", error.what());
        return 2;
    }

    std::printf("%d functions, %d ECUs, %d applications; the listed ECU has %d; best of %d runs\n\n",
                functions, ecus, applications, bigEcuApplications, runs);
    std::printf("seconds, wall-clock (processor time of this process)\n");
    std::printf("%-12s %18s %20s %8s %20s %6s\n", "engine", "fill", "tree build", "nodes", "list ECU",
                "rows");
    for (const Figures& f : figures)
        std::printf("%-12s %8.3f (%7.3f) %9.4f (%8.4f) %8zu %9.4f (%8.4f) %6zu\n", f.engine.c_str(),
                    f.fill.wall, f.fill.cpu, f.build.wall, f.build.cpu, f.nodes, f.list.wall, f.list.cpu,
                    f.rows);
    std::printf("\n");

    bool pass = true;
    for (const Figures& f : figures) {
        pass &= check((f.engine + " tree build").c_str(), f.build.wall, buildTarget, "s");
        pass &=
            check((f.engine + " listing an ECU of 1,000 applications").c_str(), f.list.wall, listTarget, "s");
    }
    if (figures.size() == 2) {
        const Figures& lite = figures[0];
        const Figures& pg = figures[1];
        pass &=
            check("PostgreSQL over SQLite, tree build", pg.build.wall / lite.build.wall, engineRatio, "x");
        pass &= check("PostgreSQL over SQLite, listing", pg.list.wall / lite.list.wall, engineRatio, "x");
    } else {
        std::printf("PostgreSQL not measured: set ZEP_TEST_PG or pass --pg CONNECTION\n");
    }
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
