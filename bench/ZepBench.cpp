// Times `zep convert` on a large random image against srec_cat doing the same text conversions, and
// checks the speed and memory targets. Each conversion runs as its own process so that its peak
// resident memory can be read from wait4.

#include "flash/EcuApplication.h"
#include "memory/ZepError.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double MiB = 1024.0 * 1024.0;
constexpr double speedTarget = 0.10; // zep's time over srec_cat's
constexpr double memoryTarget = 4.0; // peak resident memory over the input file's size
constexpr std::uint64_t seed = 0x5EED2E9B;

struct Options {
    std::size_t mebibytes = 16;
    int runs = 5;
    std::string zep = ZEP_PROGRAM;
    bool keep = false;
};

const char* const usage =
    "usage: zep-bench [--size MIB] [--runs N] [--zep PATH] [--keep]\n"
    "  Writes a random image of MIB mebibytes (default 16, at most 16) as an S-record file, then times\n"
    "  `zep convert` S-record -> H86, H86 -> S-record, S-record -> KWP and KWP -> S-record, and srec_cat\n"
    "  doing the two text conversions where it is on PATH, in N rounds (default 5) that run each conversion\n"
    "  once; the table shows each one's fastest time and highest peak memory. --keep leaves the files.\n"
    "  Exit status: 0 all targets met, 1 a target missed, 2 the benchmark could not run.\n";

struct BenchError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/** the same bytes on every machine: the generator's words are taken apart low byte first */
std::vector<std::uint8_t> randomImage(std::size_t size) {
    std::mt19937_64 generator(seed);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t word = generator();
        for (std::size_t k = i; k < std::min(size, i + 8); ++k, word >>= 8)
            bytes[k] = static_cast<std::uint8_t>(word);
    }
    return bytes;
}

/** S2 records of 32 bytes, erased state FF, 247-byte downloads: what a real application file carries */
void writeSourceFile(const std::string& path, std::size_t size) {
    zep::EcuApplication app;
    app.value().add(0, randomImage(size));
    app.Ecu().FillPattern = zep::MemBlock::fromHex("FF");
    app.Ecu().WriteGranularity = 247;
    app.ExportToSFile(path);
}

/**
 * Runs work in a child process, so that the benchmark's own peak memory stays small: a spawned
 * program's ru_maxrss starts from the peak of the process that spawned it.
 */
template <typename Work> void inChild(Work work) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        throw BenchError(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        int code = 0;
        try {
            work();
        } catch (const zep::ZepError& e) {
            std::cerr << "zep-bench: " << e.description() << '\n';
            code = 1;
        } catch (const std::exception& e) {
            std::cerr << "zep-bench: " << e.what() << '\n';
            code = 1;
        }
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw BenchError("writing the source file failed");
}

std::optional<std::string> findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= folders.size()) {
        const std::size_t to = std::min(folders.find(':', from), folders.size());
        const std::string candidate =
            (to == from ? std::string(".") : folders.substr(from, to - from)) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = to + 1;
    }
    return std::nullopt;
}

struct Measure {
    double seconds = 0;    // wall clock
    double cpuSeconds = 0; // user and system: less sensitive to other work on the machine
    std::uint64_t peakBytes = 0;
};

/** one run of argv with stdout and stderr in log; a failure shows the log */
Measure runOnce(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw BenchError("cannot start " + argv[0] + ": " + std::strerror(error));
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0)
        throw BenchError(std::string("wait4: ") + std::strerror(errno));
    const auto stop = std::chrono::steady_clock::now();

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command;
        for (const std::string& a : argv)
            command += (command.empty() ? "" : " ") + a;
        std::ifstream in(log);
        const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        throw BenchError(command + " failed (status " + std::to_string(status) + "):\n" + output);
    }
    const auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {std::chrono::duration<double>(stop - start).count(),
            toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime),
            static_cast<std::uint64_t>(usage.ru_maxrss) * 1024};
}

/** the 1, 5 and 15 minute load averages: other work on the machine slows every run */
std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(in >> one >> five >> fifteen))
        return "unknown";
    return one + " " + five + " " + fifteen;
}

