// Times the XML export of a 16 MiB application as base64 and its import into an empty local database,
// and checks their peak memory. Each export and import runs in a child process of its own, so that its
// peak resident memory (getrusage in the child) is its own. Two applications of the same bytes are
// measured: one stored as 524,288 rows of 32 bytes (opened from an S-record file) and one stored as a
// single row (imported from an XML file).

#include "commands/XmlExport.h"
#include "commands/XmlImport.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"

#include <sys/resource.h>
#include <sys/wait.h>
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

constexpr std::uint32_t imageFirst = 0x100000;
constexpr std::uint32_t tuningArea = 0x10000; // the last 64 KiB of the image
constexpr double exportTarget = 1.0;          // seconds
constexpr double importTarget = 3.0;          // seconds
constexpr double memoryTarget = 6.0;          // peak resident memory over the image's size

const char* const usage =
    "usage: zep-bench-xml [--size MIB] [--runs N] [--keep]\n"
    "  Stores a random application of MIB mebibytes (default 16) in a local database twice,\n"
    "  as rows of 32 bytes and as one row, then times its XML export as base64 and the\n"
    "  import of that file into an empty local database, each in a process of its own,\n"
    "  best of N runs (default 3); peak memory is the highest of the runs. --keep leaves the\n"
    "  files. Exit status: 0 all targets met, 1 a target missed, 2 the benchmark could not run.\n";

