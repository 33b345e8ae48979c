// Times `zep convert` on a large random image against a plain streaming converter (the floor, built
// with this benchmark) and srec_cat doing the same text conversions, and checks the speed and memory
// targets. Each conversion runs as its own process so that its peak resident memory can be read from
// wait4; zep and the floor run side by side in every round, and their figures are compared round by round.

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
constexpr double floorTarget = 1.2;  // zep's time over the floor's, the median of the rounds' ratios
constexpr double speedTarget = 0.07; // zep's time over srec_cat's
constexpr double memoryTarget = 1.5; // peak resident memory over the input file's size
constexpr std::uint64_t seed = 0x5EED2E9B;

struct Options {
    std::size_t mebibytes = 16;
    int runs = 5;
    std::string zep = ZEP_PROGRAM;
    std::string floor = ZEP_FLOOR_PROGRAM;
    bool keep = false;
};

const char* const usage =
    "usage: zep-bench [--size MIB] [--runs N] [--zep PATH] [--floor PATH] [--keep]\n"
    "  Writes a random image of MIB mebibytes (default 16, at most 16) as S-record and H86 files with CR LF\n"
    "  and with LF line ends, then times `zep convert` S-record <-> H86 beside the floor (a plain streaming\n"
    "  converter), S-record -> KWP and KWP -> S-record, and srec_cat doing the text conversions where it is\n"
    "  on PATH, in N rounds (default 5), with the input in the page cache (warm) and dropped from it "
    "(cold).\n"
    "  The table shows median times, the median of the rounds' zep/floor ratios, and the highest peak\n"
    "  memory. --keep leaves the files.\n"
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
void writeSourceFiles(const std::string& srecord, const std::string& h86, std::size_t size) {
    zep::EcuApplication app;
    app.value().add(0, randomImage(size));
    app.Ecu().FillPattern = zep::MemBlock::fromHex("FF");
    app.Ecu().WriteGranularity = 247;
    app.ExportToSFile(srecord);
    app.ExportToH86File(h86);
}

/** the file with LF line ends instead of CR LF */
void writeWithLf(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    std::ofstream(to, std::ios::binary) << out;
}