struct Row {
    std::string conversion;
    std::string tool;
    Measure measure;
    std::uint64_t inputBytes = 0;
    const Row* reference = nullptr; // srec_cat's row for the same conversion
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw BenchError("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/**
 * srec_cat's warnings in one line. It warns once for every S0 record after the first, and the
 * S-record files of this system carry six: those warnings are counted, any other is shown.
 */
std::string summary(const std::string& warnings) {
    // srec_cat wraps its messages: join the words, then split where a message starts.
    std::string text, word;
    std::istringstream words(warnings);
    while (words >> word)
        text += (text.empty() ? "" : " ") + word;
    const std::string start = "srec_cat: ";
    int redundant = 0;
    std::string others;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t next = std::min(text.find(" " + start, from), text.size());
        const std::string message = text.substr(from, next - from);
        if (message.find("warning: redundant header record") != std::string::npos)
            ++redundant;
        else
            others += (others.empty() ? "" : " | ") + message;
        from = next + 1;
    }
    const std::string counted =
        std::to_string(redundant) + " redundant header record warnings (the extra S0 records)";
    return others.empty() ? counted : counted + "; " + others;
}

/** srec_cat reads a file zep wrote; the bytes, erased addresses read as FF, must be the image's */
bool verify(const std::string& srecCat, const std::string& file, const char* format, std::size_t size,
            const std::string& folder) {
    const std::string binary = folder + "/verify.bin";
    const std::string end = std::to_string(size);
    runOnce({srecCat, file, format, "-fill", "0xFF", "0", end, "-o", binary, "-binary"},
            folder + "/verify.log");
    const std::string warnings = readFile(folder + "/verify.log");
    if (!warnings.empty())
        std::cout << "  srec_cat said, reading " << fs::path(file).filename().string() << ": "
                  << summary(warnings) << '\n';
    const std::string back = readFile(binary);
    fs::remove(binary);
    const std::vector<std::uint8_t> image = randomImage(size);
    const bool same =
        back.size() == image.size() && std::memcmp(back.data(), image.data(), image.size()) == 0;
    std::cout << "  " << fs::path(file).filename().string() << " read back by srec_cat: "
              << (same ? "same bytes as the image" : "DIFFERENT bytes from the image") << '\n';
    return same;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw BenchError(a + " needs a value\n" + usage);
            return argv[++i];
        };
        if (a == "--help") {
            std::cout << usage;
            std::exit(0);
        } else if (a == "--size") {
            o.mebibytes = std::stoul(value());
            if (o.mebibytes < 1 || o.mebibytes > 16)
                throw BenchError("--size takes 1 to 16: S2 records cannot address more than 16 MiB");
        } else if (a == "--runs") {
            o.runs = std::stoi(value());
            if (o.runs < 1)
                throw BenchError("--runs takes a positive number");
        } else if (a == "--zep") {
            o.zep = value();
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            throw BenchError("unknown argument " + a + "\n" + usage);
        }
    }
    return o;
}

