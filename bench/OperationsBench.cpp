// Times the operations on a 16 MiB image of 524,288 blocks of 32 bytes: comparing two identical images
// once loaded, and Download of an application of that many rows from a local SQLite file and, when a
// server is named, from PostgreSQL. Storing the rows and copying the application into another local
// file are timed too, as figures without a target.

#include "BenchData.h"
#include "BenchTiming.h"
#include "commands/Compare.h"
#include "commands/Copy.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "memory/ZepError.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zep;
namespace fs = std::filesystem;

constexpr std::size_t blocks = 524288;
constexpr std::size_t blockSize = 32;
constexpr std::uint32_t imageFirst = 0x100000;
constexpr double compareTarget = 0.2;  // seconds
constexpr double downloadTarget = 1.0; // seconds, on SQLite
constexpr double engineRatio = 3.0;    // PostgreSQL's Download time over SQLite's

const char* const usage =
    "usage: zep-bench-operations [--runs N] [--pg CONNECTION]\n"
    "  Times comparing two identical 16 MiB images (524,288 blocks of 32 bytes) once loaded, and\n"
    "  Download of an application of those 524,288 rows from a local SQLite file; best of N runs\n"
    "  (default 3). With --pg, or ZEP_TEST_PG set, Download from a new schema of that PostgreSQL\n"
    "  database too, dropped afterwards. Exit status: 0 all targets met, 1 a target missed, 2 the\n"
    "  benchmark could not run.\n";

/** wall-clock time, and this process's processor time, which a busy machine does not inflate */
using bench::Time;
using bench::timed;

/** the fastest of runs by wall-clock time */
Time best(int runs, const std::function<void()>& work) {
    Time fastest;
    for (int i = 0; i < runs; ++i) {
        const Time t = timed(work);
        if (t.wall < fastest.wall)
            fastest = t;
    }
    return fastest;
}

std::string seconds(const Time& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%7.3f s (cpu %6.3f s)", t.wall, t.cpu);
    return text;
}

MemImage sampleImage() {
    std::mt19937 random(16);
    std::vector<std::uint8_t> bytes(blockSize);
    MemImage image;
    image.reserve(blocks * blockSize, blocks);
    for (std::size_t i = 0; i < blocks; ++i) {
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        image.add(static_cast<std::uint32_t>(imageFirst + i * blockSize), bytes);
    }
    return image;
}

struct Figures {
    std::string engine;
    Time store, download, copy;
};

/** an ECU whose application range holds the image, and the application with its rows */
std::string storeApplication(Connection& db, const MemImage& image, Time& store) {
    ZEPEcu ecu;
    ecu.Address = 5;
    ecu.Nom = "bench";
    ecu.FillPattern = MemBlock::fromHex("FF");
    const qint64 ecuId = EcuStore::Insert(db, ecu);
    db.execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
               {ecuId, imageFirst, qint64(blocks * blockSize), false});
    const qint64 appId =
        ImageStore::AddItemRow(db, ImageStore::Owner::Application, ecuId, {"bench"}, EcuApplication());
    store = timed([&] {
        db.transaction([&] { ImageStore::StoreImageRows(db, ImageStore::Owner::Application, appId, image); });
    });
    return "a" + std::to_string(appId);
}

/** stores, downloads (checking the bytes) and copies the application; nullopt when something failed */
std::optional<Figures> measure(const std::string& engine, Connection& db, const MemImage& image, int runs,
                               const fs::path& folder) {
    Figures f{engine, {}, {}, {}};
    const std::string key = storeApplication(db, image, f.store);
    EcuApplication loaded;
    f.download = best(runs, [&] { loaded = ImageStore::Download(db, key, false); });
    if (!(loaded.value() == image)) {
        std::fprintf(stderr, "%s: the downloaded image differs from the stored one\n", engine.c_str());
        return std::nullopt;
    }
    const std::string copyPath = (folder / (engine + "-copy.zdb")).string();
    const auto copy = Connection::create(ConnectionString::forFile(copyPath), SchemaVersion::Current,
                                         ZEP_SHARE_DIR "/schema");
    ZEPEcu ecu;
    ecu.Address = 5;
    const qint64 targetEcu = EcuStore::Insert(*copy, ecu);
    f.copy = timed([&] { Copy::CopyApplication(db, std::stoll(key.substr(1)), *copy, targetEcu); });
    return f;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::string server;
    if (const char* pg = std::getenv("ZEP_TEST_PG"))
        server = pg;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--pg" && i + 1 < argc)
            server = argv[++i];
        else {
            std::fputs(usage, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }

    double load[3] = {};
    if (getloadavg(load, 3) > 0)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::printf("image: %zu blocks of %zu bytes (%zu MiB), best of %d runs\n\n", blocks, blockSize,
                blocks * blockSize >> 20, runs);

    const MemImage image = sampleImage();
    bool pass = true;

    EcuApplication first, second;
    first.value() = image;
    second.value() = image;
    CompareResult result;
    const Time compare =
        best(runs, [&] { result = Compare::CompareImages(first, "first", second, "second", "bench"); });
    if (result.count != 0) {
        std::fprintf(stderr, "identical images compared with %d differences\n", result.count);
        return 2;
    }
    const bool compareOk = compare.wall < compareTarget;
    pass = pass && compareOk;
    std::printf("compare two identical images     %s   target < %.1f s   %s\n\n", seconds(compare).c_str(),
                compareTarget, compareOk ? "PASS" : "FAIL");

    const fs::path folder = fs::temp_directory_path() / ("zep-bench-operations-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::vector<Figures> figures;
    int status = 0;
    try {
        {
            const auto db = Connection::create(ConnectionString::forFile((folder / "bench.zdb").string()),
                                               SchemaVersion::Current, ZEP_SHARE_DIR "/schema");
            const auto f = measure("SQLite", *db, image, runs, folder);
            if (!f)
                status = 2;
            else
                figures.push_back(*f);
        }
        if (status == 0 && !server.empty()) {
            const bench::ServerSchema schema(server, "zep_bench_operations_");
            const auto db = Connection::create(schema.connectionString(), SchemaVersion::Current,
                                               ZEP_SHARE_DIR "/schema");
            const auto f = measure("PostgreSQL", *db, image, runs, folder);
            if (!f)
                status = 2;
            else
                figures.push_back(*f);
        }
    } catch (const ZepError& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 2;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (status != 0)
        return status;

    for (const Figures& f : figures) {
        std::printf("%s\n", f.engine.c_str());
        std::printf("  store 524,288 rows               %s\n", seconds(f.store).c_str());
        std::printf("  copy into a local file           %s\n", seconds(f.copy).c_str());
        if (f.engine == "SQLite") {
            const bool ok = f.download.wall < downloadTarget;
            pass = pass && ok;
            std::printf("  Download                         %s   target < %.1f s   %s\n",
                        seconds(f.download).c_str(), downloadTarget, ok ? "PASS" : "FAIL");
        } else {
            const double ratio = f.download.wall / figures.front().download.wall;
            const bool ok = ratio <= engineRatio;
            pass = pass && ok;
            std::printf("  Download                         %s   %.2f x SQLite, target <= %.0f x   %s\n",
                        seconds(f.download).c_str(), ratio, engineRatio, ok ? "PASS" : "FAIL");
        }
    }
    if (server.empty())
        std::printf("PostgreSQL: not measured (no --pg, ZEP_TEST_PG unset)\n");
    std::printf("\n%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