/** drops the file from the page cache, so that the next run reads it from the disk (a cold cache) */
void dropFromCache(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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

/** one program doing one conversion, run once a round */
struct Job {
    std::string conversion;
    std::string tool;
    std::vector<std::string> argv;
    std::string input;
    bool cold = false;
    int floor = -1;   // the floor's job for the same conversion, same cache state
    int srecCat = -1; // srec_cat's job for the same conversion
    std::vector<Measure> runs;
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
        } else if (a == "--floor") {
            o.floor = value();
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
    const std::string source = path("image.s28"), sourceH86 = path("image.h86");
    const std::string sourceLf = path("image-lf.s28"), sourceH86Lf = path("image-lf.h86");
    std::cout << "Writing a " << o.mebibytes << " MiB random image as S2 records of 32 bytes in " << folder
              << '\n';
    inChild([&] {
        writeSourceFiles(source, sourceH86, size);
        writeWithLf(source, sourceLf);
        writeWithLf(sourceH86, sourceH86Lf);
    });

    const std::optional<std::string> srecCat = findOnPath("srec_cat");
    const std::string log = path("run.log");
    const auto fileSize = [](const std::string& p) { return static_cast<std::uint64_t>(fs::file_size(p)); };

    // The floor under every peak: a process that loads zep and does nothing.
    const Measure idle = runOnce({o.zep, "--version"}, log);

    std::vector<Job> jobs;
    const auto add = [&jobs](const std::string& conversion, const std::string& tool,
                             std::vector<std::string> argv, const std::string& input, bool cold = false) {
        jobs.push_back({conversion, tool, std::move(argv), input, cold, -1, -1, {}});
        return static_cast<int>(jobs.size()) - 1;
    };
    // The text conversions: zep and the floor on the same input, warm and cold, CR LF and LF.
    for (const bool cold : {false, true})
        for (const bool lf : {false, true}) {
            const std::string s28 = lf ? sourceLf : source, h86 = lf ? sourceH86Lf : sourceH86;
            const std::string ends = lf ? ", LF" : ", CR LF";
            const int toHex =
                add("S-record -> H86" + ends, "zep", {o.zep, "convert", s28, path("zep.h86")}, s28, cold);
            jobs[static_cast<std::size_t>(toHex)].floor =
                add("S-record -> H86" + ends, "floor", {o.floor, "s2h", s28, path("floor.h86")}, s28, cold);
            const int toS =
                add("H86 -> S-record" + ends, "zep",
                    {o.zep, "convert", h86, path("from-h86.s28"), "--fill-pattern", "FF"}, h86, cold);
            jobs[static_cast<std::size_t>(toS)].floor =
                add("H86 -> S-record" + ends, "floor", {o.floor, "h2s", h86, path("floor.s28")}, h86, cold);
        }
    add("S-record -> KWP", "zep",
        {o.zep, "convert", source, path("zep.kwp"), "--write-granularity", "247", "--fill-pattern", "FF"},
        source);
    if (srecCat) {
        // srec_cat converts the same inputs, warm only: it takes ten times longer than the others.
        jobs[0].srecCat = add(
            "S-record -> H86, CR LF", "srec_cat",
            {*srecCat, source, "-motorola", "-o", path("srec_cat.hex"), "-intel", "-Output_Block_Size", "32"},
            source);
        jobs[2].srecCat = add("H86 -> S-record, CR LF", "srec_cat",
                              {*srecCat, sourceH86, "-intel", "-o", path("srec_cat.s28"), "-motorola",
                               "-Address_Length", "3", "-Output_Block_Size", "32"},
                              sourceH86);
    }
    std::cout << "Load average before the runs: " << loadAverage() << '\n';
    // Rounds run every conversion once, in turn, so that a busy machine slows all of them alike; the
    // KWP file is read back once it exists.
    for (int round = 0; round < o.runs; ++round) {
        if (round == 1)
            add("KWP -> S-record", "zep",
                {o.zep, "convert", path("zep.kwp"), path("from-kwp.s28"), "--write-granularity", "247",
                 "--fill-pattern", "FF"},
                path("zep.kwp"));
        for (Job& job : jobs) {
            if (job.cold)
                dropFromCache(job.input);
            job.runs.push_back(runOnce(job.argv, log));
        }
    }

    bool pass = true;
    std::printf("\n%-24s %-5s %-8s %8s %8s %9s %7s %12s %9s  %s\n", "conversion", "cache", "tool", "seconds",
                "cpu s", "peak MiB", "peak/in", "zep/floor", "zep/srec", "targets");
    const auto ratio = [](const Job& a, const Job& b, bool cpu) {
        std::vector<double> r;
        for (std::size_t i = 0; i < std::min(a.runs.size(), b.runs.size()); ++i)
            r.push_back(cpu ? a.runs[i].cpuSeconds / b.runs[i].cpuSeconds
                            : a.runs[i].seconds / b.runs[i].seconds);
        return median(r);
    };
    for (const Job& job : jobs) {
        std::vector<double> wall, cpu;
        std::uint64_t peak = 0;
        for (const Measure& m : job.runs) {
            wall.push_back(m.seconds);
            cpu.push_back(m.cpuSeconds);
            peak = std::max(peak, m.peakBytes);
        }
        const double peakRatio = static_cast<double>(peak) / static_cast<double>(fileSize(job.input));
        std::string toFloor = "-", toSrecCat = "-", verdict;
        char text[64];
        if (job.tool == "zep") {
            const bool memoryOk = peakRatio <= memoryTarget;
            verdict = memoryOk ? "memory PASS" : "memory FAIL";
            pass = pass && memoryOk;
            if (job.floor >= 0) {
                const Job& floor = jobs[static_cast<std::size_t>(job.floor)];
                const double r = ratio(job, floor, false);
                std::snprintf(text, sizeof text, "%.2f (%.2f)", r, ratio(job, floor, true));
                toFloor = text;
                verdict += r <= floorTarget ? ", floor PASS" : ", floor FAIL";
                pass = pass && r <= floorTarget;
            }
            if (job.srecCat >= 0) {
                const double r = ratio(job, jobs[static_cast<std::size_t>(job.srecCat)], false);
                std::snprintf(text, sizeof text, "%.3f", r);
                toSrecCat = text;
                verdict += r <= speedTarget ? ", srec_cat PASS" : ", srec_cat FAIL";
                pass = pass && r <= speedTarget;
            }
        }
        std::printf("%-24s %-5s %-8s %8.3f %8.3f %9.1f %7.2f %12s %9s  %s\n", job.conversion.c_str(),
                    job.cold ? "cold" : "warm", job.tool.c_str(), median(wall), median(cpu),
                    static_cast<double>(peak) / MiB, peakRatio, toFloor.c_str(), toSrecCat.c_str(),
                    verdict.c_str());
    }
    std::printf(
        "\nseconds (wall clock, what the targets measure) and cpu s (user + system) are medians of %d "
        "rounds;\n"
        "zep/floor and zep/srec are medians of the rounds' ratios of wall-clock times (cpu in brackets);\n"
        "peak is the highest ru_maxrss of the rounds. `zep --version` alone peaks at %.1f MiB.\n",
        o.runs, static_cast<double>(idle.peakBytes) / MiB);
    std::printf("Targets: zep at most %.1f times the floor's time and %.2f times srec_cat's, peak memory at "
                "most %.1f\n"
                "times the input file's size.\n",
                floorTarget, speedTarget, memoryTarget);
    if (!srecCat)
        std::printf("srec_cat is not on PATH: the srec_cat target was not checked.\n");

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