int bench(const Options& o) {
    const std::size_t size = o.mebibytes << 20;
    std::string pattern = (fs::temp_directory_path() / "zep-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw BenchError(std::string("mkdtemp: ") + std::strerror(errno));
    const std::string folder = pattern;
    struct Cleanup {
        std::string folder;
        bool keep;
        ~Cleanup() {
            if (keep)
                std::cout << "Files kept in " << folder << '\n';
            else
                fs::remove_all(folder);
        }
    } cleanup{folder, o.keep};

    const auto path = [&folder](const char* name) { return folder + "/" + name; };
    const std::string source = path("image.s28");
    std::cout << "Writing a " << o.mebibytes << " MiB random image as S2 records of 32 bytes in " << folder
              << '\n';
    inChild([&] { writeSourceFile(source, size); });

    const std::optional<std::string> srecCat = findOnPath("srec_cat");
    const std::string log = path("run.log");
    const auto fileSize = [](const std::string& p) { return static_cast<std::uint64_t>(fs::file_size(p)); };

    // The floor under every peak: a process that loads zep and its texts and does nothing.
    const Measure idle = runOnce({o.zep, "--help"}, log);

    // Rounds run every conversion once, in turn, so that a busy machine slows both tools alike.
    struct Job {
        Row row;
        std::vector<std::string> argv;
    };
    std::vector<Job> jobs;
    const auto zepJob = [&](const char* conversion, const std::string& in, const std::string& out,
                            std::vector<std::string> options) {
        std::vector<std::string> argv = {o.zep, "convert", in, out};
        argv.insert(argv.end(), options.begin(), options.end());
        jobs.push_back({{conversion, "zep", {}, 0}, argv});
    };
    zepJob("S-record -> H86", source, path("zep.h86"), {});
    zepJob("H86 -> S-record", path("zep.h86"), path("from-h86.s28"), {"--fill-pattern", "FF"});
    zepJob("S-record -> KWP", source, path("zep.kwp"),
           {"--write-granularity", "247", "--fill-pattern", "FF"});
    zepJob("KWP -> S-record", path("zep.kwp"), path("from-kwp.s28"),
           {"--write-granularity", "247", "--fill-pattern", "FF"});
    if (srecCat) {
        // Both tools convert the same inputs: the source file, and the H86 file zep wrote.
        jobs.push_back({{"S-record -> Intel hex", "srec_cat", {}, 0},
                        {*srecCat, source, "-motorola", "-o", path("srec_cat.hex"), "-intel",
                         "-Output_Block_Size", "32"}});
        jobs.push_back({{"Intel hex -> S-record", "srec_cat", {}, 0},
                        {*srecCat, path("zep.h86"), "-intel", "-o", path("srec_cat.s28"), "-motorola",
                         "-Address_Length", "3", "-Output_Block_Size", "32"}});
    }
    std::cout << "Load average before the runs: " << loadAverage() << '\n';
    for (Job& job : jobs)
        job.row.measure = {1e300, 1e300, 0};
    for (int round = 0; round < o.runs; ++round) {
        for (Job& job : jobs) {
            const Measure m = runOnce(job.argv, log);
            job.row.measure.seconds = std::min(job.row.measure.seconds, m.seconds);
            job.row.measure.cpuSeconds = std::min(job.row.measure.cpuSeconds, m.cpuSeconds);
            job.row.measure.peakBytes = std::max(job.row.measure.peakBytes, m.peakBytes);
        }
    }
    std::vector<Row> rows;
    for (Job& job : jobs) {
        job.row.inputBytes = fileSize(job.argv[job.row.tool == "zep" ? 2 : 1]);
        rows.push_back(job.row);
    }
    if (srecCat) {
        rows[0].reference = &rows[4];
        rows[1].reference = &rows[5];
    }

    bool pass = true;
    std::printf("\n%-22s %-9s %9s %9s %10s %11s %11s %13s  %s\n", "conversion", "tool", "seconds", "cpu s",
                "peak MiB", "input MiB", "peak/input", "zep/srec_cat", "targets");
    for (const Row& r : rows) {
        const double peak = static_cast<double>(r.measure.peakBytes);
        const double ratio = peak / static_cast<double>(r.inputBytes);
        std::string speed = "-", verdict;
        if (r.tool == "zep") {
            const bool memoryOk = ratio <= memoryTarget;
            verdict = memoryOk ? "memory PASS" : "memory FAIL";
            pass = pass && memoryOk;
            if (r.reference) {
                const double timeRatio = r.measure.seconds / r.reference->measure.seconds;
                char text[32];
                std::snprintf(text, sizeof text, "%.3f", timeRatio);
                speed = text;
                const bool speedOk = timeRatio <= speedTarget;
                verdict += speedOk ? ", speed PASS" : ", speed FAIL";
                pass = pass && speedOk;
            }
        }
        std::printf("%-22s %-9s %9.3f %9.3f %10.1f %11.1f %11.2f %13s  %s\n", r.conversion.c_str(),
                    r.tool.c_str(), r.measure.seconds, r.measure.cpuSeconds, peak / MiB,
                    static_cast<double>(r.inputBytes) / MiB, ratio, speed.c_str(), verdict.c_str());
    }
    std::printf("\nseconds (wall clock, what the targets measure) and cpu s (user + system) are the fastest "
                "of %d rounds;\n"
                "peak is the highest ru_maxrss of the rounds. `zep --help` alone peaks at %.1f MiB.\n",
                o.runs, static_cast<double>(idle.peakBytes) / MiB);
    std::printf(
        "Targets: each zep text conversion at most %.2f of srec_cat's time, peak memory at most %.0f times "
        "the input file's size.\n",
        speedTarget, memoryTarget);
    if (!srecCat)
        std::printf("srec_cat is not on PATH: the speed target was not checked.\n");

    bool verified = true;
    if (srecCat) {
        std::cout << "\nChecking zep's files:\n";
        verified = verify(*srecCat, path("zep.h86"), "-intel", size, folder) &&
                   verify(*srecCat, path("from-h86.s28"), "-motorola", size, folder) &&
                   verify(*srecCat, path("from-kwp.s28"), "-motorola", size, folder);
    } else {
        std::cout << "\nsrec_cat is not on PATH: zep's files were not checked.\n";
    }

    std::cout << '\n'
              << (pass ? "PASS" : "FAIL") << ": " << (pass ? "every target met" : "a target was missed")
              << '\n';
    if (!verified)
        throw BenchError("zep wrote a file whose bytes differ from the image");
    return pass ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return bench(parseOptions(argc, argv));
    } catch (const BenchError& e) {
        std::cerr << "zep-bench: " << e.what() << '\n';
    } catch (const zep::ZepError& e) {
        std::cerr << "zep-bench: " << e.description() << '\n';
    } catch (const std::exception& e) {
        std::cerr << "zep-bench: " << e.what() << '\n';
    }
    return 2;
}