/** what a child measured: wall-clock and processor seconds of its work, its peak resident memory */
struct Measure {
    double wall = 0, cpu = 0;
    long peakKiB = 0;
    bool ok = false;
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

/** runs work in a child process; its figures come back through a pipe */
Measure inChild(const std::function<void()>& work) {
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        Measure m;
        try {
            const double cpu = cpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            work();
            m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            m.cpu = cpuSeconds() - cpu;
            m.ok = true;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        m.peakKiB = usage.ru_maxrss;
        if (write(channel[1], &m, sizeof m) != static_cast<ssize_t>(sizeof m))
            _exit(3);
        _exit(m.ok ? 0 : 1);
    }
    close(channel[1]);
    Measure m;
    if (pid < 0 || read(channel[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m))
        m.ok = false;
    close(channel[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    m.ok = m.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

std::vector<std::uint8_t> randomBytes(std::size_t size) {
    std::mt19937_64 generator(0x5EED2E9B);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t word = generator();
        for (std::size_t k = i; k < std::min(size, i + 8); ++k, word >>= 8)
            bytes[k] = static_cast<std::uint8_t>(word);
    }
    return bytes;
}

std::unique_ptr<Connection> createDatabase(const fs::path& path) {
    fs::remove(path);
    fs::remove(path.string() + "-wal");
    fs::remove(path.string() + "-shm");
    return Connection::create(ConnectionString::forFile(path.string()), SchemaVersion::Current,
                              ZEP_SHARE_DIR "/schema");
}

/** the source database: one ECU whose map covers the image, and the application twice: rows of 32 bytes, one
 * row */
void makeSource(const fs::path& path, std::size_t size) {
    const auto db = createDatabase(path);
    const std::vector<std::uint8_t> bytes = randomBytes(size);
    ZEPEcu ecu;
    ecu.Address = 16;
    ecu.Nom = "bench";
    ecu.CodeFournisseur = "ZEP";
    ecu.SupplierHex = "5A4550";
    ecu.FillPattern = MemBlock::fromHex("FF");
    ecu.WriteGranularity = 247;
    const qint64 ecuId = EcuStore::Insert(*db, ecu);
    db->execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
                {ecuId, imageFirst, qint64(size - tuningArea), false});
    db->execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
                {ecuId, qint64(imageFirst + size - tuningArea), qint64(tuningArea), true});
    for (const std::size_t blockSize : {std::size_t{32}, size}) {
        MemImage image;
        image.reserve(size, size / blockSize);
        for (std::size_t at = 0; at < size; at += blockSize)
            image.add(static_cast<std::uint32_t>(imageFirst + at), {bytes.data() + at, blockSize});
        db->transaction([&] {
            const qint64 appId =
                ImageStore::AddItemRow(*db, ImageStore::Owner::Application, ecuId,
                                       {blockSize == 32 ? "rows" : "one row"}, EcuApplication());
            ImageStore::StoreImageRows(*db, ImageStore::Owner::Application, appId, image);
        });
    }
}

/** the imported application holds the image's bytes */
void check(const fs::path& imported, std::size_t size) {
    const auto db = Connection::open(ConnectionString::forFile(imported.string()));
    const EcuApplication app = ImageStore::Download(*db, "a1", false);
    MemImage expected;
    expected.add(imageFirst, randomBytes(size));
    if (!app.value().sameContent(expected))
        throw std::runtime_error("the imported application differs from the exported one");
}

} // namespace

int main(int argc, char** argv) {
    std::size_t mebibytes = 16;
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc)
            mebibytes = static_cast<std::size_t>(std::clamp(std::atoi(argv[++i]), 1, 64));
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else {
            std::fputs(usage, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    const std::size_t size = mebibytes << 20;
    char pattern[] = "/tmp/zep-bench-xml-XXXXXX";
    if (!mkdtemp(pattern))
        return 2;
    const fs::path folder = pattern;
    const fs::path source = folder / "source.zdb", imported = folder / "imported.zdb";

    double load[3] = {};
    if (getloadavg(load, 3) > 0)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::printf("application: %zu MiB of random bytes, best of %d runs, in %s\n\n", mebibytes, runs,
                folder.c_str());

    int status = 0;
    if (!inChild([&] { makeSource(source, size); }).ok) {
        std::fprintf(stderr, "cannot make the source database\n");
        status = 2;
    }
    const struct {
        const char* name;
        const char* key;
    } layouts[] = {{"rows of 32 bytes", "a1"}, {"one row", "a2"}};
    std::printf("%-17s %-7s %28s %12s %8s\n", "stored as", "step", "time (best)", "peak", "/ image");
    for (const auto& layout : layouts) {
        if (status == 2)
            break;
        const fs::path xml = folder / (std::string(layout.key) + ".xml");
        Measure bestExport{1e9, 0, 0, true}, bestImport{1e9, 0, 0, true};
        for (int run = 0; run < runs && status != 2; ++run) {
            const Measure e = inChild([&] {
                const auto db = Connection::open(ConnectionString::forFile(source.string()));
                SilentInteraction ui;
                if (!SaveXml(*db, layout.key, xml.string(), ui, {.encoding = SegmentEncoding::Base64}))
                    throw std::runtime_error("the export failed");
            });
            const Measure i = inChild([&] {
                const auto db = createDatabase(imported);
                SilentInteraction ui;
                if (!ImportXmlFile(*db, xml.string(), ui).imported())
                    throw std::runtime_error("the import failed");
            });
            if (!e.ok || !i.ok || !inChild([&] { check(imported, size); }).ok) {
                status = 2;
                break;
            }
            for (auto [m, best] : {std::pair{&e, &bestExport}, {&i, &bestImport}}) {
                best->peakKiB = std::max(best->peakKiB, m->peakKiB);
                if (m->wall < best->wall) {
                    best->wall = m->wall;
                    best->cpu = m->cpu;
                }
            }
        }
        if (status == 2)
            break;
        for (const auto& [step, m, target] :
             {std::tuple{"export", &bestExport, exportTarget}, {"import", &bestImport, importTarget}}) {
            const double ratio = static_cast<double>(m->peakKiB) * 1024.0 / static_cast<double>(size);
            const bool met = m->wall <= target && ratio <= memoryTarget;
            std::printf("%-17s %-7s %7.3f s (cpu %6.3f s) %9.1f MiB %7.2f  %s\n", layout.name, step, m->wall,
                        m->cpu, static_cast<double>(m->peakKiB) / 1024.0, ratio, met ? "PASS" : "FAIL");
            if (!met)
                status = std::max(status, 1);
        }
        std::printf("%-17s %-7s %26.1f MiB\n", "", "file",
                    static_cast<double>(fs::file_size(xml)) / 1048576.0);
    }
    std::printf(
        "\ntargets: export at most %.1f s, import at most %.1f s, peak at most %.0f times the image\n",
        exportTarget, importTarget, memoryTarget);
    if (status == 2)
        std::fprintf(stderr, "the benchmark could not run\n");
    if (!keep)
        fs::remove_all(folder);
    return status;
}
